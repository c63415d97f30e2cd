// The web page of a report: one table row per disk with its verdict class,
// the host column only in a fleet view, and no input text that could break
// out of the markup.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "html.h"

using nlohmann::json;

namespace {

json disk(const std::string& host, const std::string& file, const std::string& verdict) {
    json counters = json::object();
    for (const char* k : {"read_uncorrected", "write_uncorrected", "verify_uncorrected", "non_medium",
                          "selftest_failures", "bms_medium_errors", "bms_reassigns", "phy_invalid_dword",
                          "phy_disparity", "phy_loss_of_sync", "phy_reset_problem"})
        counters[k] = nullptr;
    counters["read_uncorrected"] = 3;
    return {{"host", host},          {"file", file},         {"controller", 0},
            {"device", 1},           {"vendor", "ACMEDRV"},  {"product", "DK600SA0006"},
            {"revision", "0004"},    {"serial", "S0M1"},     {"verdict", verdict},
            {"temperature", 41},     {"reference_temperature", 60},
            {"power_on_hours", 1234}, {"counters", counters},
            {"findings", json::array({{{"severity", verdict == "OK" ? "INFO" : verdict}, {"code", "read-uncorrected"},
                                       {"text", "3 uncorrected read errors"}}})},
            {"pages", json::array()}, {"sections", json::array()}};
}

json report(std::vector<json> disks, std::vector<std::string> hosts = {"srv1"}) {
    json h = json::array();
    for (auto& n : hosts) h.push_back({{"host", n}, {"source", "/logs/" + n}});
    return {{"tool", "logdump-report"},
            {"hosts", h},
            {"disks", disks},
            {"errors", json::array({{{"host", hosts[0]}, {"kind", "scsi"}, {"text", "H00T04 Command error"},
                                     {"decoded", "LOG SENSE"}}})},
            {"summary", {{"disks", disks.size()}, {"ok", 1}, {"warn", 1}, {"fail", 1}}},
            {"exit_status", 2}};
}

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(Html, OneRowPerDiskWithItsVerdictClass) {
    struct Row {
        const char* verdict;
        const char* cls;
    };
    const Row rows[] = {{"OK", "v-ok"}, {"WARN", "v-warn"}, {"FAIL", "v-fail"}, {"BROKEN\" onclick=\"x", "v-unknown"}};
    std::vector<json> disks;
    for (size_t i = 0; i < std::size(rows); ++i) disks.push_back(disk("srv1", "MA000" + std::to_string(i) + ".log", rows[i].verdict));
    std::string page = render_html(report(disks));
    EXPECT_EQ(count(page, "<tr class=\"disk "), std::size(rows));
    for (const Row& r : rows) EXPECT_EQ(count(page, std::string("<tr class=\"disk ") + r.cls + "\">"), 1u) << r.cls;
    EXPECT_EQ(count(page, "<th>Host</th>"), 0u) << "one host: no host column";
    EXPECT_EQ(page.find("http"), page.find("http://www.w3.org/2000/svg")) << "nothing but the SVG namespace is a URL";
    EXPECT_EQ(page.find("<script"), std::string::npos);

    std::string fleet = render_html(report({disk("srv1", "MA0000.log", "OK"), disk("srv2", "MA0000.log", "FAIL")},
                                           {"srv1", "srv2"}));
    EXPECT_EQ(count(fleet, "<th>Host</th>"), 2u) << "host column in the disk table and the error log";
    EXPECT_EQ(count(fleet, "<tr class=\"disk "), 2u);
}

TEST(Html, TemperatureBarsTakeTheDisksColour) {
    struct Row {
        json temperature;
        const char* finding;  // severity of a temperature finding, "" for none
        const char* cls;
    };
    const Row rows[] = {{36, "", "f-ok"}, {71, "FAIL", "f-fail"}, {55, "WARN", "f-warn"},
                        {71, "", "f-fail"}, {nullptr, "", "f-none"}};
    for (const Row& r : rows) {
        json d = disk("srv1", "MA0000.log", "OK");
        d["temperature"] = r.temperature;
        d["findings"] = json::array();
        if (*r.finding) d["findings"].push_back({{"severity", r.finding}, {"code", "temperature"}, {"text", "t"}});
        std::string page = render_html(report({d}));
        std::string chart = page.substr(page.find("<figure"), page.find("Error counts") - page.find("<figure"));
        EXPECT_EQ(count(chart, std::string("class=\"") + r.cls + "\""), 1u) << r.temperature << " " << r.finding;
    }
}

TEST(Html, EscapesEveryInputString) {
    const std::string evil = "<script>alert('x')</script>&\"\x01";
    // The same text in each place the page shows input.
    const char* fields[] = {"file", "vendor", "product", "serial", "revision", "host", "verdict"};
    for (const char* f : fields) {
        json d = disk("srv1", "MA0000.log", "OK");
        d[f] = evil;
        d["findings"][0]["text"] = evil;
        d["findings"][0]["code"] = evil;
        json r = report({d});
        r["hosts"][0]["source"] = evil;
        r["hosts"][0]["findings"] = json::array({{{"severity", "INFO"}, {"code", evil}, {"text", evil}}});
        r["errors"][0]["text"] = evil;
        r["errors"][0]["decoded"] = evil;
        std::string page = render_html(r);
        EXPECT_EQ(page.find("<script"), std::string::npos) << f;
        EXPECT_EQ(page.find("alert('x')"), std::string::npos) << f;
        EXPECT_EQ(page.find('\x01'), std::string::npos) << f;
        EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;&#xFFFD;"), std::string::npos) << f;
    }
}

TEST(Html, ToleratesMissingAndMistypedFields) {
    json d = disk("srv1", "MA0000.log", "WARN");
    d["temperature"] = nullptr;
    d["counters"] = "not an object";
    d.erase("findings");
    json r = report({d, json("not a disk")});
    r.erase("summary");
    std::string page = render_html(r);
    EXPECT_EQ(count(page, "<tr class=\"disk "), 2u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
}

}  // namespace
