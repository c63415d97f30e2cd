// What the controller log readers' tests share: one file read as the
// report reads it, a text with every copy of a string replaced, and the
// problems a reader says, as "code@line".
#pragma once
#include <span>
#include <string>
#include <vector>

#include "controller.h"

namespace rpt::test {

inline std::vector<Controller> read_one(const std::string& name, const std::string& text) {
    const InputFile f{name, text, 0, true};
    return read_controllers(std::span<const InputFile>(&f, 1));
}

inline std::string replaced(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

inline std::string codes(const Controller& c) {
    std::string s;
    for (const auto& p : c.problems) s += (s.empty() ? "" : " ") + p.code + "@" + std::to_string(p.line);
    return s;
}

}  // namespace rpt::test
