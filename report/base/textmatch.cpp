#include "textmatch.h"

namespace rpt {
namespace {

bool is_dec(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool match(std::string_view pat, std::string_view s, Caps& caps) {
    while (!pat.empty()) {
        if (pat.size() >= 2 && pat[0] == '%') {
            const char t = pat[1];
            pat.remove_prefix(2);
            if (t == 's') {
                for (size_t n = 1; n <= s.size(); ++n) {
                    caps.push_back(s.substr(0, n));
                    if (match(pat, s.substr(n), caps)) return true;
                    caps.pop_back();
                }
                return false;
            }
            size_t n = (t == 'd' && !s.empty() && s[0] == '-') ? 1 : 0;
            const size_t start = n;
            while (n < s.size() && (t == 'x' ? is_hex(s[n]) : is_dec(s[n]))) ++n;
            if (n == start) return false;
            caps.push_back(s.substr(0, n));
            s.remove_prefix(n);
            continue;
        }
        if (s.empty() || s[0] != pat[0]) return false;
        s.remove_prefix(1);
        pat.remove_prefix(1);
    }
    return s.empty();
}

}  // namespace rpt
