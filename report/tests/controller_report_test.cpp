// The controller logs in a report: loaded with the other logs, read into
// the collection, and what cannot be read of them said with file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "controller_texts.h"
#include "report.h"
#include "util.h"

namespace {

using namespace rpt;
using namespace rpt::test;

constexpr time_t kCollected = 1718892309;  // 2024-06-20 14:05:09

Collection collect(const std::vector<std::pair<std::string, std::string>>& files) {
    Host h{"srv01", "srv01", {}, {}, {}};
    for (auto& [name, text] : files) h.files.push_back({name, text, kCollected, wanted(name)});
    Report r = build_report({h});
    return std::move(r.collections.at(0));
}

std::vector<std::string> texts(const Findings& f, const char* code) {
    std::vector<std::string> out;
    for (auto& x : f)
        if (std::string(x.code()) == code) out.push_back(severity_name(x.severity) + std::string(" ") + x.text);
    return out;
}

TEST(ControllerReport, LogsAreReadIntoTheCollection) {
    const std::vector<std::pair<std::string, std::string>> all = {
        {"Controller_0_adpallinfo.log", kAdapter},   {"Controller_0_pdlist.log", kDriveList},
        {"Controller_0_ldinfo.log", kVirtualDrives}, {"Controller_0_ldpdinfo.log", kMembers},
        {"controller_0_Flashrom.log", kEvents},      {"Controller_0_cfgdsply.log", kConfiguration},
    };
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        size_t drives, virtual_drives, events;
        std::vector<std::string> unrecognised;
    } rows[] = {
        {"a directory of controller logs alone is read, none of them taken for a drive log; the member only the "
         "members log lists is a drive too",
         all,
         3,
         2,
         3,
         {}},
        {"a drive list that is not the CLI's text is said with its file and line",
         {{"Controller_0_pdlist.log", "<html>\n<body>\n"}},
         0,
         0,
         0,
         {"INFO Controller_0_pdlist.log, line 1: not the CLI's text of this log"}},
        {"a bad value is said, the rest of the file read",
         {{"Controller_0_pdlist.log", std::string(kDriveList).replace(kDriveList.find("Count: 22"), 9, "Count: x")}},
         2,
         0,
         0,
         {"INFO Controller_0_pdlist.log, line 9: Media Error Count is \"x\", not a value of its form"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Collection c = collect(r.files);
        // Each listed drive is a row of the controller's view alone. Its own
        // health is unknown where the run collects such a drive: a SAS
        // drive, not the SATA one (a classic run skips those).
        ASSERT_EQ(c.disks.size(), r.drives);
        for (auto& d : c.disks) {
            EXPECT_FALSE(d.logged);
            ASSERT_TRUE(d.view);
            EXPECT_EQ(texts(d.findings, "drive-log-missing").size(), d.protocol == Protocol::Scsi ? 1u : 0u);
        }
        ASSERT_EQ(c.controllers.size(), 1u);
        EXPECT_EQ(c.controllers[0].physical_drives.size(), r.drives);
        EXPECT_EQ(c.controllers[0].virtual_drives.size(), r.virtual_drives);
        EXPECT_EQ(c.controllers[0].events.size(), r.events);
        EXPECT_EQ(texts(c.findings, "controller-log-unrecognised"), r.unrecognised);
        EXPECT_TRUE(texts(c.findings, "empty-input").empty());
    }
}

}  // namespace

namespace {

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

// The sample (a degraded RAID-1, its member at 32:4 offline, one drive
// rebuilding) with one text changed: the findings of one code.
TEST(ControllerReport, EachRuleJudgesTheControllersView) {
    struct Row {
        const char* name;
        const char* code;
        std::string log, from, to;  // in the log of this kind: `from` becomes `to`
        std::vector<std::string> want;
        std::vector<std::array<std::string, 3>> more = {};  // more changes: log, from, to
    } rows[] = {
        {"an empty member block is an arm with no drive",
         "virtual-drive-state",
         "ldpdinfo",
         "PD: 0 Information\nEnclosure Device ID: 32\nSlot Number: 3\nDrive's position: DiskGroup: 0, Span: 0, Arm: "
         "0\nDevice Id: 13\nFirmware state: Online, Spun Up\n",
         "PD: 0 Information\n",
         {"FAIL controller 0: virtual drive 0 (RAID 1) is Degraded; members not Online: span 0, arm 0: no drive (disk "
          "group 0), 32:4 (target 14, serial Z1X2Y3W4) Offline"}},
        {"an Optimal array with a member that fails: its redundancy at risk",
         "virtual-drive-at-risk",
         "ldinfo",
         "State               : Degraded",
         "State               : Optimal",
         {"WARN controller 0: virtual drive 0 (RAID 1): redundancy at risk: member 32:4 (target 14, serial Z1X2Y3W4) "
          "fails"}},
        {"... RAID 0: its data",
         "virtual-drive-at-risk",
         "ldinfo",
         "State               : Degraded",
         "State               : Optimal",
         {"WARN controller 0: virtual drive 0 (RAID 0): data at risk, no redundancy: member 32:4 (target 14, serial "
          "Z1X2Y3W4) fails"},
         {{"ldinfo", "Primary-1, Secondary-0", "Primary-0, Secondary-0"}}},
        {"... whose members are well: OK",
         "virtual-drive-at-risk",
         "ldinfo",
         "State               : Degraded",
         "State               : Optimal",
         {},
         {{"pdlist", "Firmware state: Offline", "Firmware state: Online"},
          {"pdlist", "Media Error Count: 22", "Media Error Count: 2"},
          {"pdlist", "Predictive Failure Count: 1", "Predictive Failure Count: 0"},
          {"pdlist", "S.M.A.R.T alert : Yes", "S.M.A.R.T alert : No"}}},
        {"a degraded RAID-1 fails naming its offline member by place and serial",
         "virtual-drive-state",
         "",
         "",
         "",
         {"FAIL controller 0: virtual drive 0 (RAID 1) is Degraded; members not Online: 32:4 (target 14, serial "
          "Z1X2Y3W4) Offline"}},
        {"partially degraded warns",
         "virtual-drive-state",
         "ldinfo",
         "State               : Degraded",
         "State               : Partially Degraded",
         {"WARN controller 0: virtual drive 0 (RAID 1) is Partially Degraded"}},
        {"optimal is OK",
         "virtual-drive-state",
         "ldinfo",
         "State               : Degraded",
         "State               : Optimal",
         {}},
        {"another state warns, quoted",
         "virtual-drive-state",
         "ldinfo",
         "State               : Degraded",
         "State               : Resizing",
         {"WARN controller 0: virtual drive 0 (RAID 1) is in state \"Resizing\""}},
        {"bad blocks warn",
         "virtual-drive-bad-blocks",
         "",
         "",
         "",
         {"WARN controller 0: virtual drive 0 (RAID 1): Bad Blocks Exist: Yes"}},
        {"write back as configured is OK",
         "virtual-drive-write-through",
         "ldinfo",
         "Current Cache Policy: WriteThrough",
         "Current Cache Policy: WriteBack",
         {}},
        {"an offline drive fails",
         "drive-state",
         "pdlist",
         "Firmware state: Rebuild",
         "Firmware state: Online",
         {"FAIL controller 0: drive 32:4 (target 14, serial Z1X2Y3W4) is Offline"}},
        {"a bad unconfigured drive fails, a rebuild warns with its progress",
         "drive-state",
         "pdlist",
         "Firmware state: Offline",
         "Firmware state: Unconfigured(bad)",
         {"FAIL controller 0: drive 32:4 (target 14, serial Z1X2Y3W4) is Unconfigured(bad)",
          "WARN controller 0: drive 32:5 (target 15, serial Z9P4Q1RX) is in Rebuild, 45% done"}},
        {"a foreign drive warns",
         "drive-foreign",
         "",
         "",
         "",
         {"WARN controller 0: drive 32:5 (target 15, serial Z9P4Q1RX) holds a foreign configuration"}},
        {"a predictive failure fails: the drive predicts its own failure",
         "drive-predictive-failure",
         "",
         "",
         "",
         {"FAIL controller 0: drive 32:4 (target 14, serial Z1X2Y3W4) predicts its own failure: predictive failure "
          "count "
          "1"}},
        {"a JBOD drive is OK",
         "drive-state",
         "pdlist",
         "Firmware state: Rebuild",
         "Firmware state: JBOD",
         {"FAIL controller 0: drive 32:4 (target 14, serial Z1X2Y3W4) is Offline"}},
        {"no predictive failure is OK",
         "drive-predictive-failure",
         "pdlist",
         "Predictive Failure Count: 1",
         "Predictive Failure Count: 0",
         {}},
        {"no S.M.A.R.T alert is OK",
         "drive-smart-alert",
         "pdlist",
         "S.M.A.R.T alert : Yes",
         "S.M.A.R.T alert : No",
         {}},
        {"100 media errors fail",
         "drive-media-errors",
         "pdlist",
         "Media Error Count: 22",
         "Media Error Count: 100",
         {"FAIL controller 0: drive 32:4 (target 14, serial Z1X2Y3W4): media error count 100"}},
        {"100 other errors warn",
         "drive-other-errors",
         "pdlist",
         "Other Error Count: 3",
         "Other Error Count: 100",
         {"WARN controller 0: drive 32:4 (target 14, serial Z1X2Y3W4): other error count 100"}},
        {"three drives with the same other error count: one cause, one finding",
         "drive-other-errors-shared",
         "pdlist",
         "Other Error Count: 3",
         "Other Error Count: 120",
         {"WARN controller 0: 3 drives show the same other error count 120: 32:3, 32:4, 32:5 (targets 13, 14, 15); one "
          "cause rather than the drives, usually a link, expander, backplane or controller reset"},
         {{"pdlist", "Other Error Count: 0", "Other Error Count: 120"},
          {"ldpdinfo", "Device Id: 13", "Device Id: 13\nOther Error Count: 120"}}},
        {"three drives that give no other error count share none",
         "drive-other-errors-shared",
         "pdlist",
         "Other Error Count: 3",
         "",
         {},
         {{"pdlist", "Other Error Count: 0", ""}}},
        {"... each drive's own an INFO",
         "drive-other-errors",
         "pdlist",
         "Other Error Count: 3",
         "Other Error Count: 120",
         {"INFO controller 0: drive 32:3 (target 13): other error count 120 (as 2 other drives of this controller: one "
          "cause, drive-other-errors-shared)",
          "INFO controller 0: drive 32:4 (target 14, serial Z1X2Y3W4): other error count 120 (as 2 other drives of "
          "this "
          "controller: one cause, drive-other-errors-shared)",
          "INFO controller 0: drive 32:5 (target 15, serial Z9P4Q1RX): other error count 120 (as 2 other drives of "
          "this "
          "controller: one cause, drive-other-errors-shared)"},
         {{"pdlist", "Other Error Count: 0", "Other Error Count: 120"},
          {"ldpdinfo", "Device Id: 13", "Device Id: 13\nOther Error Count: 120"}}},
        {"two drives with the same count are judged each",
         "drive-other-errors",
         "pdlist",
         "Other Error Count: 3",
         "Other Error Count: 120",
         {"WARN controller 0: drive 32:4 (target 14, serial Z1X2Y3W4): other error count 120",
          "WARN controller 0: drive 32:5 (target 15, serial Z9P4Q1RX): other error count 120"},
         {{"pdlist", "Other Error Count: 0", "Other Error Count: 120"}}},
        {"a members log cut short is said, what it holds judged",
         "controller-log-truncated",
         "ldpdinfo",
         "Number of Virtual Disks: 1",
         "Number of Virtual Disks: 2",
         {"INFO Controller_0_ldpdinfo.log is cut short: it announces 2 virtual drives, 1 follows"}},
        {"a link as fast as the drive is OK",
         "drive-link-slow",
         "pdlist",
         "Link Speed: 6.0Gb/s \nMedia Type: Hard",
         "Link Speed: 12.0Gb/s \nMedia Type: Hard",
         {}},
        {"no uncorrectable memory errors is OK",
         "memory-uncorrectable",
         "adpallinfo",
         "Memory Uncorrectable Errors : 1",
         "Memory Uncorrectable Errors : 0",
         {}},
        {"the adapter counting two failed disks disagrees with the drive list",
         "controller-mismatch",
         "adpallinfo",
         "Failed Disks    : 1",
         "Failed Disks    : 2",
         {"INFO controller 0: the adapter counts 2 failed disks, the drive list 1",
          "INFO controller 0: virtual drive 0 is Degraded in the virtual drive log, Optimal in the configuration log",
          "INFO controller 0: drive 32:4 (target 14, serial Z1X2Y3W4) is Offline in the drive list, Online in the "
          "configuration log"}},
        {"a warning 15 days before the controller's clock warns",
         "controller-event",
         "Flashrom",
         "Class: 0",
         "Class: 1",
         {"WARN controller 0: warning event 0x00000071 on target 14: Unexpected sense: PD 0e(e0x20/s4) Path "
          "5000c500a1b2c3d5, CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00 (Wed Jun  5 22:41:07 2024)",
          "WARN controller 0: critical event 0x00000072 on target 5: State change on PD 05(e0x06/s1) from ONLINE(18) "
          "to OFFLINE(10) (Boot + 23 seconds)"}},
        {"a fatal event fails",
         "controller-event",
         "Flashrom",
         "Class: 2",
         "Class: 3",
         {"FAIL controller 0: fatal event 0x00000072 on target 5: State change on PD 05(e0x06/s1) from ONLINE(18) to "
          "OFFLINE(10) (Boot + 23 seconds)"}},
        {"a warning 30 days to the second before the controller's clock still warns",
         "controller-event",
         "Flashrom",
         "Time: Wed Jun  5 22:41:07 2024\n\nCode: 0x00000071\nClass: 0",
         "Time: Tue May 21 14:05:09 2024\n\nCode: 0x00000071\nClass: 1",
         {"WARN controller 0: warning event 0x00000071 on target 14: Unexpected sense: PD 0e(e0x20/s4) Path "
          "5000c500a1b2c3d5, CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00 (Tue May 21 14:05:09 2024)",
          "WARN controller 0: critical event 0x00000072 on target 5: State change on PD 05(e0x06/s1) from ONLINE(18) "
          "to OFFLINE(10) (Boot + 23 seconds)"}},
        {"a warning older than 30 days is an INFO",
         "controller-event-old",
         "Flashrom",
         "Time: Wed Jun  5 22:41:07 2024\n\nCode: 0x00000071\nClass: 0",
         "Time: Mon Apr  1 22:41:07 2024\n\nCode: 0x00000071\nClass: 1",
         {"INFO controller 0: warning event 0x00000071 on target 14: Unexpected sense: PD 0e(e0x20/s4) Path "
          "5000c500a1b2c3d5, CDB: 28 00 0a 1b 2c 30 00 00 08 00, Sense: 3/11/00 (Mon Apr  1 22:41:07 2024)"}},
        {"repeated events of one kind on one drive are one finding",
         "controller-event",
         "Flashrom",
         "Class: 2\nLocale: 0x02\nEvent Description: State change on PD 05(e0x06/s1) from ONLINE(18) to OFFLINE(10)"
         "\nEvent Data:\n===========\nNone\n",
         "Class: 2\nLocale: 0x02\nEvent Description: State change on PD 05(e0x06/s1) from ONLINE(18) to OFFLINE(10)"
         "\nEvent Data:\n===========\nNone\n\n\nseqNum: 0x00001e2d\nTime: Boot + 40 seconds\n\nCode: 0x00000072\n"
         "Class: 2\nLocale: 0x02\nEvent Description: State change on PD 05(e0x06/s1) from ONLINE(18) to OFFLINE(10)"
         "\nEvent Data:\n===========\nNone\n",
         {"WARN controller 0: critical event 0x00000072 on target 5: State change on PD 05(e0x06/s1) from ONLINE(18) "
          "to OFFLINE(10) (2 times, first Boot + 23 seconds, last Boot + 40 seconds)"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::pair<std::string, std::string>> files = {
            {"Controller_0_adpallinfo.log", kAdapter},   {"Controller_0_pdlist.log", kDriveList},
            {"Controller_0_ldinfo.log", kVirtualDrives}, {"Controller_0_ldpdinfo.log", kMembers},
            {"controller_0_Flashrom.log", kEvents},      {"Controller_0_cfgdsply.log", kConfiguration}};
        std::vector<std::array<std::string, 3>> changes = r.more;
        if (!r.log.empty()) changes.insert(changes.begin(), {r.log, r.from, r.to});
        for (auto& [log, from, to] : changes)
            for (auto& [name, text] : files)
                if (name.find("_" + log) != std::string::npos) {
                    ASSERT_NE(text.find(from), std::string::npos) << from;
                    text = replaced(text, from, to);
                }
        std::vector<std::string> got;
        const Collection c = collect(files);
        Findings all = c.findings;
        for (auto& d : c.disks) all.insert(all.end(), d.findings.begin(), d.findings.end());
        for (auto& f : all)
            if (std::string(f.code()) == r.code) got.push_back(std::string(severity_name(f.severity)) + " " + f.text);
        // (The join moves a drive's findings to its disk: compared as sets.)
        std::vector<std::string> want = r.want;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

// Each listed drive joined with its drive log by target, confirmed by its
// serial number: the controller's findings of the drive go to its disk.
TEST(ControllerReport, DrivesJoinTheirDriveLogs) {
    // What the sample drive list says of target 14.
    const std::string kDrive14[] = {"drive-state",        "drive-predictive-failure", "drive-smart-alert",
                                    "drive-media-errors", "drive-other-errors",       "drive-link-slow"};
    // A drive log with its serial number, else with its ports (page 18h).
    auto drive_log = [](const std::string& serial) {
        std::string log = "Device code   : OKAPIHD KZA1200TX       A440\r\nSerial number : " +
                          (serial == "-" || serial == "?" ? std::string() : serial) + "\r\n";
        if (serial == "-") log += "<Page18>\r\n" + dump(read_dump(std::string(LOGPAGES_DIR) + "/page_18_phys.hex"));
        return log;
    };
    struct Row {
        const char* name;
        std::string serial;  // of the drive log at target 14 (MA000e.log); "" for none, "-": only ports, "?": neither
        std::vector<std::string> disk14;  // codes of the disk at target 14
        std::vector<std::string> host;    // codes of the collection's own findings of that drive
        std::string address = {};         // the drive list's SAS address of target 14, where not the sample's
    } rows[] = {
        {"the same serial: joined",
         "Z1X2Y3W4",
         {"no-health", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]},
         {}},
        {"the CLI prints more of the serial: joined",
         "X2Y3W4",
         {"no-health", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]},
         {}},
        {"another serial: not joined",
         "OTHER123",
         {"no-health"},
         {"controller-drive-mismatch", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]}},
        {"no serial number, the listed SAS address among the drive's ports: joined",
         "-",
         {"phy-invalid-dword", "phy-reset-problem", "no-health", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3],
          kDrive14[4], kDrive14[5]},
         {},
         "0x5000c50000000001"},
        {"no serial number, another SAS address: not joined",
         "-",
         {"phy-invalid-dword", "phy-reset-problem", "no-health"},
         {"controller-drive-mismatch", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]}},
        {"neither serial number nor ports: joined by the target alone",
         "?",
         {"no-health", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]},
         {}},
        {"no drive log: a row of the controller's view, its own health unknown",
         "",
         {"drive-log-missing", kDrive14[0], kDrive14[1], kDrive14[2], kDrive14[3], kDrive14[4], kDrive14[5]},
         {}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string list(kDriveList);
        if (!r.address.empty()) list.replace(list.find("0x5000c500a1b2c3d5"), 18, r.address);
        std::vector<std::pair<std::string, std::string>> files = {{"Controller_0_pdlist.log", list}};
        if (!r.serial.empty()) files.push_back({"MA000e.log", drive_log(r.serial)});
        const Collection c = collect(files);
        std::vector<std::string> disk14, host;
        for (auto& d : c.disks)
            if (d.device == 14u)
                for (auto& f : d.findings) disk14.push_back(f.code());
        for (auto& f : c.findings)
            if (f.target == 14u || f.rule == Rule::ControllerDriveMismatch) host.push_back(f.code());
        EXPECT_EQ(disk14, r.disk14);
        EXPECT_EQ(host, r.host);
    }
}

}  // namespace
