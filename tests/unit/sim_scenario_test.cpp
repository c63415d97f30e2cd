// The simulator's scenario reader: statements it must refuse (with the line),
// what the accepted ones declare, and the scenario files shipped with it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/scenario.h"

namespace {

using sim::parse_scenario;

std::string error_of(const std::string& text) {
    try {
        parse_scenario(text, ".");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<accepted>";
}

TEST(SimScenario, RefusesWhatItDoesNotUnderstandNamingTheLine) {
    const struct {
        std::string text;
        const char* expect;  // part of the message
    } cases[] = {
        {"frobnicate 1", "unknown statement"},
        {"controller", "too few tokens"},
        {"controller 0", "declared twice"},
        {"controller 256", "out of range"},
        {"controller 1 count", "without a value"},
        {"controller 1 count 300", "out of range"},
        {"controller 1 colour red", "unknown controller key"},
        {"device 0 1 scsi", "unknown device kind"},
        {"device 0 70000 sas", "out of range"},
        {"device 0 1 sas vendor NINECHARS", "longer than 8"},
        {"device 0 1 sas product \"SEVENTEEN CHARS..\"", "longer than 16"},
        {"device 0 1 sas serial", "without a value"},
        {"device 0 1 sas size 3", "unknown device key"},
        {"device 0 1 sas ptype 12x", "bad ptype"},
        {"page 0 9 0x02 \"02 00 00 00\"", "not declared before"},
        {"page 0 1 0x40 \"40 00 00 00\"", "out of range"},
        {"page 0 1 0x02 \"02 00 0\"", "odd number"},
        {"page 0 1 0x02 \"02 0g\"", "not a hex digit"},
        {"page 0 1 0x02 \"02 0 0 00\"", "split by a blank"},
        {"page-file 0 1 0x02 no-such-file.hex", "cannot read"},
        {"internal 0 1 3 100", "1, 2, 4 or 8"},
        {"internal 0 1 1 2", "out of range"},
        {"internal 0 1 1 16777219", "out of range"},
        {"smart 0 1 \"00 11\"", "512 bytes"},
        {"fault 0 1 inquiry", "missing code"},
        {"fault 0 1 inquiry code 0", "must not be 0"},
        {"fault 0 1 logsense:40 code 4", "bad WHAT"},
        {"fault 0 1 readcap code 4", "unknown WHAT"},
        {"fault 0 1 mgmt:1 code 4", "mgmt:T/C"},
        {"fault 0 1 inquiry nth 0 code 4", "out of range"},
        {"fault 0 1 inquiry code 4 ms 5", "unknown key"},
        {"fault 0 1 inquiry code 4 sense \"" + std::string(66, '0') + "\"", "longer than 32"},
        {"ata-error 0 1 inquiry error 4 status 0x51", "STP commands only"},
        {"ata-error 0 1 stp error 4", "missing error or status"},
        {"delay 0 1 stp", "missing ms"},
        {"transfer 0 1 pdinfo bytes 4", "SCSI and STP commands only"},
        {"transfer 0 1 gpl:04 page 2", "SCSI commands only"},
        {"fault 0 1 logsense:0d.00 code 4", "subpage 00"},
        {"fault 0 1 gpl:100 code 4", "bad WHAT"},
        {"subpage 0 1 0x0d 0 \"4d 00 00 00\"", "out of range"},
        {"subpage 0 1 0x0d 0xff \"4d ff 00 00\"", "page 0 only"},
        {"defects 0 1 2 format 8", "out of range"},
        {"defects 0 1 unsupported format 1", "too many tokens"},
        {"defects 0 1 2 order 1", "unknown defects key"},
        {"identify 0 1 \"00 11\"", "IDENTIFY data must be 512 bytes"},
        {"smart-thresholds 0 1 \"00\"", "SMART thresholds must be 512 bytes"},
        {"smart-status 0 1 fine", "passed or failed"},
        {"smart-log 0 1 0x100 \"00\"", "out of range"},
        {"gpl-log 0 1 4 \"\"", "at least one byte"},
        {"gpl-log-file 0 1 4 no-such-file.hex", "cannot read"},
        {"device 0 2 sata gpl maybe", "yes or no"},
        {"device 0 2 sata firmware NINECHARS", "longer than 8"},
        {"transfer 0 1 inquiry datalen some", "sent or asked"},
        {"transfer 0 1 internal length drive", "cdb or host"},
        {"transfer 0 1 logsense page 0x40", "out of range"},
        {"cli exit pdlst 1 3", "unknown CLI command"},
        {"cli exit pdlist 1", "too few tokens"},
        {"cli sleep pdlist x 5", "bad controller index"},
        {"cli count-line", "too few tokens"},
        {"cli reboot", "unknown cli statement"},
        {"cli text 0 shouty", "unknown CLI text variant 'shouty'"},
        {"cli text 0", "too few tokens"},
        {"pd 0 1 listed maybe", "yes or no"},
        {"device 0 2 sas serial \"unterminated", "unterminated quote"},
        {"device 0 2 sas serial ab\"cd\"", "quote inside a token"},
        {"vd 0 0 raid 1", "missing drives"},
        {"vd 0 0 drives \"1 7\"", "drive 7 is not a disk declared"},
        {"vd 0 0 drives 1 raid 3", "0, 1, 5, 6, 10, 50 or 60"},
        {"vd 0 0 drives 1 raid 10", "do not divide into the spans"},
        {"vd 0 0 drives 1 spans 2", "two or more spans"},
        {"vd 0 0 drives 1 state Sleepy", "a virtual drive state must be one of"},
        {"vd 0 0 drives 1 cache WriteAround", "cache must be one of"},
        {"pd 0 9 state Offline", "not declared before"},
        {"pd 0 1 state Dozing", "a drive state must be one of"},
        {"pd 0 1 progress 40", "Rebuild or Copyback"},
        {"pd 0 1 state Rebuild progress 101", "out of range"},
        {"pd 0 1 answers maybe", "yes or no"},
        {"adapter 0 bbu missing", "present or absent"},
        {"event 0 \"2024-06-05 22:41\" text x", "bad time"},
        {"event 0 2024-13-05T22:41:00 text x", "bad time"},
        {"event 0 2024-06-05T22:41:00", "missing text"},
        {"event 0 2024-06-05T22:41:00 pd 1 sense 3/11/00", "cdb and sense go together"},
        {"event 0 2024-06-05T22:41:00 cdb \"28 00 00 00 00 00 00 00 08 00\" sense 3/11/00", "names its drive"},
        {"event 0 2024-06-05T22:41:00 pd 1 cdb \"28 00\" sense 3/11/00", "6, 10, 12 or 16 bytes"},
        {"event 0 2024-06-05T22:41:00 pd 1 cdb \"08 00 00 00 08 00\" sense 3/1100", "bad sense"},
        {"event 0 2024-06-05T22:41:00 text x class 5", "out of range"},
    };
    for (const auto& c : cases) {
        // The statement under test is always on line 3.
        std::string msg = error_of("controller 0\ndevice 0 1 sas\n" + c.text + "\n");
        EXPECT_EQ(msg.rfind("line 3: ", 0), 0u) << c.text << " -> " << msg;
        EXPECT_NE(msg.find(c.expect), std::string::npos) << c.text << " -> " << msg;
    }
}

TEST(SimScenario, AcceptsTheDocumentedForms) {
    const char* text = R"SCN(# a comment line
controller 0 count 7   # trailing comment
controller-info-error 0 -1
controller 1 lds 2
cli count 3
cli count-line "Controller Count: 2 (two)"
cli exit adpcount * 4
cli sleep fwtermlog 1 250
device 0 0x10 sas vendor "A B" product "X  Y" rev 01 serial "S 1" ptype 0x1f interface 15 pdinfo-error 0x800a
device 1 2 sata blocks 100
device 1 3 enclosure
device 1 4 silent
page 0 16 0 "00 00 00 01 02"
page 0 16 2 "02000000"
internal 0 16 8 16777218
fault * * logsense code 0xffffffff
fault 0 16 logsense:0D nth 2 code 4 sense "70 00 05" status 0
ata-error 1 2 smart:d0 error 4 status 0x51
delay 1 * stp:24 nth 3 ms 10
fault 1 2 mgmt:2/0 code 5
device 1 1 sata model "OKAPI ZX" firmware ZX01 gpl no
subpage 0 16 0x0d 1 "4d 01 00 00"
subpage 0 16 0x0d 0x01 "4d 01 00 01 07"
subpage 0 16 0 0xff "40 ff 00 02 0d 01"
defects 0 16 3 format 5
defects 1 2 unsupported
smart-status 1 1 failed
smart-log 1 1 6 "01 00"
gpl-log 1 1 0x11 "01"
ata-error 1 1 gpl:11 error 4 status 0x51
transfer 1 1 smartlog:06 bytes 100 datalen sent
fault 0 16 logsense:0D.1 code 4
)SCN";
    sim::Scenario sc = parse_scenario(text, ".");
    EXPECT_EQ(sc.device_id_count(0), 7u);
    EXPECT_EQ(sc.device_id_count(1), 5u);  // highest id + 1
    EXPECT_EQ(*sc.controllers.at(0).infoError, -1);
    EXPECT_EQ(sc.controllers.at(1).logicalDrives, 2u);
    EXPECT_EQ(*sc.cliCount, 3);
    ASSERT_EQ(sc.countLines.size(), 1u);
    EXPECT_EQ(sc.countLines[0], "Controller Count: 2 (two)");
    ASSERT_EQ(sc.cliRules.size(), 2u);
    EXPECT_EQ(sc.cliRules[0].ctrl, sim::kAny);

    const sim::Device* d = sc.device(0, 16);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->vendor, "A B");
    EXPECT_EQ(d->product, "X  Y");
    EXPECT_EQ(d->serial, "S 1");
    EXPECT_EQ(d->ptype, 0x1f);
    EXPECT_EQ(d->interface, 15);
    EXPECT_EQ(*d->pdinfoError, 0x800a);
    ASSERT_EQ(d->pages.size(), 2u);
    EXPECT_EQ(d->pages[0].bytes, (std::vector<uint8_t>{0, 0, 0, 1, 2}));
    EXPECT_EQ(d->section(8)->len, 16777218u);
    EXPECT_EQ(sc.device(1, 2)->blocks, 100u);
    EXPECT_EQ(sc.device(1, 3)->ptype, 0x0d);

