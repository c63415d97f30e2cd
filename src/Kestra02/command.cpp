#include "command.h"

#include "KstErr01.h"
#include "shell.h"

int run_command(const char* command, unsigned limit_s) {
    const ShellResult r = run_shell(command, limit_s);
    if (!r.timed_out) return r.status;
    time_limit_err(limit_s, command);
    return -1;
}
