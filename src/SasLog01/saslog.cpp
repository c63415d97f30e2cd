// The log pages of one SAS disk, written into its open drive log.
#include <cstdio>
#include <cstdlib>

#include "KstErr01.h"
#include "Kestra02.h"
#include "SasLog01.h"
#include "be.h"
#include "hexdump.h"
#include "interrupt.h"

namespace {

constexpr U8 kSupportedPages = 0x00;
constexpr U16 kPageHeaderLen = 4;

// Whole length of a log page from its header: the page length field plus the
// header, in 16 bits like the allocation length it becomes. A page length of
// 65,532 therefore gives 0, and the page is asked for with no bytes.
U16 page_total(const U8* header) { return static_cast<U16>(be::get16(header + 2) + kPageHeaderLen); }

// One LOG SENSE into the shared buffer; a failure is reported here, once.
bool log_sense(int iCtrl, int16_t sTgtId, U8 ucPage, U16 usAllocLen) {
    if (StoreLogSense(iCtrl, sTgtId, ucPage, 0, usAllocLen, pstStorPassThr, &gtErrInf) == 1) return true;
    sas_cmnd_err(iCtrl, sTgtId, &gtErrInf);
    return false;
}

// Reads a page in two steps: its header to learn the length, then the whole
// page. Returns false when a request failed (already reported).
bool read_page(int iCtrl, int16_t sTgtId, U8 ucPage, U16* pusTotal) {
    if (!log_sense(iCtrl, sTgtId, ucPage, kPageHeaderLen)) return false;
    const U16 total = page_total(passthru_data(pstStorPassThr));
    if (!log_sense(iCtrl, sTgtId, ucPage, total)) return false;
    *pusTotal = total;
    return true;
}

}  // namespace

int SASHddLogDumpauto(int iCtrl, int16_t sTgtId) {
    const U8* data = passthru_data(pstStorPassThr);

    U16 total = 0;
    if (!read_page(iCtrl, sTgtId, kSupportedPages, &total)) return DUMP_COMMAND_FAILED;

    // The list is copied out before the buffer is reused for the pages.
    U8 pages[LOG_PAGE_TABLE_SIZE];
    size_t count = total > kPageHeaderLen ? static_cast<size_t>(total - kPageHeaderLen) : 0;
    if (count > LOG_PAGE_TABLE_SIZE) count = LOG_PAGE_TABLE_SIZE;
    for (size_t k = 0; k < count; ++k) pages[k] = data[kPageHeaderLen + k];

    for (size_t k = 0; k < count; ++k) {
        // The header line goes out before the request, so that a page that
        // fails is still named in the file.
        if (fprintf(fpLog, "<Page%02x>\r\n", pages[k]) < 0 || fflush(fpLog) != 0) return DUMP_WRITE_FAILED;
        interrupt_point();
        if (!read_page(iCtrl, sTgtId, pages[k], &total)) return DUMP_COMMAND_FAILED;
        if (!hex_dump(fpLog, data, total) || fflush(fpLog) != 0) return DUMP_WRITE_FAILED;
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
