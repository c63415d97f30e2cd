// The internal log of one drive family: four sections read with the vendor
// command 0xFE and appended to the drive log after the log pages.
#include <cstdio>
#include <cstring>

#include "KstErr01.h"
#include "SasLog01.h"
#include "be.h"
#include "block_writer.h"
#include "drive_log.h"
#include "passthru_buffers.h"
#include "run_state.h"

namespace {

// Models of the family, matched anywhere in the device code, letter case
// included.
constexpr const char* kModels[] = {"KZA4036TX", "KZA4072TX", "KZA4144TX", "KZB3036TX", "KZB3072TX"};

struct Section {
    U8 type;
    const char* header;
};
// "Interna" (without the l) is the system's own title, kept on purpose:
// logdump-report and the field's tools find the section by it. Do not mend it.
constexpr Section kSections[] = {
    {1, "<Drive Status Log>"},
    {2, "<Drive Interna Log>"},
    {4, "<Command Log>"},
    {8, "<Controller Internal Information>"},
};

constexpr U32 kSectionHeaderLen = 4;
// The CDB carries the transfer length in 24 bits.
constexpr U32 kMaxCdbLen = 0xFFFFFF;

// Bytes 1..3 hold the length less 3. At most 0xFFFFFF + 3, which the data
// area of the pass-through buffer holds.
U32 section_length(const U8* data) { return be::get24(data + 1) + 3u; }

// The header line of a section with its CR LF.
size_t header_size(U8 ucLogType) {
    for (const Section& s : kSections)
        if (s.type == ucLogType) return strlen(s.header) + 2;
    return 0;
}

bool request(int iCtrl, int16_t sTgtId, U8 ucLogType, U32 uiLen) {
    // A fresh record header. Bytes the drive does not deliver must show as
    // 00, not as the previous section's data: SendStor zeroes the asked
    // length of the data area, and no byte beyond it is read. Zeroing the
    // whole 16 MiB here too cost more than the section's hex dump.
    memset(pstStorPassThr, 0, SCSI_PASSTHRU_HEADER_SIZE);
    if (StorRequestInternalLog(iCtrl, sTgtId, ucLogType, 0, static_cast<int32_t>(uiLen), pstStorPassThr, &gtErrInf) ==
        1) {
        return true;
    }
    sas_cmnd_err(iCtrl, sTgtId, &gtErrInf);
    return false;
}

}  // namespace

int Chk_RQ50_HDD(const char* pcDevCode) {
    for (const char* model : kModels) {
        if (strstr(pcDevCode, model) != nullptr) return 0;
    }
    return -1;
}

int Get_Internal_Log(int iCtrl, int16_t sTgtId, U8 ucLogType, U32* puiLen) {
    char what[16];
    snprintf(what, sizeof what, "Section%02x", ucLogType);
    if (!request(iCtrl, sTgtId, ucLogType, kSectionHeaderLen)) return -1;
    U32 got = passthru_arrived(pstStorPassThr, kSectionHeaderLen);
    if (got < kSectionHeaderLen) {
        // Without its length the section cannot be asked for.
        short_transfer_err(iCtrl, sTgtId, what, got, kSectionHeaderLen);
        return -1;
    }
    const U32 len = section_length(passthru_data(pstStorPassThr));
    // The CDB and the transfer length must agree: a drive that honours the
    // CDB would otherwise send the low 24 bits of the length and no more.
    const U32 asked = len > kMaxCdbLen ? kMaxCdbLen : len;

    // A section that would cut into the log directory's reserve is not read.
    if (!BlockWriter(iCtrl, sTgtId).room(header_size(ucLogType) + hex_text_size(asked))) return -1;
    if (asked < len) length_capped_err(iCtrl, sTgtId, what, len, asked);

    if (!request(iCtrl, sTgtId, ucLogType, asked)) return -1;
    got = passthru_arrived(pstStorPassThr, asked);
    if (got < asked) short_transfer_err(iCtrl, sTgtId, what, got, asked);
    *puiLen = got;
    return 0;
}

int RQ50LogDump(int iCtrl, int16_t sTgtId) {
    const BlockWriter w(iCtrl, sTgtId);
    for (const Section& s : kSections) {
        U32 len = 0;
        // A section that cannot be read leaves no header line behind, and
        // the ones after it are not asked for: its room was checked before
        // its request, and its header follows the answer.
        if (Get_Internal_Log(iCtrl, sTgtId, s.type, &len) != 0) return DUMP_COMMAND_FAILED;
        if (!w.block(s.header, passthru_data(pstStorPassThr), len)) return DUMP_WRITE_FAILED;
    }
    return DUMP_DONE;
}
