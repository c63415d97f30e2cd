// A model made from a drive database's expression, for the tests and the
// benchmark: real drives' shapes without a real name in the sources.
#pragma once
#include <cstdlib>
#include <string>
#include <string_view>

namespace rpt::test {

// A string that an expression of the database's simple shapes matches: the
// first alternative, each repetition at its least ('+' once), a bracket's
// first byte. It may miss: the tests ask glibc first.
inline std::string sample(std::string_view re, size_t& i) {
    std::string first;
    for (bool have = false;; ++i) {
        std::string out;
        while (i < re.size() && re[i] != '|' && re[i] != ')') {
            std::string atom(1, re[i++]);
            if (atom == "(") {
                atom = sample(re, i);
                ++i;
            } else if (atom == "[") {
                const bool negate = re[i] == '^';
                const size_t end = re.find(']', i + 1 + negate);
                atom = negate ? "#" : std::string(1, re[i] == '[' ? 'A' : re[i]);
                i = end == re.npos ? re.size() : end + 1;
            } else if (atom == "\\" && i < re.size()) {
                atom = std::string(1, re[i++]);
            } else if (atom == "." || atom == "^" || atom == "$") {
                atom = atom == "." ? "X" : "";
            }
            size_t copies = 1;
            if (i < re.size() && (re[i] == '*' || re[i] == '?'))
                copies = 0, ++i;
            else if (i < re.size() && re[i] == '+')
                ++i;
            else if (i < re.size() && re[i] == '{')
                copies = std::strtoul(&re[i + 1], nullptr, 10), i = re.find('}', i) + 1;
            for (size_t k = 0; k < copies; ++k) out += atom;
        }
        if (!have) first = out, have = true;
        if (i >= re.size() || re[i] != '|') return first;
    }
}

inline std::string sample(std::string_view re) {
    size_t i = 0;
    return sample(re, i);
}

}  // namespace rpt::test
