// What the tool hands to the shell, and how a Ctrl-C ends the run.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "Kestra02.h"
#include "interrupt.h"
#include "shell.h"

#include "test_util.h"
using testutil::capture_stdout;

namespace {

TEST(ShellQuote, Table) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/o_tmp/TMP/KESTRA/Controller_0_fwtermlog.log", "/o_tmp/TMP/KESTRA/Controller_0_fwtermlog.log"},
        {"azAZ09/._-+,:@%=", "azAZ09/._-+,:@%="},
        {"", "''"},
        {"/data/my logs", "'/data/my logs'"},
        {"/tmp/x;touch /tmp/pwned", "'/tmp/x;touch /tmp/pwned'"},
        {"it's", "'it'\\''s'"},
        {"$HOME`id`*~\\", "'$HOME`id`*~\\'"},
        {"a\nb", "'a\nb'"},
        {"\xc3\xa9", "'\xc3\xa9'"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(shell_quote(in), out) << in;
}

TEST(FormatInto, FitsOrLeavesEmpty) {
    struct Case {
        size_t size;
        const char* value;
        bool fits;
    };
    for (const Case& c :
         std::vector<Case>{{8, "abcdefg", true}, {8, "abcdefgh", false}, {1, "", true}, {1, "a", false}}) {
        char buf[16];
        memset(buf, 'X', sizeof buf);
        EXPECT_EQ(format_into(buf, c.size, "%s", c.value), c.fits) << c.value;
        EXPECT_STREQ(buf, c.fits ? c.value : "") << c.value;
        for (size_t i = c.size; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 'X') << c.value << " at " << i;
    }
}

// A child run as the tool runs: handler and clean-up installed, standard
// output a pipe. The parent may act once the child printed "ready".
struct Child {
    int status;
    std::string out;
    double seconds;
};

Child run_child(const std::function<void()>& body, const std::function<void(pid_t)>& onReady = {}) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    fflush(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        g_interrupt_requested = 0;
        install_interrupt_handler(Stop_Tm);
        atexit(End_Test);
        Init_Data();
        gfpErrLog = tmpfile();
        pstStorPassThr = static_cast<SCSI_PASSTHRU_T*>(malloc(64));
        fputs("ready\n", stdout);
        fflush(stdout);
        body();
        fputs("went on\n", stdout);
        exit(0);
    }
    close(fds[1]);
    Child r{};
    char c;
    while (r.out.find("ready\n") == std::string::npos && read(fds[0], &c, 1) == 1) r.out += c;
    if (onReady) onReady(pid);
    while (read(fds[0], &c, 1) == 1) r.out += c;
    close(fds[0]);
    waitpid(pid, &r.status, 0);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

TEST(Interrupt, EndsTheRunAtTheNextSafePoint) {
    struct Case {
        const char* name;
        std::function<void()> body;
        std::function<void(pid_t)> onReady;
        int status;
    };
    const auto ctrlC = [](pid_t pid) {
        usleep(200 * 1000);
        kill(pid, SIGINT);
    };
    const std::vector<Case> cases = {
        {"command fails", [] { run_shell("exit 3", 10); }, {}, 0},
        {"command killed by SIGTERM", [] { run_shell("kill -TERM $$", 10); }, {}, 0},
        // Ctrl-C at a terminal reaches the command alone; its death shows it.
        {"command killed by SIGINT", [] { run_shell("kill -INT $$", 10); }, {}, 1},
        {"pause cut short", [] { pause_seconds(20); }, ctrlC, 1},
        {"two signals before the safe point",
         [] {
             raise(SIGINT);
             raise(SIGINT);
             interrupt_point();
         },
         {},
         1},
    };
    for (const auto& c : cases) {
        Child r = run_child(c.body, c.onReady);
        ASSERT_TRUE(WIFEXITED(r.status)) << c.name;
        EXPECT_EQ(WEXITSTATUS(r.status), c.status) << c.name;
        EXPECT_LT(r.seconds, 10.0) << c.name;
        // The clean-up's colour reset is the last byte on the pipe.
        EXPECT_EQ(r.out, c.status == 0 ? "ready\nwent on\n\033[0m" : "ready\n\033[0m") << c.name;
    }
}

// SIGTERM and SIGHUP that the parent ignored (nohup) stay ignored; SIGINT is
// always caught.
TEST(Interrupt, SignalsIgnoredByTheParent) {
    for (int sig : {SIGHUP, SIGTERM, SIGINT}) {
        pid_t pid = fork();
        if (pid == 0) {
            signal(sig, SIG_IGN);
            g_interrupt_requested = 0;
            install_interrupt_handler(Stop_Tm);
            raise(sig);
            _exit(g_interrupt_requested != 0 ? 1 : 0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << strsignal(sig);
        EXPECT_EQ(WEXITSTATUS(status), sig == SIGINT ? 1 : 0) << strsignal(sig);
    }
}

// Ctrl-Z at a terminal while a command runs: the command's group stops, the
// tool stops its own group after it (so that the user's shell sees the job
// stopped) and, once continued, continues the command, which then ends
// normally. Here a minimal job-control shell on a pseudo-terminal runs the
// tool in a group of its own.
TEST(ShellRunner, CtrlZStopsTheToolWithTheCommand) {
    termios tio{};
    cfmakeraw(&tio);      // no echo, no output processing
    tio.c_lflag |= ISIG;  // but Ctrl-Z stops the foreground group
    tio.c_cflag |= CREAD;
    tio.c_cc[VSUSP] = 0x1a;
    tio.c_cc[VMIN] = 1;
    int master = -1;
    fflush(nullptr);
    pid_t shell = forkpty(&master, nullptr, &tio, nullptr);
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        signal(SIGTTOU, SIG_IGN);
        pid_t tool = fork();
        if (tool == 0) {
            setpgid(0, 0);
            tcsetpgrp(0, getpid());
            signal(SIGTTOU, SIG_DFL);
            install_interrupt_handler(Stop_Tm);
            ShellResult r = run_shell("echo started; sleep 2; echo command-done", 10);
            printf("status %d%s\n", r.status, r.timed_out ? " timed out" : "");
            fflush(stdout);
            _exit(0);
        }
        setpgid(tool, tool);
        tcsetpgrp(0, tool);
        int st = 0;
        waitpid(tool, &st, WUNTRACED);
        if (WIFSTOPPED(st)) {
            printf("tool stopped\n");
            fflush(stdout);
            tcsetpgrp(0, tool);  // fg
            kill(-tool, SIGCONT);
            waitpid(tool, &st, 0);
        }
        printf("tool exit %d\n", WIFEXITED(st) ? WEXITSTATUS(st) : -1);
        fflush(stdout);
        _exit(0);
    }
    std::string out;
    char buf[256];
    bool typed = false;
    for (;;) {
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // EIO once the shell has ended
        out.append(buf, static_cast<size_t>(n));
        if (!typed && out.find("started\n") != std::string::npos) {
            usleep(300 * 1000);
            ASSERT_EQ(write(master, "\x1a", 1), 1);
            typed = true;
        }
    }
    close(master);
    waitpid(shell, nullptr, 0);
    EXPECT_EQ(out, "started\ntool stopped\ncommand-done\nstatus 0\ntool exit 0\n");
}

}  // namespace
