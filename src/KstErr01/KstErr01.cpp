// Error reporting. Every reporter goes through report(), so that the record
// order (log first, flushed, then the red console line) is the same for all
// failure classes.
#include "KstErr01.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "console_colour.h"
#include "errinfo.h"
#include "error_log.h"
#include "interrupt.h"
#include "run_state.h"

namespace {

// Records of failures reported before the error log was opened (the library
// binding comes first in a run); written first once it is open, so that the
// log holds every failure in the order the console showed them.
std::string g_pending;
std::string g_errLogPath;
bool g_errLogWriteReported = false;

void write_record(const char* text) {
    bool ok = fputs(text, gfpErrLog) >= 0;
    if (fflush(gfpErrLog) != 0) ok = false;
    if (ok || g_errLogWriteReported) return;
    // A full or removed log directory: the engineer must learn that the error
    // log is not complete. Said once; the run goes on.
    g_errLogWriteReported = true;
    fputs(colour::kRed, stdout);
    fprintf(stdout, " File Write Error(%s)\n", g_errLogPath.c_str());
    fputs(colour::kReset, stdout);
}

}  // namespace

void report(const char* logText, const char* consoleText) {
    // The error log exists only in runs without arguments; a record must be on
    // disk before we go on, since an interrupt or a crash of the vendor
    // library may end the run at any moment.
    if (iCommandFlg == 0 && logText != nullptr) {
        if (gfpErrLog != nullptr)
            write_record(logText);
        else if (g_errLogPath.empty())
            g_pending += logText;
    }
    fputs(colour::kRed, stdout);
    if (consoleText != nullptr) fputs(consoleText, stdout);
    fputs(colour::kReset, stdout);
    // The console may be a slow serial line or a pipe: make the message
    // visible before the next (possibly long) step starts.
    fflush(stdout);
    interrupt_point();
}

void error_log_opened(const char* path) {
    g_errLogPath = path ? path : "";
    g_errLogWriteReported = false;
    if (gfpErrLog != nullptr && !g_pending.empty()) write_record(g_pending.c_str());
    g_pending.clear();
}

void report_text(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        vsnprintf(text.data(), text.size(), fmt, again);
        text.resize(static_cast<size_t>(n));
    }
    va_end(again);
    report(text.c_str(), text.c_str());
}

namespace {

// Reporters that show the same text in the log and on the console. A path
// too long for the fixed buffer is still reported in full: the message is
// about that path, and cutting it would name another file.
void report_same(const char* fmt, const char* value) {
    char fixed[512];
    const char* text = fixed;
    char* heap = nullptr;
    int n = snprintf(fixed, sizeof fixed, fmt, value);
    if (n < 0) {
        text = fmt;
    } else if (static_cast<size_t>(n) >= sizeof fixed) {
        heap = new (std::nothrow) char[static_cast<size_t>(n) + 1];
        if (heap != nullptr) {
            snprintf(heap, static_cast<size_t>(n) + 1, fmt, value);
            text = heap;
        }
    }
    report(text, text);
    delete[] heap;
}

// "H%02xT%02x Command error , ": ids are shown as their unsigned bit
// pattern, as the controller tools show them. The blank before the comma is
// the system's own text, kept on purpose: logdump-report and the field's
// tools find the record by it.
size_t detail_prefix(char* buf, size_t size, int iCtrl, int iTgtId) {
    int n =
        snprintf(buf, size, "H%02xT%02x Command error , ", static_cast<unsigned>(iCtrl), static_cast<unsigned>(iTgtId));
    return n < 0 ? 0 : static_cast<size_t>(n);
}

// The detail line from `len` on: n bytes, each in `form` (" %02x" or
// "%02x "). Returns the new length.
size_t put_bytes(char* line, size_t size, size_t len, const U8* bytes, int n, const char* form) {
    for (int i = 0; i < n; ++i) len += static_cast<size_t>(snprintf(line + len, size - len, form, bytes[i]));
    return len;
}

const char kHddConsole[] = " HDD Log Dump Error\n";

void report_detail(const char* line) {
    char record[300];
    snprintf(record, sizeof record, "%s\r\n", line);
    report(record, kHddConsole);
}

}  // namespace

void file_open_err(const char* path) { report_same(" File Open Error(%s)\n", path ? path : ""); }

void file_write_err(const char* path) { report_same(" File Write Error(%s)\n", path ? path : ""); }

