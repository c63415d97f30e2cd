// The binding of the storage library: made by the driver (Lib_Link), undone
// by the exit clean-up, used by the one request sender.
#pragma once

#include "types.h"

extern void* hLib;                              // dlopen handle, null while not loaded
extern ProcessLibCommand_t ProcessLibCommandF;  // raidstor's ProcessLibCommand once bound, else null
extern int LibFlg;                              // 1: bound and ProcessLibCommandF valid
