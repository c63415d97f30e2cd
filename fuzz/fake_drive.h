// A storage library that answers the SCSI pass-through from the fuzz input:
// each request takes one control byte (below 0x20: the command fails, with
// the next 32 bytes as sense data), then as many data bytes as were asked
// and are left. A drive that refuses more than 1 MiB keeps each run short.
// It checks every request the tool builds against the record layout.
#pragma once

#include <cstring>

#include "SasLog01.h"
#include "common.h"
#include "drive_log.h"
#include "lib_binding.h"
#include "passthru_buffers.h"
#include "run_state.h"

namespace fake_drive {

inline const uint8_t* g_in = nullptr;
inline size_t g_left = 0;
inline unsigned g_requests = 0;
constexpr U32 kLargestAnswer = 1u << 20;

inline size_t take(U8* out, size_t n) {
    if (n > g_left) n = g_left;
    if (n > 0) memcpy(out, g_in, n);
    g_in += n;
    g_left -= n;
    return n;
}

inline int process(SL_LIB_CMD_PARAM_T* req) {
    ++g_requests;
    FUZZ_CHECK(req->cmdType == SL_CMD_TYPE_PASSTHRU && req->cmd == SL_CMD_PASSTHRU_SCSI);
    FUZZ_CHECK(req->pData == pstStorPassThr);
    auto* pt = static_cast<SCSI_PASSTHRU_T*>(req->pData);
    FUZZ_CHECK(pt->dataLen <= SCSI_PASSTHRU_BUFFER_SIZE - SCSI_PASSTHRU_HEADER_SIZE);
    FUZZ_CHECK(req->dataSize == pt->dataLen + SCSI_PASSTHRU_HEADER_SIZE);
    FUZZ_CHECK(pt->cdbLen == 10 && pt->dir == 2);
    if (pt->cdb[0] == 0x4D) {
        FUZZ_CHECK((pt->cdb[2] & 0xC0) == 0x40);
        FUZZ_CHECK(static_cast<U32>(pt->cdb[7] << 8 | pt->cdb[8]) == pt->dataLen);
    } else {
        FUZZ_CHECK(pt->cdb[0] == 0xFE);
        FUZZ_CHECK(static_cast<U32>(pt->cdb[6] << 16 | pt->cdb[7] << 8 | pt->cdb[8]) == (pt->dataLen & 0xFFFFFF));
    }
    U8 control = 0;
    if (take(&control, 1) == 0 || control < 0x20 || pt->dataLen > kLargestAnswer) {
        take(pt->senseData, sizeof pt->senseData);
        pt->scsiStatus = 2;
        return 0x0A;
    }
    take(passthru_data(pt), pt->dataLen);
    return 0;
}

// Starts a run over one input; fpLog is an in-memory file.
inline void begin(const uint8_t* data, size_t size, char** text, size_t* len) {
    static SCSI_PASSTHRU_T* buffer = static_cast<SCSI_PASSTHRU_T*>(calloc(1, SCSI_PASSTHRU_BUFFER_SIZE));
    FUZZ_CHECK(buffer != nullptr);
    pstStorPassThr = buffer;
    ProcessLibCommandF = process;
    g_in = data;
    g_left = size;
    g_requests = 0;
    iCommandFlg = 1;  // no error log
    fpLog = open_memstream(text, len);
    FUZZ_CHECK(fpLog != nullptr);
}

// Ends the run; the text is whole lines, each one of the given headers or a
// hex dump line of 1 to 16 values.
template <size_t N>
inline void end_and_check(char** text, size_t* len, const char* const (&headers)[N], bool pageHeaders) {
    fclose(fpLog);  // sets *text and *len
    fpLog = nullptr;
    std::string all(*text, *len);
    free(*text);
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos);
        std::string line = all.substr(at, end - at);
        at = end + 2;
        bool known = false;
        for (const char* h : headers) known = known || line == h;
        if (pageHeaders && line.size() == 8 && line.compare(0, 5, "<Page") == 0 && line[7] == '>') known = true;
        if (known) continue;
        FUZZ_CHECK(!line.empty() && line.size() % 3 == 0 && line.size() <= 48);
        for (size_t k = 0; k < line.size(); k += 3)
            FUZZ_CHECK(line[k] == ' ' && isxdigit(static_cast<unsigned char>(line[k + 1])) &&
                       isxdigit(static_cast<unsigned char>(line[k + 2])));
    }
}

}  // namespace fake_drive
