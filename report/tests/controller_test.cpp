// The controller log readers: each log of the CLI's text read into its
// fields, the same text as other CLI versions and transfers change it, and
// the listings put together (controller_problems_test.cpp: what a reader
// cannot read).
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <map>

#include "cli_text.h"
#include "controller.h"
#include "controller_read.h"
#include "controller_texts.h"

namespace {

using namespace rpt;
using namespace rpt::test;

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
        {"a rebuild at its end", "Controller_0_pdlist.log", replaced(kDriveList, "Completed 45%", "Completed 100%"),
         [](const auto& cs) { EXPECT_EQ(cs[0].physical_drives.at(1).progress, 100u); }},
        {"... past it: no progress", "Controller_0_pdlist.log", replaced(kDriveList, "Completed 45%", "Completed 101%"),
         [](const auto& cs) { EXPECT_FALSE(cs[0].physical_drives.at(1).progress); }},
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
             ASSERT_TRUE(e.sense);
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
        {"an event time with a day or a year not a number has no time", "controller_0_Flashrom.log",
         replaced(replaced(kEvents, "Jun  5 22:41:07 2024", "Jun x5 22:41:07 2024"), "Jun  6 09:00:07 2024",
                  "Jun  6 09:00:07 x024"),
         [](const auto& cs) {
             ASSERT_EQ(cs[0].events.size(), 3u);
             EXPECT_FALSE(cs[0].events[0].time);
             EXPECT_FALSE(cs[0].events[2].time);
         }},
        {"an event at a leap second", "controller_0_Flashrom.log", replaced(kEvents, "22:41:07 2024", "23:59:60 2024"),
         [](const auto& cs) { EXPECT_EQ(cs.at(0).events.at(0).time, 1717632000); }},  // 2024-06-06 00:00:00
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

// The controller's clock as seconds since 1970, against glibc's timegm: the
// first and last second of every month of a leap year and of others (2000:
// the year a controller's clock starts from after losing its battery).
TEST(ControllerLogs, ClockTimesOfEveryMonth) {
    for (int year : {1970, 2000, 2023, 2024, 2100})
        for (unsigned month = 1; month <= 12; ++month) {
            tm first{};
            first.tm_year = year - 1900;
            first.tm_mon = static_cast<int>(month) - 1;
            first.tm_mday = 1;
            tm next = first;
            ++next.tm_mon;
            const int64_t start = timegm(&first), end = timegm(&next) - 1;
            const auto last_day = static_cast<unsigned>((end - start) / 86400 + 1);
            EXPECT_EQ(cli::civil_seconds(year, month, 1, 0, 0, 0), start) << year << "-" << month;
            EXPECT_EQ(cli::civil_seconds(year, month, last_day, 23, 59, 59), end) << year << "-" << month;
        }
}

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

// The CLI's text as versions met in the field print it: each row the
// sample log with one text changed, and what is read of it (with the
// problems said, "[]" for none).
TEST(ControllerLogs, ReadTheFormatsMetInTheField) {
    const std::map<std::string, std::string> sample = {{"pdlist", kDriveList},
                                                       {"ldinfo", kVirtualDrives},
                                                       {"ldpdinfo", kMembers},
                                                       {"cfgdsply", kConfiguration},
                                                       {"adpallinfo", kAdapter}};
    auto drive = [](size_t i, auto get) {
        return [=](const Controller& c) { return i < c.physical_drives.size() ? get(c.physical_drives[i]) : "none"; };
    };
    auto vd = [](size_t i, auto get) {
        return [=](const Controller& c) { return i < c.virtual_drives.size() ? get(c.virtual_drives[i]) : "none"; };
    };
    auto n = [](const auto& v) { return v ? std::to_string(*v) : std::string("-"); };
    auto members = [](const Controller& c) {
        std::string s;
        for (auto& v : c.virtual_drives)
            for (auto& m : v.members)
                s += (s.empty() ? "" : ", ") + (empty_slot(m) ? empty_slot_text(m) : drive_name(m));
        return s;
    };
    const std::string kBlank36(36, ' ');
    const struct {
        const char* name;
        std::string log, from, to;  // in the sample of this log; `from` "" puts `to` in front
        std::function<std::string(const Controller&)> got;
        std::string want;
    } rows[] = {
        {"a state without \", Spun Up\" (older firmware)", "ldpdinfo", "Online, Spun Up", "Online",
         [&](const Controller& c) { return state_label(c.virtual_drives.at(0).members.at(0)); }, "Online"},
        {"\"Drive's postion\", as older firmware spells it", "pdlist", "Drive's position", "Drive's postion",
         drive(0, [&](const PhysicalDrive& d) { return n(d.arm); }), "1"},
        {"a temperature of N/A", "pdlist", ":38C (100.40 F)", " : N/A",
         drive(0, [&](const PhysicalDrive& d) { return n(d.temperature); }), "-"},
        {"a temperature of 250C, the highest read", "pdlist", ":38C (100.40 F)", ":250C (482.00 F)",
         drive(0, [&](const PhysicalDrive& d) { return n(d.temperature); }), "250"},
        {"an empty WWN", "pdlist", "Device Id: 14", "WWN:\nDevice Id: 14",
         drive(0, [&](const PhysicalDrive& d) { return n(d.device_id); }), "14"},
        {"a sector size of 0", "pdlist", "Sector Size:  512", "Sector Size:  0",
         drive(0, [&](const PhysicalDrive& d) { return n(d.raw_sectors); }), "2344225968"},
        {"a failed drive's inquiry as ATA, model, revision and serial", "pdlist",
         "Inquiry Data:      Z9P4Q1RX        ACME DSK1000SB                      SB04    ",
         "Inquiry Data: ATA ACME DSK1000SB SB04 Z9P4Q1RX",
         drive(1,
               [](const PhysicalDrive& d) { return d.vendor + "|" + d.product + "|" + d.revision + "|" + d.serial; }),
         "ATA|ACME DSK1000SB|SB04|Z9P4Q1RX"},
        {"a raw size of 0 is no capacity", "pdlist", "1.090 TB [0x8bba0cb0 Sectors]", "0 KB [0x0 Sectors]",
         drive(0, [&](const PhysicalDrive& d) { return d.raw_size + "/" + n(d.raw_sectors); }), "0 KB/-"},
        {"a raw size past 32 bits", "pdlist", "1.090 TB [0x8bba0cb0 Sectors]", "14.552 TB [0x7470c0000 Sectors]",
         drive(0, [&](const PhysicalDrive& d) { return n(d.raw_sectors); }), "31256739840"},
        {"a raw size of 2^48 sectors is none", "pdlist", "1.090 TB [0x8bba0cb0 Sectors]",
         "128.000 PB [0x1000000000000 Sectors]", drive(0, [&](const PhysicalDrive& d) { return n(d.raw_sectors); }),
         "-"},
        {"a raw size of all ones is none either", "pdlist", "1.090 TB [0x8bba0cb0 Sectors]",
         "7.999 ZB [0xfffffffffff00000 Sectors]",
         drive(0, [&](const PhysicalDrive& d) { return d.raw_size + "/" + n(d.raw_sectors); }), "7.999 ZB/-"},
        {"a non-coerced size of all ones and \"Drive:  Not Supported\" are passed over", "pdlist", "Sector Size:  512",
         "Non Coerced Size: 7.999 ZB [0xfffffffffff00000 Sectors]\nDrive:  Not Supported\nSector Size:  512",
         drive(0, [&](const PhysicalDrive& d) { return n(d.raw_sectors); }), "2344225968"},
        {"RAID 10 as Primary-1, Secondary-0 over 5 spans of 2 drives", "ldinfo",
         "Primary-1, Secondary-3, RAID Level Qualifier-0", "Primary-1, Secondary-0, RAID Level Qualifier-0",
         vd(1,
            [&](const VirtualDrive& v) {
                return v.raid_level + ", " + n(v.drives) + (v.drives_per_span ? " per span" : "") + ", depth " +
                       n(v.span_depth);
            }),
         "RAID 10, 2 per span, depth 3"},
        {"\"Span Depth : 5\"", "ldinfo", "Span Depth          : 3", "Span Depth : 5",
         vd(1, [&](const VirtualDrive& v) { return n(v.span_depth); }), "5"},
        {"\"Virtual Disk: 0 (target id: 0)\" in lower case", "ldinfo", "Virtual Drive: 0 (Target Id: 0)",
         "Virtual Disk: 0 (target id: 0)", vd(0, [&](const VirtualDrive& v) { return n(v.id) + "/" + n(v.target); }),
         "0/0"},
        {"a size without blanks", "ldinfo", "Size                : 1.090 TB", "Size:696960MB",
         vd(0, [](const VirtualDrive& v) { return v.size; }), "696960MB"},
        {"\"Is VD Cached: Yes\" is passed over", "ldinfo", "Bad Blocks Exist: Yes",
         "Bad Blocks Exist: Yes\nIs VD Cached: Yes", vd(0, [&](const VirtualDrive& v) { return n(v.bad_blocks); }),
         "1"},
        {"an empty PD block is an arm with no drive", "ldpdinfo",
         "PD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 3\nDrive's position: DiskGroup: 0, Span: 0, Arm: "
         "0\nDevice Id: 13\nFirmware state: Online, Spun Up\n",
         "PD: 0 Information\n", members, "span 0, arm 0: no drive (disk group 0), 32:4 (target 14)"},
        {"an older configuration log's \"DISK GROUPS: 0\" and \"Virtual Disk Information:\"", "cfgdsply",
         "DISK GROUP: 0\n", "DISK GROUPS: 0\n", members, "32:3 (target ?), 32:4 (target ?)"},
        {"... with \"Virtual Disk Information:\"", "cfgdsply", "Virtual Drive Information:",
         "Virtual Disk Information:", vd(0, [&](const VirtualDrive& v) { return n(v.id) + " " + v.state; }),
         "0 Optimal"},
        {"letter case, a tab and blanks in a row inside a key", "pdlist", "Device Id: 14", "DEVICE \t  id: 14",
         drive(0, [&](const PhysicalDrive& d) { return n(d.device_id); }), "14"},
        {"a tab before the colon", "pdlist", "Device Id: 14", "Device Id\t: 14",
         drive(0, [&](const PhysicalDrive& d) { return n(d.device_id); }), "14"},
        {"... in the adapter log", "adpallinfo", "Serial No       : ", "Controller Id\t: 0000\nSerial No\t: ",
         [](const Controller& c) { return c.adapter.serial; }, "SV52027000"},
        {"an echoed shell command first", "pdlist", "", "[root@srv01 ~]# ./RaidCli64 -PDList -aALL\n",
         drive(1, [&](const PhysicalDrive& d) { return n(d.slot); }), "5"},
        {"a member missing from the first of two virtual drives without spans", "ldpdinfo", kMembers,
         "Adapter #0\nNumber of Virtual Disks: 2\nVirtual Drive: 0 (Target Id: 0)\nNumber Of Drives    : 2\n"
         "Span Depth          : 1\n\nPD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 3\n"
         "Drive's position: DiskGroup: 0, Span: 0, Arm: 0\nDevice Id: 13\n\n"
         "Virtual Drive: 1 (Target Id: 1)\nNumber Of Drives    : 1\nSpan Depth          : 1\n\n"
         "PD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 5\nDevice Id: 15\n\nExit Code: 0x00\n",
         members, "32:3 (target 13), span 0, arm 1: no drive (disk group 0), 32:5 (target 15)"},
        {"every member of a virtual drive without spans listed, one at an arm past their count", "ldpdinfo", kMembers,
         "Adapter #0\nNumber of Virtual Disks: 1\nVirtual Drive: 0 (Target Id: 0)\nNumber Of Drives    : 2\n"
         "Span Depth          : 1\n\nPD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 3\nDevice Id: 13\n\n"
         "PD: 1 Information\nEnclosure Device ID: 32\nSlot Number: 5\n"
         "Drive's position: DiskGroup: 0, Span: 0, Arm: 2\nDevice Id: 15\n\nExit Code: 0x00\n",
         members, "32:3 (target 13), 32:5 (target 15)"},
        {"the adapter's clock in the year 9999", "adpallinfo", "6/20, 2024", "12/31, 9999",
         [&](const Controller& c) { return n(c.adapter.clock); }, "253402265109"},  // 9999-12-31 14:05:09
        {"a member without its \"PD:\" heading", "ldpdinfo", "PD: 0 Information\n", "", members,
         "32:3 (target 13), 32:4 (target 14)"},
        {"a stray exit code first", "ldpdinfo", "", "Exit Code: 0x00\n", members, "32:3 (target 13), 32:4 (target 14)"},
        {"a stray exit code in the middle", "ldpdinfo", "\nPD: 1 Information", "Exit Code: 0x00\n\nPD: 1 Information",
         members, "32:3 (target 13), 32:4 (target 14)"},
        {"no leading line", "pdlist", "\nAdapter #0", "Adapter #0",
         drive(1, [&](const PhysicalDrive& d) { return n(d.slot); }), "5"},
        {"a leading line of 36 blanks", "pdlist", "", kBlank36 + "\r",
         drive(1, [&](const PhysicalDrive& d) { return n(d.slot); }), "5"},
        {"a leading line of 37 blanks", "pdlist", "", kBlank36 + " \r",
         drive(1, [&](const PhysicalDrive& d) { return n(d.slot); }), "5"},
        {"a last line from another command", "pdlist", "Exit Code: 0x00\n", "Exit Code: 0x00\nController Count: 1.\n",
         drive(1, [&](const PhysicalDrive& d) { return n(d.slot); }), "5"},
    };
    for (const auto& row : rows) {
        std::string text = sample.at(row.log);
        ASSERT_NE(text.find(row.from), std::string::npos) << row.name;
        text = row.from.empty() ? row.to + text : replaced(text, row.from, row.to);
        const auto cs = read_one("Controller_0_" + row.log + ".log", text);
        ASSERT_EQ(cs.size(), 1u) << row.name;
        EXPECT_EQ(row.got(cs[0]) + " [" + codes(cs[0]) + "]", row.want + " []") << row.name;
    }
}

// Drives and virtual drives from whichever logs were saved: each one row,
// a field one log leaves out taken from the next, where two disagree the
// first holding (a disagreement); a listing cut short said, and nothing
// made up for what is missing there.
TEST(ControllerLogs, ListingsPutTogether) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    auto log = [](const std::string& kind, const std::string& text) {
        return std::pair("Controller_0_" + kind + ".log", text);
    };
    const std::string kPd0 =
        "PD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 3\nDrive's position: DiskGroup: 0, Span: 0, Arm: "
        "0\nDevice Id: 13\nFirmware state: Online, Spun Up\n";
    const std::string kPd1Tail = "Device Id: 14\nFirmware state: Offline\n";
    // Each drive: target, place, state, media errors, source log.
    auto drives = [](const Controller& c) {
        std::string s;
        for (auto& d : c.physical_drives)
            s += (s.empty() ? "" : "; ") + (d.device_id ? std::to_string(*d.device_id) : "?") + " " + drive_place(d) +
                 " " + state_label(d) + " " + (d.media_errors ? std::to_string(*d.media_errors) : "-") + " " +
                 d.source.substr(13, d.source.size() - 17);
        return s;
    };
    auto vds = [](const Controller& c) {
        std::string s;
        for (auto& v : c.virtual_drives) {
            s += (s.empty() ? "" : "; ") + std::to_string(v.id.value_or(99)) + " " + state_label(v) + " " +
                 v.source.substr(13, v.source.size() - 17) + ":";
            for (auto& m : v.members) s += " " + (empty_slot(m) ? empty_slot_text(m) : drive_place(m));
        }
        return s;
    };
    auto said = [](const Controller& c) {
        std::string s;
        for (auto& d : c.disagreements) s += (s.empty() ? "" : "; ") + d.text;
        for (auto& p : c.problems) s += (s.empty() ? "" : "; ") + p.code + "@" + std::to_string(p.line) + " " + p.text;
        return s;
    };
    const struct {
        const char* name;
        Files files;
        std::string drives, vds, said;
    } rows[] = {
        {"a member only the members log lists is a drive of its own",
         {log("pdlist", kDriveList), log("ldpdinfo", kMembers)},
         "14 32:4 Offline 22 pdlist; 15 32:5 Rebuild 0 pdlist; 13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 32:4",
         ""},
        {"a field the drive list leaves out comes from the members log",
         {log("pdlist", replaced(kDriveList, "Media Error Count: 22\n", "")),
          log("ldpdinfo", replaced(kMembers, kPd1Tail, "Media Error Count: 5\n" + kPd1Tail))},
         "14 32:4 Offline 5 pdlist; 15 32:5 Rebuild 0 pdlist; 13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 32:4",
         ""},
        {"where the two give another count the drive list holds",
         {log("pdlist", kDriveList),
          log("ldpdinfo", replaced(kMembers, kPd1Tail, "Media Error Count: 5\n" + kPd1Tail))},
         "14 32:4 Offline 22 pdlist; 15 32:5 Rebuild 0 pdlist; 13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 32:4",
         "drive 32:4 (target 14, serial Z1X2Y3W4): media error count 22 in the drive list, 5 in the members log"},
        {"the configuration log alone: drives by enclosure and slot",
         {log("cfgdsply", kConfiguration)},
         "? 32:3 Online - cfgdsply; ? 32:4 Online - cfgdsply",
         "0 Optimal cfgdsply: 32:3 32:4",
         ""},
        {"the virtual drive log's state holds over the configuration's, its members from the configuration",
         {log("ldinfo", kVirtualDrives), log("cfgdsply", kConfiguration)},
         "? 32:3 Online - cfgdsply; ? 32:4 Online - cfgdsply",
         "0 Degraded ldinfo: 32:3 32:4; 1 Optimal ldinfo:",
         "virtual drive 0 is Degraded in the virtual drive log, Optimal in the configuration log"},
        {"the members log's state holds over the configuration's",
         {log("cfgdsply", kConfiguration), log("ldpdinfo", kMembers)},
         "13 32:3 Online - ldpdinfo; 14 32:4 Offline - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 32:4",
         "virtual drive 0 is Degraded in the members log, Optimal in the configuration log; drive 32:4 (target 14) is "
         "Offline in the members log, Online in the configuration log"},
        {"\"No Virtual Drive Configured\": no virtual drive, nothing to say",
         {log("ldinfo", "\nAdapter 0: No Virtual Drive Configured.\n\nExit Code: 0x00\n")},
         "",
         "",
         ""},
        {"a listing that announces more virtual drives than follow",
         {log("ldpdinfo", replaced(kMembers, "Number of Virtual Disks: 1", "Number of Virtual Disks: 2"))},
         "13 32:3 Online - ldpdinfo; 14 32:4 Offline - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 32:4",
         "truncated@4 Controller_0_ldpdinfo.log is cut short: it announces 2 virtual drives, 1 follows"},
        {"a listing cut in a span: what follows is not made up",
         {log("ldpdinfo", kMembers.substr(0, kMembers.find("\nPD: 1")))},
         "13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3",
         "truncated@12 Controller_0_ldpdinfo.log is cut short: span 0 of virtual drive 0 announces 2 drives, 1 "
         "follows"},
        {"... with a stray exit code inside it",
         {log("ldpdinfo", replaced(kMembers.substr(0, kMembers.find("\nPD: 1")), "PD: 0 Information\n",
                                   "PD: 0 Information\nExit Code: 0x00\n"))},
         "13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3",
         "truncated@12 Controller_0_ldpdinfo.log is cut short: span 0 of virtual drive 0 announces 2 drives, 1 "
         "follows"},
        {"a span short of a drive in a whole listing: that arm has no drive",
         {log("ldpdinfo", replaced(kMembers,
                                   "\nPD: 1 Information\nEnclosure Device ID: 32\nSlot Number: 4\n"
                                   "Drive's position: DiskGroup: 0, Span: 0, Arm: 1\n" +
                                       kPd1Tail,
                                   ""))},
         "13 32:3 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 span 0, arm 1: no drive (disk group 0)",
         ""},
        {"... in the first of two virtual drives",
         {log("ldpdinfo",
              replaced(replaced(replaced(kMembers,
                                         "\nPD: 1 Information\nEnclosure Device ID: 32\nSlot Number: 4\n"
                                         "Drive's position: DiskGroup: 0, Span: 0, Arm: 1\n" +
                                             kPd1Tail,
                                         ""),
                                "Number of Virtual Disks: 1", "Number of Virtual Disks: 2"),
                       "\n\nExit Code",
                       "\nVirtual Drive: 1 (Target Id: 1)\nState               : Optimal\nNumber Of Drives    : 1\n"
                       "Span Depth          : 1\nNumber of Spans: 1\nSpan: 0 - Number of PDs: 1\n\nPD: 0 Information\n"
                       "Enclosure Device ID: 32\nSlot Number: 5\nDrive's position: DiskGroup: 1, Span: 0, Arm: 0\n"
                       "Device Id: 15\nFirmware state: Online, Spun Up\n\n\nExit Code"))},
         "13 32:3 Online - ldpdinfo; 15 32:5 Online - ldpdinfo",
         "0 Degraded ldpdinfo: 32:3 span 0, arm 1: no drive (disk group 0); 1 Optimal ldpdinfo: 32:5",
         ""},
        {"a configuration log that announces more disk groups than follow",
         {log("cfgdsply", replaced(kConfiguration, "Number of DISK GROUPS: 1", "Number of DISK GROUPS: 3"))},
         "? 32:3 Online - cfgdsply; ? 32:4 Online - cfgdsply",
         "0 Optimal cfgdsply: 32:3 32:4",
         "truncated@8 Controller_0_cfgdsply.log is cut short: it announces 3 disk groups, 1 follows"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<InputFile> files;
        for (auto& [name, text] : row.files) files.push_back({name, text, 0, true});
        const auto cs = read_controllers(files);
        ASSERT_EQ(cs.size(), 1u);
        EXPECT_EQ(drives(cs[0]), row.drives);
        EXPECT_EQ(vds(cs[0]), row.vds);
        EXPECT_EQ(said(cs[0]), row.said);
    }
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

}  // namespace
