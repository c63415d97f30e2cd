#include "lib_request.h"

#include <cstdio>
#include <cstring>

#include "interrupt.h"
#include "lib_binding.h"

SL_LIB_CMD_PARAM_T make_lib_request(const LibRequest& r) {
    SL_LIB_CMD_PARAM_T req;
    // Byte for byte: the unions and reserved fields must reach the library
    // as zero, padding included.
    memset(&req, 0, sizeof req);
    req.cmdType = r.cmdType;
    req.cmd = r.cmd;
    req.ctrlId = r.ctrlId;
    req.devRef.pdRef.deviceId = r.deviceId;
    req.devRef.pdRef.seqNum = r.seqNum;
    req.dataSize = r.dataSize;
    req.pData = r.pData;
    return req;
}

int32_t send_lib_request(SL_LIB_CMD_PARAM_T* request) {
    // A second interrupt during the call may end the process without the
    // stdio clean-up: the progress shown and the drive log written so far
    // must be out already (every open output stream is flushed).
    fflush(nullptr);
    library_call_begin();
    int32_t rc = ProcessLibCommandF(request);
    library_call_end();
    interrupt_point();
    return rc;
}
