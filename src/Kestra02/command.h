// The tool's shell commands and their time limits.
#pragma once

// Seconds a command may run before it is ended, fixed when the program is
// built (time_limits.cpp, compiled once per program).
extern const unsigned kCliTimeLimitS;   // a vendor CLI command
extern const unsigned kHostTimeLimitS;  // ldd, pwd, mkdir

// Runs one command line through the shell runner. A command that ran past
// its limit is reported with " Time Limit Exceeded(%u s: %s)\n" and gives
// -1, the same as a command that could not be started; otherwise the
// command's wait status.
int run_command(const char* command, unsigned limit_s);
