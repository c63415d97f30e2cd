// Raw-value formats of SMART attributes: one attribute entry and one
// preset per row, and the presets strings the reader must take or refuse.
#include <gtest/gtest.h>

#include "ata_format.h"
#include "util.h"

namespace {

using namespace rpt;

// An attribute entry: id 1, flags, value 100, worst 99, the six raw bytes
// given (least significant first, as the drive stores them), reserved byte.
std::array<uint8_t, 12> entry(const std::string& raw, uint8_t reserved = 0) {
    std::array<uint8_t, 12> e = {1, 0x32, 0, 100, 99};
    const auto r = test::unhex(raw);
    std::copy(r.begin(), r.end(), e.begin() + 5);
    e[11] = reserved;
    return e;
}

TEST(AtaFormat, EachFormatReadsItsRawValue) {
    struct Row {
        const char* name;
        const char* preset;
        std::array<uint8_t, 12> entry;
        const char* decoded;  // text | value unit, or "-" for no value
    };
    const Row rows[] = {
        {"a 48-bit count", "-v 5,raw48", entry("010200000000"), "513 | 513 count"},
        {"six bytes", "-v 1,raw8", entry("010203040506"), "6 5 4 3 2 1 | -"},
        {"three words", "-v 1,raw16", entry("010002000300"), "3 2 1 | -"},
        {"three bytes: a byte and a word", "-v 1,raw16:210", entry("010203000000"), "3 513 | -"},
        {"twelve hex digits", "-v 1,hex48", entry("010203040506"), "0x060504030201 | -"},
        {"the reserved byte on top", "-v 1,raw56", entry("010000000000", 7),
         "1970324836974593 | 1970324836974593 count"},
        {"fourteen hex digits", "-v 1,hex56", entry("010203040506", 7), "0x07060504030201 | -"},
        {"worst and value below", "-v 1,raw64", entry("000000000001"), "72057594037953380 | 72057594037953380 count"},
        {"sixteen hex digits", "-v 1,hex64", entry("010203040506"), "0x0605040302016364 | -"},
        {"a count with two more words", "-v 5,raw16(raw16)", entry("020000000100"), "2 (1 0) | 2 count"},
        {"a count alone", "-v 5,raw16(raw16)", entry("020000000000"), "2 | 2 count"},
        {"spin-up time and its average", "-v 3,raw16(avg16)", entry("e803d0070000"),
         "1000 (Average 2000) | 1000 count"},
        {"hours named so, three more bytes", "-v 9,raw24(raw8),Power_On_Hours", entry("341200050000"),
         "4660 (0 0 5) | 4660 hours"},
        {"load and unload cycles", "-v 193,raw24/raw24", entry("0a0000140000"), "20/10 | -"},
        {"errors of a total", "-v 1,raw24/raw32", entry("102700000500"), "5/10000 | -"},
        {"minutes", "-v 9,min2hour", entry("7d0000000000"), "2h+05m | 2 hours"},
        {"minutes of 64 bits", "-v 9,min2hour:543210wv", entry("ffffffffffff"),
         "307445734561825192h+04m | 307445734561825192 hours"},
        {"seconds", "-v 9,sec2hour", entry("8d0e00000000"), "1h+02m+05s | 1 hours"},
        {"half-minutes", "-v 9,halfmin2hour", entry("f50000000000"), "2h+02m | 2 hours"},
        {"hours and milliseconds", "-v 9,msec24hour32", entry("e80300003cf0"), "1000h+01m+01.500s | 1000 hours"},
        {"a temperature alone", "-v 194,tempminmax", entry("240000000000"), "36 | 36 celsius"},
        {"extremes as words", "-v 194,tempminmax", entry("240014002d00"), "36 (Min/Max 20/45) | 36 celsius"},
        {"at the highest seen", "-v 194,tempminmax", entry("2d0014002d00"), "45 (Min/Max 20/45) | 45 celsius"},
        {"zero within its extremes", "-v 194,tempminmax", entry("000000002800"), "0 (Min/Max 0/40) | 0 celsius"},
        {"extremes as bytes", "-v 190,tempminmax", entry("2c0014320000"), "44 (Min/Max 20/50) | 44 celsius"},
        {"bytes that bracket nothing", "-v 194,tempminmax", entry("240000001200"), "36 (0 18 0 0 0) | 36 celsius"},
        {"below zero", "-v 194,tempminmax", entry("f60000000000"), "-10 | -"},
        {"ten times the temperature", "-v 194,temp10x", entry("6b0100000000"), "36.3 | 36 celsius"},
        {"big-endian bytes", "-v 197,raw48:012345", entry("050000000000"), "5497558138880 | 5497558138880 count"},
        {"the low byte left out", "-v 9,raw48:54321", entry("ff0100000000"), "1 | 1 count"},
        {"two words with zeros between", "-v 193,raw24/raw24:z54z10", entry("0a0000001400"), "20/10 | -"},
        {"old name: minutes", "-v 9,minutes", entry("7d0000000000"), "2h+05m | 2 hours"},
        {"old name: ten times Celsius", "-v 194,10xCelsius", entry("6b0100000000"), "36.3 | 36 celsius"},
        {"old name: 194 not a temperature", "-v 194,unknown", entry("240000000000"), "36 | 36 count"},
        {"an unknown format leaves the raw bytes", "-v 9,raw99", entry("7d0000000000"), "0x00000000007d | -"},
        {"an old name on another attribute is unknown", "-v 12,minutes", entry("7d0000000000"), "0x00000000007d | -"},
    };
    for (auto& r : rows) {
        const Presets p = parse_presets(r.preset);
        ASSERT_EQ(p.attributes.size(), 1u) << r.name;
        const AttributeValue v = decode_attribute(r.entry, p.attributes[0].format);
        EXPECT_EQ(v.text + " | " + (v.value ? std::to_string(*v.value) + " " + unit_name(v.unit) : "-"), r.decoded)
            << r.name;
    }
}

TEST(AtaFormat, PresetsAreReadOrSetAside) {
    struct Row {
        const char* name;
        const char* text;
        std::string attributes;  // id:format:byte order:name:kind[:increasing] of each, blank-separated
        std::vector<std::string> unknown;
        std::vector<std::string> bugs = {};
    };
    const Row rows[] = {
        {"a format and a name", "-v 9,raw48,Power_On_Hours", "9:raw48::Power_On_Hours:any", {}},
        {"a name for disks only", "-v 231,raw48,Temp,HDD", "231:raw48::Temp:hdd", {}},
        {"a byte order", "-v 9,raw48:012345,Hours,SSD", "9:raw48:012345:Hours:ssd", {}},
        {"an old name names too", "-v 9,seconds", "9:sec2hour::Power_On_Seconds:any", {}},
        {"an old name that keeps the name", "-v 193,loadunload", "193:raw24/raw24:::any", {}},
        {"a total that reallocation keeps", "-v 197,increasing", "197:raw48::Total_Pending_Sectors:any:increasing", {}},
        {"every attribute", "-v N,raw64", "0:raw64:::any", {}},
        {"long and attached forms", "--vendorattribute=9,raw16 -v5,hex48", "9:raw16:::any 5:hex48:::any", {}},
        {"firmware bugs accepted", "-F samsung3 --firmwarebug=nologdir", "", {}, {"samsung3", "nologdir"}},
        {"attribute 0", "-v 0,raw48", "", {"-v 0,raw48"}},
        {"attribute 255", "-v 255,raw48", "255:raw48:::any", {}},
        {"attribute 256", "-v 256,raw48", "", {"-v 256,raw48"}},
        // An attribute named but not read as written is left undecoded.
        {"no format", "-v 9", "9:unknown format:::any", {"-v 9"}},
        {"a byte that is not one", "-v 9,raw48:0129", "9:unknown format:::any", {"-v 9,raw48:0129"}},
        {"a byte order on an old name", "-v 9,minutes:012345", "9:unknown format:::any", {"-v 9,minutes:012345"}},
        {"a kind that is not one", "-v 9,raw48,Hours,TAPE", "9:unknown format:::any", {"-v 9,raw48,Hours,TAPE"}},
        {"an unknown format keeps its name", "-v 9,raw99,Odd", "9:unknown format::Odd:any", {"-v 9,raw99,Odd"}},
        {"an unknown bug", "-F bogus", "", {"-F bogus"}},
        {"another option with its argument", "-P ignore -v 9,raw8", "9:raw8:::any", {"-P ignore"}},
        {"an option cut short", "-v 9,raw8 -v", "9:raw8:::any", {"-v"}},
    };
    for (auto& r : rows) {
        const Presets p = parse_presets(r.text);
        std::string got;
        for (auto& a : p.attributes)
            got += (got.empty() ? "" : " ") + std::to_string(a.id) + ":" + test::shown(a.format);
        EXPECT_EQ(got, r.attributes) << r.name;
        EXPECT_EQ(p.unknown, r.unknown) << r.name;
        EXPECT_EQ(p.firmware_bugs, r.bugs) << r.name;
    }
}

}  // namespace
