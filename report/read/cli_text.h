// The vendor CLI's text as lines of "Key : value", with the adapter blocks
// and the closing exit code that every log of it shares. The controller log
// readers (controller_*.cpp) are tables of fields over this: a field names
// its key as the CLI prints it (older names after '|') and the function that
// reads its value.
#pragma once
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controller.h"

namespace rpt::cli {

// Keys are compared in lower case, a run of blanks as one blank and an
// index in parentheses as "(*)": their compared form, at most this long.
constexpr size_t kMaxKey = 80;

// A compared form as whole words of eight characters (little-endian, the
// last one padded with zeros), compared a word at a time.
struct Form {
    static constexpr size_t kWords = kMaxKey / 8 + 1;
    std::array<uint64_t, kWords> words{};
    size_t size = 0;  // 0: none

    bool operator==(const Form& o) const {
        if (size != o.size) return false;
        for (size_t i = 0; i * 8 < size; ++i)
            if (words[i] != o.words[i]) return false;
        return true;
    }
};

struct Line {
    size_t number = 0;            // 1-based
    std::string_view text;        // without the line end and the blanks at either end
    std::string_view key, value;  // around the first ':', each trimmed; key empty: no ':'
    // The key's compared form, made once for all the look-ups of the line
    // (none for a key longer than kMaxKey).
    Form form;
    bool control = false;  // the text holds control characters (a tab is none): binary data
};

// Cuts text into lines at LF, dropping the CR of a CR LF. Each line's
// bytes are looked at once, for its end, its first ':' and control
// characters together.
class Lines {
public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(Line& line);

private:
    std::string_view rest_;
    size_t number_ = 0;
};

// Whether a printed key (or a line's key) is one of `names` ("Virtual
// Drive|Virtual Disk"): letter case and runs of blanks do not count; a name
// ending in "(*)" stands for any index in the parentheses ("SAS Address(*)").
bool key_is(std::string_view printed, std::string_view names);
bool key_is(const Line& l, std::string_view names);

// The same comparison against many entries at once, each a `names` string:
// for the keys of a table, looked up on every line, by a hash of the
// form's first word and size.
class KeyIndex {
public:
    explicit KeyIndex(std::span<const std::string_view> entries);
    explicit KeyIndex(std::string_view names) : KeyIndex(std::span<const std::string_view>(&names, 1)) {}
    int find(const Line& l) const;             // the entry of the line's key, or -1
    int find(std::string_view printed) const;  // the same of a printed key or value

private:
    int find(const Form& f) const;

    std::vector<std::pair<Form, int>> names_;
    std::vector<int> slots_;  // open addressing: an index in names_, -1 for none
    size_t mask_ = 0;
};

// The value of a field, or false when it is not of the field's form.
template <class T>
struct Field {
    std::string_view key;
    bool (*read)(T& record, std::string_view value);
    bool repeats = false;  // printed more than once in one block
};

// The field of a table whose key is printed, or -1. Each table's index is
// made on its first use, by each thread that reads logs.
template <class T>
int find_field(std::span<const Field<T>> table, const Line& l) {
    static thread_local std::deque<std::pair<const Field<T>*, KeyIndex>> indexes;
    for (const auto& [t, index] : indexes)
        if (t == table.data()) return index.find(l);
    std::vector<std::string_view> keys;
    for (const auto& f : table) keys.push_back(f.key);
    return indexes.emplace_back(table.data(), KeyIndex(keys)).second.find(l);
}

// ---------------------------------------------------------------- values

// Calls each(word) for the blank-separated words of v.
template <class Each>
void words(std::string_view v, Each&& each) {
    for (size_t i = 0; i < v.size();) {
        const size_t end = std::min(v.find(' ', i), v.size());
        if (end > i) each(v.substr(i, end - i));
        i = end + 1;
    }
}

// "N/A", "Unknown" and nothing: a value the CLI did not have.
bool absent(std::string_view v);
std::optional<uint64_t> decimal(std::string_view v);
std::optional<int64_t> signed_decimal(std::string_view v);
std::optional<uint64_t> hexadecimal(std::string_view v);  // with or without 0x
std::optional<bool> yes_no(std::string_view v);
std::optional<bool> present_absent(std::string_view v);
// Seconds since 1970 of a civil date and time, as given (no time zone).
int64_t civil_seconds(int year, unsigned month, unsigned day, unsigned h, unsigned m, unsigned s);

template <class>
struct member_of;
template <class C, class V>
struct member_of<V C::*> {
    using owner = C;
    using value = V;
};
template <auto M>
using owner_t = typename member_of<decltype(M)>::owner;

// Readers of the common value forms into the member M of a record.
template <auto M>
bool number(owner_t<M>& r, std::string_view v) {
    if (absent(v)) return true;
    auto n = decimal(v);
    using T = typename member_of<decltype(M)>::value::value_type;
    if (!n || *n > static_cast<uint64_t>(std::numeric_limits<T>::max())) return false;
    r.*M = static_cast<T>(*n);
    return true;
}
template <auto M>
bool text(owner_t<M>& r, std::string_view v) {
    r.*M = std::string(v);
    return true;
}
template <auto M>
bool yes(owner_t<M>& r, std::string_view v) {
    if (absent(v)) return true;
    r.*M = yes_no(v);
    return (r.*M).has_value();
}
template <auto M>
bool present(owner_t<M>& r, std::string_view v) {
    if (absent(v)) return true;
    r.*M = present_absent(v);
    return (r.*M).has_value();
}

// ---------------------------------------------------------------- reading a file

// One file being read: its name, the adapter its lines belong to, and what
// was met.
struct Reader {
    Reader(std::string f, unsigned a) : file(std::move(f)), adapter(a) {}

