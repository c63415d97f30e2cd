#include "cli_text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "finding.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt::cli {
namespace {

constexpr bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view strip(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

// Where a line of `rest` ends (its LF, or rest's end), and where before
// that its first ':' and its first control character stand (end: none).
struct LineScan {
    size_t end, colon, control;
};
LineScan scan_line(std::string_view rest) {
    const size_t n = rest.size();
    LineScan s{n, n, n};
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, each kind a bit mask of them.
    const __m128i lf = _mm_set1_epi8('\n'), colon = _mm_set1_epi8(':'), tab = _mm_set1_epi8('\t'),
                  del = _mm_set1_epi8(0x7f), below = _mm_set1_epi8(0x1f);
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rest.data() + i));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, below), x);  // under 20h
        const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(x, tab), _mm_cmpeq_epi8(x, lf));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lf)));
        const unsigned upto = lfs ? (lfs & (0u - lfs)) - 1 : 0xffffu;  // the bytes before the LF
        const auto colons = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, colon))) & upto;
        const auto controls = static_cast<unsigned>(_mm_movemask_epi8(
                                  _mm_or_si128(_mm_andnot_si128(allowed, low), _mm_cmpeq_epi8(x, del)))) &
                              upto;
        if (colons && s.colon == n) s.colon = i + static_cast<size_t>(std::countr_zero(colons));
        if (controls && s.control == n) s.control = i + static_cast<size_t>(std::countr_zero(controls));
        if (lfs) {
            s.end = i + static_cast<size_t>(std::countr_zero(lfs));
            return s;
        }
    }
#endif
    for (; i < n; ++i) {
        const char c = rest[i];
        if (c == '\n') {
            s.end = i;
            break;
        }
        if (c == ':' && s.colon == n) s.colon = i;
        if (s.control == n && control_character(c)) s.control = i;
    }
    return s;
}

// A compared form into words (see Form).
void pack(std::string_view form, Form& f) {
    f.size = form.size();
    for (size_t i = 0; i * 8 < form.size(); ++i) {
        uint64_t w = 0;
        for (size_t j = 0; j < 8 && i * 8 + j < form.size(); ++j)
            w |= uint64_t{static_cast<unsigned char>(form[i * 8 + j])} << (8 * j);
        f.words[i] = w;
    }
}

// Each byte's bit 7 in these masks says what the byte is (exactly: no
// carry crosses a byte).
constexpr uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080, kLow7 = 0x7f7f7f7f7f7f7f7f;
constexpr uint64_t bytes_equal(uint64_t x, unsigned char c) {
    const uint64_t t = x ^ (kOnes * c);
    return ~(((t & kLow7) + kLow7) | t) & kHigh;
}

// The compared form of a line's key (no blank at either end, at most
// kMaxKey long). A key without a tab, blanks in a row or an index at its
// end, nearly every key, is only put in lower case, eight characters at a
// time; any other goes through compared_form.
void make_form(std::string_view key, Form& f) {
    const size_t n = key.size();
    if (std::endian::native == std::endian::little && key.back() != ')') {
        bool plain = true;
        uint64_t last_space = 0;  // the word before ended in a blank
        for (size_t i = 0; i < n && plain; i += 8) {
            uint64_t w = 0;
            if (i + 8 <= n) {
                memcpy(&w, key.data() + i, 8);
            } else if (n >= 8) {  // the last eight characters, shifted to the word's start
                memcpy(&w, key.data() + n - 8, 8);
                w >>= 8 * (i + 8 - n);
            } else {
                for (size_t j = 0; j < n; ++j) w |= uint64_t{static_cast<unsigned char>(key[j])} << (8 * j);
            }
            const uint64_t space = bytes_equal(w, ' ');
            plain = !(bytes_equal(w, '\t') | (space & (space >> 8)) | (last_space & space & 0x80));
            last_space = space >> 56;
            const uint64_t low = w & kLow7;
            const uint64_t upper = (low + kOnes * (0x80 - 'A')) & ~(low + kOnes * (0x80 - 'Z' - 1)) & ~w & kHigh;
            f.words[i / 8] = w | (upper >> 2);
        }
        if (plain) {
            f.size = n;
            return;
        }
    }
    char k[kMaxKey];
    pack(std::string_view(k, compared_form(key, k)), f);
}

}  // namespace

