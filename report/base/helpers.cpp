#include "helpers.h"

#include <cstdio>
#include <ctime>

namespace rpt {

std::string hex_bytes(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string page_ref(uint8_t page, uint8_t subpage) {
    char b[16];
    snprintf(b, sizeof b, subpage ? "%02Xh/%02Xh" : "%02Xh", page, subpage);
    return b;
}

std::string ata_string(const uint8_t* p, size_t len) {
    std::string s;
    for (size_t i = 0; i < len; ++i) {
        const char c = static_cast<char>(p[i ^ 1]);
        if (!c) break;
        s += c;
    }
    return trim(s);
}

std::string trim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
    return std::string(s);
}

size_t utf8_length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = b(i);
    size_t n = c < 0x80 ? 1 : c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xc0) != 0x80) return 0;
    // No overlong forms, no surrogates, nothing above U+10FFFF.
    if ((c == 0xe0 && b(i + 1) < 0xa0) || (c == 0xed && b(i + 1) > 0x9f) || (c == 0xf0 && b(i + 1) < 0x90) ||
        (c == 0xf4 && b(i + 1) > 0x8f))
        return 0;
    return n;
}

std::string hex(uint64_t v, int digits) {
    char b[24];
    snprintf(b, sizeof b, "%0*llx", digits, static_cast<unsigned long long>(v));
    return b;
}

std::string utc(time_t t, const char* format) {
    struct tm tm {};
    gmtime_r(&t, &tm);
    char b[64];
    return std::string(b, strftime(b, sizeof b, format, &tm));
}

std::string short_number(double v) {
    char b[48];
    snprintf(b, sizeof b, "%.1f", v);
    std::string s = b;
    if (s.ends_with(".0")) s.resize(s.size() - 2);
    return s == "-0" ? "0" : s;
}

}  // namespace rpt