    ASSERT_EQ(sc.rules.size(), 8u);
    EXPECT_EQ(sc.rules[0].ctrl, sim::kAny);
    EXPECT_EQ(sc.rules[0].code, -1);
    EXPECT_EQ(sc.rules[1].what, "logsense:0d");
    EXPECT_EQ(sc.rules[1].nth, 2u);
    EXPECT_EQ(sc.rules[1].scsiStatus, 0);
    EXPECT_EQ(sc.rules[2].what, "smart:d0");
    EXPECT_EQ(sc.rules[3].what, "stp:24");
    EXPECT_EQ(sc.rules[4].what, "mgmt:2/0");

    ASSERT_EQ(d->subpages.size(), 2u);  // 0d/01 declared again keeps its place
    EXPECT_EQ(d->subpage(0x0d, 1)->bytes, (std::vector<uint8_t>{0x4d, 1, 0, 1, 7}));
    EXPECT_NE(d->subpage(0, 0xff), nullptr);
    EXPECT_EQ(d->defects.count, 3u);
    EXPECT_EQ(*d->defects.format, 5);
    EXPECT_FALSE(sc.device(1, 2)->defects.supported);
    const sim::Device* sata = sc.device(1, 1);
    EXPECT_EQ(sata->ata.model, "OKAPI ZX");
    EXPECT_EQ(sata->ata.firmware, "ZX01");
    EXPECT_FALSE(sata->ata.gpl);
    EXPECT_TRUE(sata->ata.smartFailed);
    EXPECT_EQ(sata->ata.smartLogs.at(6).size(), 512u);  // padded to a sector
    EXPECT_EQ(sata->ata.gplLogs.at(0x11)[0], 1);
    EXPECT_EQ(sc.rules[5].what, "gpl:11");
    EXPECT_EQ(sc.rules[6].what, "smartlog:06");
    EXPECT_EQ(*sc.rules[6].bytes, 100u);
    EXPECT_EQ(sc.rules[7].what, "logsense:0d.01");
}

