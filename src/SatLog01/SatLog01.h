// SMART data dump of one SATA drive into the open drive log file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dump_result.h"
#include "types.h"

void Get_SATAHdd_Log(int iCtrl, int iTgtId);
void SATAHddLogDumpauto(int iCtrl, int iTgtId);

// The extended collection of one SATA drive into its open drive log, after
// its identity lines: the IDENTIFY DEVICE answer (`got` of its bytes
// arrived), SMART data, thresholds and status, the SMART logs and, when the
// drive keeps them, the general-purpose logs, each block under its tag.
// The pass-through buffer pstStorPassThrStp is the caller's. Returns
// DUMP_WRITE_FAILED when the file could not be written, else DUMP_DONE
// (failed commands are reported and the next block is tried).
int SATAHddExtLogDump(int iCtrl, int16_t sTgtId, const U8* identify, U32 got);

// How Get_SATAHdd_Log obtains its pass-through buffer. Points to a zeroing
// heap allocation; a test points it elsewhere to see a failed allocation
// handled. The block must be one that free() releases (Mem_Free does).
extern void* (*pfSataBufAlloc)(size_t size);
