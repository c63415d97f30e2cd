// The reporters: exact bytes in the error log and on the console.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "Kestra02.h"
#include "KstErr01.h"
#include "SasLog01.h"

#include "test_util.h"
using testutil::capture_stdout;

namespace {

const std::string kRed = "\033[31m", kReset = "\033[0m", kHdd = kRed + " HDD Log Dump Error\n" + kReset;
const std::string kScsiLine =
    "H00T05 Command error , 4d 00 40 00 00 00 00 00 00 00 , 00000004, "
    "70 00 05 00 00 00 00 0a 00 00 00 00 24 00 00 00 00 00 00 00 ";

ERRINFO scsi(int32_t result) {
    ERRINFO e{};
    e.iApiErr = result;
    e.ucCdb[0] = 0x4d;
    e.ucCdb[2] = 0x40;
    const U8 sense[] = {0x70, 0, 5, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x24};
    memcpy(e.ucSense, sense, sizeof sense);
    memset(e.ucSense + 20, 0xee, 12);  // never shown
    return e;
}

struct Case {
    const char* name;
    std::function<void()> call;
    std::string log;
    std::string console;
};

TEST(Reporters, LogOnlyWithoutArgumentsConsoleAlways) {
    static const ERRINFO e4 = scsi(4), eNeg = scsi(-1);
    static ERRINFOSTP stpZero{}, stp{};
    stp.iApiErr = 7;  // neither the result nor the command FIS is shown
    stp.usAtaCom[0] = 0xffff;
    for (int i = 0; i < 20; ++i) stp.ucfisResBuff[i] = static_cast<U8>(0x34 + i);
    std::string stpZeroLine = "H01T0a Command error , ";
    for (int i = 0; i < 20; ++i) stpZeroLine += " 00";
    const std::vector<Case> cases = {
        {"file_open_err", [] { file_open_err("/o_tmp/TMP/KESTRA/MA0005.log"); },
         " File Open Error(/o_tmp/TMP/KESTRA/MA0005.log)\n",
         kRed + " File Open Error(/o_tmp/TMP/KESTRA/MA0005.log)\n" + kReset},
        {"file_write_err", [] { file_write_err("/x/MA0102.log"); }, " File Write Error(/x/MA0102.log)\n",
         kRed + " File Write Error(/x/MA0102.log)\n" + kReset},
        {"controller_none_err", [] { controller_none_err(); }, " RAID Contoroller is not Found\n",
         kRed + " RAID Contoroller is not Found\n" + kReset},
        {"mem_err", [] { mem_err(); }, " Memory Allocation Error\n", kRed + " Memory Allocation Error\n" + kReset},
        {"sys_cmnd_err", [] { sys_cmnd_err("Uart Log save error !"); }, " Uart Log save error !\n\n",
         kRed + " Uart Log save error !\n\n" + kReset},
        {"scsi line of 125", [] { sas_cmnd_err(0, 5, &e4); }, kScsiLine + "\r\n", kHdd},
        {"three-digit ids", [] { sas_cmnd_err(0x100, 0x1ff, &e4); }, "H100T1ff" + kScsiLine.substr(6) + "\r\n", kHdd},
        {"negative result", [] { sas_cmnd_err(0, 5, &eNeg); },
         std::string(kScsiLine).replace(kScsiLine.find("00000004"), 8, "ffffffff") + "\r\n", kHdd},
        {"sata zero fis, 83", [] { sata_cmnd_err(1, 0x0a, &stpZero); }, stpZeroLine + "\r\n", kHdd},
        {"sata fis", [] { sata_cmnd_err(2, 3, &stp); },
         "H02T03 Command error ,  34 35 36 37 38 39 3a 3b 3c 3d 3e 3f 40 41 42 43 44 45 46 47\r\n", kHdd},
    };
    ASSERT_EQ(kScsiLine.size(), 125u);
    ASSERT_EQ(stpZeroLine.size(), 83u);
    for (int flag : {0, 1}) {
        for (const auto& c : cases) {
            FILE* log = tmpfile();
            FILE* savedLog = gfpErrLog;
            int savedFlag = iCommandFlg;
            // With arguments no error log is open; nothing may be written to it.
            gfpErrLog = flag == 0 ? log : nullptr;
            iCommandFlg = flag;
            std::string console = capture_stdout(c.call);
            gfpErrLog = savedLog;
            iCommandFlg = savedFlag;
            // Read through the descriptor: a record still in the stream's
            // buffer would not count.
            char buf[512] = {};
            ssize_t n = pread(fileno(log), buf, sizeof buf - 1, 0);
            fclose(log);
            EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), flag == 0 ? c.log : "")
                << c.name << " flag " << flag;
            EXPECT_EQ(console, c.console) << c.name << " flag " << flag;
        }
    }
}

}  // namespace
