// The one place that lays out and sends a raidstor request record. The SCSI
// pass-through, the management wrappers and the STP pass-through all go
// through it, so that every request reaches the library with the same
// all-zero base; it lies below all of them and knows nothing of the driver.
#pragma once

#include "types.h"

struct LibRequest {
    U8 cmdType;
    U8 cmd;
    U32 ctrlId;
    U16 deviceId;  // first 16 bits of the reference union (pdRef.deviceId)
    U16 seqNum;    // next 16 bits (pdRef.seqNum)
    U32 dataSize;
    void* pData;
};

// A request record cleared in full, with only the fields above set.
SL_LIB_CMD_PARAM_T make_lib_request(const LibRequest& r);

// Sends the record through ProcessLibCommandF and gives the library's code
// back unchanged. An interrupt that arrived during the call ends the run here,
// once the library has returned and nothing is half done; a second one while
// the call has not returned ends it at once.
int32_t send_lib_request(SL_LIB_CMD_PARAM_T* request);
