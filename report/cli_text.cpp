#include "cli_text.h"

#include "finding.h"
#include "textmatch.h"

namespace rpt::cli {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view strip(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares a and b with letter case and blank runs ignored; with `any_index`
// b ends in "(" and a must go on with digits and ")".
bool same(std::string_view a, std::string_view b, bool any_index) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (blank(a[i]) && blank(b[j])) {
            while (i < a.size() && blank(a[i])) ++i;
            while (j < b.size() && blank(b[j])) ++j;
            continue;
        }
        if (lower(a[i]) != lower(b[j])) return false;
        ++i, ++j;
    }
    if (j != b.size()) return false;
    if (!any_index) return i == a.size();
    const size_t digits = i;
    while (i < a.size() && a[i] >= '0' && a[i] <= '9') ++i;
    return i > digits && i + 1 == a.size() && a[i] == ')';
}

bool control_characters(std::string_view s) {
    for (char c : s)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) return true;
    return false;
}

}  // namespace

bool Lines::next(Line& l) {
    if (rest_.empty()) return false;
    const size_t end = rest_.find('\n');
    std::string_view raw = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view{} : rest_.substr(end + 1);
    l.number = ++number_;
    l.text = strip(raw);
    l.key = l.value = {};
    const size_t colon = l.text.find(':');
    if (colon != std::string_view::npos && colon > 0) {
        l.key = strip(l.text.substr(0, colon));
        l.value = strip(l.text.substr(colon + 1));
    }
    return true;
}

bool key_is(std::string_view printed, std::string_view names) {
    for (size_t start = 0;;) {
        const size_t bar = names.find('|', start);
        std::string_view name = names.substr(start, bar == std::string_view::npos ? names.npos : bar - start);
        const bool any_index = name.ends_with("(*)");
        if (any_index) name.remove_suffix(2);
        if (same(printed, name, any_index)) return true;
        if (bar == std::string_view::npos) return false;
        start = bar + 1;
    }
}

bool absent(std::string_view v) { return v.empty() || key_is(v, "N/A|Unknown|None"); }

std::optional<uint64_t> decimal(std::string_view v) {
    if (v.empty() || v.size() > 19) return std::nullopt;
    uint64_t n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    return n;
}

std::optional<int64_t> signed_decimal(std::string_view v) {
    const bool negative = !v.empty() && v[0] == '-';
    auto n = decimal(negative ? v.substr(1) : v);
    if (!n) return std::nullopt;
    return negative ? -static_cast<int64_t>(*n) : static_cast<int64_t>(*n);
}

std::optional<uint64_t> hexadecimal(std::string_view v) {
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) v.remove_prefix(2);
    if (v.empty() || v.size() > 16) return std::nullopt;
    uint64_t n = 0;
    for (char c : v) {
        if (!is_hex(c)) return std::nullopt;
        const char l = lower(c);
        n = n << 4 | static_cast<uint64_t>(l <= '9' ? l - '0' : l - 'a' + 10);
    }
    return n;
}

std::optional<bool> yes_no(std::string_view v) {
    if (key_is(v, "Yes")) return true;
    if (key_is(v, "No")) return false;
    return std::nullopt;
}

std::optional<bool> present_absent(std::string_view v) {
    if (key_is(v, "Present")) return true;
    if (key_is(v, "Absent")) return false;
    return std::nullopt;
}

int64_t civil_seconds(int year, unsigned month, unsigned day, unsigned h, unsigned m, unsigned s) {
    // Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
    // days_from_civil).
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t mo = month, d = day;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (mo > 2 ? mo - 3 : mo + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + int64_t{h} * 3600 + int64_t{m} * 60 + s;
}

void Reader::bad_value(const Line& l) {
    problems.push_back({"bad-value", file, l.number,
                        file + ", line " + std::to_string(l.number) + ": " + std::string(l.key) + " is \"" +
                            trim(l.value) + "\", not a value of its form"});
}

bool common_line(const Line& l, Reader& r) {
    if (l.text.empty()) return true;
    if (control_characters(l.text)) {
        if (!r.not_text)
            r.problems.push_back({"not-text", r.file, l.number,
                                  r.file + ", line " + std::to_string(l.number) + ": not text (binary data)"});
        r.not_text = true;
        return true;
    }
    Caps caps;
    if (match("Adapter #%u", l.text, caps) || match("Adapter %u -- Virtual Drive Information:", l.text, caps) ||
        match("Adapter %u -- Virtual Disk Information:", l.text, caps) || match("Adapter: %u", l.text, caps) ||
        match("Adapter %u: %s", l.text, caps)) {
        if (auto n = decimal(caps[0]); n && *n <= 0xFFFF) r.adapter = static_cast<unsigned>(*n);
        r.recognised = true;
        return true;
    }
    if (!l.key.empty() && key_is(l.key, "Exit Code")) {
        r.recognised = true;
        if (auto code = hexadecimal(l.value); !code || *code != 0)
            r.problems.push_back(
                {"cli-exit", r.file, l.number, r.file + ": the CLI ended with exit code " + trim(l.value)});
        return true;
    }
    return false;
}

}  // namespace rpt::cli
