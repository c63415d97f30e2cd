// Reading the drive database: a tokenizer of the C initializer's few
// pieces, entries of five strings whose expressions whole_match.h
// compiles once, lookups kept per model and firmware.
#include "drivedb.h"

#include <sys/stat.h>

#include <array>
#include <bitset>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "finding.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt {
namespace {

// The defaults smartctl(8) names when no database is read: spin-up time,
// the two reallocation counts, power-on hours and the temperatures have
// formats of their own; every other attribute is a 48-bit count.
constexpr const char* kBuiltinDefaults =
    "-v 3,raw16(avg16) -v 5,raw16(raw16) -v 9,raw24(raw8) -v 190,tempminmax -v 194,tempminmax "
    "-v 196,raw16(raw16)";

// A database is a few hundred kilobytes; anything far larger is not one.
constexpr size_t kMaxFile = 16u << 20;

struct Token {
    enum Kind : uint8_t { String, Open, Close, Comma, End, Error } kind = End;
    std::string text;  // the string's value, or the error
    size_t line = 0;
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view s) : s_(s) {}

    Token next() {
        skip_blanks_and_comments();
        if (!error_.empty()) return {Token::Error, error_, line_};
        if (i_ == s_.size()) return {Token::End, "", line_};
        const char c = s_[i_];
        if (c == '{' || c == '}' || c == ',') {
            ++i_;
            return {c == '{' ? Token::Open : c == '}' ? Token::Close : Token::Comma, "", line_};
        }
        if (c == '"') return string();
        char what[48];
        if (c > ' ' && c < 0x7f)
            snprintf(what, sizeof what, "unexpected character '%c'", c);
        else
            snprintf(what, sizeof what, "unexpected byte 0x%02x", static_cast<unsigned char>(c));
        return {Token::Error, what, line_};
    }

private:
    void skip_blanks_and_comments() {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == '\n') ++line_;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++i_;
            } else if (s_.substr(i_, 2) == "//") {
                i_ = std::min(s_.find('\n', i_), s_.size());
            } else if (s_.substr(i_, 2) == "/*") {
                const size_t end = s_.find("*/", i_ + 2);
                if (end == s_.npos) {
                    error_ = "comment not closed";
                    return;
                }
                for (size_t k = i_; k < end; ++k) line_ += s_[k] == '\n';
                i_ = end + 2;
            } else {
                return;
            }
        }
    }

    // A string literal with C's escapes.
    Token string() {
        const size_t line = line_;
        std::string out;
        for (++i_; i_ < s_.size(); ++i_) {
            char c = s_[i_];
            if (c == '"') {
                ++i_;
                return {Token::String, std::move(out), line};
            }
            if (c == '\n') break;
            if (c == '\\') {
                const auto e = escape();
                if (!e) return {Token::Error, error_, line_};
                c = *e;
            }
            if (c == '\0') return {Token::Error, "a string holds a NUL character", line_};
            out += c;
        }
        return {Token::Error, "string not closed", line};
    }

    // The escape at s_[i_] ('\\'); i_ is left on its last character.
    std::optional<char> escape() {
        if (++i_ == s_.size()) return fail("string not closed");
        const char c = s_[i_];
        static constexpr char kSimple[] = "n\nt\tr\ra\ab\bf\fv\v\\\\\"\"''??";
        for (size_t k = 0; k + 1 < sizeof kSimple; k += 2)
            if (kSimple[k] == c) return kSimple[k + 1];
        unsigned v = 0;
        if (c >= '0' && c <= '7') {
            size_t n = 0;
            for (; n < 3 && i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '7'; ++n, ++i_) v = v * 8 + (s_[i_] - '0');
            --i_;
        } else if (c == 'x') {
            size_t n = 0;
            for (++i_; i_ < s_.size() && is_hex(s_[i_]) && v <= 0xff; ++n, ++i_)
                v = v * 16 + static_cast<unsigned>(s_[i_] <= '9' ? s_[i_] - '0' : (s_[i_] | 0x20) - 'a' + 10);
            --i_;
            if (n == 0) return fail("\\x without hex digits");
        } else {
            char what[40];
            snprintf(what, sizeof what, "unknown escape \\%c", c > ' ' && c < 0x7f ? c : '?');
            return fail(what);
        }
        if (v > 0xff) return fail("escape out of range");
        return static_cast<char>(v);
    }

    std::optional<char> fail(const char* what) {
        error_ = what;
        return std::nullopt;
    }

    std::string_view s_;
    size_t i_ = 0, line_ = 1;
    std::string error_;
};

