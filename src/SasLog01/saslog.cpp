// The log pages of one SAS disk, written into its open drive log.
#include <cstdio>
#include <cstdlib>

#include "KstErr01.h"
#include "SasLog01.h"
#include "be.h"
#include "drive_log.h"
#include "hexdump.h"
#include "interrupt.h"
#include "passthru_buffers.h"
#include "run_state.h"

namespace {

constexpr U8 kSupportedPages = 0x00;
constexpr U32 kPageHeaderLen = 4;
// The allocation length field of LOG SENSE has 16 bits.
constexpr U32 kMaxAllocLen = 0xFFFF;

// Whole length of a log page from its header: the page length field plus the
// header. Up to 65,539: more than an allocation length can ask for.
U32 page_total(const U8* header) { return be::get16(header + 2) + kPageHeaderLen; }

// One LOG SENSE into the shared buffer; a failure is reported here, once.
bool log_sense(int iCtrl, int16_t sTgtId, U8 ucPage, U32 uiAllocLen) {
    if (StoreLogSense(iCtrl, sTgtId, ucPage, 0, static_cast<U16>(uiAllocLen), pstStorPassThr, &gtErrInf) == 1)
        return true;
    sas_cmnd_err(iCtrl, sTgtId, &gtErrInf);
    return false;
}

// What a page read gave: the bytes that arrived (and are dumped), what its
// header claims, and whether it is the page asked for.
struct PageAnswer {
    U32 arrived = 0;
    U32 claimed = 0;
    bool samePage = false;
};

// Reads a page in two steps: its header to learn the length, then the whole
// page, and reports an answer that does not add up. Returns false when a
// request failed (already reported).
bool read_page(int iCtrl, int16_t sTgtId, U8 ucPage, PageAnswer* answer) {
    const U8* data = passthru_data(pstStorPassThr);
    char what[16];
    snprintf(what, sizeof what, "Page%02x", ucPage);
    *answer = PageAnswer{};

    if (!log_sense(iCtrl, sTgtId, ucPage, kPageHeaderLen)) return false;
    U32 got = passthru_arrived(pstStorPassThr, kPageHeaderLen);
    if (got < kPageHeaderLen) {
        // No length to go by: what came is all there is.
        short_transfer_err(iCtrl, sTgtId, what, got, kPageHeaderLen);
        answer->arrived = got;
        return true;
    }
    const U32 total = page_total(data);
    const U32 asked = total > kMaxAllocLen ? kMaxAllocLen : total;
    if (asked < total) length_capped_err(iCtrl, sTgtId, what, total, asked);

    if (!log_sense(iCtrl, sTgtId, ucPage, asked)) return false;
    got = passthru_arrived(pstStorPassThr, asked);
    answer->arrived = got;
    if (got < kPageHeaderLen) {
        short_transfer_err(iCtrl, sTgtId, what, got, asked);
        return true;
    }
    answer->claimed = page_total(data);
    const U8 answered = data[0] & 0x3F;
    answer->samePage = answered == (ucPage & 0x3F);
    // A length beyond what arrived is expected only where we capped it.
    const bool capped = asked < total && got == asked;
    if (!answer->samePage || (answer->claimed > got && !capped)) {
        inconsistent_answer_err(iCtrl, sTgtId, ucPage, answered, answer->claimed, got);
    } else if (got < asked) {
        short_transfer_err(iCtrl, sTgtId, what, got, asked);
    }
    return true;
}

}  // namespace

int SASHddLogDumpauto(int iCtrl, int16_t sTgtId) {
    const U8* data = passthru_data(pstStorPassThr);

    PageAnswer list;
    if (!read_page(iCtrl, sTgtId, kSupportedPages, &list)) return DUMP_COMMAND_FAILED;

    // The list is copied out before the buffer is reused for the pages. Only
    // entries that arrived count, and another page's bytes are no list. Page
    // 00 can stand only first: a 00 after it is the zero fill of a short
    // answer and ends the list.
    U8 pages[LOG_PAGE_TABLE_SIZE];
    size_t count = 0;
    if (list.samePage) {
        const U32 end = list.claimed < list.arrived ? list.claimed : list.arrived;
        for (U32 k = kPageHeaderLen; k < end && count < LOG_PAGE_TABLE_SIZE; ++k) {
            if (data[k] == kSupportedPages && count > 0) break;
            pages[count++] = data[k];
        }
    }

    for (size_t k = 0; k < count; ++k) {
        // The header line goes out before the request, so that a page that
        // fails is still named in the file.
        if (fprintf(fpLog, "<Page%02x>\r\n", pages[k]) < 0 || fflush(fpLog) != 0) return DUMP_WRITE_FAILED;
        interrupt_point();
        PageAnswer page;
        if (!read_page(iCtrl, sTgtId, pages[k], &page)) return DUMP_COMMAND_FAILED;
        if (!hex_dump(fpLog, data, page.arrived) || fflush(fpLog) != 0) return DUMP_WRITE_FAILED;
        interrupt_point();
    }
    return DUMP_DONE;
}

int Get_SASHdd_Log(int iCtrl, int16_t sTgtId, const char* pcDevCode) {
    pstStorPassThr = static_cast<SCSI_PASSTHRU_T*>(malloc(SCSI_PASSTHRU_BUFFER_SIZE));
    if (pstStorPassThr == nullptr) {
        // The file keeps its identity lines; the next disk may fare better.
        mem_err();
        return DUMP_DONE;
    }
    int result = SASHddLogDumpauto(iCtrl, sTgtId);
    // The internal log is worth having even when a log page failed, but not
    // when the file can no longer be written.
    if (result != DUMP_WRITE_FAILED && Chk_RQ50_HDD(pcDevCode) == 0 && iInternalLogFlg == 1) {
        result = RQ50LogDump(iCtrl, sTgtId);
    }
    Mem_Free();
    return result == DUMP_WRITE_FAILED ? DUMP_WRITE_FAILED : DUMP_DONE;
}
