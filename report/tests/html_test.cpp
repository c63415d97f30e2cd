// The web page of a report: one table row per disk with its verdict class,
// the host column only in a fleet view, and no input text that could break
// out of the markup.
#include <gtest/gtest.h>

#include <string>

#include "html.h"
#include "report.h"
#include "rules.h"

namespace {

using namespace rpt;

// A finding of any weight, as the page shows it.
Finding weighed(Severity s, Rule rule, std::string text) {
    Finding f = finding(rule, std::move(text));
    f.severity = s;
    return f;
}

Disk disk(const std::string& host, const std::string& file, Severity verdict) {
    Disk d;
    d.host = host;
    d.file = file;
    d.controller = 0;
    d.device = 1;
    d.vendor = "ACMEDRV";
    d.product = "DK600SA0006";
    d.revision = "0004";
    d.serial = "S0M1";
    d.verdict = verdict;
    d.temperature = 41;
    d.reference_temperature = 60;
    d.power_on_hours = 1234;
    d.counters = {{Counter::ReadUncorrected, 3, {}}};
    d.findings = {weighed(verdict, Rule::ReadUncorrected, "3 uncorrected read errors")};
    return d;
}

Report report(std::vector<Disk> disks, std::vector<std::string> hosts = {"srv1"}) {
    Report r;
    for (auto& h : hosts) {
        Collection c;
        c.host = h;
        c.source = "/logs/" + h;
        for (auto& d : disks)
            if (d.host == h) c.disks.push_back(d);
        r.collections.push_back(std::move(c));
    }
    ErrRecord e;
    e.kind = RecordKind::ScsiCommandError;
    e.text = "H00T04 Command error";
    r.collections[0].errors.push_back(e);
    r.disks = disks.size();
    r.exit_status = 2;
    return r;
}

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(Html, OneRowPerDiskWithItsVerdictClass) {
    struct Row {
        Severity verdict;
        const char* cls;
    };
    const Row rows[] = {{Severity::Info, "v-ok"},
                        {Severity::Warn, "v-warn"},
                        {Severity::Fail, "v-fail"},
                        {Severity::Unknown, "v-unknown"}};
    std::vector<Disk> disks;
    for (size_t i = 0; i < std::size(rows); ++i)
        disks.push_back(disk("srv1", "MA000" + std::to_string(i) + ".log", rows[i].verdict));
    disks.back().protocol = Protocol::Ata;
    std::string page = render_html(report(disks));
    EXPECT_EQ(count(page, "<td>ATA</td>"), 1u) << "the SATA drive's protocol";
    EXPECT_EQ(count(page, "<tr class=\"disk "), std::size(rows));
    for (const Row& r : rows) EXPECT_EQ(count(page, std::string("<tr class=\"disk ") + r.cls + "\">"), 1u) << r.cls;
    EXPECT_LT(page.find("v-fail"), page.find("v-ok")) << "the worst disks first";
    EXPECT_EQ(count(page, "<th>Host</th>"), 0u) << "one host: no host column";
    EXPECT_EQ(page.find("http"), page.find("http://www.w3.org/2000/svg")) << "nothing but the SVG namespace is a URL";
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // The error log's records decoded for people, as the text has them.
    Report with_detail = report(disks);
    with_detail.collections[0].errors[0].detail = CliDetail{"Adapter 0: no answer"};
    EXPECT_NE(render_html(with_detail).find("<td>text Adapter 0: no answer</td>"), std::string::npos);

    // A disk's findings in JSON come in the text's order: the weightiest first.
    Disk mixed = disks.front();
    mixed.findings.insert(mixed.findings.begin(), weighed(Severity::Info, Rule::ReadUncorrected, "first found"));
    mixed.findings.push_back(weighed(Severity::Fail, Rule::ReadUncorrected, "last found"));
    const std::string json = json_text(mixed);
    EXPECT_LT(json.find("last found"), json.find("first found"));

    std::string fleet = render_html(report(
        {disk("srv1", "MA0000.log", Severity::Info), disk("srv2", "MA0000.log", Severity::Fail)}, {"srv1", "srv2"}));
    EXPECT_EQ(count(fleet, "<th>Host</th>"), 2u) << "host column in the disk table and the error log";
    EXPECT_EQ(count(fleet, "<tr class=\"disk "), 2u);
}

TEST(Html, TemperatureBarsTakeTheDisksColour) {
    struct Row {
        std::optional<int64_t> temperature;
        std::optional<Severity> finding;  // of a temperature finding
        const char* cls;
    };
    const Row rows[] = {{36, {}, "f-ok"},
                        {71, Severity::Fail, "f-fail"},
                        {55, Severity::Warn, "f-warn"},
                        {71, {}, "f-fail"},
                        {{}, {}, "f-none"}};
    for (const Row& r : rows) {
        Disk d = disk("srv1", "MA0000.log", Severity::Info);
        d.temperature = r.temperature;
        d.findings.clear();
        if (r.finding) d.findings.push_back(weighed(*r.finding, Rule::Temperature, "t"));
        std::string page = render_html(report({d}));
        std::string chart = page.substr(page.find("<figure"), page.find("Error counts") - page.find("<figure"));
        EXPECT_EQ(count(chart, std::string("class=\"") + r.cls + "\""), 1u) << r.cls;
    }
}

TEST(Html, EscapesEveryInputString) {
    const std::string evil = "<script>alert('x')</script>&\"\x01";
    // The same text in each place the page shows input.
    std::string Disk::*fields[] = {&Disk::file,   &Disk::vendor,   &Disk::product,
                                   &Disk::serial, &Disk::revision, &Disk::host};
    for (auto f : fields) {
        Disk d = disk("srv1", "MA0000.log", Severity::Info);
        d.*f = evil;
        d.findings[0].text = evil;
        Report r = report({d}, {d.host});
        r.collections[0].source = evil;
        r.collections[0].findings = {finding(Rule::ErrlogUnrecognised, evil)};
        r.collections[0].errors[0].text = evil;
        r.collections[0].errors[0].detail = CliDetail{evil};
        std::string page = render_html(r);
        EXPECT_EQ(page.find("<script"), std::string::npos);
        EXPECT_EQ(page.find("alert('x')"), std::string::npos);
        EXPECT_EQ(page.find('\x01'), std::string::npos);
        EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;&#xFFFD;"), std::string::npos);
    }
}

TEST(Html, FiguresNotReadShowAsDashes) {
    Disk d = disk("srv1", "MA0000.log", Severity::Unknown);
    d.temperature = d.reference_temperature = d.power_on_hours = std::nullopt;
    d.controller = d.device = std::nullopt;
    d.counters.clear();
    std::string page = render_html(report({d}));
    EXPECT_EQ(count(page, "<td class=\"num\">&ndash;</td>"), 5u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
}

}  // namespace
