// SMART data dump of one SATA drive into the open drive log file.
#pragma once

#include <cstddef>

void Get_SATAHdd_Log(int iCtrl, int iTgtId);
void SATAHddLogDumpauto(int iCtrl, int iTgtId);

// How Get_SATAHdd_Log obtains its pass-through buffer. Points to a zeroing
// heap allocation; a test points it elsewhere to see a failed allocation
// handled. The block must be one that free() releases (Mem_Free does).
extern void* (*pfSataBufAlloc)(size_t size);