bool Lines::next(Line& l) {
    if (rest_.empty()) return false;
    const LineScan s = scan_line(rest_);
    const std::string_view raw = rest_.substr(0, s.end);
    rest_ = s.end == rest_.size() ? std::string_view{} : rest_.substr(s.end + 1);
    l.number = ++number_;
    l.text = strip(raw);
    l.key = l.value = {};
    // What strip drops are blanks, and at the end CRs too: a ':' or control
    // character of the line before the text's end is in the text.
    const size_t begin = static_cast<size_t>(l.text.data() - raw.data()), end = begin + l.text.size();
    l.control = s.control < end;
    if (s.colon < end && s.colon > begin) {
        // As strip: the text has no blank at its start, nor a blank or CR
        // at its end, so neither has the key at its start or the value at
        // its end.
        std::string_view key = raw.substr(begin, s.colon - begin), value = raw.substr(s.colon + 1, end - s.colon - 1);
        while (!key.empty() && (blank(key.back()) || key.back() == '\r')) key.remove_suffix(1);
        while (!value.empty() && blank(value.front())) value.remove_prefix(1);
        l.key = key;
        l.value = value;
    }
    if (l.key.empty() || l.key.size() > kMaxKey)
        l.form.size = 0;
    else
        make_form(l.key, l.form);
    return true;
}

namespace {

// A printed key or value without the blanks at either end; empty for one
// longer than kMaxKey, whose compared form is empty.
std::string_view bare(std::string_view printed) {
    if (printed.size() > kMaxKey) return {};
    while (!printed.empty() && blank(printed.front())) printed.remove_prefix(1);
    while (!printed.empty() && blank(printed.back())) printed.remove_suffix(1);
    return printed;
}

}  // namespace

bool key_is(std::string_view printed, std::string_view names) {
    const std::string_view key = bare(printed);
    if (key.empty()) return false;
    Form form, name_form;
    make_form(key, form);
    char n[kMaxKey];
    bool found = false;
    alternatives(names, [&](std::string_view name) {
        if (found || name.empty() || lower(name[0]) != lower(key[0])) return;  // most differ there
        pack(std::string_view(n, compared_form(name, n)), name_form);
        found = name_form == form;
    });
    return found;
}

bool key_is(const Line& l, std::string_view names) { return key_is(l.key, names); }

namespace {
size_t slot_of(const Form& f, size_t mask) { return ((f.words[0] + f.size) * 0x9e3779b97f4a7c15 >> 32) & mask; }
}  // namespace

KeyIndex::KeyIndex(std::span<const std::string_view> entries) {
    char n[kMaxKey];
    for (size_t i = 0; i < entries.size(); ++i)
        alternatives(entries[i], [&](std::string_view name) {
            Form f;
            pack(std::string_view(n, compared_form(name, n)), f);
            // An empty form matches no key; of a name given twice, the first entry holds.
            if (f.size > 0 && std::none_of(names_.begin(), names_.end(), [&](auto& x) { return x.first == f; }))
                names_.emplace_back(f, static_cast<int>(i));
        });
    size_t size = 8;
    while (size < 2 * names_.size()) size *= 2;
    slots_.assign(size, -1);
    mask_ = size - 1;
    for (size_t i = 0; i < names_.size(); ++i) {
        size_t at = slot_of(names_[i].first, mask_);
        while (slots_[at] >= 0) at = (at + 1) & mask_;
        slots_[at] = static_cast<int>(i);
    }
}

int KeyIndex::find(const Form& f) const {
    if (f.size == 0) return -1;
    for (size_t at = slot_of(f, mask_); slots_[at] >= 0; at = (at + 1) & mask_)
        if (const auto& [form, entry] = names_[static_cast<size_t>(slots_[at])]; form == f) return entry;
    return -1;
}

int KeyIndex::find(const Line& l) const { return find(l.form); }

int KeyIndex::find(std::string_view printed) const {
    const std::string_view key = bare(printed);
    if (key.empty()) return -1;
    Form f;
    make_form(key, f);
    return find(f);
}

bool absent(std::string_view v) {
    if (v.empty()) return true;
    const char c = lower(v[0]);  // numbers, mostly: a cheap no
    static const KeyIndex none("N/A|Unknown|None");
    return (c == 'n' || c == 'u') && none.find(v) >= 0;
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

namespace {
// The first of two words, the second, or neither.
std::optional<bool> one_of(const KeyIndex& index, std::string_view v) {
    const int i = index.find(v);
    return i < 0 ? std::nullopt : std::optional<bool>(i == 0);
}
}  // namespace

std::optional<bool> yes_no(std::string_view v) {
    static const std::string_view kWords[] = {"Yes", "No"};
    static const KeyIndex index(kWords);
    return one_of(index, v);
}

std::optional<bool> present_absent(std::string_view v) {
    static const std::string_view kWords[] = {"Present", "Absent"};
    static const KeyIndex index(kWords);
    return one_of(index, v);
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
    if (l.control) {
        if (!r.not_text)
            r.problems.push_back({"not-text", r.file, l.number,
                                  r.file + ", line " + std::to_string(l.number) + ": not text (binary data)"});
        r.not_text = true;
        return true;
    }
    if (Caps caps;
        l.text.starts_with("Adapter") &&
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
