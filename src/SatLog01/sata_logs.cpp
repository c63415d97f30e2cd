// The extended collection of one SATA drive: IDENTIFY DEVICE, SMART data,
// thresholds and status, the SMART logs and the general-purpose logs, each
// block under a tag line of its own in the drive log. A command that fails
// is reported and the next block is tried; a log that its directory does
// not list is never asked for, unless IDENTIFY says the drive keeps it.
#include <cstdio>
#include <cstring>

#include "KstErr01.h"
#include "SatLog01.h"
#include "ata_logs.h"
#include "atafis.h"
#include "block_writer.h"
#include "libstoresata.h"
#include "passthru_buffers.h"
#include "shell.h"

namespace {

constexpr U32 kSmartDataLen = 512;
constexpr U32 kPage = ATA_LOG_PAGE_SIZE;
constexpr U8 kDirectory = 0x00;
// The longest line of the status block, with its CR LF.
constexpr size_t kStatusLineMax = sizeof "threshold exceeded (f4 2c)\r\n" - 1;

// The SMART logs read after the directory: the pages it lists, or the one
// sector each has by definition when the drive's IDENTIFY says it keeps the
// log and the directory is refused or leaves it out.
struct SmartLog {
    U8 address;
    U16 feature;  // its bit in IDENTIFY word 84
};
constexpr SmartLog kSmartLogs[] = {
    {0x01, ATA_FEATURE_SMART_ERROR_LOG},  // summary error log
    {0x06, ATA_FEATURE_SMART_SELF_TEST},  // self-test log
};

// The general-purpose logs read after their directory, when it lists them,
// and which of their pages.
enum class Pages {
    Listed,  // page 0, then every page that page 0 lists
    Newest,  // page 0, then the page holding the newest entry
    Whole,   // every page the directory gives, as one block
};
struct GplLog {
    U8 address;
    Pages pages;
    unsigned perPage;  // entries a page holds (Newest)
};
constexpr GplLog kGplLogs[] = {
    {0x04, Pages::Listed, 0},   // device statistics
    {0x07, Pages::Newest, 19},  // extended self-test log: 19 descriptors a page
    {0x03, Pages::Newest, 4},   // extended comprehensive error log: 4 error data structures a page
    {0x10, Pages::Whole, 0},    // NCQ command error
    {0x11, Pages::Whole, 0},    // SATA phy event counters
};
// A whole log beyond this many pages (128 KiB) is read in part.
constexpr U16 kWholeLogMaxPages = 256;

// The blocks of one drive, each read into the buffer pstStorPassThrStp
// (the caller's) and written through the block writer.
class SataLog {
public:
    SataLog(int iCtrl, int16_t sTgtId) : iCtrl_(iCtrl), sTgtId_(sTgtId), w_(iCtrl, sTgtId) {}

    void identify(const U8* id, U32 got) {
        if (w_.begin("<ATA IDENTIFY DEVICE>", ATA_IDENTIFY_LEN)) w_.dump(id, got);
    }

    void smart_data() {
        if (w_.begin("<ATA SMART READ DATA>", kSmartDataLen)) SATAHddLogDumpauto(iCtrl_, sTgtId_);
    }

    void thresholds() {
        if (w_.begin("<ATA SMART READ THRESHOLDS>", kSmartDataLen)) {
            U32 got = 0;
            arrived(StoreSmart(iCtrl_, sTgtId_, SMART_READ_THRESHOLDS, kSmartDataLen, buf(), &gtErrInfStp),
                    "SmartThresholds", kSmartDataLen, &got);
        }
    }

    // One line that names the verdict and keeps the two bytes it rests on.
    void status() {
        if (!w_.begin_text("<ATA SMART RETURN STATUS>", kStatusLineMax)) return;
        if (StoreSmart(iCtrl_, sTgtId_, SMART_RETURN_STATUS, 0, buf(), &gtErrInfStp) != 1) return failed();
        const SmartStatus s = smart_status(stp_response(buf()));
        const char* verdict = s.verdict == SmartVerdict::Passed              ? "passed"
                              : s.verdict == SmartVerdict::ThresholdExceeded ? "threshold exceeded"
                                                                             : "unknown";
        char line[kStatusLineMax];
        format_into(line, sizeof line, "%s (%02x %02x)", verdict, s.lbaMid, s.lbaHigh);
        w_.line(line);
    }

    void smart_logs(const U8* id, U32 idGot) {
        U32 got = 0;
        if (!w_.begin(smart_tag(kDirectory), kPage)) return;
        U8 dir[kPage] = {};
        if (read_smart_log(kDirectory, 1, &got)) memcpy(dir, data(), got);
        for (const SmartLog& log : kSmartLogs) {
            const U8 address = log.address;
            U16 listed = ata_log_pages(dir, got, address);
            if (listed == 0 && ata_feature_supported(id, idGot, log.feature)) listed = 1;
            if (listed == 0 || stopped()) continue;
            // SMART READ LOG always starts at the log's first sector: what
            // does not fit one transfer cannot be read.
            const U16 count = listed < ATA_LOG_PAGES_PER_TRANSFER ? listed : ATA_LOG_PAGES_PER_TRANSFER;
            if (!w_.begin(smart_tag(address), count * kPage)) return;
            if (count < listed) length_capped_err(iCtrl_, sTgtId_, what_smart(address), listed * kPage, count * kPage);
            U32 ignored = 0;
            read_smart_log(address, static_cast<U8>(count), &ignored);
        }
    }

