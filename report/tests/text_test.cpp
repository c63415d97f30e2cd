// The text's controllers' view: the Controllers section after the disks
// table (printed only where controller logs were read), a LOG column for
// drives that left no drive log, and --disk of such a drive.
#include <gtest/gtest.h>

#include "controller_texts.h"
#include "queries.h"
#include "report.h"
#include "text.h"

namespace {

using namespace rpt;

using Files = std::vector<std::pair<std::string, std::string>>;

TEST(Text, ControllersSectionAndDiskView) {
    const std::string kLog = "Device code   : OKAPIHD KZA1200TX       A440\r\nSerial number : Z9P4Q1RX\r\n";
    const Files sample = {{"Controller_0_adpallinfo.log", test::kAdapter},
                          {"Controller_0_ldinfo.log", test::kVirtualDrives},
                          {"Controller_0_ldpdinfo.log", test::kMembers},
                          {"Controller_0_pdlist.log", test::kDriveList},
                          {"MA000f.log", kLog},
                          {"controller_0_Flashrom.log", test::kEvents}};
    struct Row {
        const char* name;
        Files files;
        std::string disk;  // --disk of this key; "": the whole text
        std::vector<std::string> want, absent;
    } rows[] = {
        {"the sample: each virtual drive with its members, the drive in none not known to be in none; the member "
         "only the members log lists has a row",
         sample,
         "",
         {"  CTRL  DEV  PROTO  VENDOR   PRODUCT    SERIAL    REV   TEMP  HOURS  LOG           VERDICT  RISK\n"
          "  0     13   SCSI                                       -     -      no drive log  UNKNOWN  unknown\n"
          "  0     14   SCSI   OKAPIHD  KZA1200TX  Z1X2Y3W4  A440  -     -      no drive log  FAIL     imminent\n"
          "  0     15   SCSI   OKAPIHD  KZA1200TX  Z9P4Q1RX  A440  -     -      MA000f.log    WARN     base\n"
          "\nControllers:\n"
          "  controller 0: OKAPI RAID 8i, serial SV52027000, firmware package 24.21.0-0097, version 4.680.00-8527\n"
          "    virtual drive 0 (target 0, \"sys\"): RAID 1, 1.090 TB, Degraded\n"
          "      32:3  target 13  Online   -\n"
          "      32:4  target 14  Offline  Z1X2Y3W4\n"
          "    virtual drive 1 (target 1): RAID 10, 3.271 TB, Optimal\n"
          "      members not listed\n"
          "    drives not known as members (the logs do not list every virtual drive's):\n"
          "      32:5  target 15  Rebuild 45%  Z9P4Q1RX\n\nError log:"},
         {}},
        {"every virtual drive's members listed: the drives in none are known",
         {sample[0], sample[2], sample[3], sample[4]},
         "",
         {"    drives in no virtual drive:\n      32:5  target 15  Rebuild 45%  Z9P4Q1RX\n"},
         {"not known as members"}},
        {"no controller logs: neither a LOG column nor a Controllers section",
         {{"MA000f.log", kLog}},
         "",
         {"  CTRL  DEV  PROTO  VENDOR   PRODUCT    SERIAL    REV   TEMP  HOURS  VERDICT  RISK\n"},
         {"LOG", "Controllers:"}},
        {"--disk of a drive that left no drive log: its view and its events, the sense decoded",
         sample,
         "Z1X2Y3W4",
         {"srv01 controller 0 device 14: OKAPIHD KZA1200TX rev A440, serial Z1X2Y3W4, SCSI, verdict FAIL\n"
          "  no drive log: what follows is the controller's view alone\n"
          "  risk imminent: The disk's own health says it fails: the drive flagged a S.M.A.R.T alert",
          "\nController view (controller 0):\n  32:4, target 14, Offline; virtual drive(s) 0\n"
          "  media errors 22, other errors 3, predictive failures 1, S.M.A.R.T alert yes\n"
          "  device speed 12.0Gb/s, link speed 6.0Gb/s, temperature 38 C\n"
          "  inquiry OKAPIHD KZA1200TX rev A440, serial Z1X2Y3W4\n  raw size 1.090 TB\n"
          "  listed in Controller_0_pdlist.log\n",
          "\nController events:\n  Wed Jun  5 22:41:07 2024  info  0x00000071  Unexpected sense: PD 0e(e0x20/s4)",
          "  Read(10) LBA 0xa1b2c30, sense 03/11/00: Medium Error, Unrecovered read error\n"},
         {"temperature -"}},
        {"--disk of a drive the controller does not list: no view",
         {{"MA000f.log", kLog}},
         "Z9P4Q1RX",
         {"srv01/MA000f.log: "},
         {"Controller view", "Controller events"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Host h{"srv01", "srv01", {}, {}, {}};
        for (auto& [name, text] : r.files) h.files.push_back({name, text, 1718892309, wanted(name)});
        const Report report = build_report({h});
        const Disk* d = r.disk.empty() ? nullptr : find_disk(report, r.disk);
        ASSERT_TRUE(r.disk.empty() || d);
        const std::string out = d ? render_disk(*d) : render_text(report);
        for (auto& s : r.want) EXPECT_NE(out.find(s), std::string::npos) << s << "\n---\n" << out;
        for (auto& s : r.absent) EXPECT_EQ(out.find(s), std::string::npos) << s << "\n---\n" << out;
    }
}

}  // namespace
