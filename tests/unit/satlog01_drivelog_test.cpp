// The SATA drives of the drive scan with the extended collection, against
// the simulated library: the blocks of each drive's file, what was asked,
// and a missing buffer or a short answer on the way.
#include "alloc_fault.h"
#include "libstoresata.h"
#include "run_state.h"
#include "test_sas_support.h"

namespace {

// A drive log as its outline: every line but the hex lines, each block's
// tag with the bytes dumped under it ("<TAG> N"), "|" between.
std::string outline(const std::string& log) {
    std::string out, tag;
    size_t bytes = 0;
    auto close = [&] {
        if (!tag.empty()) out += (out.empty() ? "" : "|") + tag + " " + std::to_string(bytes);
        tag.clear();
    };
    for (size_t at = 0; at < log.size();) {
        size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(at, end - at);
        at = end + 2;
        if (!line.empty() && line[0] == ' ') {
            bytes += line.size() / 3;
            continue;
        }
        close();
        if (!line.empty() && line[0] == '<') {
            tag = line;
            bytes = 0;
        } else {
            out += (out.empty() ? "" : "|") + line;
        }
    }
    close();
    return out;
}

// Two SATA drives as the simulated library makes them.
const char kDrives[] = "controller 0 count 3\ndevice 0 1 sata\ndevice 0 2 sata\n";
const std::string kSaving1 = "Controller 0/ Target 1 : HardDisk Log saving...\n";
const std::string kSaving2 = "Controller 0/ Target 2 : HardDisk Log saving...\n";
const std::string kNoMemory = " Memory Allocation Error\n";

std::string identity(int id) {
    return "Device code   : DK1000SB0033-ABC                        SN04    |Serial number : Z1W00000" +
           std::to_string(id) + "A          ";
}
const std::string kBlocks =
    "|<ATA IDENTIFY DEVICE> 512|<ATA SMART READ DATA> 512|<ATA SMART READ THRESHOLDS> 512|"
    "<ATA SMART RETURN STATUS> 0|passed (4f c2)|<ATA SMART LOG 00> 512|<ATA SMART LOG 01> 512|"
    "<ATA SMART LOG 06> 512|<ATA GPL LOG 00 PAGE 0000> 512|<ATA GPL LOG 04 PAGE 0000> 512|"
    "<ATA GPL LOG 04 PAGE 0001> 512|<ATA GPL LOG 04 PAGE 0005> 512|<ATA GPL LOG 07 PAGE 0000> 512|"
    "<ATA GPL LOG 03 PAGE 0000> 512|<ATA GPL LOG 10 PAGE 0000> 512|<ATA GPL LOG 11 PAGE 0000> 512";

class SataScan : public sastest::SasTest {
protected:
    void SetUp() override {
        SasTest::SetUp();
        iExtendedFlg = 1;
    }
    void TearDown() override {
        allocfault::clear();
        iExtendedFlg = 0;
        SasTest::TearDown();
    }
    std::string file(int id) {
        const std::string name = "MA000" + std::to_string(id) + ".log";
        return sastest::exists(log_dir() + "/" + name) ? outline(drive_log(name.c_str())) : "(none)";
    }
};

TEST_F(SataScan, EachDriveGetsItsBlocksThroughItsOwnBuffer) {
    struct Row {
        const char* name;
        std::string statements;
        unsigned failBuffer;  // the nth STP buffer of the scan that cannot be had (0: none)
        std::string console, drive1, drive2, errors;
    };
    const std::string full1 = identity(1) + kBlocks, full2 = identity(2) + kBlocks;
    std::string shortData = full1;
    shortData.replace(shortData.find("SMART READ DATA> 512"), 20, "SMART READ DATA> 100");
    std::string noData = full1;
    noData.replace(noData.find("SMART READ DATA> 512"), 20, "SMART READ DATA> 0");
    std::string noDirectory = full1;
    noDirectory.replace(noDirectory.find("SMART LOG 00> 512"), 17, "SMART LOG 00> 0");
    // Device statistics of 3 pages whose page 0 lists pages 2 and 3.
    const std::string statistics = [] {
        std::string hex(3 * 1024, '0');
        hex.replace(16, 6, "020203");  // byte 8: two pages listed, then 02 and 03
        return "gpl-log 0 1 0x04 " + hex + "\n";
    }();
    const std::string head1 = full1.substr(0, full1.find("|<ATA GPL"));
    std::string shortIdentify = head1;
    shortIdentify.replace(shortIdentify.find("IDENTIFY DEVICE> 512"), 20, "IDENTIFY DEVICE> 100");
    const std::string shortRecord = " Short Transfer(H00T01 Identify: 100 of 512 bytes)\n";
    const Row rows[] = {
        {"two drives, every block", "", 0, kSaving1 + kSaving2, full1, full2, ""},
        {"no buffer for the first probe: the scan ends", "", 1, kSaving1 + "\033[31m" + kNoMemory + "\033[0m", "(none)",
         "(none)", kNoMemory},
        {"no buffer for the first drive's blocks: its identity stays, the next drive is collected", "", 2,
         kSaving1 + "\033[31m" + kNoMemory + "\033[0m" + kSaving2, identity(1), full2, kNoMemory},
        {"a short SMART data answer: what arrived, and a record", "transfer 0 1 smart:d0 bytes 100 datalen sent\n", 0,
         kSaving1 + "\033[31m Short Transfer(H00T01 SmartData: 100 of 512 bytes)\n\033[0m" + kSaving2, shortData, full2,
         " Short Transfer(H00T01 SmartData: 100 of 512 bytes)\n"},
        {"SMART switched on refused: no SMART data, the next block is read",
         "ata-error 0 1 smart:d8 error 0x04 status 0x51\n", 0,
         kSaving1 + "\033[31m HDD Log Dump Error\n\033[0m" + kSaving2, noData, full2,
         "H00T01 Command error ,  34 40 51 04 00 4f c2 a0 00 00 00 00 00 00 00 00 00 00 00 00\r\n"},
        {"the SMART log directory refused: the logs IDENTIFY names are read all the same",
         "ata-error 0 1 smartlog:00 error 0x04 status 0x51\n", 0,
         kSaving1 + "\033[31m HDD Log Dump Error\n\033[0m" + kSaving2, noDirectory, full2,
         "H00T01 Command error ,  34 40 51 04 00 4f c2 a0 00 00 00 00 01 00 00 00 00 00 00 00\r\n"},
        {"a statistics page beyond the log's pages is not asked for", statistics, 0, kSaving1 + kSaving2,
         head1 + "|<ATA GPL LOG 00 PAGE 0000> 512|<ATA GPL LOG 04 PAGE 0000> 512|<ATA GPL LOG 04 PAGE 0002> 512", full2,
         ""},
        {"a short IDENTIFY answer: recorded, and its bytes are the drive's identity and first block",
         "transfer 0 1 stp:ec bytes 100 datalen sent\n", 0, kSaving1 + "\033[31m" + shortRecord + "\033[0m" + kSaving2,
         shortIdentify, full2, shortRecord},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(log_dir() + "/MA0001.log");
        std::filesystem::remove(log_dir() + "/MA0002.log");
        ASSERT_EQ(ftruncate(fileno(gfpErrLog), 0), 0);
        rewind(gfpErrLog);
        if (row.failBuffer > 0) allocfault::fail_next(STP_PASSTHRU_BUFFER_SIZE, row.failBuffer);
        EXPECT_EQ(scan(kDrives + row.statements, 1), row.console);
        EXPECT_EQ(file(1), row.drive1);
        EXPECT_EQ(file(2), row.drive2);
        EXPECT_EQ(error_log(), row.errors);
        EXPECT_EQ(pstStorPassThrStp, nullptr);
        EXPECT_EQ(fpLog, nullptr);
    }
}

}  // namespace
