// The log pages of one SAS disk, written into its open drive log; with the
// extended collection also its subpages and its grown defect count.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "KstErr01.h"
#include "SasLog01.h"
#include "be.h"
#include "block_writer.h"
#include "drive_log.h"
#include "passthru_buffers.h"
#include "run_state.h"

namespace {

constexpr U8 kSupportedPages = 0x00;
constexpr U8 kAllSubpages = 0xFF;
constexpr U32 kPageHeaderLen = 4;
// The allocation length field of LOG SENSE has 16 bits.
constexpr U32 kMaxAllocLen = 0xFFFF;
// Byte 0 of a log page: DS (bit 7), SPF (bit 6), page code (bits 5..0).
constexpr U8 kPageCodeMask = 0x3F;
constexpr U8 kSpf = 0x40;

// READ DEFECT DATA(10): the grown list, its 4-byte header only. Asked in
// the bytes-from-index format; a drive that keeps another returns its own,
// and the header's format field says which.
constexpr U8 kDefectFormatBytesFromIndex = 4;
constexpr U32 kDefectHeaderLen = 4;

// Whole length of a log page from its header: the page length field plus the
// header. Up to 65,539: more than an allocation length can ask for.
U32 page_total(const U8* header) { return be::get16(header + 2) + kPageHeaderLen; }

// How a request ended. A failure is reported where it happens, once, but
// for an ILLEGAL REQUEST that the caller takes as an answer.
enum class Sent { Ok, Failed, IllegalRequest };

Sent log_sense(int iCtrl, int16_t sTgtId, U8 ucPage, U8 ucSubPage, U32 uiAllocLen, bool illegalIsAnswer) {
    const auto alloc = static_cast<U16>(uiAllocLen);
    const int rc = ucSubPage == 0
                       ? StoreLogSense(iCtrl, sTgtId, ucPage, 0, alloc, pstStorPassThr, &gtErrInf)
                       : StoreLogSenseSubpage(iCtrl, sTgtId, ucPage, ucSubPage, 0, alloc, pstStorPassThr, &gtErrInf);
    if (rc == 1) return Sent::Ok;
    if (illegalIsAnswer && answered_sense_key(gtErrInf) == SENSE_KEY_ILLEGAL_REQUEST) return Sent::IllegalRequest;
    sas_cmnd_err(iCtrl, sTgtId, &gtErrInf);
    return Sent::Failed;
}

// What a page read gave: the bytes that arrived (and are dumped), what its
// header claims, and whether it is the page asked for.
struct PageAnswer {
    U32 arrived = 0;
    U32 claimed = 0;
    bool samePage = false;
};

// Reads a page (a subpage when ucSubPage is not 0) in two steps: its header
// to learn the length, then the whole page, and reports an answer that does
// not add up.
Sent read_page(int iCtrl, int16_t sTgtId, U8 ucPage, U8 ucSubPage, PageAnswer* answer, bool illegalIsAnswer = false) {
    const U8* data = passthru_data(pstStorPassThr);
    char what[24];
    if (ucSubPage == 0)
        snprintf(what, sizeof what, "Page%02x", ucPage);
    else
        snprintf(what, sizeof what, "Subpage%02x.%02x", ucPage, ucSubPage);
    *answer = PageAnswer{};

    Sent sent = log_sense(iCtrl, sTgtId, ucPage, ucSubPage, kPageHeaderLen, illegalIsAnswer);
    if (sent != Sent::Ok) return sent;
    U32 got = passthru_arrived(pstStorPassThr, kPageHeaderLen);
    if (got < kPageHeaderLen) {
        // No length to go by: what came is all there is.
        short_transfer_err(iCtrl, sTgtId, what, got, kPageHeaderLen);
        answer->arrived = got;
        return Sent::Ok;
    }
    const U32 total = page_total(data);
    const U32 asked = total > kMaxAllocLen ? kMaxAllocLen : total;
    if (asked < total) length_capped_err(iCtrl, sTgtId, what, total, asked);

    sent = log_sense(iCtrl, sTgtId, ucPage, ucSubPage, asked, illegalIsAnswer);
    if (sent != Sent::Ok) return sent;
    got = passthru_arrived(pstStorPassThr, asked);
    answer->arrived = got;
    if (got < kPageHeaderLen) {
        short_transfer_err(iCtrl, sTgtId, what, got, asked);
        return Sent::Ok;
    }
    answer->claimed = page_total(data);
    const U8 answered = data[0] & kPageCodeMask;
    // A subpage answers with SPF set and its subpage code in byte 1.
    answer->samePage =
        answered == (ucPage & kPageCodeMask) && (ucSubPage == 0 || ((data[0] & kSpf) != 0 && data[1] == ucSubPage));
    // A length beyond what arrived is expected only where we capped it.
    const bool capped = asked < total && got == asked;
    if ((!answer->samePage && ucSubPage != kAllSubpages) || (answer->claimed > got && !capped)) {
        inconsistent_answer_err(iCtrl, sTgtId, ucPage, answered, answer->claimed, got);
    } else if (got < asked) {
        short_transfer_err(iCtrl, sTgtId, what, got, asked);
    }
    return Sent::Ok;
}

// A failed page ends the walk only when the drive did not answer: a drive
// that answered CHECK CONDITION for one page may well have the next, but a
// request that never reached it (or timed out) is not worth repeating.
bool walk_goes_on() { return answered_sense_key(gtErrInf) >= 0; }

// The tag of a page or subpage (subpage 0: the page of the walk).
const char* page_tag(char (&buf)[24], U8 ucPage, U8 ucSubPage, bool subpage) {
    if (subpage)
        snprintf(buf, sizeof buf, "<Subpage%02x.%02x>", ucPage, ucSubPage);
    else
        snprintf(buf, sizeof buf, "<Page%02x>", ucPage);
    return buf;
}

constexpr size_t kSubpageTagLine = sizeof "<Subpage00.00>\r\n" - 1;

// What a block ended with when the writer stopped: a failed write, or no
// room left (reported, nothing more for this disk).
int stopped_result() { return BlockWriter::result() == DUMP_WRITE_FAILED ? DUMP_WRITE_FAILED : DUMP_COMMAND_FAILED; }

// The subpages the disk lists, each under <SubpagePP.SS>. Returns
// DUMP_COMMAND_FAILED when the walk ended early.
int dump_subpages(const BlockWriter& w, int iCtrl, int16_t sTgtId) {
    const U8* data = passthru_data(pstStorPassThr);
    char tag[24];
    if (!w.room(kSubpageTagLine + hex_text_size(kMaxAllocLen))) return DUMP_COMMAND_FAILED;
    PageAnswer list;
    // A drive that refuses the list has no subpages: nothing to record.
    if (read_page(iCtrl, sTgtId, kSupportedPages, kAllSubpages, &list, true) != Sent::Ok) return DUMP_DONE;
    LogSubpage pairs[LOG_SUBPAGE_TABLE_SIZE];
    const size_t count = subpage_list(data, list.arrived, pairs, LOG_SUBPAGE_TABLE_SIZE);
    // Only the list itself goes into the file: a plain page 00h sent by a
    // drive that ignores the subpage field is no list of subpages.
    if (list.samePage && !w.block(page_tag(tag, kSupportedPages, kAllSubpages, true), data, list.arrived))
        return DUMP_WRITE_FAILED;
    for (size_t k = 0; k < count; ++k) {
        if (!w.begin(page_tag(tag, pairs[k].page, pairs[k].subpage, true), kMaxAllocLen)) return stopped_result();
        PageAnswer page;
        if (read_page(iCtrl, sTgtId, pairs[k].page, pairs[k].subpage, &page) != Sent::Ok) {
            if (walk_goes_on()) continue;
            return DUMP_COMMAND_FAILED;
        }
        if (!w.dump(data, page.arrived)) return DUMP_WRITE_FAILED;
    }
    return DUMP_DONE;
}

// The header of the grown defect list under <Grown Defects>.
int dump_grown_defects(const BlockWriter& w, int iCtrl, int16_t sTgtId) {
    if (!w.begin("<Grown Defects>", kDefectHeaderLen)) return stopped_result();
    if (StoreReadDefect(iCtrl, sTgtId, false, true, kDefectFormatBytesFromIndex, kDefectHeaderLen, pstStorPassThr,
                        &gtErrInf) != 1) {
        if (answered_sense_key(gtErrInf) == SENSE_KEY_ILLEGAL_REQUEST) {
            // A drive without the command: said once, in the block.
            return w.line("Not supported (ILLEGAL REQUEST)") ? DUMP_DONE : DUMP_WRITE_FAILED;
        }
        sas_cmnd_err(iCtrl, sTgtId, &gtErrInf);
        return DUMP_COMMAND_FAILED;
    }
    const U32 got = passthru_arrived(pstStorPassThr, kDefectHeaderLen);
    if (got < kDefectHeaderLen) short_transfer_err(iCtrl, sTgtId, "GrownDefects", got, kDefectHeaderLen);
    return w.dump(passthru_data(pstStorPassThr), got) ? DUMP_DONE : DUMP_WRITE_FAILED;
}

}  // namespace

