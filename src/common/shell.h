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

// What became of one shell command.
struct ShellResult {
    int status;      // the wait status of the shell; -1 when none could be started
    bool timed_out;  // ended by the runner because it ran past its limit
};

// Runs `/bin/sh -c command` (the command line byte for byte) in a process
// group of its own and waits for it, at most limit_s seconds. The tool's
// interrupt handling stays active meanwhile: an interrupt, or the limit,
// ends the whole group (SIGINT, then SIGKILL after a short grace). When
// standard input is a terminal and the tool holds its foreground, the
// command holds it while it runs (so that it can read and set the terminal
// without being stopped), and the tool takes it back afterwards; Ctrl-C
// there reaches the command, and its death by SIGINT counts as an interrupt
// of the run. An interrupt leaves the run through exit(1) once the group is
// gone.
ShellResult run_shell(const char* command, unsigned limit_s);
