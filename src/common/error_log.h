// The error log: open only in a run without arguments, from its creation by
// the driver to the exit clean-up. The reporters write their records to it.
#pragma once

#include <cstdio>

extern FILE* gfpErrLog;
