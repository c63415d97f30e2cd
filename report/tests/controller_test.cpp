// The controller log readers: each log of the CLI's text read into its
// fields, the same text as other CLI versions and transfers change it, and
// what a reader says of a file it cannot read.
#include <gtest/gtest.h>

#include <functional>

#include "controller.h"
#include "controller_texts.h"

namespace {

using namespace rpt;
using namespace rpt::test;

// ---------------------------------------------------------------- helpers

std::vector<Controller> read_one(const std::string& name, const std::string& text) {
    const InputFile f{name, text, 0, true};
    return read_controllers(std::span<const InputFile>(&f, 1));
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

std::string codes(const Controller& c) {
    std::string s;
    for (const auto& p : c.problems) s += (s.empty() ? "" : " ") + p.code + "@" + std::to_string(p.line);
    return s;
}

struct Row {
    const char* name;
    std::string file, text;
    std::function<void(const std::vector<Controller>&)> check;
};

void run(const std::vector<Row>& rows) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.check(read_one(row.file, row.text));
    }
}

// ---------------------------------------------------------------- each log's fields

TEST(ControllerLogs, EachReaderReadsItsFields) {
    run({
        {"the drive list gives every field of an offline SAS drive", "Controller_0_pdlist.log", kDriveList,
         [](const auto& cs) {
             ASSERT_EQ(cs.size(), 1u);
             EXPECT_EQ(codes(cs[0]), "");
             ASSERT_EQ(cs[0].physical_drives.size(), 2u);
             const PhysicalDrive& d = cs[0].physical_drives[0];
             EXPECT_EQ(d.enclosure, 32u);
             EXPECT_EQ(d.slot, 4u);
             EXPECT_EQ(d.device_id, 14u);
             EXPECT_EQ(d.arm, 1u);
             EXPECT_EQ(d.media_errors, 22u);
             EXPECT_EQ(d.other_errors, 3u);
             EXPECT_EQ(d.predictive_failures, 1u);
             EXPECT_EQ(d.raw_sectors, 0x8bba0cb0u);
             EXPECT_EQ(d.state, DriveState::Offline);
             EXPECT_EQ(d.sas_addresses, (std::vector<uint64_t>{0x5000c500a1b2c3d5, 0}));
             EXPECT_EQ(d.vendor + "|" + d.product + "|" + d.revision + "|" + d.serial,
                       "OKAPIHD|KZA1200TX|A440|Z1X2Y3W4");
             EXPECT_EQ(d.foreign_state, "None");
             EXPECT_EQ(d.device_gbps, 12.0);
             EXPECT_EQ(d.link_gbps, 6.0);
             EXPECT_EQ(d.temperature, 38);
             EXPECT_EQ(d.smart_alert, true);
         }},
        {"a rebuilding SATA drive gives its progress, its inquiry as serial, model, firmware",
         "Controller_0_pdlist.log", kDriveList,
         [](const auto& cs) {
             const PhysicalDrive& d = cs[0].physical_drives.at(1);
             EXPECT_EQ(d.state, DriveState::Rebuild);
             EXPECT_EQ(d.progress, 45u);
             EXPECT_EQ(d.serial + "|" + d.product + "|" + d.revision, "Z9P4Q1RX|ACME DSK1000SB|SB04");
             EXPECT_EQ(d.foreign_state, "Foreign");
             EXPECT_FALSE(d.temperature.has_value());
             EXPECT_FALSE(d.arm.has_value());
         }},
        {"the virtual drive log gives level, state, cache policies and bad blocks", "Controller_0_ldinfo.log",
         kVirtualDrives,
         [](const auto& cs) {
             ASSERT_EQ(cs[0].virtual_drives.size(), 2u);
             const VirtualDrive& v = cs[0].virtual_drives[0];
             EXPECT_EQ(v.id, 0u);
             EXPECT_EQ(v.target, 0u);
             EXPECT_EQ(v.name, "sys");
             EXPECT_EQ(v.raid_level, "RAID 1");
             EXPECT_EQ(v.state_kind, VirtualDriveState::Degraded);
             EXPECT_EQ(v.drives, 2u);
             EXPECT_EQ(v.cache_current.substr(0, 12), "WriteThrough");
             EXPECT_EQ(v.bad_blocks, true);
             EXPECT_EQ(cs[0].virtual_drives[1].raid_level, "RAID 10");
             EXPECT_EQ(cs[0].virtual_drives[1].span_depth, 3u);
         }},
        {"the members log gives each virtual drive its drives", "Controller_0_ldpdinfo.log", kMembers,
         [](const auto& cs) {
             ASSERT_EQ(cs[0].virtual_drives.size(), 1u);
             const auto& m = cs[0].virtual_drives[0].members;
             ASSERT_EQ(m.size(), 2u);
             EXPECT_EQ(m[1].slot, 4u);
             EXPECT_EQ(m[1].device_id, 14u);
             EXPECT_EQ(m[1].state, DriveState::Offline);
             EXPECT_EQ(cs[0].virtual_drives[0].source, "Controller_0_ldpdinfo.log");
         }},
        {"the adapter log gives identity, counts, memory errors, battery, alarm and clock",
         "Controller_0_adpallinfo.log", kAdapter,
         [](const auto& cs) {
             const AdapterInfo& a = cs[0].adapter;
             EXPECT_EQ(a.product + "|" + a.serial + "|" + a.package + "|" + a.firmware,
                       "OKAPI RAID 8i|SV52027000|24.21.0-0097|4.680.00-8527");
             EXPECT_EQ(a.virtual_drives, 2u);
             EXPECT_EQ(a.degraded, 1u);
             EXPECT_EQ(a.offline, 0u);
             EXPECT_EQ(a.disks, 4u);
             EXPECT_EQ(a.critical_disks, 1u);
             EXPECT_EQ(a.failed_disks, 1u);
             EXPECT_EQ(a.memory_correctable, 12u);
             EXPECT_EQ(a.memory_uncorrectable, 1u);
             EXPECT_EQ(a.bbu_present, false);
             EXPECT_EQ(a.alarm_present, true);  // the hardware's, not the setting's
             EXPECT_EQ(a.clock, 1718892309);    // 2024-06-20 14:05:09
         }},
        {"the event log gives each event with its class, drive and sense", "controller_0_Flashrom.log", kEvents,
         [](const auto& cs) {
             ASSERT_EQ(cs[0].events.size(), 3u);
             const ControllerEvent& e = cs[0].events[0];
             EXPECT_EQ(e.seq, 0x1e2au);
             EXPECT_EQ(e.time, 1717627267);  // 2024-06-05 22:41:07
             EXPECT_EQ(e.code, 0x71u);
             EXPECT_EQ(e.cls, 0);
             EXPECT_EQ(e.locale, "0x02");
             EXPECT_EQ(e.device_id, 14u);
             EXPECT_EQ(e.enclosure, 32u);
             EXPECT_EQ(e.slot, 4u);
             ASSERT_TRUE(e.sense.has_value());
             EXPECT_EQ(e.sense->operation, "Read(10)");
             EXPECT_EQ(e.sense->lba, 0x0a1b2c30u);
             EXPECT_EQ(e.sense->key_name, "Medium Error");
             EXPECT_EQ(e.sense->asc_name, "Unrecovered read error");
             EXPECT_EQ(e.data, "Device ID: 14\nEnclosure Index: 32\nSlot Number: 4");
             EXPECT_EQ(cs[0].events[1].boot_seconds, 23u);
             EXPECT_EQ(cs[0].events[1].device_id, 5u);  // PD 05(e0x06/s1)
             EXPECT_EQ(cs[0].events[1].enclosure, 6u);
             EXPECT_EQ(cs[0].events[1].slot, 1u);
             EXPECT_STREQ(event_class_name(*cs[0].events[2].cls), "progress");
         }},
        {"the configuration log gives its disk groups' virtual drives and their drives", "Controller_0_cfgdsply.log",
         kConfiguration,
         [](const auto& cs) {
             ASSERT_EQ(cs[0].virtual_drives.size(), 1u);
             EXPECT_EQ(cs[0].virtual_drives[0].state_kind, VirtualDriveState::Optimal);
             ASSERT_EQ(cs[0].virtual_drives[0].members.size(), 2u);
             EXPECT_EQ(cs[0].virtual_drives[0].members[1].state, DriveState::Online);
             EXPECT_EQ(cs[0].virtual_drives[0].members[1].disk_group, 0u);
             EXPECT_EQ(cs[0].virtual_drives[0].members[1].arm, 1u);
             ASSERT_EQ(cs[0].physical_drives.size(), 2u);
             EXPECT_EQ(cs[0].physical_drives[1].source, "Controller_0_cfgdsply.log");
         }},
    });
}

