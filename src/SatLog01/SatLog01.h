// The drive log of one SATA drive: its SMART data and, with the extended
// collection, every other block it keeps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dump_result.h"
#include "types.h"

// Writes the drive log of one SATA drive into the open fpLog, through an STP
// pass-through buffer of its own (pstStorPassThrStp, allocated here and
// released with Mem_Free whatever the outcome; no memory: reported, nothing
// sent). Without an IDENTIFY answer it is the SMART data dump alone
// (SATAHddLogDumpauto); given the answer the scan read (`got` of its bytes
// arrived), the extended collection (SATAHddExtLogDump). Returns
// DUMP_WRITE_FAILED when the file could not be written, else DUMP_DONE
// (failed commands are reported where they fail).
int Get_SATAHdd_Log(int iCtrl, int iTgtId, const U8* identify = nullptr, U32 got = 0);

// SMART ENABLE OPERATIONS, then SMART READ DATA (not sent when the first
// fails), through pstStorPassThrStp; the 512 bytes of SMART data as 32 hex
// dump lines, no tag of its own. A failed command is reported with
// sata_cmnd_err and writes nothing (DUMP_COMMAND_FAILED); a short answer is
// recorded and what arrived is written.
int SATAHddLogDumpauto(int iCtrl, int iTgtId);

// The extended collection of one SATA drive into its open drive log, after
// its identity lines: the IDENTIFY DEVICE answer (`got` of its bytes
// arrived), SMART data, thresholds and status, the SMART logs and, when the
// drive keeps them, the general-purpose logs, each block under its tag.
// The pass-through buffer pstStorPassThrStp is the caller's. Returns
// DUMP_WRITE_FAILED when the file could not be written, else DUMP_DONE
// (failed commands are reported and the next block is tried).
int SATAHddExtLogDump(int iCtrl, int16_t sTgtId, const U8* identify, U32 got);
