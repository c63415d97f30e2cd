// The generic page reader: exact counters of every width, unknown pages and
// parameters kept raw, parameters that run past their page.
#include <gtest/gtest.h>

#include "pages.h"
#include "util.h"

namespace {

using namespace rpt;
using test::page;
using test::param;

TEST(Pages, CountersOfEveryWidth) {
    struct Row {
        std::string data;
        std::optional<uint64_t> value;
    };
    const std::vector<Row> rows = {
        {"ff", 0xff},
        {"0102", 0x0102},
        {"ffffff", 0xffffff},
        {"80000001", 0x80000001},
        {"0102030405", 0x0102030405},
        {"ffffffffffff", 0xffffffffffff},
        {"01020304050607", 0x01020304050607},
        {"ffffffffffffffff", 0xffffffffffffffff},
        {"010203040506070809", std::nullopt},  // wider than 8 bytes: raw only
        {"", std::nullopt},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.data);
        Page p = decode_page(page(0x06, {param(0, r.data)}));
        ASSERT_EQ(p.params.size(), 1u);
        EXPECT_EQ(p.params[0].value, r.value);
        EXPECT_EQ(std::vector<uint8_t>(p.params[0].raw.begin(), p.params[0].raw.end()), test::unhex(r.data));
        EXPECT_EQ(p.findings.size(), r.value ? 0u : 1u);
    }
}

TEST(Pages, LayoutsAndFaults) {
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string page_name;
        std::string param_name;         // of the last parameter
        std::optional<uint64_t> value;  // of the last parameter
        std::vector<std::string> findings;
    };
    auto temp = [](const std::string& t) { return page(0x0d, {param(0, "00" + t), param(1, "0044")}); };
    auto raw0d = temp("24");
    raw0d[7] = 0x09;  // the first parameter claims 9 bytes
    const std::vector<uint8_t> spf = page(0x0d, {param(0, "00240000")}, 0x01);
    std::vector<uint8_t> spf_clear = temp("24");
    spf_clear[1] = 0x01;  // a subpage byte without the SPF bit: page 0Dh itself
    const std::vector<Row> rows = {
        {"temperature", temp("24"), "Temperature", "Reference temperature", 0x44, {}},
        {"parameter past the page", raw0d, "Temperature", "Temperature", std::nullopt, {"param-length"}},
        {"page with a subpage", spf, "Environmental reporting", "Temperature report", 0x24, {}},
        {"SPF clear: subpage 0", spf_clear, "Temperature", "Reference temperature", 0x44, {}},
        {"unknown subpage",
         page(0x0d, {param(0, "00")}, 0x07),
         "Page 0d, subpage 07",
         "Parameter 0000",
         std::nullopt,
         {}},
        {"unknown parameter",
         page(0x03, {param(0x8001, "0102")}),
         "Read error counters",
         "Parameter 8001",
         std::nullopt,
         {}},
        {"an event at code 0", page(0x07, {param(0, "0102")}), "Last n error events", "Event", std::nullopt, {}},
        {"vendor page", page(0x37, {param(0, "01")}), "Vendor specific page 37", "Parameter 0000", std::nullopt, {}},
        {"header cut", page(0x06, {test::unhex("000003")}), "Non-medium error", "", std::nullopt, {"param-length"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Page p = decode_page(r.bytes);
        EXPECT_EQ(p.name(), r.page_name);
        std::vector<std::string> codes;
        for (auto& f : p.findings) codes.push_back(f.code());
        EXPECT_EQ(codes, r.findings);
        if (r.param_name.empty()) {
            EXPECT_TRUE(p.params.empty());
            continue;
        }
        ASSERT_FALSE(p.params.empty());
        EXPECT_EQ(p.params.back().name(), r.param_name);
        EXPECT_EQ(p.params.back().value, r.value);
        EXPECT_EQ(p.params.back().control, 0x03);
    }
}

// Every table of the pages: the whole-byte fields of a parameter lie side by
// side, none over another's bytes (a mistyped offset reads its neighbour's).
TEST(Pages, FieldsOfAParameterDoNotOverlap) {
    size_t tables = 0;
    for (unsigned pg = 0; pg < 0x40; ++pg)
        for (unsigned sub = 0; sub < 0x100; ++sub) {
            const PageDef* def = find_page(static_cast<uint8_t>(pg), static_cast<uint8_t>(sub));
            if (!def) continue;
            for (const ParamDef& pd : def->params) {
                ++tables;
                for (const Field& a : pd.fields)
                    for (const Field& b : pd.fields)
                        if (&a != &b && a.bits == 0 && b.bits == 0) {
                            EXPECT_TRUE(a.offset + a.len <= b.offset || b.offset + b.len <= a.offset)
                                << def->name << ", " << pd.name << ": " << a.key << " and " << b.key;
                        }
            }
        }
    EXPECT_GT(tables, 20u);
}

// Field values as people read them: hexadecimal where engineers read hex,
// words for enumerations, nothing for values that mean none.
TEST(Pages, FieldsAsEngineersReadThem) {
    static constexpr const char* kWords[] = {"zero", nullptr, "two"};
    struct Row {
        Field field;
        uint64_t value;
        std::string text;
    };
    const std::vector<Row> rows = {
        {{"k", "n", 0, 1}, 200, "200"},
        {{"k", "n", 0, 1, 0, 0, Format::Hex}, 0x5d, "0x5d"},
        {{"k", "n", 0, 1, 0, 0, Format::Word, kWords}, 2, "two"},
        {{"k", "n", 0, 1, 0, 0, Format::Word, kWords}, 1, "reserved [0x1]"},
        {{"k", "n", 0, 1, 0, 0, Format::Word, kWords}, 9, "reserved [0x9]"},
        {{"k", "n", 0, 8, 0, 0, Format::Address}, 0x5000c50000000001, "5000c50000000001"},
        {{"k", "n", 0, 8, 0, 0, Format::Address}, 0x1234, "0000000000001234"},
        {{"k", "n", 0, 8, 0, 0, Format::Lba}, 0x1a2b3c, "0x1a2b3c"},
        {{"k", "n", 0, 8, 0, 0, Format::Lba}, ~uint64_t{0}, ""},
        {{"k", "n", 0, 4, 0, 0, Format::Lba}, 0xffffffff, ""},
        {{"k", "n", 0, 2, 0, 0, Format::Percent}, 0x8000, "50.00 %"},
        {{"k", "n", 0, 1, 0, 0, Format::Celsius}, 0x24, "36 C"},
        {{"k", "n", 0, 1, 0, 0, Format::Celsius}, 0xff, ""},
        {{"k", "n", 0, 1, 0, 0, Format::SignedCelsius}, 0xf6, "-10 C"},
        {{"k", "n", 0, 1, 0, 0, Format::SignedCelsius}, 0x80, ""},
    };
    for (auto& r : rows) EXPECT_EQ(field_text(r.field, r.value), r.text) << r.value;
}

}  // namespace
