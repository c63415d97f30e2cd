#include "shell.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "interrupt.h"

namespace {

bool plain_char(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return strchr("/._-+,:@%=", c) != nullptr && c != '\0';
}

}  // namespace

std::string shell_quote(std::string_view value) {
    bool plain = !value.empty();
    for (unsigned char c : value) {
        if (!plain_char(c)) {
            plain = false;
            break;
        }
    }
    if (plain) return std::string(value);
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

bool format_into(char* buf, size_t size, const char* fmt, ...) {
    if (buf == nullptr || size == 0) return false;
    memset(buf, 0, size);
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        memset(buf, 0, size);
        return false;
    }
    return true;
}

namespace {

// How long a group that was asked to stop gets before it is killed.
constexpr int64_t kGraceMs = 2000;

int64_t now_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Only there to cut the wait short; the status is collected by waitid.
void on_child(int) {}

struct Command {
    pid_t pid;      // the shell, leader of the command's process group
    bool terminal;  // the command was handed the terminal's foreground
    sigset_t wake;  // the signal mask while waiting
};

// The command's group was stopped, at a terminal by Ctrl-Z, which reached
// only the command: stop our own group too, as the terminal would have done
// before the command had a group of its own, so that the user's shell gets
// the terminal back; once continued, continue the command, in the
// foreground again when we are.
void follow_stop(const Command& c) {
    siginfo_t si{};
    waitid(P_PID, static_cast<id_t>(c.pid), &si, WSTOPPED | WNOHANG);  // seen once
    if (!c.terminal) return;                                           // whoever stopped it will continue it
    if (tcgetpgrp(STDIN_FILENO) == c.pid) tcsetpgrp(STDIN_FILENO, getpgrp());
    kill(0, SIGTSTP);
    if (tcgetpgrp(STDIN_FILENO) == getpgrp()) tcsetpgrp(STDIN_FILENO, c.pid);
    kill(-c.pid, SIGCONT);
}

// Waits until the command has ended (left unreaped, so that its process
// group id cannot be taken by another process while we may still signal the
// group), until `until`, or, with `interruptible`, until an interrupt was
// requested. True when the command has ended.
bool wait_end(const Command& c, int64_t until, bool interruptible) {
    for (;;) {
        siginfo_t si{};
        if (waitid(P_PID, static_cast<id_t>(c.pid), &si, WEXITED | WSTOPPED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR) continue;
            return true;  // nothing left to wait for
        }
        if (si.si_pid == c.pid) {
            if (si.si_code != CLD_STOPPED) return true;
            follow_stop(c);
            continue;
        }
        if (interruptible && g_interrupt_requested != 0) return false;
        const int64_t left = until - now_ms();
        if (left <= 0) return false;
        timespec ts{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
        ppoll(nullptr, 0, &ts, &c.wake);
    }
}

}  // namespace

ShellResult run_shell(const char* command, unsigned limit_s) {
    ShellResult r{-1, false};
    interrupt_point();
    // Our own buffered console text must reach the terminal (or pipe) before
    // anything the command writes, and before a long wait.
    fflush(stdout);
    fflush(stderr);

    // Blocked outside the wait, so that none of these slips in between a
    // look at the child and the wait; SIGTTOU also while the tool takes the
    // terminal back from the background.
    sigset_t watched, old;
    sigemptyset(&watched);
    for (int sig : {SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGTTOU}) sigaddset(&watched, sig);
    sigprocmask(SIG_BLOCK, &watched, &old);
    // SIGCHLD stays at its default everywhere else (a parent that ignored it
    // must not make the statuses uncollectable); caught here, it ends the
    // wait, and exec resets it for the command.
    struct sigaction childSa {
    }, oldChildSa{};
    childSa.sa_handler = on_child;
    sigemptyset(&childSa.sa_mask);
    childSa.sa_flags = 0;  // a stop of the command wakes the wait too
    sigaction(SIGCHLD, &childSa, &oldChildSa);

    const bool terminal = isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp();
    char sh[] = "sh";
    char dashC[] = "-c";
    char* argv[] = {sh, dashC, const_cast<char*>(command), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        setpgid(0, 0);
        if (terminal) tcsetpgrp(STDIN_FILENO, getpid());
        sigprocmask(SIG_SETMASK, &old, nullptr);
        execv("/bin/sh", argv);
        _exit(127);
    }
    if (pid > 0) {
        // Both sides set the group and the foreground: whichever runs first.
        setpgid(pid, pid);
        if (terminal) tcsetpgrp(STDIN_FILENO, pid);
        Command c{pid, terminal, old};
        sigdelset(&c.wake, SIGCHLD);
        const int64_t deadline = now_ms() + static_cast<int64_t>(limit_s) * 1000;
        const bool ended = wait_end(c, deadline, true);
        if (!ended) {
            r.timed_out = g_interrupt_requested == 0;
            kill(-pid, SIGINT);
            kill(-pid, SIGCONT);  // a stopped group could not act on it
            wait_end(c, now_ms() + kGraceMs, false);
            // Whatever of the group is left, the leader included.
            kill(-pid, SIGKILL);
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        r.status = status;
        // A killed process runs on until it is scheduled to die (and, left
        // without its parent, stays until init collects it): the run goes on
        // (or ends) once the group is gone, or after a second at most.
        for (int i = 0; !ended && i < 100 && kill(-pid, 0) == 0; ++i) {
            timespec ts{0, 10 * 1000 * 1000};
            ppoll(nullptr, 0, &ts, nullptr);
        }
        // Unless the user's shell has moved the terminal meanwhile (bg).
        if (terminal && tcgetpgrp(STDIN_FILENO) == pid) tcsetpgrp(STDIN_FILENO, getpgrp());
    }
    sigaction(SIGCHLD, &oldChildSa, nullptr);
    // An interrupt that came meanwhile is handled here.
    sigprocmask(SIG_SETMASK, &old, nullptr);
    // Ctrl-C at a terminal reaches the command's group alone: its death by
    // SIGINT is how we learn of it.
    if (r.status != -1 && !r.timed_out && WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGINT)
        g_interrupt_requested = 1;
    interrupt_point();
    return r;
}
