// Small helpers of bytes and text that the readers and the renderers share:
// values of 1..8 bytes in either byte order, hexadecimal, the page a finding
// names, trimming, UTF-8, values not read, times and short numbers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace rpt {

// Big-endian unsigned value of 1..8 bytes, read exactly.
inline uint64_t be_value(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// Little-endian unsigned value of 1..8 bytes (ATA data).
inline uint64_t le_value(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

// True when a table indexed by an enumeration has one row per enumerator,
// each in its enumerator's place (`key` names the row's enumerator).
template <class E, class Row, size_t N>
constexpr bool indexed_by(const Row (&rows)[N], E Row::*key) {
    if (N != static_cast<size_t>(E::kCount)) return false;
    for (size_t i = 0; i < N; ++i)
        if (static_cast<size_t>(rows[i].*key) != i) return false;
    return true;
}

// Bytes as lower-case hexadecimal digits, two a byte.
std::string hex_bytes(const uint8_t* p, size_t n);

// A number in lower-case hexadecimal with at least `digits` digits.
std::string hex(uint64_t v, int digits = 2);

// A SCSI log page as findings name it: "15h", "15h/01h".
std::string page_ref(uint8_t page, uint8_t subpage = 0);

// An ATA string of `len` bytes in byte-swapped words (IDENTIFY DEVICE), cut
// at a zero byte, without blanks at either end.
std::string ata_string(const uint8_t* p, size_t len);

// Without blanks (and zero bytes) at either end.
std::string trim(std::string_view s);

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8_length(std::string_view s, size_t i);

// A value that was not read, as each output writes it: a figure in the
// text "-", on the web page a dash entity, a part of a name ("32:?",
// "target ?") "?", a metrics label value "" (JSON writes null).
inline constexpr std::string_view kMissingText = "-", kMissingHtml = "&ndash;", kMissingPart = "?", kMissingLabel = "";

// The number (with `unit` after it), or `missing`.
template <class T>
std::string shown(const std::optional<T>& v, std::string_view missing, std::string_view unit = "") {
    return v ? std::to_string(*v) + std::string(unit) : std::string(missing);
}
// The text, or `missing` for an empty one.
inline std::string shown(const std::string& s, std::string_view missing) {
    return s.empty() ? std::string(missing) : s;
}

// A time in UTC, by a strftime format ("%Y-%m-%d": the day).
std::string utc(time_t t, const char* format);

// A number of days or a rate without needless decimals: "31", "2.5".
std::string short_number(double v);

}  // namespace rpt