size_t subpage_list(const U8* data, U32 got, LogSubpage* out, size_t room) {
    if (got < kPageHeaderLen || (data[0] & (kSpf | kPageCodeMask)) != (kSpf | kSupportedPages) ||
        data[1] != kAllSubpages)
        return 0;
    const U32 claimed = page_total(data);
    const U32 end = claimed < got ? claimed : got;
    size_t n = 0;
    for (U32 k = kPageHeaderLen; k + 1 < end && n < room; k += 2) {
        const U8 sub = data[k + 1];
        if (sub == 0x00 || sub == kAllSubpages) continue;
        out[n++] = LogSubpage{static_cast<U8>(data[k] & kPageCodeMask), sub};
    }
    return n;
}

int SASHddLogDumpauto(int iCtrl, int16_t sTgtId) {
    const U8* data = passthru_data(pstStorPassThr);

    PageAnswer list;
    if (read_page(iCtrl, sTgtId, kSupportedPages, 0, &list) != Sent::Ok) return DUMP_COMMAND_FAILED;

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

    const BlockWriter w(iCtrl, sTgtId);
    int result = DUMP_DONE;
    char tag[24];
    for (size_t k = 0; k < count; ++k) {
        // The header line goes out before the request, so that a page that
        // fails is still named in the file.
        if (!w.tag(page_tag(tag, pages[k], 0, false))) return DUMP_WRITE_FAILED;
        PageAnswer page;
        if (read_page(iCtrl, sTgtId, pages[k], 0, &page) != Sent::Ok) {
            if (!walk_goes_on()) return DUMP_COMMAND_FAILED;
            result = DUMP_COMMAND_FAILED;
            continue;
        }
        if (!w.dump(data, page.arrived)) return DUMP_WRITE_FAILED;
    }
    return result;
}

