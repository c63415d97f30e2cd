// Interrupts: SIGINT (Ctrl-C), SIGTERM (a supervisor's stop) and SIGHUP (a
// dropped session) all end the run the same way. The handler only records
// the request; the run leaves through exit(1) (and so through the exit
// clean-up) at the next safe point: after a storage call, a shell command, a
// pause or a write. Only a second request while a storage-library call has
// not returned ends the process at once, from the handler.
#pragma once

#include <csignal>

extern volatile sig_atomic_t g_interrupt_requested;

// Installs `handler` for SIGINT, SIGTERM and SIGHUP (but not for SIGTERM or
// SIGHUP that the tool was started with ignored), without SA_RESTART so that
// a pause is cut short. While it runs, the other two wait.
void install_interrupt_handler(void (*handler)(int));

// The work of the handler (async-signal-safe): records the request, or, when
// one was recorded already and a storage-library call is under way, ends
// the process at once: the interrupted-file record (when a file is marked)
// goes to the error log and in red to the console, then a reset, status 1.
// Nothing else: buffered text is lost, the library stays loaded.
void note_interrupt();

// Leaves the run with status 1 when an interrupt was requested.
void interrupt_point();

// Called by the exit clean-up: from here on a safe point never calls exit()
// again (exit() from inside an atexit handler is undefined).
void interrupt_points_off();

// sleep() that counts as a safe point before and after.
void pause_seconds(unsigned seconds);

// Brackets one call into the storage library.
void library_call_begin();
void library_call_end();

// The file being written (a drive log): from begin to end, an interrupt that
// ends the run leaves it cut, and the record " File Interrupted(<path>)\n"
// names it. A path that does not fit the record's buffer is not marked.
void file_write_begin(const char* path);
void file_write_end();
// The record for the marked file, or null when none is marked.
const char* interrupted_file_record();

// The open error log's descriptor, for the record of an immediate end; -1
// when none is open.
void set_emergency_log_fd(int fd);
