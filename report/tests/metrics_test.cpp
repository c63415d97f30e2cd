// The metrics: label values escaped as the text format asks, and UTF-8;
// counters in the units of the naming guide.
#include <gtest/gtest.h>

#include "health.h"
#include "metrics.h"
#include "util.h"

TEST(Metrics, LabelValues) {
    const std::pair<std::string, std::string> rows[] = {
        {"S0M1H000000000000001", "S0M1H000000000000001"},
        {"a\"b", "a\\\"b"},
        {"a\\b", "a\\\\b"},
        {"a\nb", "a\\nb"},
        {"\\\"\n", "\\\\\\\"\\n"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"S\xff", "S\xef\xbf\xbd"},                                // not UTF-8
        {"S\xc3", "S\xef\xbf\xbd"},                                // cut short
        {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // a surrogate
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (auto& [in, out] : rows) EXPECT_EQ(rpt::label_value(in), out) << in;
}

namespace {

using namespace rpt;
using test::page;
using test::param;

// A counter's sample as the metrics give it: a count as it stands, a
// percentage as a ratio.
TEST(Metrics, CounterSamples) {
    struct Row {
        const char* name;
        std::string block;  // a page of a SAS disk
        std::string family, value;
    };
    const std::vector<Row> rows = {
        {"uncorrected read errors", "<Page03>\r\n" + test::dump(page(0x03, {param(6, "03")})),
         "logdump_disk_read_uncorrected", "3"},
        {"42 % of the endurance used", "<Page11>\r\n" + test::dump(page(0x11, {param(1, "0000002a")})),
         "logdump_disk_endurance_used_ratio", "0.42"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Report report;
        report.collections.emplace_back().disks.push_back(build_disk(
            "h", "MA0000.log", "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S1\r\n" + r.block));
        const std::string text = render_metrics(report);
        const size_t at = text.find("\n" + r.family + "{");
        ASSERT_NE(at, std::string::npos) << text;
        const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), r.value) << line;
    }
}

}  // namespace
