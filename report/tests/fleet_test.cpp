// The fleet's turnover between collections of a host, and the rate of
// replacements with its interval.
#include <gtest/gtest.h>

#include <cmath>

#include "drive_stats.h"
#include "fleet.h"
#include "rules.h"

namespace {

using namespace rpt;

constexpr time_t kDayZero = 1767225600;  // 2026-01-01

struct Slot {
    const char* serial;
    unsigned device;  // 0: a slot not known
};
// A collection of `host` taken on `day` with drives in `slots`; an
// unreadable one has a finding that says so.
struct Taken {
    const char* host;
    int day;
    std::vector<Slot> slots;
    bool unreadable = false;
};
Collection taken(const Taken& t) {
    Collection c;
    c.host = t.host;
    c.newest = kDayZero + static_cast<time_t>(t.day) * 86400;
    if (t.unreadable) c.findings.push_back(finding(Rule::Unreadable, "x"));
    for (auto& s : t.slots) {
        Disk d;
        d.host = t.host;
        d.vendor = "ACME";
        d.product = "DK600";
        d.revision = "0004";
        d.serial = s.serial;
        d.controller = 0;
        if (s.device) d.device = s.device;
        c.disks.push_back(d);
    }
    return c;
}

TEST(Fleet, TurnoverBetweenCollections) {
    struct Row {
        const char* name;
        std::vector<Taken> inputs;
        std::string turns;  // "kind serial>successor" in order, ';'-separated
        double drive_years;
        uint64_t replacements;
        std::string failed = "";  // the rows of disk_days with failure 1: "serial@day", ';'-separated
    };
    const double y = 365.0 / 365.25;  // a year of 365 days
    const Taken bad{"h", 400, {}, true};
    const Row rows[] = {
        {"the same drives", {{"h", 0, {{"A", 1}, {"B", 2}}}, {"h", 365, {{"A", 1}, {"B", 2}}}}, "", 2 * y, 0},
        {"another serial in a slot: replaced",
         {{"h", 0, {{"A", 1}, {"B", 2}}}, {"h", 365, {{"A", 1}, {"C", 2}}}},
         "replaced B>C",
         2 * y,
         1,
         "B@0"},
        {"input order does not count", {{"h", 365, {{"A", 1}}}, {"h", 0, {{"B", 1}}}}, "replaced B>A", y, 1, "B@0"},
        {"a drive in another slot: moved, its slot's new drive no replacement",
         {{"h", 0, {{"A", 1}, {"B", 2}}}, {"h", 365, {{"A", 3}, {"C", 1}, {"B", 2}}}},
         "moved A>",
         2 * y,
         0},
        {"gone, its slot empty: removed",
         {{"h", 0, {{"A", 1}, {"B", 2}}}, {"h", 365, {{"A", 1}}}},
         "removed B>",
         2 * y,
         0},
        {"gone, its slot taken by a drive of the host: removed",
         {{"h", 0, {{"A", 1}, {"B", 2}}}, {"h", 365, {{"A", 2}}}},
         "moved A>;removed B>",
         2 * y,
         0},
        {"three collections, an unreadable one and another host",
         {{"h", 0, {{"A", 1}}}, {"h", 365, {{"B", 1}}}, bad, {"h", 730, {{"C", 1}}}, {"g", 0, {{"A", 1}}}},
         "replaced A>B;replaced B>C",
         2 * y,
         2,
         "A@0;B@365"},
        {"a serial listed twice is one drive, a drive without one none",
         {{"h", 0, {{"A", 1}, {"A", 1}, {"", 3}}}, {"h", 365, {{"A", 1}, {"A", 1}, {"", 3}}}},
         "",
         y,
         0},
        {"gone from a slot not known: removed", {{"h", 0, {{"A", 0}}}, {"h", 365, {{"B", 1}}}}, "removed A>", y, 0},
        {"one collection: nothing watched", {{"h", 0, {{"A", 1}}}}, "", 0, 0},
        {"one collection read twice: nothing watched", {{"h", 0, {{"A", 1}}}, {"h", 0, {{"B", 1}}}}, "", 0, 0},
    };
    for (const Row& r : rows) {
        std::vector<Collection> inputs;
        for (auto& x : r.inputs) inputs.push_back(taken(x));
        const Turnover t = fleet_turnover(inputs);
        std::string turns;
        for (auto& x : t.turns)
            turns += std::string(turns.empty() ? "" : ";") + turn_name(x.kind) + " " + x.serial + ">" + x.successor;
        EXPECT_EQ(turns, r.turns) << r.name;
        double years = 0;
        uint64_t replaced = 0;
        for (auto& e : t.exposure) {
            EXPECT_EQ(e.model + "/" + e.firmware, "ACME DK600/0004") << r.name;
            years += e.drive_years;
            replaced += e.replacements;
        }
        EXPECT_NEAR(years, r.drive_years, 1e-9) << r.name;
        EXPECT_EQ(replaced, r.replacements) << r.name;
        std::string failed;
        for (const DiskDay& d : disk_days(inputs, t)) {
            EXPECT_FALSE(d.serial.empty()) << r.name;  // a drive without one has no row
            if (d.failure)
                failed += (failed.empty() ? "" : ";") + d.serial + "@" + std::to_string((d.date - kDayZero) / 86400);
        }
        EXPECT_EQ(failed, r.failed) << r.name;
    }
}

TEST(Fleet, ExactPoissonInterval) {
    // Garwood's interval: where the Poisson distribution's tail at the count is 2.5%.
    const struct {
        uint64_t events;
        double low, high;
    } rows[] = {{0, 0, 3.68888},
                {1, 0.02532, 5.57164},
                {2, 0.24221, 7.22469},
                {10, 4.79539, 18.39036},
                {100, 81.36399, 121.62679}};
    for (auto& r : rows) {
        const Interval i = poisson_interval(r.events);
        EXPECT_NEAR(i.low, r.low, 1e-4) << r.events;
        EXPECT_NEAR(i.high, r.high, 1e-4) << r.events;
    }
    const auto rate = annual_rate({"m", "f", 50, 1});
    ASSERT_TRUE(rate);
    EXPECT_NEAR(rate->percent, 2.0, 1e-9);
    EXPECT_NEAR(rate->interval.low, 0.02532 * 2, 1e-4);
    EXPECT_NEAR(rate->interval.high, 5.57164 * 2, 1e-4);
    EXPECT_FALSE(annual_rate({"m", "f", 0, 0}));
}

TEST(Fleet, SectionPerModelAndHost) {
    Report r;
    r.collections.push_back(taken({"a", 0, {{"A", 1}, {"B", 2}}}));
    r.collections.push_back(taken({"b", 1, {{"C", 1}}}));
    r.collections[0].disks[1].verdict = Severity::Warn;
    r.collections[0].disks[1].risk.band = RiskBand::High;
    r.collections[1].disks[0].risk.band = RiskBand::Elevated;
    r.collections[1].findings.push_back(finding(Rule::Unreadable, "x"));  // not whole, and no verdict of its own
    r.collections.push_back(taken({"c", 2, {}}));
    r.collections[2].findings.push_back(finding(Rule::StaleFile, "x"));  // a WARN of the collection: not whole
    r.turnover.exposure = {{"ACME DK600", "0004", 2, 1}};
    ASSERT_TRUE(fleet_view(r));
    const FleetView v = *fleet_view(r);
    ASSERT_EQ(v.models.size(), 1u);
    EXPECT_EQ(v.models[0].drives, 3u);
    EXPECT_EQ(v.models[0].verdicts[static_cast<size_t>(Severity::Warn)], 1u);
    EXPECT_EQ(v.models[0].bands[static_cast<size_t>(RiskBand::High)], 1u);
    ASSERT_TRUE(v.models[0].rate);
    EXPECT_NEAR(v.models[0].rate->percent, 50, 1e-9);
    ASSERT_EQ(v.hosts.size(), 3u);
    EXPECT_FALSE(v.hosts[2].complete);
    EXPECT_EQ(v.hosts[0].worst, Severity::Warn);
    EXPECT_TRUE(v.hosts[0].complete);
    EXPECT_EQ(v.hosts[1].worst, Severity::Info);
    EXPECT_FALSE(v.hosts[1].complete);
    // Riskiest first: the WARN, then the elevated OK, then the rest.
    std::string order;
    for (const Disk* d : v.riskiest) order += d->serial;
    EXPECT_EQ(order, "BCA");
    r.collections.resize(1);
    EXPECT_FALSE(fleet_view(r)) << "one host: no fleet section";
}

// The drive-stats file's fields, quoted where a reader would split or trim
// them (RFC 4180), and only there.
TEST(Fleet, DriveStatsQuotesWhereNeeded) {
    const std::pair<std::string, std::string> rows[] = {
        {"S1", "S1"},       {"S 1", "S 1"},         {"S1 ", "\"S1 \""},   {" S1", "\" S1\""},
        {"S,1", "\"S,1\""}, {"S\"1", "\"S\"\"1\""}, {"S\n1", "\"S\n1\""},
    };
    for (auto& [serial, field] : rows) {
        DiskDay day;
        day.serial = serial;
        const std::string csv = render_drive_stats({day});
        const std::string row = csv.substr(csv.find("\r\n") + 2);
        EXPECT_TRUE(row.starts_with("1970-01-01," + field + ",,")) << row;
    }
}

}  // namespace
