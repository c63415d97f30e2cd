// What the tool hands to the shell, and how a Ctrl-C ends the run.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/wait.h>
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
    for (const Case& c : std::vector<Case>{{8, "abcdefg", true}, {8, "abcdefgh", false}, {1, "", true},
                                           {1, "a", false}}) {
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
    const auto term = [](pid_t pid) {
        usleep(300 * 1000);
        kill(pid, SIGTERM);
    };
    const std::vector<Case> cases = {
        {"command fails", [] { run_shell("exit 3", 10); }, {}, 0},
        {"command killed by SIGTERM", [] { run_shell("kill -TERM $$", 10); }, {}, 0},
        // Ctrl-C at a terminal reaches the command alone; its death shows it.
        {"command killed by SIGINT", [] { run_shell("kill -INT $$", 10); }, {}, 1},
        // A signal to the tool alone ends a command that ignores SIGINT.
        {"SIGTERM to the tool during a command", [] { run_shell("trap '' INT; sleep 30", 60); }, term, 1},
        {"command past its limit",
         [] {
             if (!run_shell("trap '' INT; sleep 30", 1).timed_out) _exit(9);
         },
         {}, 0},
        {"pause cut short", [] { pause_seconds(20); }, ctrlC, 1},
        {"two signals before the safe point",
         [] {
             raise(SIGINT);
             raise(SIGINT);
             interrupt_point();
         },
         {}, 1},
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

}  // namespace
