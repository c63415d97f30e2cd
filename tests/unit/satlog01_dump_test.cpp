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
#include "alloc_fault.h"
#include "ata_logs.h"
#include "bytes.h"
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
        allocfault::clear();
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
    {"enable failed by the drive",
     "ata-error 0 5 smart:d8 error 0x04 status 0x51\n",
     {kEnable + "0"},
     kAborted.c_str()},
    {"read data failed by the drive",
     "ata-error 0 5 smart:d0 error 0x04 status 0x51\n",
     {kEnable + "0", kReadData + "0"},
     kAborted.c_str()},
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

TEST_F(SataDump, AllocationFailureSendsNothing) {
    load("");
    allocfault::fail_next(STP_PASSTHRU_BUFFER_SIZE);
    const std::string console = dump();
    EXPECT_TRUE(allocfault::failed());

    EXPECT_EQ(sim::trace(), Lines{});
    EXPECT_EQ(console, "\033[31m Memory Allocation Error\n\033[0m");
    EXPECT_EQ(contents(gfpErrLog), " Memory Allocation Error\n");
    EXPECT_EQ(contents(fpLog), "");
    EXPECT_EQ(pstStorPassThrStp, nullptr);
}

// The readers of what a SATA drive answers, each on a valid answer and on
// the same answer with one field changed or cut short.
using testbytes::put_ata_string;
using testbytes::words;

std::string identity_of(const std::vector<U8>& id, U32 got) {
    char code[64], serial[32];
    ata_identity(id.data(), got, code, serial);
    return std::string(code) + "|" + serial;
}

std::string pages_of(const std::vector<U8>& page0, U32 got) {
    U8 out[4];
    std::string s;
    for (size_t k = 0, n = ata_statistics_pages(page0.data(), got, out, sizeof out); k < n; ++k)
        s += std::to_string(out[k]) + " ";
    return s;
}

TEST(AtaLogs, ReadersTakeOnlyWhatArrived) {
    std::vector<U8> id(512, 0);
    put_ata_string(id, 10, "SER-0042            ");
    put_ata_string(id, 23, "FW01    ");
    put_ata_string(id, 27, "OKAPI ZX2000                            ");
    std::vector<U8> cut = id;
    cut[2 * 27 + 4] = 0;  // the sixth character of the model (a word holds them swapped)
    std::vector<U8> stats = words({});
    stats[8] = 4;
    stats[9] = 0x00, stats[10] = 0x01, stats[11] = 0x05, stats[12] = 0x07;
    std::vector<U8> zeros = stats;
    zeros[11] = 0x00;
    struct Row {
        const char* name;
        std::string got, want;
    };
    const std::string model = "OKAPI ZX2000                            ";
    auto feature = [](size_t word, U16 value, U16 bit, U32 got = 512) {
        return std::to_string(ata_feature_supported(words({{word, value}}).data(), got, bit));
    };
    const Row rows[] = {
        {"identity", identity_of(id, 512), model + "FW01    |SER-0042            "},
        {"identity cut at a zero byte", identity_of(cut, 512), "OKAPIFW01    |SER-0042            "},
        {"identity of a short answer", identity_of(id, 50), "FW01|SER-0042            "},
        {"identity cut inside the serial", identity_of(id, 25), "|SER-"},
        {"gpl in word 84", feature(84, 0x4020, ATA_FEATURE_GPL), "1"},
        {"gpl in word 87", feature(87, 0x4020, ATA_FEATURE_GPL), "1"},
        {"gpl, word not valid", feature(84, 0x0020, ATA_FEATURE_GPL), "0"},
        {"gpl, word all ones", feature(84, 0xFFFF, ATA_FEATURE_GPL), "0"},
        {"gpl, bit 5 clear", feature(84, 0x4000, ATA_FEATURE_GPL), "0"},
        {"gpl, word 84 not arrived", feature(84, 0x4020, ATA_FEATURE_GPL, 168), "0"},
        {"self-test log in word 87", feature(87, 0x4002, ATA_FEATURE_SMART_SELF_TEST), "1"},
        {"error log, only another bit set", feature(84, 0x4022, ATA_FEATURE_SMART_ERROR_LOG), "0"},
        {"directory", std::to_string(ata_log_pages(words({{4, 8}}).data(), 512, 4)), "8"},
        {"directory, 16 bits", std::to_string(ata_log_pages(words({{0x11, 0x0103}}).data(), 512, 0x11)), "259"},
        {"directory, its own version", std::to_string(ata_log_pages(words({{0, 1}}).data(), 512, 0)), "0"},
        {"directory, another log", std::to_string(ata_log_pages(words({{4, 8}}).data(), 512, 6)), "0"},
        {"directory, not arrived", std::to_string(ata_log_pages(words({{4, 8}}).data(), 8, 4)), "0"},
        {"statistics list", pages_of(stats, 512), "1 5 7 "},
        {"statistics list, cut", pages_of(stats, 11), "1 "},
        {"statistics list, page 0 again", pages_of(zeros, 512), "1 7 "},
        {"newest of none", std::to_string(ata_newest_page(words({{1, 0}}).data(), 512, 19)), "0"},
        {"newest on page 0", std::to_string(ata_newest_page(words({{1, 19}}).data(), 512, 19)), "0"},
        {"newest on page 1", std::to_string(ata_newest_page(words({{1, 20}}).data(), 512, 19)), "1"},
        {"newest, 4 a page", std::to_string(ata_newest_page(words({{1, 0xFFFF}}).data(), 512, 4)), "16383"},
        {"newest, index not arrived", std::to_string(ata_newest_page(words({{1, 20}}).data(), 2, 19)), "0"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want) << r.name;
}

}  // namespace
