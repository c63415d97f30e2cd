#include "interrupt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

#include "console_colour.h"

volatile sig_atomic_t g_interrupt_requested = 0;

namespace {

bool points_off = false;
volatile sig_atomic_t in_library = 0;
volatile sig_atomic_t log_fd = -1;

// Prepared when the file is marked, so that the handler only copies bytes.
// The length is set last and cleared first: the handler never sees a record
// half written.
char record[4096 + 32];
volatile sig_atomic_t record_len = 0;

void write_all(int fd, const char* text, size_t len) {
    while (len > 0) {
        ssize_t n = write(fd, text, len);
        if (n <= 0) return;
        text += n;
        len -= static_cast<size_t>(n);
    }
}

[[noreturn]] void end_at_once() {
    const size_t len = static_cast<size_t>(record_len);
    if (len > 0) {
        if (log_fd >= 0) write_all(log_fd, record, len);
        write_all(STDOUT_FILENO, colour::kRed, sizeof colour::kRed - 1);
        write_all(STDOUT_FILENO, record, len);
        write_all(STDOUT_FILENO, colour::kReset, sizeof colour::kReset - 1);
    }
    write_all(STDOUT_FILENO, colour::kReset, sizeof colour::kReset - 1);
    _exit(1);
}

}  // namespace

void install_interrupt_handler(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    // No SA_RESTART: a sleep() or a blocking read must come back early so
    // that the run reaches its next safe point at once.
    sa.sa_flags = 0;
    sigaction(SIGINT, &sa, nullptr);
    // SIGTERM or SIGHUP that the parent chose to ignore (nohup, a supervisor)
    // stays ignored: the run is meant to outlive them.
    for (int sig : {SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

void note_interrupt() {
    // A library call that never returns would never reach a safe point: the
    // user's second request is the way out.
    if (g_interrupt_requested != 0 && in_library != 0) end_at_once();
    g_interrupt_requested = 1;
}

void interrupt_point() {
    if (g_interrupt_requested != 0 && !points_off) exit(1);
}

void interrupt_points_off() { points_off = true; }

void pause_seconds(unsigned seconds) {
    interrupt_point();
    // Whether sleep() ran to its end or a signal cut it short, the flag
    // tells whether that signal was an interrupt.
    sleep(seconds);
    interrupt_point();
}

void library_call_begin() { in_library = 1; }

void library_call_end() { in_library = 0; }

void file_write_begin(const char* path) {
    record_len = 0;
    int n = snprintf(record, sizeof record, " File Interrupted(%s)\n", path);
    if (n > 0 && static_cast<size_t>(n) < sizeof record) record_len = n;
}

void file_write_end() { record_len = 0; }

const char* interrupted_file_record() { return record_len > 0 ? record : nullptr; }

void set_emergency_log_fd(int fd) { log_fd = fd; }
