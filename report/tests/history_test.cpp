// History across collections: the same host (or disk) collected again, as
// the report is given them; each case one change between the collections.
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "queries.h"
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
        {"seen at the same time on another host, given first: a history here too",
         {{"srv02", 0, {s1}}, {"srv01", 0, {s1}}},
         "srv01/MA0000.log",
         2,
         "0>0",
         "0>0",
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
            EXPECT_EQ(change(d->growth_since_first()), r.all);
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

// The controller's view across two collections of a host: its states and
// its media error count, from the controller logs alone (the drive left no
// drive log, so its row is the controller's).
struct View {
    std::string virtual_drive, drive;  // states; "" leaves the line out
    uint32_t media_errors;
};

std::vector<InputFile> controller_logs(const View& v, time_t at, std::deque<std::string>& texts) {
    std::string drives = "Adapter #0\r\n\r\nEnclosure Device ID: 252\r\nSlot Number: 1\r\nDevice Id: 1\r\n";
    drives += "Media Error Count: " + std::to_string(v.media_errors) + "\r\nPD Type: SAS\r\n";
    if (!v.drive.empty()) drives += "Firmware state: " + v.drive + "\r\n";
    drives += "Inquiry Data: ACMEDRV DK600SA0006     0004S0M000001K\r\n\r\nExit Code: 0x00\r\n";
    std::string vds = "Adapter 0 -- Virtual Drive Information:\r\nVirtual Drive: 1 (Target Id: 1)\r\n";
    vds += "RAID Level          : Primary-5, Secondary-0, RAID Level Qualifier-3\r\n";
    if (!v.virtual_drive.empty()) vds += "State               : " + v.virtual_drive + "\r\n";
    vds += "\r\nExit Code: 0x00\r\n";
    return {{"Controller_0_pdlist.log", texts.emplace_back(drives), at, true},
            {"Controller_0_ldinfo.log", texts.emplace_back(vds), at, true}};
}

TEST(History, ControllerView) {
    struct Row {
        const char* name;
        View before, now;
        std::string growth;  // the media error count "from>to"
        std::string disk;    // the disk's history finding: "code: text", "" none
        std::string host;    // the same of the host
    };
    const View v{"Optimal", "Online, Spun Up", 0};
    auto with = [&](std::string vd, std::string drive, uint32_t n) { return View{vd, drive, n}; };
    const std::vector<Row> rows = {
        {"unchanged", v, v, "0>0", "", ""},
        {"only the words beside the state changed", v, with("Optimal", "Online, Spun down", 0), "0>0", "", ""},
        {"a drive went offline", v, with("Optimal", "Offline", 0), "0>0",
         "controller-state-changed: controller 0: drive 252:1 (target 1, serial S0M000001K) was Online on "
         "2026-01-01, now Offline",
         ""},
        {"a virtual drive degraded", v, with("Degraded", "Online, Spun Up", 0), "0>0", "",
         "controller-state-changed: controller 0: virtual drive 1 (RAID 5) was Optimal on 2026-01-01, now Degraded"},
        {"no state given before", with("", "", 0), with("Degraded", "Offline", 0), "0>0", "", ""},
        {"media errors grew", v, with("Optimal", "Online, Spun Up", 22), "0>22",
         "counter-growth: media errors the controller counts (drive list) grew by 22 in 31 days, from 0 to 22 "
         "(21.3 per 30 days)",
         ""},
        {"media errors went down", with("Optimal", "Online, Spun Up", 22), with("Optimal", "Online, Spun Up", 3),
         "22>3",
         "counter-went-down: media errors the controller counts (drive list) went down from 22 to 3 in 31 days: "
         "the counter was reset",
         ""},
    };
    auto said = [](const Findings& fs) {
        std::string out;
        for (auto& f : fs)
            if (f.rule == Rule::ControllerStateChanged || f.rule == Rule::CounterGrowth ||
                f.rule == Rule::CounterWentDown)
                out += (out.empty() ? "" : "; ") + std::string(f.code()) + ": " + f.text;
        return out;
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::deque<std::string> texts;
        std::vector<Host> hosts;
        for (auto [day, view] : {std::pair{0, r.before}, std::pair{31, r.now}}) {
            Host h{"srv01", "srv01-" + std::to_string(day), {}, {}, {}};
            h.files = controller_logs(view, 1767225600 + day * 86400, texts);
            hosts.push_back(std::move(h));
        }
        const Report rep = build_report(hosts);
        ASSERT_EQ(rep.collections.size(), 1u);
        const Disk* d = find_disk(rep, "S0M000001K");
        ASSERT_TRUE(d);
        std::string growth;
        for (auto& g : d->growth)
            if (g.counter == Counter::ControllerMediaErrors)
                growth = std::to_string(g.from) + ">" + std::to_string(g.to);
        EXPECT_EQ(growth, r.growth);
        EXPECT_EQ(said(d->findings), r.disk);
        EXPECT_EQ(said(rep.collections[0].findings), r.host);
        for (auto& f : d->findings)
            if (f.rule == Rule::ControllerStateChanged) {
                EXPECT_EQ(f.severity, Severity::Info);
                EXPECT_EQ(f.kind(), Kind::Controller);
                EXPECT_EQ(f.target, 1u);
            }
    }
}

// What a report keeps of each collection, whichever order they are put in
// (several threads judge hosts side by side): the newest of a host (of
// equal times the first input) whole; the others without the detail the
// history does not read.
TEST(History, SupersededCollectionsKeepWhatTheHistoryReads) {
    struct Row {
        std::vector<std::pair<std::string, int>> inputs;  // host and day
        std::vector<size_t> order;                        // in which they are put
        bool detail;
        std::string whole;  // per input: '1' kept whole (its pages only with `detail`)
    };
    const Row rows[] = {
        {{{"a", 1}, {"a", 3}, {"b", 1}}, {0, 1, 2}, true, "011"},
        {{{"a", 1}, {"a", 3}, {"b", 1}}, {2, 1, 0}, true, "011"},
        {{{"a", 3}, {"a", 3}, {"a", 1}}, {1, 2, 0}, true, "100"},
        {{{"a", 3}, {"a", 1}}, {1, 0}, false, "10"},
        {{{"a", 1}, {"x", 9}}, {1, 0}, true, "11"},  // "x" unreadable: kept as it is
    };
    for (auto& r : rows) {
        Gathered g(r.inputs.size(), r.detail);
        for (size_t i : r.order) {
            Collection c;
            c.host = r.inputs[i].first;
            c.newest = r.inputs[i].second * 86400;
            if (c.host == "x") c.findings.push_back(finding(Rule::Unreadable, "damaged"));
            c.disks.emplace_back().pages.emplace_back();
            c.controllers.emplace_back().events.emplace_back();
            c.controllers.back().physical_drives.emplace_back();
            g.put(i, std::move(c));
        }
        std::string whole;
        for (auto& c : g.take()) {
            const bool kept = !c.controllers.at(0).events.empty() && !c.controllers[0].physical_drives.empty();
            whole += kept ? '1' : '0';
            EXPECT_EQ(!c.disks.at(0).pages.empty(), r.detail && kept) << c.host << " " << c.newest;
        }
        EXPECT_EQ(whole, r.whole);
    }
}

}  // namespace
