#include "csv.h"

#include <algorithm>
#include <cstring>

namespace rpt {

CsvReader::CsvReader(ByteSource source, size_t longest)
    : source_(std::move(source)), longest_(longest), buf_(longest + std::max(longest, size_t{64} << 10)) {}

bool CsvReader::fill() {
    if (at_end_) return false;
    if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const long n = source_(buf_.data() + end_, buf_.size() - end_, error_);
    if (n <= 0) {
        if (n < 0 && error_.empty()) error_ = "read error";
        at_end_ = true;
        return false;
    }
    end_ += static_cast<size_t>(n);
    return true;
}

void CsvReader::skip_line() {
    for (;;) {
        if (auto* nl = static_cast<const char*>(std::memchr(buf_.data() + begin_, '\n', end_ - begin_))) {
            begin_ = static_cast<size_t>(nl - buf_.data()) + 1;
            ++line_;
            return;
        }
        begin_ = end_;
        if (!fill()) return;
    }
}

size_t CsvReader::record_end(bool& open) const {
    const char* p = buf_.data();
    bool start = true;  // of a field
    open = false;
    for (size_t i = begin_; i < end_; ++i) {
        const char c = p[i];
        if (open) {
            if (c != '"') continue;
            if (i + 1 == end_) return end_;  // a doubled quote or the closing one: the next bytes say
            if (p[i + 1] == '"')
                ++i;
            else
                open = false;
        } else if (c == '\n') {
            return i;
        } else {
            open = start && c == '"';
            start = c == ',';
        }
    }
    return end_;
}

void CsvReader::split(std::string_view t, bool quoted, CsvRecord& r) {
    if (!quoted) {
        // Fields are short: a loop over the bytes beats a search per field.
        size_t from = 0;
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i] == ',') {
                r.fields.push_back(t.substr(from, i - from));
                from = i + 1;
            }
        r.fields.push_back(t.substr(from));
        return;
    }
    // Quoted fields are unescaped into the scratch buffer; the views are
    // made once it no longer grows.
    scratch_.clear();
    std::vector<size_t> ends;
    size_t i = 0;
    for (;;) {
        if (i < t.size() && t[i] == '"') {
            for (++i;;) {
                const size_t q = t.find('"', i);
                if (q == std::string_view::npos) {
                    r.error = "a quoted field is not closed";
                    return;
                }
                scratch_.append(t.substr(i, q - i));
                i = q + 1;
                if (i < t.size() && t[i] == '"') {
                    scratch_ += '"';
                    ++i;
                    continue;
                }
                break;
            }
            if (i < t.size() && t[i] != ',') {
                r.error = "text after the closing quote of field " + std::to_string(ends.size() + 1);
                return;
            }
        } else {
            const size_t comma = std::min(t.find(',', i), t.size());
            const std::string_view f = t.substr(i, comma - i);
            if (f.find('"') != std::string_view::npos) {
                r.error = "a quote inside unquoted field " + std::to_string(ends.size() + 1);
                return;
            }
            scratch_.append(f);
            i = comma;
        }
        ends.push_back(scratch_.size());
        if (i >= t.size()) break;
        ++i;  // the comma
    }
    const std::string_view s = scratch_;
    for (size_t k = 0, from = 0; k < ends.size(); from = ends[k++]) r.fields.push_back(s.substr(from, ends[k] - from));
}

bool CsvReader::next(CsvRecord& r) {
    r.fields.clear();
    r.error.clear();
    if (!started_) {
        while (end_ < 3 && fill()) {}
        if (end_ - begin_ >= 3 && std::memcmp(buf_.data() + begin_, "\xEF\xBB\xBF", 3) == 0) begin_ += 3;
        started_ = true;
    }
    for (;;) {
        // The record ends at the first line break outside quotes: of its
        // first line where that holds no quote, else as the quotes say.
        size_t stop = 0;
        bool open = false, quoted = false, broken = false;
        for (;;) {
            const char* p = buf_.data();
            auto* nl = static_cast<const char*>(std::memchr(p + begin_, '\n', end_ - begin_));
            stop = nl ? static_cast<size_t>(nl - p) : end_;
            quoted = std::memchr(p + begin_, '"', stop - begin_) != nullptr;
            if (quoted) {
                stop = record_end(open);
                nl = stop < end_ ? p + stop : nullptr;
            }
            if (nl) {
                broken = true;
                break;
            }
            if (at_end_ || end_ - begin_ > longest_) break;
            fill();
            if (!error_.empty()) return false;
        }
        // A quote that never closes would take every line after it: the
        // record is its first line, as is one too long.
        const bool unclosed = open && !broken;
        if (unclosed || stop - begin_ > longest_) {
            r.line = line_;
            const std::string within = " within " + std::to_string(longest_) + " bytes";
            r.error = unclosed ? "a quoted field is not closed" + (at_end_ ? "" : within)
                               : "longer than " + std::to_string(longest_) + " bytes";
            skip_line();
            return true;
        }
        std::string_view text(buf_.data() + begin_, stop - begin_);
        begin_ = broken ? stop + 1 : stop;
        r.line = line_;
        line_ += broken + (quoted ? static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) : 0);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (text.empty()) {
            if (!broken) return false;  // the end of the stream
            continue;
        }
        split(text, quoted, r);
        if (!r.error.empty()) r.fields.clear();
        return true;
    }
}

}  // namespace rpt
