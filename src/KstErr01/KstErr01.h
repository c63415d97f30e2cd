// Error reporting: every failure class has one reporter. Each writes a
// flushed record to the error log (only in runs without arguments) and a
// console message framed by red and reset.
#pragma once

#include "errinfo.h"
#include "libstoresata.h"

void file_open_err(const char* path);
void file_write_err(const char* path);
void controller_none_err();
void mem_err();
void sys_cmnd_err(const char* text);
void sas_cmnd_err(int iCtrl, int iTgtId, const ERRINFO* ptErrInfo);
void sata_cmnd_err(int iCtrl, int iTgtId, const ERRINFOSTP* ptErrInfo);

// " Controller Count Too Large(%d)\n": a count above what the tool believes.
void controller_count_err(int count);
// " Empty Log(%s)\n": a controller log missing or empty after the CLI said
// success.
void empty_log_err(const char* path);
// Answers of a drive that do not add up. ids as in the SCSI detail line;
// `what` is "Inquiry", "PageXX" or "SectionXX".
void inconsistent_answer_err(int iCtrl, int iTgtId, unsigned page, unsigned answered, unsigned claimed,
                             unsigned arrived);
void short_transfer_err(int iCtrl, int iTgtId, const char* what, unsigned arrived, unsigned asked);
void length_capped_err(int iCtrl, int iTgtId, const char* what, unsigned needed, unsigned asked);
// A drive log or section not written to keep the log directory's reserve
// free, and each later drive log skipped for it.
void space_reserve_err(const char* path, unsigned long long needed, unsigned long long available,
                       unsigned long long kept);
void space_skip_err(const char* path);
// The binding of the storage library: ldd failed, a dependency it lists is
// missing, the library (or ldd's list) cannot be opened, the entry point is
// missing. Reported before the error log opens, recorded first once it does.
void ldd_err();
void dependency_missing_err(const char* path);
void bind_open_err(const char* path);
void library_load_err(const char* path);
// A failed information query of the drive scan, with the library's result.
void controller_info_err(int iCtrl, unsigned result);
void physical_info_err(int iCtrl, unsigned result);
// A shell command ended at its time limit: the limit and the command line.
void time_limit_err(unsigned limit_s, const char* command);
// " File Interrupted(%s)\n" for the drive log marked as being written
// (file_write_begin), when one is marked: an interrupt left it cut.
void file_interrupted_err();

// The same text to the log and the console, printf style.
void report_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Called once the error log is open: writes the records of failures reported
// before (they come first, as on the console) and names the file for the
// report of a failed write to it.
void error_log_opened(const char* path);

// The common pattern: log text (when iCommandFlg is 0, then flushed), then
// red, console text, reset (console_colour.h). Either text may be null.
void report(const char* logText, const char* consoleText);