// ---------------------------------------------------------------- variants of the text

TEST(ControllerLogs, ReadOtherVersionsAndTransfersOfTheText) {
    auto slot_of_second = [](const auto& cs) { return cs.at(0).physical_drives.at(1).slot; };
    run({
        {"CR LF line ends read the same", "Controller_0_pdlist.log", replaced(kDriveList, "\n", "\r\n"),
         [&](const auto& cs) {
             EXPECT_EQ(codes(cs[0]), "");
             EXPECT_EQ(slot_of_second(cs), 5u);
             EXPECT_EQ(cs[0].physical_drives[0].serial, "Z1X2Y3W4");
         }},
        {"leading blanks read the same", "Controller_0_pdlist.log", replaced(kDriveList, "\n", "\n   "),
         [&](const auto& cs) { EXPECT_EQ(slot_of_second(cs), 5u); }},
        {"an older CLI's field names read the same", "Controller_0_ldinfo.log",
         replaced(replaced(kVirtualDrives, "Virtual Drive:", "Virtual Disk:"), "Drive Information", "Disk Information"),
         [](const auto& cs) {
             ASSERT_EQ(cs[0].virtual_drives.size(), 2u);
             EXPECT_EQ(cs[0].virtual_drives[1].id, 1u);
         }},
        {"a drive block without its enclosure line is still a drive of its own", "Controller_0_pdlist.log",
         replaced(kDriveList, "Enclosure Device ID: 32\nSlot Number: 5", "Slot Number: 5"),
         [&](const auto& cs) {
             EXPECT_EQ(slot_of_second(cs), 5u);
             EXPECT_FALSE(cs[0].physical_drives[1].enclosure.has_value());
             EXPECT_EQ(cs[0].physical_drives[0].slot, 4u);
         }},
        {"fields the reader does not know are passed over", "Controller_0_pdlist.log",
         replaced(kDriveList, "PD Type: SAS", "PD Type: SAS\nCommissioned Spare : No\nEmergency Spare : No"),
         [](const auto& cs) { EXPECT_EQ(cs[0].physical_drives[0].pd_type, "SAS"); }},
        {"the blocks of another adapter go to that controller", "Controller_0_pdlist.log",
         kDriveList + "\nAdapter #1\n\nEnclosure Device ID: 9\nSlot Number: 0\nDevice Id: 0\n",
         [](const auto& cs) {
             ASSERT_EQ(cs.size(), 2u);
             EXPECT_EQ(cs[0].physical_drives.size(), 2u);
             ASSERT_EQ(cs[1].physical_drives.size(), 1u);
             EXPECT_EQ(cs[1].physical_drives[0].enclosure, 9u);
         }},
        {"the members log read before or without the virtual drive log gives both", "Controller_0_ldpdinfo.log",
         replaced(kMembers, "Virtual Drive: 0", "Virtual Disk: 0"),
         [](const auto& cs) {
             EXPECT_EQ(cs[0].virtual_drives.at(0).state_kind, VirtualDriveState::Degraded);
             EXPECT_EQ(cs[0].virtual_drives[0].members.size(), 2u);
         }},
    });
}

