// Verdicts of one disk: a healthy set of pages, then one value changed.
#include <gtest/gtest.h>

#include <map>

#include "disk.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

struct Pages {
    std::string p0d = "001e", ref = "003c", p03 = "00", p2f = "0000", p2f_temp = "1e", p0e = "00000064", p10 = "00",
                p10_older = "00", phy_rate = "0b", phy2_rate = "0b", phy_reset = "00000000", bms_status = "01",
                p15 = "", p06 = "", p0d_block, extra;
    std::string minutes = "00000100";  // power-on minutes of page 15h
    bool only_0e = false;
};

std::string block(const std::string& tag, const std::vector<uint8_t>& bytes) {
    return "<" + tag + ">\r\n" + test::dump(bytes);
}

// A background scan result: minutes, reassign status and sense key, ASC
// 11h, then the LBA.
std::string scan_entry(int reassign, int sense_key, const std::string& lba = "0000000000001234") {
    char b[8];
    snprintf(b, sizeof b, "%x%x", reassign, sense_key);
    return std::string("00000100") + b + "1100" + "0000000000" + lba;
}

std::string log_of(const Pages& v) {
    std::string s = "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S0M1A2B30000K421    \r\n";
    if (v.only_0e) return s + block("Page0e", page(0x0e, {param(3, "00002710"), param(4, v.p0e)})) + v.extra;
    auto phy = [&](const std::string& id, const std::string& rate, const std::string& reset) {
        // Phy descriptor: id, length 2Ch, an end device attached, the rate,
        // both SAS addresses, the attached phy and three counters (zero),
        // the reset problem count.
        return "00" + id + "002c" + "10" + rate + "0000" + "5000c50000000001" + "500605b0000000" + id +
               std::string(40, '0') + reset;
    };
    s += v.p0d_block == "-"    ? ""
         : v.p0d_block.empty() ? block("Page0d", page(0x0d, {param(0, v.p0d), param(1, v.ref)}))
                               : v.p0d_block;
    s += block("Page03", page(0x03, {param(6, v.p03)}));
    s += block("Page2f", page(0x2f, {param(0, v.p2f + v.p2f_temp + "00")}));
    s += block("Page0e", page(0x0e, {param(3, "00002710"), param(4, v.p0e)}));
    s += block("Page10",
               page(0x10, {param(1, v.p10 + "010100" + std::string(24, '0')),
                           param(2, v.p10_older + "0200f0" + std::string(8, '0') + "0000abcd" + "031100" + "00")}));
    s += block(
        "Page18",
        page(0x18, {param(1, "06000102" + phy("00", v.phy_rate, v.phy_reset) + phy("01", v.phy2_rate, "00000000"))}));
    std::vector<std::vector<uint8_t>> scan = {param(0, v.minutes + "00" + v.bms_status + "000180000001")};
    if (!v.p15.empty()) scan.push_back(param(1, v.p15));
    s += block("Page15", page(0x15, scan));
    if (!v.p06.empty()) s += block("Page06", page(0x06, {param(0, v.p06)}));
    return s + v.extra;
}

