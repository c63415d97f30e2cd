// Ctrl-C handling. The SIGINT handler only records the request; the run
// leaves through exit(1) (and so through the exit clean-up) at the next safe
// point: after a storage call, a shell command, a pause or a write.
#pragma once

#include <csignal>

extern volatile sig_atomic_t g_interrupt_requested;

// Installs the SIGINT handler (Stop_Tm) without SA_RESTART, so that a pause
// is cut short.
void install_interrupt_handler();

// Leaves the run with status 1 when an interrupt was requested.
void interrupt_point();

// Called by the exit clean-up: from here on a safe point never calls exit()
// again (exit() from inside an atexit handler is undefined).
void interrupt_points_off();

// sleep() that counts as a safe point before and after.
void pause_seconds(unsigned seconds);
