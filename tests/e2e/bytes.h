// The byte and line helpers of every test program (end-to-end cases, unit
// tests, cross-checks): hex text, the drive logs' hex dump lines, ATA words
// and strings, test patterns, and text cut into lines. Header only, so that
// each program and width compiles it with its own toolchain.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testbytes {

using Bytes = std::vector<unsigned char>;

// Lower-case hex digits, two a byte, `sep` between bytes.
inline std::string hex(const void* data, size_t n, const char* sep = "") {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        const unsigned v = static_cast<const unsigned char*>(data)[i];
        if (i > 0) s += sep;
        s += digits[v >> 4];
        s += digits[v & 0x0F];
    }
    return s;
}
inline std::string hex(const Bytes& b) { return hex(b.data(), b.size()); }

// The bytes of hex text ("0a 0b" or "0a0b"); anything but hex digits is
// passed over.
inline Bytes bytes_of(const std::string& text) {
    Bytes v;
    std::string digits;
    for (char c : text)
        if (isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        v.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return v;
}

// Hex dump lines of the drive logs: " %02x" per byte, 16 a line, CR LF.
inline std::string hex_lines(const Bytes& bytes) {
    std::string s;
    char b[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(b, sizeof b, " %02x", bytes[i]);
        s += b;
        if (i % 16 == 15 || i + 1 == bytes.size()) s += "\r\n";
    }
    return s;
}

// An ATA word (little-endian) at word index w.
inline void put_word(Bytes& b, size_t w, unsigned v) {
    b[2 * w] = static_cast<unsigned char>(v);
    b[2 * w + 1] = static_cast<unsigned char>(v >> 8);
}
// 512 bytes of zeros with the words given set.
inline Bytes words(std::initializer_list<std::pair<size_t, unsigned>> set) {
    Bytes b(512, 0);
    for (auto [w, v] : set) put_word(b, w, v);
    return b;
}
// An ATA string from word `first` on: two characters a word, the first in
// the high byte.
inline void put_ata_string(Bytes& b, size_t first, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) b[2 * first + (i ^ 1u)] = static_cast<unsigned char>(text[i]);
}

// `n` bytes that differ from every other seed's.
inline Bytes pattern(int seed, size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>((seed + i * 7) ^ (i >> 8));
    return b;
}

// Sector k (512 bytes) of a log.
inline Bytes sector(const Bytes& log, size_t k) {
    return Bytes(log.begin() + static_cast<long>(512 * k), log.begin() + static_cast<long>(512 * (k + 1)));
}

// Text cut at each `sep`: n separators give n + 1 parts.
inline std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == sep)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}
// The lines of a text, each without its "\n"; a last line without one
// counts, an empty end does not.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> v = split(text, '\n');
    if (v.back().empty()) v.pop_back();
    return v;
}

}  // namespace testbytes
