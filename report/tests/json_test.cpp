// The JSON document's values of decoded fields: a value that means "none"
// (an LBA of all ones, a temperature not available) is null, not a number.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "health.h"
#include "report.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

TEST(Json, FieldsThatMeanNoneAreNull) {
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;  // one page of one parameter
        std::string field, value;    // as JSON
    };
    // A failed self-test: result 7, number 1, 240 hours, its first failing LBA.
    auto self_test = [](const std::string& lba) { return page(0x10, {param(1, "170100f0" + lba + "031100" + "00")}); };
    const std::vector<Row> rows = {
        {"a first failure's LBA", self_test("000000000000abcd"), "first_failure", "43981"},
        {"no first failure: all ones", self_test("ffffffffffffffff"), "first_failure", "null"},
        {"a temperature", page(0x0d, {param(0, "0024")}), "celsius", "36"},
        {"no temperature: FFh", page(0x0d, {param(0, "00ff")}), "celsius", "null"},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        char tag[16];
        snprintf(tag, sizeof tag, "<Page%02x>\r\n", r.bytes[0]);
        const Disk d = build_disk("h", "MA0000.log",
                                  "Device code   : ACMEDRV DK600SA0006     0004\r\nSerial number : S1\r\n" +
                                      std::string(tag) + test::dump(r.bytes));
        const auto j = nlohmann::json::parse(json_text(d));
        EXPECT_EQ(j["pages"][0]["parameters"][0]["fields"][r.field].dump(), r.value) << j["pages"][0];
    }
}

}  // namespace