    void gpl_logs() {
        U32 got = 0;
        if (!w_.begin(gpl_tag(kDirectory, 0), kPage) || !read_gpl(kDirectory, 0, 1, &got)) return;
        U8 dir[kPage] = {};
        memcpy(dir, data(), got);
        for (const GplLog& log : kGplLogs) {
            const U16 listed = ata_log_pages(dir, got, log.address);
            if (listed == 0 || stopped()) continue;
            if (log.pages == Pages::Whole) {
                whole_log(log.address, listed);
            } else if (log.pages == Pages::Listed) {
                listed_pages(log.address, listed);
            } else {
                newest_page(log.address, listed, log.perPage);
            }
        }
    }

private:
    int iCtrl_;
    int16_t sTgtId_;
    BlockWriter w_;
    char what_[24] = {};
    char tag_[40] = {};

    static bool stopped() { return BlockWriter::stopped(); }
    SL_STP_PASSTHRU_T* buf() { return pstStorPassThrStp; }
    const U8* data() { return stp_data(pstStorPassThrStp); }

    // The tag and the name in records of a SMART log, and of a page of a
    // general-purpose log.
    const char* smart_tag(U8 address) { return named(tag_, "<ATA SMART LOG %02x>", address); }
    const char* what_smart(U8 address) { return named(what_, "SmartLog%02x", address); }
    const char* gpl_tag(U8 address, U16 page) { return named(tag_, "<ATA GPL LOG %02x PAGE %04x>", address, page); }
    const char* what_gpl(U8 address, U16 page) { return named(what_, "GplLog%02x.%04x", address, page); }
    template <size_t N>
    static const char* named(char (&buf)[N], const char* fmt, unsigned a, unsigned b = 0) {
        format_into(buf, N, fmt, a, b);
        return buf;
    }

    void failed() { sata_cmnd_err(iCtrl_, sTgtId_, &gtErrInfStp); }

    // The outcome of a data-in command of `asked` bytes: the bytes that
    // arrived (a short answer recorded) go into the block; a failure is
    // recorded. False when it failed.
    bool arrived(int rc, const char* what, U32 asked, U32* got) {
        if (rc != 1) {
            failed();
            return false;
        }
        *got = stp_arrived(buf(), asked);
        if (*got < asked) short_transfer_err(iCtrl_, sTgtId_, what, *got, asked);
        w_.dump(data(), *got);
        return true;
    }

    bool read_smart_log(U8 address, U8 count, U32* got) {
        return arrived(StoreSmartReadLog(iCtrl_, sTgtId_, address, count, buf(), &gtErrInfStp), what_smart(address),
                       count * kPage, got);
    }

    // Pages [first, first + count) of a log, in pieces that fit the buffer,
    // into the current block; the buffer keeps the last piece. False when a
    // piece failed; a short piece ends the block.
    bool read_gpl(U8 address, U16 first, U16 count, U32* got) {
        for (U32 done = 0; done < count && !stopped();) {
            const U32 left = count - done;
            const auto n = static_cast<U16>(left < ATA_LOG_PAGES_PER_TRANSFER ? left : ATA_LOG_PAGES_PER_TRANSFER);
            const auto page = static_cast<U16>(first + done);
            if (!arrived(StoreReadLogExt(iCtrl_, sTgtId_, address, page, n, buf(), &gtErrInfStp),
                         what_gpl(address, page), n * kPage, got))
                return false;
            if (*got < n * kPage) break;
            done += n;
        }
        return true;
    }

    void whole_log(U8 address, U16 listed) {
        const U16 count = listed < kWholeLogMaxPages ? listed : kWholeLogMaxPages;
        if (!w_.begin(gpl_tag(address, 0), count * kPage)) return;
        if (count < listed) length_capped_err(iCtrl_, sTgtId_, what_gpl(address, 0), listed * kPage, count * kPage);
        U32 got = 0;
        read_gpl(address, 0, count, &got);
    }

    // Page 0, then each page it names that the log holds.
    void listed_pages(U8 address, U16 listed) {
        U32 got = 0;
        if (!w_.begin(gpl_tag(address, 0), kPage) || !read_gpl(address, 0, 1, &got)) return;
        U8 pages[kPage];
        const size_t n = ata_statistics_pages(data(), got, pages, sizeof pages);
        for (size_t k = 0; k < n; ++k) {
            if (pages[k] >= listed) continue;
            if (!w_.begin(gpl_tag(address, pages[k]), kPage)) return;
            read_gpl(address, pages[k], 1, &got);
        }
    }

    // Page 0, then the page holding the newest entry when that is another.
    void newest_page(U8 address, U16 listed, unsigned perPage) {
        U32 got = 0;
        if (!w_.begin(gpl_tag(address, 0), kPage) || !read_gpl(address, 0, 1, &got)) return;
        const U16 page = ata_newest_page(data(), got, perPage);
        if (page == 0 || page >= listed) return;
        if (w_.begin(gpl_tag(address, page), kPage)) read_gpl(address, page, 1, &got);
    }
};

}  // namespace

int SATAHddExtLogDump(int iCtrl, int16_t sTgtId, const U8* identify, U32 got) {
    SataLog log(iCtrl, sTgtId);
    log.identify(identify, got);
    log.smart_data();
    log.thresholds();
    log.status();
    log.smart_logs(identify, got);
    if (ata_feature_supported(identify, got, ATA_FEATURE_GPL)) log.gpl_logs();
    return BlockWriter::result();
}