TEST(Health, OneChangeGivesItsFinding) {
    struct Row {
        const char* name;
        Pages pages;
        const char* verdict;
        std::vector<std::string> findings;          // severity and code, in order
        std::map<Counter, uint64_t> counters = {};  // counters read exactly
        std::string says = "";                      // in the last finding's text
    };
    auto with = [](auto f) {
        Pages p;
        f(p);
        return p;
    };
    const std::string grown = "<Grown Defects>\r\n";
    const std::vector<Row> rows = {
        {"healthy",
         {},
         "OK",
         {},
         {{Counter::ReadUncorrected, 0}, {Counter::BmsMediumErrors, 0}, {Counter::SelftestFailures, 0}}},
        {"warm", with([](Pages& p) { p.p0d = "0033"; }), "WARN", {"WARN temperature"}},
        {"at the reference", with([](Pages& p) { p.p0d = "003c"; }), "FAIL", {"FAIL temperature"}},
        {"hot without reference",
         with([](Pages& p) {
             p.p0d = "0042";
             p.ref = "00ff";
         }),
         "FAIL",
         {"FAIL temperature-absolute"}},
        {"2Fh temperature FFh is none, not 255 C",
         with([](Pages& p) {
             p.p0d_block = "-";
             p.p2f_temp = "ff";
         }),
         "OK",
         {}},
        {"0Dh/01h temperature F6h is -10 C, no finding",
         with([](Pages& p) { p.p0d_block = block("Subpage0d.01", page(0x0d, {param(0, "00f61e001e00")}, 1)); }),
         "OK",
         {}},
        {"2Fh temperature when 0Dh is absent",
         with([](Pages& p) {
             p.p0d_block = "-";
             p.p2f_temp = "42";
         }),
         "FAIL",
         {"FAIL temperature-absolute"}},
        {"failure predicted", with([](Pages& p) { p.p2f = "5d10"; }), "FAIL", {"FAIL exception"}},
        {"5Dh/FFh is the test trigger", with([](Pages& p) { p.p2f = "5dff"; }), "OK", {"INFO exception-test"}},
        {"warning exception", with([](Pages& p) { p.p2f = "0b01"; }), "WARN", {"WARN exception"}},
        {"one uncorrected read", with([](Pages& p) { p.p03 = "01"; }), "WARN", {"WARN read-uncorrected"}},
        {"many uncorrected reads", with([](Pages& p) { p.p03 = "000000000a"; }), "FAIL", {"FAIL read-uncorrected"}},
        {"start-stop cycles near the end", with([](Pages& p) { p.p0e = "00002328"; }), "WARN", {"WARN start-stop"}},
        {"the newest self-test failed",
         with([](Pages& p) { p.p10 = "17"; }),
         "FAIL",
         {"FAIL selftest"},
         {{Counter::SelftestFailures, 1}}},
        {"a newer self-test passed after an older failure",
         with([](Pages& p) { p.p10_older = "27"; }),
         "WARN",
         {"WARN selftest-older"}},
        {"a running self-test is no failure", with([](Pages& p) { p.p10 = "1f"; }), "OK", {}},
        {"a failure before the running test decides",
         with([](Pages& p) {
             p.p10 = "1f";
             p.p10_older = "27";
         }),
         "FAIL",
         {"FAIL selftest"}},
        {"a self-test that could not complete",
         with([](Pages& p) { p.p10 = "13"; }),
         "WARN",
         {"WARN selftest-incomplete"}},
        {"phy reset problem", with([](Pages& p) { p.phy_reset = "00000002"; }), "WARN", {"WARN phy-reset-problem"}},
        {"phy disabled", with([](Pages& p) { p.phy2_rate = "01"; }), "WARN", {"WARN phy-disabled"}},
        {"phy speed negotiation failed",
         with([](Pages& p) { p.phy2_rate = "02"; }),
         "WARN",
         {"WARN phy-negotiation-failed"}},
        {"phy below the rate of the other", with([](Pages& p) { p.phy2_rate = "0a"; }), "WARN", {"WARN phy-slow"}},
        {"reassign pending (1)",
         with([](Pages& p) { p.p15 = scan_entry(1, 3); }),
         "WARN",
         {"WARN bms-medium", "WARN reassign-pending"},
         {{Counter::BmsMediumErrors, 1}, {Counter::BmsReassigns, 0}}},
        {"reassigned by the drive (2)",
         with([](Pages& p) { p.p15 = scan_entry(2, 3); }),
         "WARN",
         {"WARN bms-medium"},
         {{Counter::BmsReassigns, 1}}},
        {"the drive's reassignment failed (4)",
         with([](Pages& p) { p.p15 = scan_entry(4, 3); }),
         "FAIL",
         {"WARN bms-medium", "FAIL reassign-failed"}},
        {"rewritten in place (5), recovered",
         with([](Pages& p) { p.p15 = scan_entry(5, 1); }),
         "OK",
         {"INFO bms-recovered", "INFO rewritten"},
         {{Counter::BmsMediumErrors, 0}, {Counter::BmsReassigns, 0}}},
        {"reassigned by the host (6)",
         with([](Pages& p) { p.p15 = scan_entry(6, 3); }),
         "WARN",
         {"WARN bms-medium"},
         {{Counter::BmsReassigns, 1}}},
        {"reassigned without valid data (7)",
         with([](Pages& p) { p.p15 = scan_entry(7, 3); }),
         "WARN",
         {"WARN bms-medium", "WARN reassign-lost-data"}},
        {"the host's reassignment failed (8)",
         with([](Pages& p) { p.p15 = scan_entry(8, 4); }),
         "FAIL",
         {"WARN bms-medium", "FAIL reassign-failed"}},
        {"scan halted on a fatal error",
         with([](Pages& p) { p.bms_status = "03"; }),
         "WARN",
         {"WARN bms-status"},
         {},
         "halted on a fatal error"},
        {"scan halted on a vendor pattern", with([](Pages& p) { p.bms_status = "04"; }), "WARN", {"WARN bms-status"}},
        {"scan halted on temperature", with([](Pages& p) { p.bms_status = "07"; }), "WARN", {"WARN bms-status"}},
        {"scan waiting for its timer", with([](Pages& p) { p.bms_status = "08"; }), "OK", {}},
        {"over five years powered on", with([](Pages& p) { p.minutes = "00281bb0"; }), "OK", {"INFO power-on-hours"}},
        {"580 non-medium errors in 30000 hours",
         with([](Pages& p) {
             p.minutes = "001b7740";
             p.p06 = "0244";
         }),
         "OK",
         {}},
        {"10000 non-medium errors in 1000 hours",
         with([](Pages& p) {
             p.minutes = "0000ea60";
             p.p06 = "2710";
         }),
         "WARN",
         {"WARN non-medium"},
         {},
         ": 10000 per 1000 hours"},
        {"no health page", with([](Pages& p) { p.only_0e = true; }), "UNKNOWN", {"UNKNOWN no-health"}},
        {"health pages of a header alone",
         with([](Pages& p) {
             p.only_0e = true;
             p.extra = block("Page10", page(0x10, {})) + block("Page2f", page(0x2f, {}));
         }),
         "UNKNOWN",
         {"UNKNOWN no-health"}},
        {"pending defects",
         with([&](Pages& p) {
             p.extra =
                 block("Subpage15.01", page(0x15, {param(0, "00000001"), param(1, "00003039000000000000abcd")}, 1));
         }),
         "WARN",
         {"WARN pending-defects"},
         {{Counter::PendingDefects, 1}}},
        {"nine pending defects: eight LBAs named, the ninth counted",
         with([&](Pages& p) {
             std::vector<std::vector<uint8_t>> params = {param(0, "00000009")};
             for (char i = 1; i <= 9; ++i)
                 params.push_back(param(i, "00003039" + std::string(15, '0') + char('0' + i)));
             p.extra = block("Subpage15.01", page(0x15, params, 1));
         }),
         "WARN",
         {"WARN pending-defects"},
         {{Counter::PendingDefects, 9}},
         "LBA 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8 and 1 more"},
        {"grown defects",
         with([&](Pages& p) { p.extra = grown + " 00 0b 00 08\r\n"; }),
         "WARN",
         {"WARN grown-defects"},
         {{Counter::GrownDefects, 1}}},
        {"many grown defects",
         with([&](Pages& p) { p.extra = grown + " 00 08 01 90\r\n"; }),
         "FAIL",
         {"FAIL grown-defects"},
         {{Counter::GrownDefects, 100}}},
        {"grown defects in the vendor's format (6) are not counted",
         with([&](Pages& p) { p.extra = grown + " 00 0e 00 08\r\n"; }),
         "OK",
         {"INFO grown-defects-format"}},
        {"no grown defect list",
         with([&](Pages& p) { p.extra = grown + "Not supported (ILLEGAL REQUEST)\r\n"; }),
         "OK",
         {}},
        {"SSD endurance nearly used",
         with([&](Pages& p) { p.extra = block("Page11", page(0x11, {param(1, "0000005d")})); }),
         "WARN",
         {"WARN ssd-endurance"},
         {{Counter::EnduranceUsedPercent, 93}}},
        {"page length wrong",
         with([](Pages& p) { p.p0d_block = "<Page0d>\r\n 0d 00 00 0c 00 00 03 02 00 50\r\n"; }),
         "WARN",
         {"WARN page-length"}},
        {"page unread", with([](Pages& p) { p.p0d_block = "<Page0d>\r\n"; }), "WARN", {"WARN page-unread"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Disk d = build_disk("h", "MA0000.log", log_of(r.pages));
        std::vector<std::string> findings;
        for (auto& f : d.findings) findings.push_back(std::string(severity_name(f.severity)) + " " + f.code());
        EXPECT_EQ(findings, r.findings);
        EXPECT_STREQ(verdict_name(worst(d.findings)), r.verdict);
        for (auto& [k, v] : r.counters) EXPECT_EQ(d.counter(k), v) << counter_def(k).name;
        if (!r.says.empty()) {
            EXPECT_NE(d.findings.back().text.find(r.says), std::string::npos) << d.findings.back().text;
        }
    }
    // The figures of the healthy disk, and its phys one by one.
    const Disk d = build_disk("h", "MA0000.log", log_of({}));
    EXPECT_EQ(d.temperature, 30);
    EXPECT_EQ(d.reference_temperature, 60);
    EXPECT_EQ(d.counter(Counter::VerifyUncorrected), std::nullopt);  // no verify page
    ASSERT_EQ(d.phys.size(), 2u);
    EXPECT_EQ(d.phys[1].attached_sas_address, 0x500605b000000001u);
    EXPECT_EQ(d.phys[1].link_rate, 0x0b);
    ASSERT_EQ(d.self_tests.size(), 2u);
    EXPECT_EQ(d.self_tests[1].lba, 0xabcdu);
}

}  // namespace
