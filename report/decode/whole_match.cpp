// An expression of the drive database that must match a whole string:
// its shape read first (the bytes a match can begin with, and what it
// would cost glibc), then compiled.
#include "whole_match.h"

#include <algorithm>
#include <string_view>

namespace rpt {
namespace {

// An expression that glibc would expand into more states than this (bounded
// repetitions and '+' copy what they repeat) is refused rather than compiled.
constexpr uint64_t kMaxExpansion = 1u << 16;
// Nor one with more places a match may branch or skip ('|', '?', '*', '+'
// and optional copies, once expanded): glibc keeps, for each state, the
// states reachable without a byte, so its memory grows with their square
// ("a?" 2000 times takes 67 MB, 30000 times 14 GB). Debian's largest
// expression has about 210.
constexpr uint64_t kMaxSkips = 2048;
// Counts saturate here rather than overflow.
constexpr uint64_t kCountCap = uint64_t{1} << 40;

uint64_t sat_add(uint64_t a, uint64_t b) { return std::min(a + b, kCountCap); }
uint64_t sat_mul(uint64_t a, uint64_t b) { return a && b > kCountCap / a ? kCountCap : std::min(a * b, kCountCap); }

// What an expression's shape tells before glibc sees it: the bytes a
// matching string can begin with (to pass over most entries without
// calling regexec), and why it is refused, if it is: back-references (not
// extended syntax), a trailing backslash or unbalanced parentheses (which
// would change its meaning once anchored), nesting deep enough to exhaust
// a recursive parser, and bounded repetitions that would expand too far.
// Where the syntax leaves doubt, the first bytes are "any".
struct Shape {
    std::bitset<256> first;  // bytes a non-empty match can begin with
    bool nullable = true;    // it matches the empty string too
    uint64_t states = 0;     // size once repetitions are copied out
    uint64_t skips = 0;      // places a match branches or skips, likewise
};

class ShapeReader {
public:
    explicit ShapeReader(std::string_view re) : re_(re) {}

    Shape read(std::string& error) {
        Shape s = alternation();
        if (error_.empty() && i_ < re_.size()) error_ = "unbalanced parentheses";
        if (error_.empty() && s.states > kMaxExpansion) error_ = "the expression expands too far";
        if (error_.empty() && s.skips > kMaxSkips) error_ = "too many alternatives and optional parts";
        error = error_;
        return s;
    }

private:
    static constexpr size_t kMaxDepth = 64;

    bool at(char c) const { return i_ < re_.size() && re_[i_] == c; }

    Shape alternation() {
        Shape s = branch();
        while (error_.empty() && at('|')) {
            ++i_;
            const Shape b = branch();
            s.first |= b.first;
            s.nullable = s.nullable || b.nullable;
            s.states = sat_add(s.states, b.states);
            s.skips = sat_add(s.skips, sat_add(b.skips, 1));
        }
        return s;
    }

    Shape branch() {
        Shape s;
        while (error_.empty() && i_ < re_.size() && !at('|') && !at(')')) {
            const Shape p = piece();
            if (s.nullable) s.first |= p.first;
            s.nullable = s.nullable && p.nullable;
            s.states = sat_add(s.states, p.states);
            s.skips = sat_add(s.skips, p.skips);
        }
        return s;
    }

    Shape piece() {
        Shape s = atom();
        while (error_.empty() && i_ < re_.size()) {
            const char c = re_[i_];
            if (c == '*' || c == '?') {
                s.nullable = true;
                s.skips = sat_add(s.skips, 1);
            } else if (c == '+') {
                // glibc copies the atom once ("a+" is "aa*"), so a run of
                // them doubles it each time.
                s.states = sat_mul(s.states, 2);
                s.skips = sat_add(sat_mul(s.skips, 2), 1);
            } else if (c != '{' || !bound(s)) {
                break;
            }
            ++i_;
        }
        return s;
    }

    // `{n}`, `{n,}` or `{n,m}` after an atom, i_ on the brace and left on
    // the closing one; false for anything else.
    bool bound(Shape& s) {
        uint64_t n = 0, m = 0;
        bool comma = false, digits = false;
        size_t j = i_ + 1;
        for (; j < re_.size() && re_[j] != '}'; ++j) {
            uint64_t& x = comma ? m : n;
            if (re_[j] >= '0' && re_[j] <= '9') {
                x = std::min<uint64_t>(x * 10 + static_cast<uint64_t>(re_[j] - '0'), kCountCap);
                digits = true;
            } else if (re_[j] == ',' && !comma) {
                comma = true;
            } else {
                return false;
            }
        }
        if (j == re_.size() || !digits) return false;
        const uint64_t copies = comma ? (m ? std::max(n, m) : n + 1) : n;
        const uint64_t optional = comma ? (m ? (m > n ? m - n : 0) : 1) : 0;
        if (n == 0) s.nullable = true;
        s.states = sat_mul(s.states, std::max<uint64_t>(copies, 1));
        s.skips = sat_add(sat_mul(s.skips, std::max<uint64_t>(copies, 1)), optional);
        if (s.states > kMaxExpansion) error_ = "bounded repetitions expand too far";
        i_ = j;
        return true;
    }

