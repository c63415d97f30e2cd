// logdump-report(1) describes the outputs from the tables they are written
// from: each metric family with its labels, the disk columns, counters and
// error kinds of the JSON document, and no other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "counters.h"
#include "errlog.h"
#include "layout.h"
#include "metrics.h"
#include "util.h"

namespace {

using namespace rpt;
using test::count;
using test::man_section;

// The part of `s` from `from` up to the first `to` after it.
std::string between(const std::string& s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    if (at == std::string::npos) return "";
    return s.substr(at + from.size(), s.find(to, at + from.size()) - at - from.size());
}

// The words of a list in the page's prose: "a, b,\nand c" (a list of
// counters says "and from the device statistics").
std::vector<std::string> words(std::string s) {
    for (const char* filler : {"\n", "and from the device statistics ", "and "})
        for (size_t at; (at = s.find(filler)) != std::string::npos;) s.replace(at, strlen(filler), " ");
    std::vector<std::string> out;
    for (size_t at = 0; at <= s.size();) {
        const size_t comma = std::min(s.find(',', at), s.size());
        const size_t from = s.find_first_not_of(' ', at), to = s.find_last_not_of(' ', comma - 1);
        if (from < comma) out.push_back(s.substr(from, to + 1 - from));
        at = comma + 1;
    }
    return out;
}

TEST(ManPage, MetricsListEveryFamilyWithItsLabels) {
    const std::string man = man_section("METRICS");
    // One entry each (.TQ: an entry that shares the next one's text).
    EXPECT_EQ(count(man, "\n.TP\n") + count(man, "\n.TQ\n"), metric_families().size());
    for (size_t i = 0; i < metric_families().size(); ++i) {
        const MetricFamilyDef& f = metric_families()[i];
        EXPECT_EQ(static_cast<size_t>(f.id), i) << f.name;
        EXPECT_FALSE(f.id != Metric::DiskCounter && f.help.empty()) << f.name;
        // An entry: the name in bold, its own labels in braces.
        std::string entry = ".B" + std::string(f.labels.empty() ? " " : "R ") + f.name;
        for (size_t l = 0; l < f.labels.size(); ++l) entry += (l ? " \", \" " : " { ") + std::string(f.labels[l]);
        if (!f.labels.empty()) entry += " }";
        if (f.id == Metric::DiskCounter) entry = ".BI " + std::string(f.name) + " counter";
        EXPECT_TRUE(man.find("\n.TP\n" + entry + "\n") != std::string::npos ||
                    man.find("\n.TQ\n" + entry + "\n") != std::string::npos)
            << entry;
    }
}

TEST(ManPage, JsonListsTheDiskColumnsCountersAndErrorKinds) {
    const std::string man = man_section("JSON");
    // The disk object's keys from the columns, in their order (each
    // followed by a comma).
    const std::string disk = between(man, "\"disks\": [{", "\"counters\"");
    size_t at = 0, keys = 0;
    for (auto& c : disk_columns())
        if (c.key && ++keys) {
            at = disk.find('"' + std::string(c.key) + '"', at);
            EXPECT_NE(at, std::string::npos) << c.key << " in: " << disk;
        }
    EXPECT_EQ(count(disk, ","), keys) << disk;
    // Each protocol's counters, in the registry's order (a phy's are in
    // phys, the controller's count is of either protocol).
    for (Protocol p : {Protocol::Scsi, Protocol::Ata}) {
        std::vector<std::string> names;
        for (auto& def : counter_defs())
            if (carried_by(def, p) && !def.per_phy && def.id != Counter::ControllerMediaErrors)
                names.emplace_back(def.name);
        const bool ata = p == Protocol::Ata;
        EXPECT_EQ(words(between(man, ata ? "ATA counters:" : "SAS counters:", ata ? "." : ";")), names);
    }
    // The error kinds, in any order.
    std::vector<std::string> kinds;
    for (size_t k = 0; k < static_cast<size_t>(RecordKind::kCount); ++k)
        kinds.emplace_back(record_name(static_cast<RecordKind>(k)));
    std::vector<std::string> listed = words(between(man, "\n.IR kind s:", ";"));
    std::sort(kinds.begin(), kinds.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, kinds);
}

}  // namespace