TEST(SimScenario, ControllerStatementsSetTheControllersView) {
    sim::Scenario sc = parse_scenario(R"SCN(device 0 0 sas
device 0 1 sas
device 0 2 sas
device 0 3 sas
vd 0 1 raid 10 drives "0 1 2 3" state "partially degraded" name db cache WriteThrough bad-blocks yes
pd 0 2 state rebuild progress 40 media-errors 7 foreign yes link-speed 6.0Gb/s temperature 44 slot 9 answers no
adapter 0 memory-uncorrectable 2 failed-disks 3 alarm present
event 0 "2024-06-05 22:41:07" pd 2 cdb "28 00 0a 1b 2c 30 00 00 08 00" sense 3/11/00 repeat 3 every 95
event 0 2024-06-05T23:00:00 text "Battery relearn" class -1 locale 0x08
pd 0 3 listed no vanished yes
cli text * postion old-cfg
)SCN",
                                      ".");
    const sim::Controller& c = sc.controllers.at(0);
    ASSERT_EQ(c.virtualDrives.size(), 1u);
    const sim::VirtualDrive& vd = c.virtualDrives[0];
    EXPECT_EQ(vd.spans, 2u);  // what RAID 10 needs
    EXPECT_EQ(vd.members, (std::vector<uint16_t>{0, 1, 2, 3}));
    EXPECT_EQ(vd.state, "Partially Degraded");
    EXPECT_FALSE(vd.writeBack);
    EXPECT_TRUE(vd.writeBackNow);
    EXPECT_TRUE(vd.badBlocks);
    const sim::DriveView& v = sc.device(0, 2)->view;
    EXPECT_EQ(v.state, "Rebuild");
    EXPECT_EQ(*v.progress, 40u);
    EXPECT_EQ(v.mediaErrors, 7u);
    EXPECT_TRUE(v.foreign);
    EXPECT_EQ(*v.slot, 9u);
    EXPECT_TRUE(sc.device(0, 2)->silent());  // a failed drive: listed, but silent to the library
    EXPECT_FALSE(sc.device(0, 1)->silent());
    EXPECT_TRUE(sc.device(0, 3)->silent());  // pulled: no list names it, nothing answers
    EXPECT_TRUE(sc.device(0, 3)->view.vanished);
    EXPECT_TRUE(sc.cli_text(0, "old-cfg"));
    EXPECT_FALSE(sc.cli_text(0, "bare-states"));
    EXPECT_EQ(c.adapter.memoryUncorrectable, 2u);
    EXPECT_EQ(*c.adapter.failed, 3u);
    EXPECT_TRUE(c.adapter.alarm);
    ASSERT_EQ(c.events.size(), 2u);
    EXPECT_EQ(c.events[0].code, 0x71u);  // Unexpected sense
    EXPECT_EQ(c.events[0].time, 1717627267);
    EXPECT_EQ(c.events[0].repeat, 3u);
    EXPECT_EQ((*c.events[0].sense)[1], 0x11);
    EXPECT_EQ(c.events[1].cls, -1);
}

