// The controller log readers on what they cannot read (with the file and
// line they say it of), on file names, RAID levels and the sense data of
// events.
#include <algorithm>

#include <gtest/gtest.h>

#include "controller_read.h"
#include "controller_texts.h"

namespace {

using namespace rpt;
using namespace rpt::test;

// ---------------------------------------------------------------- what cannot be read

TEST(ControllerLogs, SayWhatTheyCannotReadWithFileAndLine) {
    const struct {
        const char* name;
        std::string file, text;
        std::string problems;  // code@line, in order
    } rows[] = {
        {"a valid drive list has nothing to say", "Controller_0_pdlist.log", kDriveList, ""},
        {"a page of HTML is not the CLI's text", "Controller_0_pdlist.log",
         "<html>\n<body>Gateway Timeout</body>\n</html>\n", "unrecognised@1"},
        {"an empty file is not either", "Controller_0_adpallinfo.log", "", "unrecognised@0"},
        {"nor one whose only adapter key belongs to a section it lacks", "Controller_0_adpallinfo.log",
         "Alarm : Present\n", "unrecognised@1"},
        {"nor one of keys the adapter's table lacks", "Controller_0_adpallinfo.log", "Gateway Status : Down\n",
         "unrecognised@1"},
        {"the drive list of another tool names its first line", "Controller_0_pdlist.log",
         "\n\nDisk /dev/sda: 558.9 GiB\nModel: OKAPIHD KZA4036TX\n", "unrecognised@3"},
        {"a count that is not a number is a bad value, the rest is read", "Controller_0_pdlist.log",
         replaced(kDriveList, "Media Error Count: 22", "Media Error Count: many"), "bad-value@9"},
        {"a temperature past 250C is a bad value", "Controller_0_pdlist.log",
         replaced(kDriveList, ":38C (100.40 F)", ":251C (483.80 F)"), "bad-value@27"},
        {"a link speed without its unit is a bad value", "Controller_0_pdlist.log",
         replaced(kDriveList, "Link Speed: 6.0Gb/s \nMedia Type: Hard", "Link Speed: 6.0 \nMedia Type: Hard"),
         "bad-value@25"},
        {"a CR inside a line is not text", "Controller_0_pdlist.log",
         replaced(kDriveList, "Slot Number: 4", "Slot\rNumber: 4"), "not-text@5"},
        {"... nor a control character at the end of a long line", "Controller_0_pdlist.log",
         replaced(kDriveList, "alert : Yes", "alert : Yes\x1b"), "not-text@28"},
        {"... nor one in the file's last bytes", "Controller_0_pdlist.log", kDriveList + "Slot\x01",
         "not-text@" + std::to_string(std::count(kDriveList.begin(), kDriveList.end(), '\n') + 1)},
        {"binary data in the middle is not text", "Controller_0_ldinfo.log",
         replaced(kVirtualDrives, "Span Depth          : 3", std::string("\x01\x02\xff\x00\x7f", 5)), "not-text@26"},
        {"the CLI's own failure is its exit code", "Controller_0_ldinfo.log",
         "\nInvalid input: -Lall needs an adapter\n\nExit Code: 0x01\n", "cli-exit@4"},
        {"a file that is only the CLI's refusal", "Controller_0_pdlist.log",
         "Invalid input at or near token -PdLst\nExit Code: 0x01\n", "cli-exit@2"},
        {"an event class of no name, up to 127, is read", "controller_0_Flashrom.log",
         replaced(kEvents, "Class: 2", "Class: 127"), ""},
        {"an event log whose time is of no known form", "controller_0_Flashrom.log",
         replaced(kEvents, "Boot + 23 seconds", "yesterday"), "bad-value@18"},
    };
    for (const auto& row : rows) {
        const auto cs = read_one(row.file, row.text);
        ASSERT_EQ(cs.size(), 1u) << row.name;
        EXPECT_EQ(codes(cs[0]), row.problems) << row.name;
        for (const auto& p : cs[0].problems) EXPECT_NE(p.text.find(row.file), std::string::npos) << row.name;
    }
}

// ---------------------------------------------------------------- names

TEST(ControllerLogs, FileNamesSayKindAndController) {
    const struct {
        const char* name;
        std::optional<std::pair<ControllerLog, unsigned>> log;
    } rows[] = {
        {"Controller_0_pdlist.log", std::pair{ControllerLog::Drives, 0u}},
        {"Controller_12_ldpdinfo.log", std::pair{ControllerLog::Members, 12u}},
        {"controller_1_Flashrom.log", std::pair{ControllerLog::Events, 1u}},
        {"Controller_1_fwtermlog.log", std::pair{ControllerLog::TermLog, 1u}},
        {"Controller_99999_pdlist.log", std::pair{ControllerLog::Drives, 99999u}},  // five digits at most
        {"Controller_123456_pdlist.log", std::nullopt},
        {"Controller_x_pdlist.log", std::nullopt},
        {"Controller_0_pdlist.log.bak", std::nullopt},
        {"MA0001.log", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(controller_log(row.name), row.log) << row.name;
}

TEST(ControllerLogs, RaidLevelsFromPrimarySecondaryAndSpans) {
    const struct {
        const char* level;
        const char* span_depth;
        const char* name;
    } rows[] = {
        {"Primary-0, Secondary-0, RAID Level Qualifier-0", "1", "RAID 0"},
        {"Primary-1, Secondary-0, RAID Level Qualifier-0", "1", "RAID 1"},
        {"Primary-1, Secondary-0, RAID Level Qualifier-0", "2", "RAID 10"},
        {"Primary-5, Secondary-0, RAID Level Qualifier-3", "1", "RAID 5"},
        {"Primary-5, Secondary-3, RAID Level Qualifier-3", "2", "RAID 50"},
        {"Primary-6, Secondary-0, RAID Level Qualifier-3", "1", "RAID 6"},
        {"Primary-6, Secondary-3, RAID Level Qualifier-3", "2", "RAID 60"},
        {"Primary-1, Secondary-3, RAID Level Qualifier-0", "1", "RAID 10"},  // older firmware
        {"Primary-1, Secondary-0, RAID Level Qualifier-0", "5", "RAID 10"},
        {"Primary-17, Secondary-0, RAID Level Qualifier-0", "1", "Primary-17"},
        {"Primary-12345, Secondary-0, RAID Level Qualifier-0", "1", ""},  // a bad value, never cut to 1234
    };
    for (const auto& row : rows) {
        const auto cs =
            read_one("Controller_0_ldinfo.log", std::string("Virtual Drive: 0 (Target Id: 0)\nRAID Level: ") +
                                                    row.level + "\nSpan Depth: " + row.span_depth + "\n");
        EXPECT_EQ(cs.at(0).virtual_drives.at(0).raid_level, row.name) << row.level << " " << row.span_depth;
    }
}

TEST(ControllerLogs, SenseEventsDecodeTheCommandsBlockAddress) {
    const struct {
        const char* cdb;
        const char* operation;  // null: the event carries no sense
        std::optional<uint64_t> lba;
        const char* sense = ", Sense: 3/11/00";
    } rows[] = {
        {"28 00 0a 1b 2c 30 00 00 08 00", "Read(10)", 0x0a1b2c30},
        {"0a 1f ff ff 01 00", "Write(6)", 0x1fffff},
        {"88 00 00 00 00 01 00 00 00 10 00 00 00 08 00 00", "Read(16)", 0x100000010},
        {"41 00 0a 1b 2c 30 00 00 08 00", "Write same(10)", 0x0a1b2c30},
        {"12 00 00 00 60 00", "Inquiry", std::nullopt},
        {"08 ff 12 34 08 00", "Read(6)", 0x1f1234},                     // byte 1's top bits: no address
        {"28 00 0a 1b 2c 30", "Read(10)", 0x0a1b2c30},                  // cut right after the address
        {"28 00 0a 1b", "Read(10)", std::nullopt},                      // cut short: no address
        {"28 00 0a 1b 2c 30 00 00 08 00", "Read(10)", 0x0a1b2c30, ""},  // the command without its sense
        {"z8 00 0a 1b 2c 30 00 00 08 00", nullptr, std::nullopt, ""},   // not hex: no command
        {"", nullptr, std::nullopt, ""},                                // neither
    };
    for (const auto& row : rows) {
        const auto cs = read_one("controller_0_Flashrom.log",
                                 std::string("seqNum: 0x1\nEvent Description: Unexpected sense: PD 01(e0xfc/s1) "
                                             "Path 5000c5000000015d, CDB: ") +
                                     row.cdb + row.sense + "\n");
        const auto& s = cs.at(0).events.at(0).sense;
        ASSERT_EQ(bool(s), row.operation != nullptr) << row.cdb;
        if (!s) continue;
        EXPECT_EQ(s->operation, row.operation) << row.cdb;
        EXPECT_EQ(s->lba, row.lba) << row.cdb;
    }
}

}  // namespace
