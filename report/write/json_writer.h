// The JSON writer of the report's documents: written as they are made,
// with two-blank indentation.
#pragma once
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "helpers.h"
#include "model.h"

namespace rpt::json {

// A JSON writer with two-blank indentation; bytes that are not UTF-8 are
// written as U+FFFD.
class Writer {
public:
    // Into `out`; with a `sink`, `out` is a buffer written to it whenever it
    // fills, so that a large document is never held whole.
    explicit Writer(std::string& out, FILE* sink = nullptr) : out_(out), sink_(sink) {
        if (sink_) out_.reserve(kBuffer + 4096);
    }
    ~Writer() { flush(); }
    void flush() {
        if (sink_ && !out_.empty()) fwrite(out_.data(), 1, out_.size(), sink_);
        if (sink_) out_.clear();
    }

    Writer& open(char c) {
        item();
        out_ += c;
        first_.push_back(true);
        return *this;
    }
    Writer& close(char c) {
        const bool empty = first_.back();
        first_.pop_back();
        if (!empty) newline();
        out_ += c;
        return *this;
    }
    Writer& key(std::string_view k) {
        item();
        string(k);
        out_ += ": ";
        keyed_ = true;
        return *this;
    }
    Writer& str(std::string_view s) {
        item();
        string(s);
        return *this;
    }
    Writer& num(uint64_t v) { return integer(v); }
    Writer& num(int64_t v) { return integer(v); }
    Writer& num(unsigned v) { return num(uint64_t{v}); }
    Writer& real(double v) { return token(short_number(v)); }
    Writer& fraction(double v) {  // a share of 0-1, to six significant digits
        char b[32];
        snprintf(b, sizeof b, "%.6g", v);
        return token(b);
    }
    Writer& flag(bool v) { return token(v ? "true" : "false"); }
    Writer& null() { return token("null"); }
    template <class T>
    Writer& opt(const std::optional<T>& v) {
        return v ? num(static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(*v)) : null();
    }
    Writer& opt_str(std::string_view s) { return s.empty() ? null() : str(s); }
    Writer& opt_flag(const std::optional<bool>& v) { return v ? flag(*v) : null(); }

    // The fields of an error-log record's detail, null when it has none.
    Writer& detail(const RecordDetail& d) {
        if (std::holds_alternative<std::monostate>(d)) return null();
        open('{');
        each_field(d, [&](const char* k, const auto& v) {
            key(k);
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                str(v);
            else
                num(v);
        });
        return close('}');
    }

private:
    template <class T>
    Writer& integer(T v) {
        char b[24];
        return token(std::string_view(b, static_cast<size_t>(std::to_chars(b, b + sizeof b, v).ptr - b)));
    }
    Writer& token(std::string_view t) {
        item();
        out_ += t;
        return *this;
    }
    void newline() {
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }
    // Before a key, or a value that has no key: the comma and line break.
    void item() {
        if (out_.size() >= kBuffer) flush();
        if (keyed_) {
            keyed_ = false;
            return;
        }
        if (first_.empty()) return;
        if (!first_.back()) out_ += ',';
        first_.back() = false;
        newline();
    }
    void string(std::string_view s) {
        static const char digits[] = "0123456789abcdef";
        out_ += '"';
        for (size_t i = 0; i < s.size();) {
            // Printable ASCII but the quote and the backslash, nearly all of
            // a document, goes out a run at a time.
            size_t plain = i;
            while (plain < s.size() && s[plain] >= 0x20 && s[plain] < 0x7f && s[plain] != '"' && s[plain] != '\\')
                ++plain;
            if (plain > i) {
                out_.append(s.data() + i, plain - i);
                i = plain;
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(s[i]);
            const size_t n = utf8_length(s, i);
            if (n == 0) {
                out_ += "\\ufffd";
                ++i;
                continue;
            }
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += static_cast<char>(c);
            } else if (c < 0x20) {
                out_ += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : "\\u00";
                if (c != '\n' && c != '\r' && c != '\t') {
                    out_ += digits[c >> 4];
                    out_ += digits[c & 15];
                }
            } else {
                out_.append(s.substr(i, n));
            }
            i += n;
        }
        out_ += '"';
    }

    static constexpr size_t kBuffer = 1 << 16;
    std::string& out_;
    FILE* sink_;
    std::vector<bool> first_;  // per open object or array: nothing written in it yet
    bool keyed_ = false;       // a key was written, its value follows on the same line
};

// A time as the documents write it: UTC, ISO 8601.
inline std::string iso_time(time_t t) { return utc(t, "%Y-%m-%dT%H:%M:%SZ"); }

}  // namespace rpt::json
