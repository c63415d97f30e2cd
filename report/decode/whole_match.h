// An expression of the drive database that must match a whole string,
// refused before glibc sees it when it would cost too much.
#pragma once
#include <regex.h>

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

namespace rpt {

// A POSIX extended expression that must match a whole string. It is
// compiled once to be checked and again on first use: the first bytes a
// match can begin with rule out most entries for a drive, and so most
// expressions are never needed.
class WholeMatch {
public:
    // What the expressions of one database may cost together, taken from as
    // each compiles: compiled expressions are kept, and a file of many large
    // ones would otherwise hold gigabytes. Debian's database uses a
    // twentieth of the states and a thirtieth of the squared skips.
    struct Budget {
        uint64_t states = uint64_t{1} << 19;
        uint64_t skips_squared = uint64_t{1} << 22;
    };
    // Null with `error` set when the expression is refused, does not
    // compile or would overdraw `budget`.
    static std::unique_ptr<WholeMatch> compile(const std::string& expression, std::string& error, Budget& budget);
    static std::unique_ptr<WholeMatch> compile(const std::string& expression, std::string& error) {
        Budget alone;
        return compile(expression, error, alone);
    }
    bool matches(const std::string& s) const;
    ~WholeMatch();
    WholeMatch(const WholeMatch&) = delete;
    WholeMatch& operator=(const WholeMatch&) = delete;

private:
    WholeMatch() = default;
    std::string anchored_;    // "^(expression)$"
    std::bitset<256> first_;  // the bytes a match can begin with
    mutable regex_t re_{};
    mutable bool compiled_ = false;
};

}  // namespace rpt
