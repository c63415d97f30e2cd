// The controller log readers: each log of the CLI's text read into its
// fields, the same text as other CLI versions and transfers change it, and
// what a reader says of a file it cannot read.
#include <gtest/gtest.h>

#include <functional>

#include "controller.h"

namespace {

using namespace rpt;

// ---------------------------------------------------------------- the CLI's text, written by hand

const std::string kDriveList = R"(
Adapter #0

Enclosure Device ID: 32
Slot Number: 4
Drive's position: DiskGroup: 0, Span: 0, Arm: 1
Enclosure position: 1
Device Id: 14
Media Error Count: 22
Other Error Count: 3
Predictive Failure Count: 1
PD Type: SAS

Raw Size: 1.090 TB [0x8bba0cb0 Sectors]
Sector Size:  512
Firmware state: Offline
Device Firmware Level: A440
Successful diagnostics completion on :  N/A
SAS Address(0): 0x5000c500a1b2c3d5
SAS Address(1): 0x0
Connected Port Number: 0(path0) 
Inquiry Data: OKAPIHD KZA1200TX       A440Z1X2Y3W4    
Foreign State: None 
Device Speed: 12.0Gb/s 
Link Speed: 6.0Gb/s 
Media Type: Hard Disk Device
Drive Temperature :38C (100.40 F)
Drive has flagged a S.M.A.R.T alert : Yes



Enclosure Device ID: 32
Slot Number: 5
Enclosure position: 1
Device Id: 15
Media Error Count: 0
Other Error Count: 0
Predictive Failure Count: 0
PD Type: SATA
Raw Size: 931.512 GB [0x74706db0 Sectors]
Firmware state: Rebuild
Rebuild Progress on Device at Enclosure 32, Slot 5 Completed 45% in 27 Minutes.
SAS Address(0): 0x500605b00d1d4c45
Inquiry Data:      Z9P4Q1RX        ACME DSK1000SB                      SB04    
Foreign State: Foreign 
Device Speed: 6.0Gb/s 
Link Speed: 6.0Gb/s 
Media Type: Solid State Device
Drive Temperature :N/A
Drive has flagged a S.M.A.R.T alert : No



Exit Code: 0x00
)";

const std::string kVirtualDrives = R"(

Adapter 0 -- Virtual Drive Information:
Virtual Drive: 0 (Target Id: 0)
Name                :sys
RAID Level          : Primary-1, Secondary-0, RAID Level Qualifier-0
Size                : 1.090 TB
Sector Size         : 512
Mirror Data         : 1.090 TB
State               : Degraded
Strip Size          : 64 KB
Number Of Drives    : 2
Span Depth          : 1
Default Cache Policy: WriteBack, ReadAdaptive, Direct, No Write Cache if Bad BBU
Current Cache Policy: WriteThrough, ReadAdaptive, Direct, No Write Cache if Bad BBU
Bad Blocks Exist: Yes



Virtual Drive: 1 (Target Id: 1)
Name                :
RAID Level          : Primary-1, Secondary-3, RAID Level Qualifier-0
Size                : 3.271 TB
State               : Optimal
Number Of Drives per span:2
Span Depth          : 3
Default Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU
Current Cache Policy: WriteBack, ReadAhead, Direct, No Write Cache if Bad BBU
Bad Blocks Exist: No



Exit Code: 0x00
)";

const std::string kMembers = R"(
Adapter #0

Number of Virtual Disks: 1
Virtual Drive: 0 (Target Id: 0)
Name                :sys
RAID Level          : Primary-1, Secondary-0, RAID Level Qualifier-0
State               : Degraded
Number Of Drives    : 2
Span Depth          : 1
Number of Spans: 1
Span: 0 - Number of PDs: 2

PD: 0 Information
Enclosure Device ID: 32
Slot Number: 3
Drive's position: DiskGroup: 0, Span: 0, Arm: 0
Device Id: 13
Firmware state: Online, Spun Up

PD: 1 Information
Enclosure Device ID: 32
Slot Number: 4
Drive's position: DiskGroup: 0, Span: 0, Arm: 1
Device Id: 14
Firmware state: Offline


Exit Code: 0x00
)";

const std::string kAdapter = R"(Adapter #0

==============================================================================
                    Versions
                ================
Product Name    : OKAPI RAID 8i
Serial No       : SV52027000
FW Package Build: 24.21.0-0097

                Image Versions in Flash:
                ================
FW Version         : 4.680.00-8527

                HW Configuration
                ================
BBU              : Absent
Alarm            : Present
Memory           : Present

                Settings
                ================
Current Time                     : 14:5:9 6/20, 2024
Alarm                            : Disabled

                Device Present
                ================
Virtual Drives    : 2 
  Degraded        : 1 
  Offline         : 0 
Physical Devices  : 5 
  Disks           : 4 
  Critical Disks  : 1 
  Failed Disks    : 1 

                Supported Adapter Operations
                ================
BBU                             : Yes

                Error Counters
                ================
Memory Correctable Errors   : 12 
Memory Uncorrectable Errors : 1 

Exit Code: 0x00
)";

const std::string kEvents = R"(

seqNum: 0x00001e2a
Time: Wed Jun  5 22:41:07 2024

Code: 0x00000071
Class: 0
Locale: 0x02
Event Description: Unexpected sense: PD 0e(e0x20/s4) Path 5000c500a1b2c3d5, CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00
Event Data:
===========
Device ID: 14
Enclosure Index: 32
Slot Number: 4


seqNum: 0x00001e2b
Time: Boot + 23 seconds

Code: 0x00000072
Class: 2
Locale: 0x02
Event Description: State change on PD 05(e0x06/s1) from ONLINE(18) to OFFLINE(10)
Event Data:
===========
None


seqNum: 0x00001e2c
Time: Thu Jun  6 09:00:07 2024

Code: 0x00000051
Class: -1
Locale: 0x01
Event Description: State change on VD 00/0 from OPTIMAL(3) to DEGRADED(2)
Event Data:
===========
Target Id: 0
Previous state: 3
New state: 2
)";

const std::string kConfiguration = R"(==============================================================================
Adapter: 0
Product Name: OKAPI RAID 8i
Memory: 1024MB
BBU: Absent
Serial No: SV52027000
==============================================================================
Number of DISK GROUPS: 1

DISK GROUP: 0
Number of Spans: 1
SPAN: 0
Span Reference: 0x00
Number of PDs: 2
Number of VDs: 1
Number of dedicated Hotspares: 0
Virtual Drive Information:
Virtual Drive: 0 (Target Id: 0)
Name                :sys
State               : Optimal
Physical Disk Information:
Physical Disk: 0
Enclosure Device ID: 32
Slot Number: 3
Firmware state: Online, Spun Up
Physical Disk: 1
Enclosure Device ID: 32
Slot Number: 4
Firmware state: Online, Spun Up

Exit Code: 0x00
)";

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
             EXPECT_FALSE(cs[0].virtual_drives[0].listed);
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
        {"the configuration log's states are kept apart for a cross-check", "Controller_0_cfgdsply.log", kConfiguration,
         [](const auto& cs) {
             EXPECT_TRUE(cs[0].virtual_drives.empty());
             ASSERT_EQ(cs[0].configuration.size(), 1u);
             EXPECT_EQ(cs[0].configuration[0].state_kind, VirtualDriveState::Optimal);
             ASSERT_EQ(cs[0].configuration[0].members.size(), 2u);
             EXPECT_EQ(cs[0].configuration[0].members[1].state, DriveState::Online);
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
        EXPECT_TRUE(cs[0].virtual_drives[0].listed);
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
