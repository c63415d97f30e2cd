// The hex dump lines of the drive log files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hexdump.h"

namespace {

// Every line method this processor has; each test holds each of them.
std::vector<HexLines> methods() {
    std::vector<HexLines> v;
    for (HexLines h : {HexLines::table, HexLines::ssse3})
        if (hex_lines_available(h)) v.push_back(h);
    return v;
}

const char* name(HexLines how) { return how == HexLines::ssse3 ? "ssse3" : "table"; }

// Runs the dump into a temporary file and gives back what reached it.
std::string dump(HexLines how, const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
    FILE* fp = tmpfile();
    EXPECT_NE(fp, nullptr);
    bool r = hex_dump_with(how, fp, bytes.data(), bytes.size());
    if (ok != nullptr) *ok = r;
    fflush(fp);
    std::string text;
    rewind(fp);
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0) text.append(buf, n);
    fclose(fp);
    return text;
}

// The format written out the slow, obvious way: one printf-style form per
// byte, a line written after every sixteenth byte and after the last one.
std::string slow_dump(const std::vector<uint8_t>& bytes) {
    std::string out, line;
    char form[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) line.clear();
        snprintf(form, sizeof form, " %02x", bytes[i]);
        line += form;
        if (i % 16 == 15 || i + 1 == bytes.size()) out += line + "\r\n";
    }
    return out;
}

std::vector<uint8_t> counting(size_t n, uint8_t start = 0) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(start + i);
    return v;
}

struct Literal {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* text;
};

TEST(HexDump, WritesTheExactLines) {
    const Literal cases[] = {
        {"no bytes give no line", {}, ""},
        {"one byte", {0x00}, " 00\r\n"},
        {"lower-case digits", {0xab, 0xCD, 0xef, 0xff}, " ab cd ef ff\r\n"},
        {"four header bytes of an empty page", {0x2f, 0x00, 0x00, 0x00}, " 2f 00 00 00\r\n"},
        {"exactly one full line and no short one", counting(16),
         " 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\r\n"},
        {"20 bytes: a full line and a line of four", counting(20, 0xf0),
         " f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff\r\n 00 01 02 03\r\n"},
        {"three bytes of a section of length 3", {0x01, 0x00, 0x00}, " 01 00 00\r\n"},
    };
    for (HexLines how : methods())
        for (const Literal& c : cases) EXPECT_EQ(dump(how, c.bytes), c.text) << c.name << ", " << name(how);
}

// Lengths around the writer's internal block of lines and around a line
// boundary, where a lost, repeated or unended line would show.
TEST(HexDump, AgreesWithTheSlowFormAtEveryBoundary) {
    const size_t lengths[] = {
        15,    17, 31, 33, 16 * 1023, 16 * 1024 - 1, 16 * 1024, 16 * 1024 + 1, 16 * 1024 + 15, 16 * 1025, 16 * 2048 + 7,
        100003};
    for (size_t n : lengths) {
        std::vector<uint8_t> bytes(n);
        uint32_t x = 2463534242u;
        for (auto& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<uint8_t>(x);
        }
        for (HexLines how : methods()) {
            bool ok = false;
            std::string text = dump(how, bytes, &ok);
            EXPECT_TRUE(ok) << n << ", " << name(how);
            EXPECT_EQ(text, slow_dump(bytes)) << n << ", " << name(how);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The vector method is there exactly when the processor has SSSE3, as the
// compiler's own processor check sees it.
TEST(HexDump, VectorMethodFollowsTheProcessor) {
    __builtin_cpu_init();
    EXPECT_EQ(hex_lines_available(HexLines::ssse3), __builtin_cpu_supports("ssse3") != 0);
}
#endif

// Sixteen passes over the 256 values, each pass shifted by one, so that every
// value stands once in every column of a line (the vector method places each
// column by its own shuffle).
TEST(HexDump, EveryByteValueInEveryColumn) {
    std::vector<uint8_t> all(16 * 256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i + i / 256);
    for (HexLines how : methods()) EXPECT_EQ(dump(how, all), slow_dump(all)) << name(how);
}

// A whole section is far larger than the stream's buffer: the full device
// shows during the dump itself, not only at the next flush.
TEST(HexDump, ReportsAFullDevice) {
    std::vector<uint8_t> bytes = counting(1 << 20);
    for (HexLines how : methods()) {
        FILE* fp = fopen("/dev/full", "w");
        ASSERT_NE(fp, nullptr);
        EXPECT_FALSE(hex_dump_with(how, fp, bytes.data(), bytes.size())) << name(how);
        fclose(fp);
    }
}

}  // namespace
