// logdump-report(1) lists the rules catalogue and the thresholds table of
// the code, row for row, and no other row.
#include <gtest/gtest.h>

#include "rules.h"
#include "util.h"

namespace {

using namespace rpt;
using test::count;
using test::man_section;

TEST(Rules, ManPageShowsTheThresholds) {
    const std::string man = man_section("THRESHOLDS");
    EXPECT_EQ(count(man, "\nT}\t"), thresholds().size());
    for (auto& t : thresholds()) {
        auto limit = [](int64_t v) { return v == kNever ? std::string("-") : std::to_string(v); };
        // A row of the table: code, the measure as a text block, the limits.
        const std::string row = std::string(rule_def(rule_of(t.limit)).code) + "\tT{\n" + t.measure + "\nT}\t" +
                                limit(t.info) + "\t" + limit(t.warn) + "\t" + limit(t.fail) + "\n";
        EXPECT_NE(man.find(row), std::string::npos) << row;
    }
}

TEST(Rules, ManPageListsEveryFindingCode) {
    const std::string man = man_section("FINDINGS");
    EXPECT_EQ(count(man, "\n.TP\n"), rules().size());
    for (auto& r : rules()) {
        // An entry of the list: the code, then its kind, weight and meaning.
        const std::string entry = std::string("\n.TP\n.B ") + r.code + "\n" + kind_name(r.kind) + ", " +
                                  weight_text(r.weight) + ": " + r.doc + "\n";
        EXPECT_NE(man.find(entry), std::string::npos) << entry;
    }
}

}  // namespace
