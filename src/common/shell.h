// Everything the tool hands to the shell passes through here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Returns the value unchanged when it holds only letters, digits and
// "/._-+,:@%=" (and is not empty), else the value in single quotes with every
// single quote written as '\''. Plain values therefore give the same command
// lines as without quoting.
std::string shell_quote(std::string_view value);

// Formats into a fixed buffer. Returns false, leaving an empty string, when
// the text would not fit: nothing is ever cut silently.
bool format_into(char* buf, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Runs a command line through system(). A command that ended by SIGINT
// (the user pressed Ctrl-C, which system() hides from us) counts as an
// interrupt of the run: this call then leaves through exit(1).
// Returns the raw status of system().
int run_shell(const char* command);
