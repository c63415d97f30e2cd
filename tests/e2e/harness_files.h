// The harness's own helpers for files and processes, shared by its
// sources (the cases use Case).
#pragma once

#include <sys/types.h>

#include <string>

namespace e2e::files {

std::string slurp(const std::string& path);  // the whole file, "" when missing
// Writes a file whole (its directories made), with this mode.
void spit(const std::string& path, const std::string& text, mode_t mode = 0644);
int elf_class(const std::string& path);  // 32 or 64, 0 when not an ELF file
bool under(const std::string& path, const std::string& root);
// Paths under /tmp or /o_tmp, which each case's mounts hide from the tool.
bool hidden_by_mounts(const std::string& path);
// A private directory outside /tmp for what the mounts would hide, removed
// when the test process ends.
const std::string& outside_root();
// The path itself, or a copy outside /tmp and /o_tmp when the mounts would
// hide it from the child.
std::string visible_in_child(const std::string& path);
double now_s();  // a steady clock, in seconds
// Writes a message to fd 2 of the child and ends it: used between fork and
// exec, where gtest cannot report.
[[noreturn]] void child_fail(const char* what);

}  // namespace e2e::files
