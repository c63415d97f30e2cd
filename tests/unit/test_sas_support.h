// Shared set-up of the SAS tests: the driver's globals pointed at a private
// log directory and error log, the simulated library in process, and the
// trace lines they are checked against.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Kestra02.h"
#include "SasLog01.h"
#include "sim.h"
#include "test_util.h"

namespace sastest {

using testutil::read_file;

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// Expected trace line of a SCSI pass-through to controller ctrl, device id
// tgt; dataSize is the data length plus the 64-byte header.
inline std::string scsi(unsigned ctrl, unsigned tgt, unsigned dir, unsigned timeout, const std::string& cdb,
                        unsigned datalen, int rc = 0) {
    char b[400];
    snprintf(b, sizeof b,
             "lib type=6 cmd=0 ctrl=%u ref=%02x%02x000000000000 param=0000000000000000 rsv0=0000 rsv1=0 size=%u "
             "tgt=%u one=1 zero=0 dir=%u timeout=%u cdblen=%zu cdb=%s datalen=%u rc=%d",
             ctrl, tgt & 0xFF, (tgt >> 8) & 0xFF, datalen + 64, tgt, dir, timeout, cdb.size() / 2, cdb.c_str(), datalen,
             rc);
    return b;
}

// LOG SENSE and internal-log requests, the two the drive log is made of.
inline std::string logsense(unsigned ctrl, unsigned tgt, const std::string& cdb, unsigned alloc, int rc = 0) {
    return scsi(ctrl, tgt, 2, 10, cdb, alloc, rc);
}
inline std::string inquiry(unsigned ctrl, unsigned tgt, int rc = 0) {
    return scsi(ctrl, tgt, 2, 10, "120000006000", 96, rc);
}

// Expected trace line of a management command.
inline std::string mgmt(unsigned type, unsigned cmd, unsigned ctrl, const std::string& ref, unsigned size, int rc = 0) {
    char b[300];
    snprintf(b, sizeof b, "lib type=%u cmd=%u ctrl=%u ref=%s param=0000000000000000 rsv0=0000 rsv1=0 size=%u rc=%d",
             type, cmd, ctrl, ref.c_str(), size, rc);
    return b;
}

inline std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

// The driver's state for a run without arguments, writing into a private
// log directory; everything is put back afterwards, since other tests share
// these globals.
class SasTest : public ::testing::Test {
protected:
    std::string dir;
    std::string errPath;

    void SetUp() override {
        char tmpl[] = "/tmp/sastest.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        errPath = dir + "/logdperr.txt";
        std::filesystem::create_directory(dir + "/log");
        set_log_dir(dir + "/log");
        iCommandFlg = 0;
        iInternalLogFlg = 1;
        gfpErrLog = fopen(errPath.c_str(), "w");
        ASSERT_NE(gfpErrLog, nullptr);
        ProcessLibCommandF = sim::ProcessLibCommand;
        memset(&gtErrInf, 0, sizeof gtErrInf);
    }

    void TearDown() override {
        if (gfpErrLog != nullptr) fclose(gfpErrLog);
        gfpErrLog = nullptr;
        if (fpLog != nullptr) fclose(fpLog);
        fpLog = nullptr;
        Mem_Free();
        InqData = nullptr;
        ProcessLibCommandF = nullptr;
        iCommandFlg = 0;
        iInternalLogFlg = 0;
        memset(cLogFilePass, 0, sizeof cLogFilePass);
        std::filesystem::remove_all(dir);
    }

    void set_log_dir(const std::string& d) {
        memset(cLogFilePass, 0, sizeof cLogFilePass);
        snprintf(cLogFilePass, sizeof cLogFilePass, "%s", d.c_str());
    }
    std::string log_dir() const { return cLogFilePass; }
    std::string drive_log(const char* name) const { return read_file(log_dir() + "/" + name); }
    std::string error_log() {
        if (gfpErrLog != nullptr) fflush(gfpErrLog);
        return read_file(errPath);
    }
    static std::string trace() { return join(sim::trace()); }

    // Runs the whole drive scan on a scenario and gives back the console.
    std::string scan(const std::string& scenario, int controllers) {
        sim::load_scenario(scenario);
        ::testing::internal::CaptureStdout();
        Get_SHdd_Log(controllers);
        return ::testing::internal::GetCapturedStdout();
    }
};

}  // namespace sastest
