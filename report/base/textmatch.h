// Lines matched against patterns of literal text and fields: the error
// log's records and the drive log's block tags.
#pragma once
#include <string_view>
#include <vector>

namespace rpt {

using Caps = std::vector<std::string_view>;

bool is_hex(char c);

// Matches a whole line against a pattern of literal text and fields: %x
// (hexadecimal digits), %u (decimal digits), %d (decimal, maybe negative)
// and %s (any text, shortest first). Each field is captured.
bool match(std::string_view pat, std::string_view s, Caps& caps);

}  // namespace rpt