void apply_presets(std::vector<AttributeFormat>& table, const Presets& p) {
    for (auto& a : p.attributes)
        for (size_t id = a.id ? a.id : 1; id <= (a.id ? a.id : 255u); ++id) {
            AttributeFormat f = a.format;
            if (f.name.empty()) f.name = table[id].name;
            table[id] = std::move(f);
        }
}

std::string message(const std::string& source, size_t line, const std::string& what) {
    return (source.empty() ? "drive database" : source) + ":" + std::to_string(line) + ": " + what;
}

DriveEntry builtin_defaults() {
    DriveEntry d;
    d.family = "DEFAULT";
    d.presets_text = kBuiltinDefaults;
    d.presets = parse_presets(d.presets_text);
    return d;
}

struct RawEntry {
    size_t line = 0;
    std::array<std::string, 5> fields;
};

}  // namespace

std::string pick_drivedb(const std::string& given, const std::vector<std::string>& candidates) {
    if (!given.empty()) return given;
    std::string best;
    struct timespec best_time = {0, 0};
    for (auto& c : candidates) {
        struct stat st;
        if (stat(c.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const auto& t = st.st_mtim;
        if (best.empty() || t.tv_sec > best_time.tv_sec ||
            (t.tv_sec == best_time.tv_sec && t.tv_nsec >= best_time.tv_nsec)) {
            best = c;
            best_time = t;
        }
    }
    return best;
}

namespace {

// The entries of the file, each its line and five strings; "" in `error`
// or why the text is not such a file.
std::vector<RawEntry> read_entries(std::string_view text, const std::string& source, std::string& error) {
    std::vector<RawEntry> raw;
    Tokenizer tok(text);
    Token t = tok.next();
    auto fail = [&](const Token& at, const std::string& what) {
        error = message(source, at.line, at.kind == Token::Error ? at.text : what);
        raw.clear();
        return raw;
    };
    while (t.kind != Token::End) {
        if (t.kind != Token::Open) return fail(t, "expected '{' to begin an entry");
        RawEntry& e = raw.emplace_back();
        e.line = t.line;
        size_t n = 0;
        for (t = tok.next(); t.kind == Token::String;) {
            std::string field;
            for (; t.kind == Token::String; t = tok.next()) field += t.text;
            if (n < e.fields.size()) e.fields[n] = std::move(field);
            ++n;
            if (t.kind != Token::Comma) break;
            t = tok.next();
        }
        if (t.kind != Token::Close) return fail(t, "expected a string, ',' or '}' in the entry");
        if (n != e.fields.size()) return fail(t, "the entry has " + std::to_string(n) + " strings, not 5");
        t = tok.next();
        if (t.kind == Token::Comma)
            t = tok.next();
        else if (t.kind != Token::End)
            return fail(t, "expected ',' after the entry");
    }
    if (raw.empty()) error = message(source, 1, "no entries");
    return raw;
}

}  // namespace

DriveDb parse_drivedb(std::string_view text, std::string source) {
    DriveDb db;
    db.source = std::move(source);
    std::vector<RawEntry> raw = read_entries(text, db.source, db.error);
    db.entries.reserve(raw.size());
    bool have_defaults = false;
    WholeMatch::Budget budget;
    for (auto& r : raw) {
        DriveEntry e;
        e.line = r.line;
        e.family = std::move(r.fields[0]);
        e.model = std::move(r.fields[1]);
        e.firmware = std::move(r.fields[2]);
        e.warning = std::move(r.fields[3]);
        e.presets_text = std::move(r.fields[4]);
        if (e.family.starts_with("VERSION:")) {
            db.version = e.family;
            continue;
        }
        if (have_defaults && (e.family.starts_with("$") || e.family.starts_with("USB:"))) {
            ++db.ignored;
            continue;
        }
        e.presets = parse_presets(e.presets_text);
        if (!have_defaults) {
            db.defaults = std::move(e);
            have_defaults = true;
            continue;
        }
        std::string why;
        if (e.model.empty())
            why = "model expression: empty";
        else if (!(e.model_re = WholeMatch::compile(e.model, why, budget)))
            why = "model expression: " + why;
        else if (!e.firmware.empty() && !(e.firmware_re = WholeMatch::compile(e.firmware, why, budget)))
            why = "firmware expression: " + why;
        else
            why.clear();
        if (why.empty())
            db.entries.push_back(std::move(e));
        else
            db.skipped.push_back({e.line, e.family, why});
    }
    if (!have_defaults) {
        if (db.error.empty()) db.error = message(db.source, 1, "no defaults entry");
        db.defaults = builtin_defaults();
    }
    db.finish();
    return db;
}

DriveDb DriveDb::builtin() {
    DriveDb db;
    db.defaults = builtin_defaults();
    db.finish();
    return db;
}

DriveDb load_drivedb(const std::string& path) {
    if (path.empty()) return DriveDb::builtin();
    std::string text;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    int err = f ? 0 : errno;
    if (f) {
        char buf[65536];
        size_t n;
        while (text.size() <= kMaxFile && (n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        if (std::ferror(f)) err = errno ? errno : EIO;
        std::fclose(f);
    }
    if (err || text.size() > kMaxFile) {
        DriveDb db = DriveDb::builtin();
        db.source = path;
        db.error = "cannot read " + path + ": " + (err ? std::strerror(err) : "larger than 16 MiB");
        return db;
    }
    return parse_drivedb(text, path);
}

void DriveDb::finish() {
    base_ = std::make_unique<DriveSettings>();
    apply_presets(base_->attributes, defaults.presets);
    base_->firmware_bugs = defaults.presets.firmware_bugs;
}

const DriveSettings& DriveDb::lookup(std::string_view model_in, std::string_view firmware_in) const {
    const std::string model = trim(model_in), firmware = trim(firmware_in);
    std::string key = model + '\n' + firmware;
    std::lock_guard<std::mutex> hold(*lookup_lock_);
    if (auto it = by_drive_.find(key); it != by_drive_.end()) return *it->second;
    const DriveSettings* found = base_.get();
    for (size_t i = 0; i < entries.size(); ++i) {
        const DriveEntry& e = entries[i];
        if (!e.model_re->matches(model) || (e.firmware_re && !e.firmware_re->matches(firmware))) continue;
        by_entry_.resize(entries.size());
        if (!by_entry_[i]) {
            auto s = std::make_unique<DriveSettings>(*base_);
            s->entry = &e;
            s->family = e.family;
            s->warning = e.warning;
            apply_presets(s->attributes, e.presets);
            s->firmware_bugs.insert(s->firmware_bugs.end(), e.presets.firmware_bugs.begin(),
                                    e.presets.firmware_bugs.end());
            by_entry_[i] = std::move(s);
        }
        found = by_entry_[i].get();
        break;
    }
    by_drive_.emplace(std::move(key), found);
    return *found;
}

size_t DriveDb::unknown_presets() const {
    size_t n = defaults.presets.unknown.size();
    for (auto& e : entries) n += e.presets.unknown.size();
    return n;
}

}  // namespace rpt
