// The scenario format's words: a line cut into tokens, and tokens read as
// numbers. Every refusal throws std::runtime_error with a message that the
// parser prefixes with the line number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Tokens = std::vector<std::string>;

[[noreturn]] void fail(const std::string& what);

// Blanks separate, double quotes group, '#' outside quotes ends the line.
Tokens tokenize(const std::string& line);

// Decimal or 0x hex, optionally negative, within lo..hi; `what` names the
// number in the message.
long long parse_number(const std::string& tok, long long lo, long long hi, const char* what);

// parse_number as the type of the field it goes into.
template <class T>
T parse_as(const std::string& tok, long long lo, long long hi, const char* what) {
    return static_cast<T>(parse_number(tok, lo, hi, what));
}

// A raidstor result code: signed decimal or a 32-bit hex value, never 0.
int32_t parse_code(const std::string& tok);

// Plain hex digits (an optional 0x is accepted) up to hi, as in "logsense:0d";
// `whole` is the token named in the message.
unsigned parse_hex_number(const std::string& tok, unsigned hi, const std::string& whole);

}  // namespace sim
