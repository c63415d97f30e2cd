// The variants of the CLI's text that a scenario may ask for ("cli text c
// VARIANT..."): how older firmware and CLI versions print the same facts,
// and what a saved log may hold around them. Each is a row: its name, what
// it shows and the texts it replaces in every log the CLI prints; a row
// without replacements is applied by the CLI's text writer (cli/).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace sim {

struct Replacement {
    const char* from = nullptr;  // null: none
    const char* to = nullptr;
};

struct CliTextVariant {
    const char* name;
    const char* what;
    std::array<Replacement, 2> replace;
};

// (A vector, not a span: the cross-check of the report, built with this
// machine's library headers, reads it too, and a span's layout differs
// between the library versions.)
const std::vector<CliTextVariant>& cli_text_variant_table();

// Whether `name` is a variant; all their names, for a refusal.
bool cli_text_variant(const std::string& name);
std::string cli_text_variants();

}  // namespace sim
