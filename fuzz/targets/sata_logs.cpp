// The extended collection of one SATA drive, from the real dumper against a
// drive that answers from the input: the IDENTIFY data first (its length in
// the first byte, in units of 4), then for each request one control byte
// (below 0x20: the library refuses it; below 0x40: the drive aborts it) and
// as many data bytes as were asked and are left. Every request must fit the
// 32 KiB buffer, ask only for logs and pages that are there to read, and the
// drive log must be whole lines of the agreed forms.
#include <algorithm>
#include <cstring>
#include <string>

#include "Kestra02.h"
#include "SatLog01.h"
#include "atafis.h"
#include "common.h"

namespace {

const uint8_t* g_in = nullptr;
size_t g_left = 0;
unsigned g_requests = 0;

size_t take(U8* out, size_t n) {
    n = std::min(n, g_left);
    if (n > 0) memcpy(out, g_in, n);
    g_in += n;
    g_left -= n;
    return n;
}

int process(SL_LIB_CMD_PARAM_T* req) {
    ++g_requests;
    FUZZ_CHECK(req->cmdType == SL_CMD_TYPE_PASSTHRU && req->cmd == SL_CMD_PASSTHRU_STP);
    auto* pt = static_cast<SL_STP_PASSTHRU_T*>(req->pData);
    FUZZ_CHECK(pt == pstStorPassThrStp);
    FUZZ_CHECK(pt->dataLen <= STP_PASSTHRU_BUFFER_SIZE - STP_DATA_OFFSET);
    FUZZ_CHECK(req->dataSize == pt->dataLen + STP_DATA_OFFSET);
    const U8* fis = reinterpret_cast<const U8*>(pt->fis);
    FUZZ_CHECK(fis[0] == 0x27 && fis[1] == 0x80);
    const U32 count = fis[12] | fis[13] << 8;
    if (fis[2] == ATA_READ_LOG_EXT) {
        const U32 page = fis[5] | fis[9] << 8;
        FUZZ_CHECK(count >= 1 && count <= 64 && page + count <= 0x10000 && pt->dataLen == count * 512);
    } else if (fis[2] == ATA_SMART && fis[3] == SMART_READ_LOG) {
        FUZZ_CHECK(count >= 1 && count <= 64 && pt->dataLen == count * 512);
    }
    U8 control = 0;
    if (take(&control, 1) == 0 || control < 0x20) return 0x21;
    U8* resp = stp_response(pt);
    resp[0] = 0x34;
    resp[2] = control < 0x40 ? 0x51 : 0x50;
    // LBA mid/high of the answer, for SMART RETURN STATUS.
    take(resp + 5, 2);
    if (pt->dir == STP_DIR_IN && control >= 0x40) take(stp_data(pt), pt->dataLen);
    return 0;
}

bool is_hex_line(const std::string& line) {
    if (line.empty() || line.size() % 3 != 0 || line.size() > 48) return false;
    for (size_t k = 0; k < line.size(); k += 3)
        if (line[k] != ' ' || !isxdigit(static_cast<unsigned char>(line[k + 1])) ||
            !isxdigit(static_cast<unsigned char>(line[k + 2])))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static auto* buffer = static_cast<SL_STP_PASSTHRU_T*>(calloc(1, STP_PASSTHRU_BUFFER_SIZE));
    FUZZ_CHECK(buffer != nullptr);
    const U32 got = std::min<U32>(static_cast<U32>(data[0]) * 4, 512);
    U8 identify[512] = {};
    g_in = data + 1;
    g_left = size - 1;
    take(identify, got);
    g_requests = 0;
    pstStorPassThrStp = buffer;
    ProcessLibCommandF = process;
    iCommandFlg = 1;  // no error log
    char* text = nullptr;
    size_t len = 0;
    fpLog = open_memstream(&text, &len);
    FUZZ_CHECK(fpLog != nullptr);
    FUZZ_CHECK(SATAHddExtLogDump(0, 5, identify, got) == DUMP_DONE);
    fclose(fpLog);
    fpLog = nullptr;
    pstStorPassThrStp = nullptr;
    // IDENTIFY is not sent again; SMART: 4 commands, 3 logs; the general-
    // purpose directory, log 04 with at most 255 pages, 07 and 03 with two
    // each, 10 and 11 with 4 pieces each.
    FUZZ_CHECK(g_requests <= 4 + 3 + 1 + 256 + 4 + 8);

    std::string all(text, len);
    free(text);
    for (size_t at = 0; at < all.size();) {
        const size_t end = all.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos);
        const std::string line = all.substr(at, end - at);
        at = end + 2;
        const bool tag = line.size() > 6 && line.compare(0, 5, "<ATA ") == 0 && line.back() == '>';
        const bool status =
            line.find(" (") != std::string::npos && line.back() == ')' &&
            (line.rfind("passed", 0) == 0 || line.rfind("threshold exceeded", 0) == 0 || line.rfind("unknown", 0) == 0);
        FUZZ_CHECK(tag || status || is_hex_line(line));
    }
    return 0;
}
