#include "interrupt.h"

#include <cstdlib>
#include <unistd.h>

#include "Kestra02.h"

volatile sig_atomic_t g_interrupt_requested = 0;

namespace {
bool points_off = false;
}

void install_interrupt_handler() {
    struct sigaction sa {};
    sa.sa_handler = Stop_Tm;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a sleep() or a blocking read must come back early so
    // that the run reaches its next safe point at once.
    sa.sa_flags = 0;
    sigaction(SIGINT, &sa, nullptr);
}

void interrupt_point() {
    if (g_interrupt_requested != 0 && !points_off) exit(1);
}

void interrupt_points_off() { points_off = true; }

void pause_seconds(unsigned seconds) {
    interrupt_point();
    // Whether sleep() ran to its end or a signal cut it short, the flag
    // tells whether that signal was our Ctrl-C.
    sleep(seconds);
    interrupt_point();
}
