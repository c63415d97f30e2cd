// Error detail of the most recent SCSI command (and the result of the
// management wrappers, which write iApiErr only). Filled by the SCSI sender,
// read by its reporter (sas_cmnd_err), which lies below it.
#pragma once

#include <cstddef>

#include "types.h"

struct ERRINFO {
    int32_t iApiErr;  // 0
    U8 ucCdb[10];     // 4
    U8 ucSense[32];   // 14
    U8 ucScsiStatus;  // 46
};
static_assert(offsetof(ERRINFO, iApiErr) == 0);
static_assert(offsetof(ERRINFO, ucCdb) == 4);
static_assert(offsetof(ERRINFO, ucSense) == 14);
static_assert(offsetof(ERRINFO, ucScsiStatus) == 46);
static_assert(sizeof(ERRINFO) == 48);
