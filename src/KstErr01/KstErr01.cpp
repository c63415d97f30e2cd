// Error reporting. Every reporter goes through report(), so that the record
// order (log first, flushed, then the red console line) is the same for all
// failure classes.
#include "KstErr01.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "Kestra02.h"
#include "SasLog01.h"
#include "interrupt.h"
#include "shell.h"

void report(const char* logText, const char* consoleText) {
    // The error log exists only in runs without arguments; a record must be on
    // disk before we go on, since an interrupt or a crash of the vendor
    // library may end the run at any moment.
    if (iCommandFlg == 0 && gfpErrLog != nullptr && logText != nullptr) {
        fputs(logText, gfpErrLog);
        fflush(gfpErrLog);
    }
    fputs("\033[31m", stdout);
    if (consoleText != nullptr) fputs(consoleText, stdout);
    fputs("\033[0m", stdout);
    // The console may be a slow serial line or a pipe: make the message
    // visible before the next (possibly long) step starts.
    fflush(stdout);
    interrupt_point();
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
// pattern, as the controller tools show them.
size_t detail_prefix(char* buf, size_t size, int iCtrl, int iTgtId) {
    int n = snprintf(buf, size, "H%02xT%02x Command error , ", static_cast<unsigned>(iCtrl),
                     static_cast<unsigned>(iTgtId));
    return n < 0 ? 0 : static_cast<size_t>(n);
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

void controller_none_err() { report(" RAID Contoroller is not Found\n", " RAID Contoroller is not Found\n"); }

void mem_err() { report(" Memory Allocation Error\n", " Memory Allocation Error\n"); }

void sys_cmnd_err(const char* text) { report_same(" %s\n\n", text ? text : ""); }

void sas_cmnd_err(int iCtrl, int iTgtId, const ERRINFO* ptErrInfo) {
    // Widest case: two 8-digit ids give 137 characters; 256 leaves room.
    char line[256];
    memset(line, 0, sizeof line);
    size_t len = detail_prefix(line, sizeof line, iCtrl, iTgtId);
    for (int i = 0; i < 10; ++i) {
        len += static_cast<size_t>(snprintf(line + len, sizeof line - len, "%02x ", ptErrInfo->ucCdb[i]));
    }
    len += static_cast<size_t>(snprintf(line + len, sizeof line - len, ", "));
    len += static_cast<size_t>(
        snprintf(line + len, sizeof line - len, "%08x, ", static_cast<unsigned>(ptErrInfo->iApiErr)));
    for (int i = 0; i < 20; ++i) {
        len += static_cast<size_t>(snprintf(line + len, sizeof line - len, "%02x ", ptErrInfo->ucSense[i]));
    }
    report_detail(line);
}

void sata_cmnd_err(int iCtrl, int iTgtId, const ERRINFOSTP* ptErrInfo) {
    char line[256];
    memset(line, 0, sizeof line);
    size_t len = detail_prefix(line, sizeof line, iCtrl, iTgtId);
    for (int i = 0; i < 20; ++i) {
        len += static_cast<size_t>(snprintf(line + len, sizeof line - len, " %02x", ptErrInfo->ucfisResBuff[i]));
    }
    report_detail(line);
}
