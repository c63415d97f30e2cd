// The time limits of one program. Compiled per program rather than into the
// shared modules, so that a test build can have limits of a few seconds.
#include "command.h"

#ifndef LOGDUMP_CLI_TIME_LIMIT
#error "LOGDUMP_CLI_TIME_LIMIT must give the seconds a vendor CLI command may run"
#endif
#ifndef LOGDUMP_HOST_TIME_LIMIT
#error "LOGDUMP_HOST_TIME_LIMIT must give the seconds ldd, pwd or mkdir may run"
#endif
static_assert(LOGDUMP_CLI_TIME_LIMIT > 0 && LOGDUMP_CLI_TIME_LIMIT <= 86400, "CLI time limit out of range");
static_assert(LOGDUMP_HOST_TIME_LIMIT > 0 && LOGDUMP_HOST_TIME_LIMIT <= 86400, "host command time limit out of range");

const unsigned kCliTimeLimitS = LOGDUMP_CLI_TIME_LIMIT;
const unsigned kHostTimeLimitS = LOGDUMP_HOST_TIME_LIMIT;