TEST(ControllerLogs, VirtualDriveLogAndMembersLogJoinWhicheverComesFirst) {
    for (bool members_first : {false, true}) {
        std::vector<InputFile> files = {{"Controller_0_ldinfo.log", kVirtualDrives, 0, true},
                                        {"Controller_0_ldpdinfo.log", kMembers, 0, true}};
        if (members_first) std::swap(files[0], files[1]);
        const auto cs = read_controllers(files);
        ASSERT_EQ(cs.at(0).virtual_drives.size(), 2u) << members_first;
        EXPECT_EQ(cs[0].virtual_drives[0].source, "Controller_0_ldinfo.log");
        EXPECT_EQ(cs[0].virtual_drives[0].cache_default.substr(0, 9), "WriteBack");
        EXPECT_EQ(cs[0].virtual_drives[0].members.size(), 2u) << members_first;
        EXPECT_TRUE(cs[0].virtual_drives[1].members.empty());
    }
}

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
        {"the drive list of another tool names its first line", "Controller_0_pdlist.log",
         "\n\nDisk /dev/sda: 558.9 GiB\nModel: OKAPIHD KZA4036TX\n", "unrecognised@3"},
        {"a count that is not a number is a bad value, the rest is read", "Controller_0_pdlist.log",
         replaced(kDriveList, "Media Error Count: 22", "Media Error Count: many"), "bad-value@9"},
        {"binary data in the middle is not text", "Controller_0_ldinfo.log",
         replaced(kVirtualDrives, "Span Depth          : 3", std::string("\x01\x02\xff\x00\x7f", 5)), "not-text@26"},
        {"the CLI's own failure is its exit code", "Controller_0_ldinfo.log",
         "\nInvalid input: -Lall needs an adapter\n\nExit Code: 0x01\n", "cli-exit@4"},
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
        {"Primary-17, Secondary-0, RAID Level Qualifier-0", "1", "Primary-17"},
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
        const char* operation;
        std::optional<uint64_t> lba;
    } rows[] = {
        {"28 00 0a 1b 2c 30 00 00 08 00", "Read(10)", 0x0a1b2c30},
        {"0a 1f ff ff 01 00", "Write(6)", 0x1fffff},
        {"88 00 00 00 00 01 00 00 00 10 00 00 00 08 00 00", "Read(16)", 0x100000010},
        {"12 00 00 00 60 00", "Inquiry", std::nullopt},
        {"28 00 0a 1b", "Read(10)", std::nullopt},  // cut short: no address
    };
    for (const auto& row : rows) {
        const auto cs = read_one("controller_0_Flashrom.log",
                                 std::string("seqNum: 0x1\nEvent Description: Unexpected sense: PD 01(e0xfc/s1) "
                                             "Path 5000c5000000015d, CDB: ") +
                                     row.cdb + ", Sense: 3/11/00\n");
        const auto& s = cs.at(0).events.at(0).sense;
        ASSERT_TRUE(s.has_value()) << row.cdb;
        EXPECT_EQ(s->operation, row.operation) << row.cdb;
        EXPECT_EQ(s->lba, row.lba) << row.cdb;
    }
}

}  // namespace
