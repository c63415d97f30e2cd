#include "lexer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace sim {

void fail(const std::string& what) { throw std::runtime_error(what); }

namespace {

bool ends_token(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '#'; }

}  // namespace

Tokens tokenize(const std::string& line) {
    Tokens tokens;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string tok;
        if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos) fail("unterminated quote");
            tok = line.substr(i + 1, end - i - 1);
            i = end + 1;
            if (i < line.size() && !ends_token(line[i])) fail("text right after a closing quote");
        } else {
            while (i < line.size() && !ends_token(line[i]) && line[i] != '"') tok += line[i++];
            if (i < line.size() && line[i] == '"') fail("quote inside a token");
        }
        tokens.push_back(tok);
    }
    return tokens;
}

long long parse_number(const std::string& tok, long long lo, long long hi, const char* what) {
    if (tok.empty()) fail(std::string("missing ") + what);
    const char* s = tok.c_str();
    bool neg = false;
    if (*s == '-') {
        neg = true;
        ++s;
    }
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (*s == '\0') fail(std::string("bad ") + what + " '" + tok + "'");
    for (const char* p = s; *p; ++p)
        if (base == 10 ? !isdigit(static_cast<unsigned char>(*p)) : !isxdigit(static_cast<unsigned char>(*p)))
            fail(std::string("bad ") + what + " '" + tok + "'");
    errno = 0;
    unsigned long long v = strtoull(s, nullptr, base);
    if (errno == ERANGE || v > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        fail(std::string(what) + " out of range: " + tok);
    long long r = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (r < lo || r > hi) fail(std::string(what) + " out of range: " + tok);
    return r;
}

int32_t parse_code(const std::string& tok) {
    long long v = parse_number(tok, std::numeric_limits<int32_t>::min(), 0xFFFFFFFFLL, "code");
    if (v == 0) fail("a failure code must not be 0");
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

unsigned parse_hex_number(const std::string& tok, unsigned hi, const std::string& whole) {
    std::string s = tok;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    if (s.empty() || s.size() > 8 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return isxdigit(static_cast<unsigned char>(c)); }))
        fail("bad WHAT '" + whole + "'");
    unsigned long v = strtoul(s.c_str(), nullptr, 16);
    if (v > hi) fail("bad WHAT '" + whole + "'");
    return static_cast<unsigned>(v);
}

}  // namespace sim
