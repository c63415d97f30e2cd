// Verdicts of one disk: a healthy set of pages, then one value changed.
#include <gtest/gtest.h>

#include "health.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

struct Pages {
    std::string p0d = "001e", ref = "003c", p03 = "00", p2f = "0000", p0e = "00000064", p10 = "00",
                phy_reset = "00000000", p15 = "", p0d_header;
};

std::string log_of(const Pages& v) {
    auto block = [](const char* code, const std::vector<uint8_t>& bytes) {
        return std::string("<Page") + code + ">\r\n" + test::dump(bytes);
    };
    std::string phy = "0000002c" + std::string(80, '0') + v.phy_reset;
    std::string s = "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S0M1A2B30000K421    \r\n";
    s += v.p0d_header.empty() ? block("0d", page(0x0d, {param(0, v.p0d), param(1, v.ref)})) : v.p0d_header;
    s += block("03", page(0x03, {param(6, v.p03)}));
    s += block("2f", page(0x2f, {param(0, v.p2f + "1e00")}));
    s += block("0e", page(0x0e, {param(3, "00002710"), param(4, v.p0e)}));
    s += block("10", page(0x10, {param(1, v.p10 + "010100" + std::string(24, '0'))}));
    s += block("18", page(0x18, {param(1, "06000101" + phy)}));
    if (!v.p15.empty()) s += block("15", page(0x15, {param(0, "000017700000000100000001"), param(1, v.p15)}));
    return s;
}

TEST(Health, OneChangeGivesItsFinding) {
    struct Row {
        const char* name;
        Pages pages;
        const char* verdict;
        std::vector<std::string> codes;
    };
    auto with = [](auto f) {
        Pages p;
        f(p);
        return p;
    };
    const std::string scan_entry = "00000100" "13" "1100" "0000000000" "0000000000001234";
    const std::vector<Row> rows = {
        {"healthy", {}, "OK", {}},
        {"warm", with([](Pages& p) { p.p0d = "0033"; }), "WARN", {"temperature"}},
        {"at the reference", with([](Pages& p) { p.p0d = "003c"; }), "FAIL", {"temperature"}},
        {"hot without reference", with([](Pages& p) { p.p0d = "0042"; p.ref = "00ff"; }), "FAIL", {"temperature-absolute"}},
        {"failure predicted", with([](Pages& p) { p.p2f = "5d10"; }), "FAIL", {"exception"}},
        {"warning exception", with([](Pages& p) { p.p2f = "0b01"; }), "WARN", {"exception"}},
        {"one uncorrected read", with([](Pages& p) { p.p03 = "01"; }), "WARN", {"read-uncorrected"}},
        {"many uncorrected reads", with([](Pages& p) { p.p03 = "000000000a"; }), "FAIL", {"read-uncorrected"}},
        {"start-stop cycles near the end", with([](Pages& p) { p.p0e = "00002328"; }), "WARN", {"start-stop"}},
        {"failed self-test", with([](Pages& p) { p.p10 = "17"; }), "FAIL", {"selftest"}},
        {"phy reset problem", with([](Pages& p) { p.phy_reset = "00000002"; }), "WARN", {"phy-reset-problem"}},
        {"background scan error", with([&](Pages& p) { p.p15 = scan_entry; }), "WARN", {"bms-medium"}},
        {"page length wrong", with([](Pages& p) { p.p0d_header = "<Page0d>\r\n 0d 00 00 0c 00 00 03 02 00 50\r\n"; }),
         "WARN", {"page-length"}},
        {"page unread", with([](Pages& p) { p.p0d_header = "<Page0d>\r\n"; }), "WARN", {"page-unread"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        DriveLog log = read_drive_log(log_of(r.pages));
        std::vector<Page> pages;
        for (auto& b : log.pages) pages.push_back(decode_page(b.bytes));
        Health h = assess(log, pages);
        std::vector<std::string> codes;
        for (auto& f : h.findings)
            if (f.severity != Severity::Info) codes.push_back(f.code);
        EXPECT_EQ(codes, r.codes);
        EXPECT_STREQ(verdict_name(worst(h.findings)), r.verdict);
    }
    // The figures of the healthy disk; an untrusted page gives none.
    DriveLog log = read_drive_log(log_of({}));
    std::vector<Page> pages;
    for (auto& b : log.pages) pages.push_back(decode_page(b.bytes));
    Health h = assess(log, pages);
    EXPECT_EQ(h.temperature, 30);
    EXPECT_EQ(h.reference_temperature, 60);
    EXPECT_EQ(h.counters[0], 0u);                 // read_uncorrected
    EXPECT_EQ(h.counters[2], std::nullopt);       // no verify page
    EXPECT_EQ(h.counters[10], 0u);                // phy_reset_problem
}

}  // namespace

namespace {

// The README's table of thresholds is the code's, row for row.
TEST(Health, ReadmeShowsTheThresholds) {
    const std::string readme = rpt::test::slurp(std::string(REPORT_SOURCE_DIR) + "/../README.md");
    for (auto& t : rpt::thresholds()) {
        auto limit = [](int64_t v) { return v == rpt::kNever ? std::string("-") : std::to_string(v); };
        const std::string row = std::string("| ") + t.code + " | " + t.measure + " | " + limit(t.warn) + " | " +
                                limit(t.fail) + " |";
        EXPECT_NE(readme.find(row), std::string::npos) << row;
    }
}

}  // namespace