int SASHddExtLogDump(int iCtrl, int16_t sTgtId) {
    const BlockWriter w(iCtrl, sTgtId);
    const int subpages = dump_subpages(w, iCtrl, sTgtId);
    if (subpages == DUMP_WRITE_FAILED) return subpages;
    // Out of room: nothing more for this disk.
    if (space_exhausted()) return DUMP_COMMAND_FAILED;
    const int defects = dump_grown_defects(w, iCtrl, sTgtId);
    return defects != DUMP_DONE ? defects : subpages;
}

int Get_SASHdd_Log(int iCtrl, int16_t sTgtId, const char* pcDevCode) {
    pstStorPassThr = static_cast<SCSI_PASSTHRU_T*>(malloc(SCSI_PASSTHRU_BUFFER_SIZE));
    if (pstStorPassThr == nullptr) {
        // The file keeps its identity lines; the next disk may fare better.
        mem_err();
        return DUMP_DONE;
    }
    int result = SASHddLogDumpauto(iCtrl, sTgtId);
    // The extended blocks and the internal log are worth having even when a
    // log page failed, but not when the file can no longer be written; the
    // internal log stays last.
    if (result != DUMP_WRITE_FAILED && iExtendedFlg == 1) result = SASHddExtLogDump(iCtrl, sTgtId);
    if (result != DUMP_WRITE_FAILED && !space_exhausted() && Chk_RQ50_HDD(pcDevCode) == 0 && iInternalLogFlg == 1) {
        result = RQ50LogDump(iCtrl, sTgtId);
    }
    Mem_Free();
    return result == DUMP_WRITE_FAILED ? DUMP_WRITE_FAILED : DUMP_DONE;
}
