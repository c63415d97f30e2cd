// The SMART data dump of one SATA drive against the simulated storage
// library: the two commands, the 32 hex lines, and every way it can fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Kestra02.h"
#include "KstErr01.h"
#include "SatLog01.h"
#include "libstoresata.h"
#include "sim.h"

namespace {

using Lines = std::vector<std::string>;

U8 smart_byte(int i) { return static_cast<U8>((i * 29) ^ (i >> 8)); }

std::string smart_hex() {
    std::string s;
    char b[3];
    for (int i = 0; i < 512; ++i) {
        std::snprintf(b, sizeof b, "%02x", smart_byte(i));
        s += b;
    }
    return s;
}

std::string contents(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char b[4096];
    size_t n;
    while ((n = std::fread(b, 1, sizeof b, f)) > 0) s.append(b, n);
    return s;
}

const std::string kEnable =
    "lib type=6 cmd=2 ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=60 tgt=5 dir=0 "
    "timeout=10 flags=00000010 resplen=20 datalen=0 fis=2780b0d8004fc2a0000000000000000000000000 rc=";
const std::string kReadData =
    "lib type=6 cmd=2 ctrl=0 ref=0500000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=572 tgt=5 dir=2 "
    "timeout=10 flags=00000011 resplen=20 datalen=512 fis=2780b0d0004fc2a0000000000000000000000000 rc=";

class SataDump : public ::testing::Test {
protected:
    void SetUp() override {
        saved_lib_ = ProcessLibCommandF;
        saved_flg_ = iCommandFlg;
        saved_alloc_ = pfSataBufAlloc;
        saved_log_ = fpLog;
        saved_errlog_ = gfpErrLog;
        fpLog = gfpErrLog = nullptr;
        ProcessLibCommandF = sim::ProcessLibCommand;
        iCommandFlg = 0;
        reopen();
    }
    void TearDown() override {
        close_files();
        fpLog = saved_log_;
        gfpErrLog = saved_errlog_;
        ProcessLibCommandF = saved_lib_;
        iCommandFlg = saved_flg_;
        pfSataBufAlloc = saved_alloc_;
    }

    // A new, empty drive log and error log.
    static void reopen() {
        close_files();
        fpLog = std::tmpfile();
        gfpErrLog = std::tmpfile();
        ASSERT_NE(fpLog, nullptr);
        ASSERT_NE(gfpErrLog, nullptr);
    }
    static void close_files() {
        if (fpLog != nullptr) std::fclose(fpLog);
        if (gfpErrLog != nullptr) std::fclose(gfpErrLog);
        fpLog = nullptr;
        gfpErrLog = nullptr;
    }

    static void load(const std::string& extra) {
        sim::load_scenario("controller 0\ndevice 0 5 sata\nsmart 0 5 " + smart_hex() + "\n" + extra);
    }

    // Runs the dump and gives back what it printed.
    static std::string dump() {
        ::testing::internal::CaptureStdout();
        Get_SATAHdd_Log(0, 5);
        return ::testing::internal::GetCapturedStdout();
    }

    ProcessLibCommand_t saved_lib_ = nullptr;
    int saved_flg_ = 0;
    void* (*saved_alloc_)(size_t) = nullptr;
    FILE* saved_log_ = nullptr;
    FILE* saved_errlog_ = nullptr;
};

TEST_F(SataDump, SmartDataBecomes32HexLines) {
    load("");
    const std::string console = dump();

    EXPECT_EQ(sim::trace(), (Lines{kEnable + "0", kReadData + "0"}));
    EXPECT_EQ(console, "");
    EXPECT_EQ(contents(gfpErrLog), "");
    EXPECT_EQ(pstStorPassThrStp, nullptr);

    const std::string log = contents(fpLog);
    ASSERT_EQ(log.size(), 32u * 50u);
    EXPECT_EQ(log.substr(0, 50), " 00 1d 3a 57 74 91 ae cb e8 05 22 3f 5c 79 96 b3\r\n");
    // Every line: sixteen " xx" groups and CR LF, holding the data in order.
    for (int line = 0; line < 32; ++line) {
        const std::string text = log.substr(static_cast<size_t>(line) * 50, 50);
        ASSERT_EQ(text.substr(48), "\r\n") << line;
        for (int j = 0; j < 16; ++j) {
            ASSERT_EQ(text[static_cast<size_t>(j) * 3], ' ') << line;
            const unsigned value = static_cast<unsigned>(std::strtoul(text.substr(j * 3 + 1, 2).c_str(), nullptr, 16));
            ASSERT_EQ(value, smart_byte(line * 16 + j)) << line << "/" << j;
        }
    }
}

struct FailCase {
    const char* name;
    const char* fault;
    Lines sent;
    const char* errlog;
};

const std::string kNoAnswer = "H00T05 Command error ,  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n";
// The drive's Device-to-Host FIS: type 34, Status 51, Error 04, the
// registers echoed.
const std::string kAborted = "H00T05 Command error ,  34 40 51 04 00 4f c2 a0 00 00 00 00 00 00 00 00 00 00 00 00\r\n";

// The dump that works, then the same drive failing at one step.
const FailCase kFailCases[] = {
    {"enable rejected", "fault 0 5 smart:d8 code 0x21\n", {kEnable + "33"}, kNoAnswer.c_str()},
    {"read data rejected", "fault 0 5 smart:d0 code 0x21\n", {kEnable + "0", kReadData + "33"}, kNoAnswer.c_str()},
    {"enable failed by the drive", "ata-error 0 5 smart:d8 error 0x04 status 0x51\n", {kEnable + "0"}, kAborted.c_str()},
    {"read data failed by the drive", "ata-error 0 5 smart:d0 error 0x04 status 0x51\n",
     {kEnable + "0", kReadData + "0"}, kAborted.c_str()},
};

TEST_F(SataDump, FailedCommandIsReportedAndNothingIsWritten) {
    for (const FailCase& c : kFailCases) {
        load(c.fault);
        reopen();
        const std::string console = dump();

        EXPECT_EQ(sim::trace(), c.sent) << c.name;
        EXPECT_EQ(contents(fpLog), "") << c.name;
        EXPECT_EQ(console, "\033[31m HDD Log Dump Error\n\033[0m") << c.name;
        EXPECT_EQ(pstStorPassThrStp, nullptr) << c.name;
        EXPECT_EQ(contents(gfpErrLog), c.errlog) << c.name;
    }
}

void* no_memory(size_t) { return nullptr; }

TEST_F(SataDump, AllocationFailureSendsNothing) {
    load("");
    pfSataBufAlloc = no_memory;
    const std::string console = dump();

    EXPECT_EQ(sim::trace(), Lines{});
    EXPECT_EQ(console, "\033[31m Memory Allocation Error\n\033[0m");
    EXPECT_EQ(contents(gfpErrLog), " Memory Allocation Error\n");
    EXPECT_EQ(contents(fpLog), "");
    EXPECT_EQ(pstStorPassThrStp, nullptr);
}

}  // namespace
