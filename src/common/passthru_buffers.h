// The two pass-through buffers on the heap, null while not held. A collector
// allocates one for its phase of a drive and releases it with Mem_Free; the
// exit clean-up releases whatever is still held.
#pragma once

#include "raidstor.h"
#include "types.h"

extern SCSI_PASSTHRU_T* pstStorPassThr;       // SCSI, SCSI_PASSTHRU_BUFFER_SIZE bytes
extern SL_STP_PASSTHRU_T* pstStorPassThrStp;  // STP, STP_PASSTHRU_BUFFER_SIZE bytes
extern U8* InqData;                           // the INQUIRY data inside pstStorPassThr, while read

// Frees both buffers (free()) and sets them back to null.
void Mem_Free();
