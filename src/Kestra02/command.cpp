#include "command.h"

#include <cstdio>
#include <string>

#include "KstErr01.h"
#include "shell.h"

int run_command(const char* command, unsigned limit_s) {
    const ShellResult r = run_shell(command, limit_s);
    if (!r.timed_out) return r.status;
    // The whole command line: it says which step hung.
    const char* fmt = " Time Limit Exceeded(%u s: %s)\n";
    std::string text;
    int n = snprintf(nullptr, 0, fmt, limit_s, command);
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        snprintf(text.data(), text.size(), fmt, limit_s, command);
        text.resize(static_cast<size_t>(n));
    }
    report(text.c_str(), text.c_str());
    return -1;
}