    std::string file;
    unsigned adapter = 0;  // the file's controller, then each adapter heading's
    std::vector<ControllerProblem> problems;
    bool recognised = false;   // a line of the format was seen
    size_t first_foreign = 0;  // the first line that is not of the format
    size_t exit_line = 0;      // the last "Exit Code" line
    bool not_text = false;

    void bad_value(const Line& l);
    void foreign(const Line& l) {
        if (!first_foreign) first_foreign = l.number;
    }
};

// "=========": the line under a heading.
inline bool separator(std::string_view text) {
    return !text.empty() && text.find_first_not_of('=') == std::string_view::npos;
}

// The lines every CLI text shares: blanks, adapter headings ("Adapter #0",
// "Adapter 0 -- Virtual Drive Information:", "Adapter: 0") and the closing
// "Exit Code"; true when the line was one of them.
bool common_line(const Line& l, Reader& r);

// Walks the text: each line that is not a common one goes to `each`, which
// says whether it is of the format. At the end, a file in which no line was
// is unrecognised, and only that is said of it.
template <class Each>
std::vector<ControllerProblem> walk(std::string_view text, Reader& r, Each&& each) {
    Lines lines(text);
    for (Line l; lines.next(l);) {
        if (common_line(l, r)) continue;
        if (each(l))
            r.recognised = true;
        else
            r.foreign(l);
    }
    if (!r.recognised) {
        const size_t at = text.empty() ? 0 : (r.first_foreign ? r.first_foreign : 1);
        return {{"unrecognised", r.file, at,
                 text.empty() ? r.file + " is empty"
                              : r.file + ", line " + std::to_string(at) + ": not the CLI's text of this log"}};
    }
    return std::move(r.problems);
}

// The records of a list of blocks, each opened by its table's first field
// (or, when the block lacks it, by a field the open block already holds).
template <class T>
struct Blocks {
    explicit Blocks(std::vector<T>* into = nullptr) : out(into) {}

    std::vector<T>* out;
    std::bitset<64> seen;

    T& open(const Reader& r, const Line& l) {
        out->emplace_back();
        out->back().adapter = r.adapter;
        out->back().line = l.number;
        seen.reset();
        return out->back();
    }

    // Applies the line to the open block when its key is in the table.
    bool apply(std::span<const Field<T>> table, Reader& r, const Line& l) {
        return !l.key.empty() && apply(table, r, l, find_field(table, l));
    }
    // The same with the line's field of the table looked up already (-1:
    // none).
    bool apply(std::span<const Field<T>> table, Reader& r, const Line& l, int i) {
        if (i < 0) return false;
        const Field<T>& f = table[static_cast<size_t>(i)];
        const bool opens = i == 0 ? seen.any() : (seen[static_cast<size_t>(i)] && !f.repeats);
        if (out->empty() || opens || out->back().adapter != r.adapter) open(r, l);
        seen.set(static_cast<size_t>(i));
        if (!f.read(out->back(), l.value)) r.bad_value(l);
        return true;
    }
};

}  // namespace rpt::cli