    Shape atom() {
        Shape s;
        s.states = 1;
        const char c = re_[i_++];
        if (c == '(') {
            if (++depth_ > kMaxDepth) {
                error_ = "groups nested too deeply";
                return s;
            }
            s = alternation();
            --depth_;
            if (error_.empty() && !at(')')) error_ = "unbalanced parentheses";
            ++i_;
            s.states = sat_add(s.states, 1);
        } else if (c == '^' || c == '$') {
            // An anchor matches no byte.
        } else if (c == '\\') {
            if (i_ == re_.size())
                error_ = "ends in a backslash";
            else if (re_[i_] >= '1' && re_[i_] <= '9')
                error_ = "back-reference";
            else if (isalnum(static_cast<unsigned char>(re_[i_])))
                s.first.set();  // a class or a word anchor
            else
                literal(s, re_[i_]);
            ++i_;
        } else if (c == '[') {
            bracket(s);
        } else if (c == '.' || c == '*' || c == '+' || c == '?' || c == '{') {
            s.first.set();  // any byte; a repetition sign with nothing before it is left to glibc
            s.nullable = c != '.';
        } else {
            literal(s, c);
        }
        return s;
    }

    // Bytes above 127 may start a character of the locale's: any byte then.
    static void literal(Shape& s, char c) {
        if (static_cast<unsigned char>(c) < 0x80)
            s.first.set(static_cast<unsigned char>(c));
        else
            s.first.set();
        s.nullable = false;
    }

    // A bracket expression, i_ after its '['.
    void bracket(Shape& s) {
        s.nullable = false;
        const bool negate = at('^');
        if (negate) ++i_;
        std::bitset<256> set;
        bool vague = false;
        for (size_t n = 0; i_ < re_.size() && (n == 0 || re_[i_] != ']'); ++n, ++i_) {
            const unsigned char c = static_cast<unsigned char>(re_[i_]);
            if (c >= 0x80) vague = true;
            if (c == '[' && i_ + 1 < re_.size() && (re_[i_ + 1] == ':' || re_[i_ + 1] == '.' || re_[i_ + 1] == '=')) {
                const size_t end = re_.find(std::string{re_[i_ + 1], ']'}, i_ + 2);
                if (end == re_.npos) break;
                vague = true;
                i_ = end + 1;
            } else if (i_ + 2 < re_.size() && re_[i_ + 1] == '-' && re_[i_ + 2] != ']') {
                vague = vague || re_[i_ + 2] == '[' || static_cast<unsigned char>(re_[i_ + 2]) >= 0x80;
                for (unsigned k = c; k <= static_cast<unsigned char>(re_[i_ + 2]); ++k) set.set(k);
                i_ += 2;
            } else {
                set.set(c);
            }
        }
        if (!at(']')) error_ = "bracket expression not closed";
        ++i_;
        s.first = vague ? std::bitset<256>().set() : negate ? ~set : set;
    }

    std::string_view re_;
    size_t i_ = 0, depth_ = 0;
    std::string error_;
};

}  // namespace

std::unique_ptr<WholeMatch> WholeMatch::compile(const std::string& expression, std::string& error, Budget& budget) {
    const Shape shape = ShapeReader(expression).read(error);
    if (!error.empty()) return nullptr;
    const uint64_t skips_squared = shape.skips * shape.skips;  // both at most kMaxSkips here
    if (shape.states > budget.states || skips_squared > budget.skips_squared) {
        error = "the database's expressions together expand too far";
        return nullptr;
    }
    budget.states -= shape.states;
    budget.skips_squared -= skips_squared;
    std::unique_ptr<WholeMatch> m(new WholeMatch);
    m->first_ = shape.first;
    // Anchored, so glibc tries the start of the string only.
    m->anchored_ = "^(" + expression + ")$";
    const int rc = regcomp(&m->re_, m->anchored_.c_str(), REG_EXTENDED | REG_NOSUB);
    if (rc != 0) {
        char what[128];
        regerror(rc, &m->re_, what, sizeof what);
        error = what;
        return nullptr;
    }
    regfree(&m->re_);
    return m;
}

bool WholeMatch::matches(const std::string& s) const {
    if (!s.empty() && !first_[static_cast<unsigned char>(s[0])]) return false;
    if (s.find('\0') != s.npos) return false;
    if (!compiled_) {
        if (regcomp(&re_, anchored_.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return false;
        compiled_ = true;
    }
    return regexec(&re_, s.c_str(), 0, nullptr, 0) == 0;
}

WholeMatch::~WholeMatch() {
    if (compiled_) regfree(&re_);
}

}  // namespace rpt
