#include "cli_text.h"

#include <algorithm>
#include <cstring>

#include "finding.h"
#include "helpers.h"
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

// The compared form of a key (see kMaxKey), written to out; 0 for a key
// longer than any of the CLI's.
size_t compared_form(std::string_view key, char* out) {
    if (key.size() > kMaxKey) return 0;
    size_t n = 0;
    for (char c : key) {
        if (blank(c)) {
            if (n > 0 && out[n - 1] != ' ') out[n++] = ' ';
            continue;
        }
        out[n++] = lower(c);
    }
    while (n > 0 && out[n - 1] == ' ') --n;
    if (n >= 3 && out[n - 1] == ')') {
        size_t i = n - 1;
        while (i > 0 && out[i - 1] >= '0' && out[i - 1] <= '9') --i;
        if (i < n - 1 && i > 0 && out[i - 1] == '(') {
            out[i] = '*';
            out[i + 1] = ')';
            n = i + 2;
        }
    }
    return n;
}

// Calls each(name) for every alternative of "A|B|C".
template <class Each>
void alternatives(std::string_view names, Each&& each) {
    for (size_t start = 0;;) {
        const size_t bar = names.find('|', start);
        each(names.substr(start, bar == std::string_view::npos ? names.npos : bar - start));
        if (bar == std::string_view::npos) return;
        start = bar + 1;
    }
}

bool control_character(char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f; }

// Every line is looked at, so eight bytes at a time: a block with a byte
// below 20h or of 7Fh (its bit 7 set in `low` or `del`) is then looked at
// byte by byte, where a tab is allowed.
bool control_characters(std::string_view s) {
    constexpr uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t x;
        memcpy(&x, s.data() + i, 8);
        const uint64_t low = (x - 0x20 * kOnes) & ~x & kHigh;
        const uint64_t y = x ^ (0x7f * kOnes);
        const uint64_t del = (y - kOnes) & ~y & kHigh;
        if (low | del)
            for (size_t j = i; j < i + 8; ++j)
                if (control_character(s[j])) return true;
    }
    for (; i < s.size(); ++i)
        if (control_character(s[i])) return true;
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
    l.form_size_ = 0;
    if (colon != std::string_view::npos && colon > 0) {
        l.key = strip(l.text.substr(0, colon));
        l.value = strip(l.text.substr(colon + 1));
        l.form_size_ = compared_form(l.key, l.form_.data());
    }
    return true;
}

// Whether a compared form is one of the names.
bool form_is(std::string_view form, std::string_view names) {
    char n[kMaxKey];
    bool found = false;
    alternatives(names, [&](std::string_view name) {
        if (found || form.empty() || name.empty() || lower(name[0]) != form[0]) return;  // most differ there
        found = compared_form(name, n) == form.size() && std::equal(form.begin(), form.end(), n);
    });
    return found;
}

bool key_is(std::string_view printed, std::string_view names) {
    char p[kMaxKey];
    return form_is(std::string_view(p, compared_form(printed, p)), names);
}

bool key_is(const Line& l, std::string_view names) { return form_is(l.form(), names); }

KeyIndex::KeyIndex(std::span<const std::string_view> entries) {
    char n[kMaxKey];
    for (size_t i = 0; i < entries.size(); ++i)
        alternatives(entries[i], [&](std::string_view name) {
            names_.emplace_back(std::string(n, compared_form(name, n)), static_cast<int>(i));
        });
}

int KeyIndex::find(const Line& l) const {
    const std::string_view form = l.form();
    if (form.empty()) return -1;
    for (const auto& [name, entry] : names_)
        if (name == form) return entry;
    return -1;
}

bool absent(std::string_view v) {
    if (v.empty()) return true;
    const char c = lower(v[0]);  // numbers, mostly: a cheap no
    return (c == 'n' || c == 'u') && key_is(v, "N/A|Unknown|None");
}

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
        const char l = lower(c);
        const int d = l >= '0' && l <= '9' ? l - '0' : (l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1);
        if (d < 0) return std::nullopt;
        n = n << 4 | static_cast<uint64_t>(d);
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
    if (l.text.starts_with("Adapter") &&
        (match("Adapter #%u", l.text, caps) || match("Adapter %u -- Virtual Drive Information:", l.text, caps) ||
         match("Adapter %u -- Virtual Disk Information:", l.text, caps) || match("Adapter: %u", l.text, caps) ||
         match("Adapter %u: %s", l.text, caps))) {
        if (auto n = decimal(caps[0]); n && *n <= 0xFFFF) r.adapter = static_cast<unsigned>(*n);
        r.recognised = true;
        return true;
    }
    static const KeyIndex exit_code("Exit Code");
    if (exit_code.find(l) >= 0) {
        r.recognised = true;
        r.exit_line = l.number;
        if (auto code = hexadecimal(l.value); !code || *code != 0)
            r.problems.push_back(
                {"cli-exit", r.file, l.number, r.file + ": the CLI ended with exit code " + trim(l.value)});
        return true;
    }
    return false;
}

}  // namespace rpt::cli