TEST(SimScenario, InternalSectionsHoldTheirLengthAndACountingPattern) {
    const struct {
        uint8_t type;
        uint32_t len;
        uint32_t index;
        uint8_t want;
    } cases[] = {
        {2, 16, 0, 0x02},       {2, 16, 3, 0x0d},         {2, 16, 4, 0x00},
        {2, 16, 15, 0x0b},      {8, 16777218, 1, 0xff},   {8, 16777218, 2, 0xff},
        {8, 16777218, 3, 0xff}, {8, 16777218, 260, 0x00}, {8, 16777218, 16777217, static_cast<uint8_t>(16777213)},
        {1, 3, 1, 0x00},        {1, 3, 2, 0x00},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim::internal_section_byte(c.type, c.len, c.index), c.want) << c.len << "@" << c.index;
}

// The scenarios shipped for the demonstration and the memory measurement.
TEST(SimScenario, ShippedScenariosParse) {
    const std::string dir = std::string(LOGDUMP_SOURCE_DIR) + "/sim/scenarios/";
    sim::Scenario demo = sim::read_scenario_file(dir + "demo.scn");
    EXPECT_EQ(demo.controllers.size(), 2u);
    ASSERT_NE(demo.device(0, 1), nullptr);
    EXPECT_NE(demo.device(0, 1)->page(0x02), nullptr);  // from its page file

    for (const char* name : {"failures.scn", "nocontroller.scn", "health.scn", "mixed.scn", "degraded.scn",
                             "pdlist-fails.scn", "old-firmware.scn"})
        EXPECT_NO_THROW(sim::read_scenario_file(dir + name));

    sim::Scenario big = sim::read_scenario_file(dir + "big.scn");
    EXPECT_EQ(big.devices.size(), 64u);
    for (const auto& [key, d] : big.devices) {
        ASSERT_EQ(d.sections.size(), 4u);
        for (const auto& s : d.sections) EXPECT_EQ(s.len, 16777218u);
    }
}

}  // namespace
