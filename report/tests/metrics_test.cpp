// Label values in the metrics: escaped as the text format asks, and UTF-8.
#include <gtest/gtest.h>

#include "metrics.h"

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