// "Contoroller" is the system's own spelling, kept on purpose: logdump-report
// and the field's scripts look for this very text. Do not mend it.
void controller_none_err() { report(" RAID Contoroller is not Found\n", " RAID Contoroller is not Found\n"); }

void mem_err() { report(" Memory Allocation Error\n", " Memory Allocation Error\n"); }

void sys_cmnd_err(const char* text) { report_same(" %s\n\n", text ? text : ""); }

void sas_cmnd_err(int iCtrl, int iTgtId, const ERRINFO* ptErrInfo) {
    // Widest case: two 8-digit ids give 137 characters; 256 leaves room.
    char line[256];
    memset(line, 0, sizeof line);
    size_t len = detail_prefix(line, sizeof line, iCtrl, iTgtId);
    len = put_bytes(line, sizeof line, len, ptErrInfo->ucCdb, 10, "%02x ");
    len += static_cast<size_t>(snprintf(line + len, sizeof line - len, ", "));
    len += static_cast<size_t>(
        snprintf(line + len, sizeof line - len, "%08x, ", static_cast<unsigned>(ptErrInfo->iApiErr)));
    put_bytes(line, sizeof line, len, ptErrInfo->ucSense, 20, "%02x ");
    report_detail(line);
}

void sata_cmnd_err(int iCtrl, int iTgtId, const ERRINFOSTP* ptErrInfo) {
    char line[256];
    memset(line, 0, sizeof line);
    const size_t len = detail_prefix(line, sizeof line, iCtrl, iTgtId);
    put_bytes(line, sizeof line, len, ptErrInfo->ucfisResBuff, 20, " %02x");
    report_detail(line);
}

void controller_count_err(int count) { report_text(" Controller Count Too Large(%d)\n", count); }

void empty_log_err(const char* path) { report_text(" Empty Log(%s)\n", path ? path : ""); }

void inconsistent_answer_err(int iCtrl, int iTgtId, unsigned page, unsigned answered, unsigned claimed,
                             unsigned arrived) {
    report_text(" Inconsistent Answer(H%02xT%02x Page%02x: page %02x, %u bytes claimed, %u arrived)\n",
                static_cast<unsigned>(iCtrl), static_cast<unsigned>(iTgtId), page, answered, claimed, arrived);
}

void short_transfer_err(int iCtrl, int iTgtId, const char* what, unsigned arrived, unsigned asked) {
    report_text(" Short Transfer(H%02xT%02x %s: %u of %u bytes)\n", static_cast<unsigned>(iCtrl),
                static_cast<unsigned>(iTgtId), what, arrived, asked);
}

void length_capped_err(int iCtrl, int iTgtId, const char* what, unsigned needed, unsigned asked) {
    report_text(" Length Capped(H%02xT%02x %s: %u bytes needed, %u asked)\n", static_cast<unsigned>(iCtrl),
                static_cast<unsigned>(iTgtId), what, needed, asked);
}

void space_reserve_err(const char* path, unsigned long long needed, unsigned long long available,
                       unsigned long long kept) {
    report_text(" Space Reserve(%s: %llu bytes needed, %llu free, %llu kept)\n", path, needed, available, kept);
}

void space_skip_err(const char* path) { report_text(" Space Reserve(%s: skipped)\n", path); }

void ldd_err() { report("ldd Command Error.\n", "ldd Command Error.\n"); }

void dependency_missing_err(const char* path) { report_text("File is not Found(%s).\n", path); }

void bind_open_err(const char* path) { report_text("File Open Error(%s).\n", path); }

void library_load_err(const char* path) { report_text("Library Load Error(%s).\n", path); }

void controller_info_err(int iCtrl, unsigned result) {
    report_text("Controller %d : Controller Information Get Error. %08x\n", iCtrl, result);
}

void physical_info_err(int iCtrl, unsigned result) {
    report_text("Controller %d : Physical Information Get Error. %08x\n", iCtrl, result);
}

void time_limit_err(unsigned limit_s, const char* command) {
    // The whole command line: it says which step hung.
    report_text(" Time Limit Exceeded(%u s: %s)\n", limit_s, command);
}

void file_interrupted_err() {
    // The record is prepared by the interrupt module, which may also have to
    // write it from a signal handler.
    if (const char* record = interrupted_file_record()) report(record, record);
}
