// History across collections: the same host (or disk) collected again, as
// the report is given them; each case one change between the collections.
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "report.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

struct Drive {
    std::string file, serial;
    uint32_t read_errors;  // uncorrected read errors (page 03h)
};
struct Taken {
    std::string host;
    int day;  // the newest file's time, in days
    std::vector<Drive> drives;
};

std::string drive_log(const Drive& d) {
    char hex[16];
    snprintf(hex, sizeof hex, "%08x", d.read_errors);
    return "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : " + d.serial + "\r\n<Page0d>\r\n" +
           test::dump(page(0x0d, {param(0, "0024"), param(1, "0044")})) + "<Page03>\r\n" +
           test::dump(page(0x03, {param(6, hex)}));
}

Report report_of(const std::vector<Taken>& inputs, std::deque<std::string>& texts) {
    std::vector<Host> hosts;
    for (auto& t : inputs) {
        Host h{t.host, t.host + "-" + std::to_string(t.day), {}, {}, {}};
        const time_t at = 1767225600 + t.day * 86400;  // from 2026-01-01
        h.files.push_back({"logdperr.txt", "", at, true});
        for (auto& d : t.drives) h.files.push_back({d.file, texts.emplace_back(drive_log(d)), at, true});
        hosts.push_back(std::move(h));
    }
    return build_report(hosts);
}

TEST(History, AcrossCollections) {
    struct Row {
        const char* name;
        std::vector<Taken> inputs;
        std::string serial;       // the disk looked at (serial or host/file)
        size_t history;           // collections listed
        std::string growth, all;  // read errors "from>to" between the two newest and across all; "" none
        std::string code;         // a finding of the disk ("" none), or of its host when `serial` is empty
        Severity severity;
    };
    const Drive s1{"MA0000.log", "S1", 0}, s2{"MA0001.log", "S2", 0};
    auto with = [](Drive d, uint32_t n, std::string file = "") {
        d.read_errors = n;
        if (!file.empty()) d.file = file;
        return d;
    };
    const std::vector<Row> rows = {
        {"seen once", {{"srv01", 0, {s1}}}, "S1", 0, "", "", "", Severity::Info},
        {"raised between two collections",
         {{"srv01", 0, {s1}}, {"srv01", 31, {with(s1, 3)}}},
         "S1",
         2,
         "0>3",
         "0>3",
         "counter-growth",
         Severity::Warn},
        {"raised above the growth limit",
         {{"srv01", 0, {s1}}, {"srv01", 31, {with(s1, 12)}}},
         "S1",
         2,
         "0>12",
         "0>12",
         "counter-growth",
         Severity::Fail},
        {"three, given newest first",
         {{"srv01", 60, {with(s1, 4)}}, {"srv01", 30, {with(s1, 1)}}, {"srv01", 0, {s1}}},
         "S1",
         3,
         "1>4",
         "0>4",
         "counter-growth",
         Severity::Warn},
        {"three, the newest unchanged",
         {{"srv01", 0, {s1}}, {"srv01", 30, {with(s1, 2)}}, {"srv01", 60, {with(s1, 2)}}},
         "S1",
         3,
         "2>2",
         "0>2",
         "",
         Severity::Info},
        {"moved to another slot",
         {{"srv01", 0, {s1, s2}}, {"srv01", 31, {with(s1, 3, "MA0105.log"), s2}}},
         "S1",
         2,
         "0>3",
         "0>3",
         "counter-growth",
         Severity::Warn},
        {"moved to another host",
         {{"srv01", 0, {s1}}, {"srv02", 31, {with(s1, 3)}}},
         "srv02/MA0000.log",
         2,
         "0>3",
         "0>3",
         "counter-growth",
         Severity::Warn},
        {"a counter that went down",
         {{"srv01", 0, {with(s1, 5)}}, {"srv01", 31, {with(s1, 1)}}},
         "S1",
         2,
         "5>1",
         "5>1",
         "counter-went-down",
         Severity::Info},
        {"a disk gone", {{"srv01", 0, {s1, s2}}, {"srv01", 31, {s1}}}, "", 0, "", "", "disk-gone", Severity::Warn},
        {"a disk replaced",
         {{"srv01", 0, {s1, s2}}, {"srv01", 31, {s1, {"MA0001.log", "S3", 0}}}},
         "S3",
         0,
         "",
         "",
         "disk-replaced",
         Severity::Info},
        {"the same collection given twice: no rate",
         {{"srv01", 0, {with(s1, 2)}}, {"srv01", 0, {with(s1, 2)}}},
         "S1",
         2,
         "2>2",
         "2>2",
         "",
         Severity::Info},
        {"the same slot on another host",
         {{"srv01", 0, {s1, s2}}, {"srv02", 31, {s1}}},
         "srv02/MA0000.log",
         2,
         "0>0",
         "0>0",
         "",
         Severity::Info},
    };
    auto change = [](const std::vector<Growth>& g) {
        for (auto& x : g)
            if (x.counter == Counter::ReadUncorrected) return std::to_string(x.from) + ">" + std::to_string(x.to);
        return std::string();
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::deque<std::string> texts;
        const Report rep = report_of(r.inputs, texts);
        std::set<std::string> hosts;
        for (auto& t : r.inputs) hosts.insert(t.host);
        ASSERT_EQ(rep.collections.size(), hosts.size());
        std::vector<std::string> codes;
        for (auto& c : rep.collections)
            for (auto& f : c.findings)
                if (std::string(f.code()).starts_with("disk-")) codes.push_back(f.code());
        const Disk* d = find_disk(rep, r.serial);
        if (!r.serial.empty()) {
            ASSERT_TRUE(d);
            EXPECT_EQ(d->history.size(), r.history);
            for (size_t i = 1; i < d->history.size(); ++i)
                EXPECT_GE(d->history[i - 1].collected, d->history[i].collected);
            EXPECT_EQ(change(d->growth), r.growth);
            for (auto& g : d->growth) EXPECT_EQ(g.per_30_days.has_value(), g.days > 0) << g.key();
            EXPECT_EQ(change(d->growth_all), r.all);
            for (auto& f : d->findings)
                if (const std::string code = f.code(); code.starts_with("counter-") || code.starts_with("disk-"))
                    codes.push_back(code);
        }
        EXPECT_EQ(codes, r.code.empty() ? std::vector<std::string>{} : std::vector<std::string>{r.code});
        if (r.code.empty()) continue;
        Findings all = d ? d->findings : rep.collections[0].findings;
        auto f = std::find_if(all.begin(), all.end(), [&](auto& x) { return x.code() == r.code; });
        ASSERT_NE(f, all.end());
        EXPECT_EQ(f->severity, r.severity);
        if (r.code == "counter-growth") {
            EXPECT_NE(f->text.find("grew by "), std::string::npos) << f->text;
        }
    }
}

}  // namespace
