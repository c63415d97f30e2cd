// Interrupts, terminals and time limits of whole runs: SIGINT, SIGTERM and
// SIGHUP sent to the tool's group or to its process alone, during a CLI
// command, a pause and a library call that does not return; Ctrl-C typed at
// a pseudo-terminal; commands that hang past their limits (the short-limit
// builds); a start with SIGCHLD ignored. Every case with a command also
// checks that nothing of the command's process group outlives the tool.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

using namespace e2e;

namespace {

class Signals : public E2E {};

const std::string kIdentity = Disk{}.identity();
const std::string kCfgSaving = "Controller 0 : RAID Configuration saving...\n";

// Where a stand-in notes its process group id.
const std::string kPgidFile = "/tmp/cmd_pgid";

// A stand-in for the CLI: for the "-cfgdsply" call it notes its process
// group and runs `body`; every call goes on to the simulated CLI.
void install_cfgdsply_stand_in(Case& c, const std::string& body) {
    c.cli_stand_in("-cfgdsply)\n  cut -d' ' -f5 /proc/$$/stat > " + kPgidFile + "\n" + body + " ;;");
}

// Processes of the group that are still running (zombies do not count).
int running_in_group(int pgid) {
    int n = 0;
    DIR* d = opendir("/proc");
    if (d == nullptr) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        // A process may end between readdir and read, and reading its stat
        // then fails with ESRCH: such a process is simply no longer running.
        std::string stat;
        int fd = open((std::string("/proc/") + e->d_name + "/stat").c_str(), O_RDONLY);
        if (fd < 0) continue;
        char buf[1024];
        ssize_t got = read(fd, buf, sizeof buf);
        close(fd);
        if (got <= 0) continue;
        stat.assign(buf, static_cast<size_t>(got));
        size_t paren = stat.rfind(')');
        if (paren == std::string::npos) continue;
        std::istringstream rest(stat.substr(paren + 1));
        char state = 0;
        int ppid = 0, pgrp = 0;
        rest >> state >> ppid >> pgrp;
        if (pgrp == pgid && state != 'Z') ++n;
    }
    closedir(d);
    return n;
}

// The command's group, as its stand-in noted it, must be gone once the tool
// has ended.
void expect_group_gone(const Case& c) {
    std::string text = c.read(kPgidFile);
    ASSERT_FALSE(text.empty()) << "the stand-in did not run";
    int pgid = std::stoi(text);
    EXPECT_NE(pgid, 0);
    EXPECT_EQ(running_in_group(pgid), 0) << "a process of the command's group outlived the tool";
}

std::string six_ok() {
    std::string s;
    for (auto& col : six_collectors()) s += collector_ok(col, 0);
    return s;
}

}  // namespace

// Each interrupt signal, to the tool's group or to its process alone, ends
// the run with status 1 and "\033[0m" last: during a CLI command that ignores
// SIGINT (its group is killed after the grace period, even when the
// interrupt comes again meanwhile), during one that cleans up on SIGINT
// (the grace period lets it finish), during a pause, and during a library
// call that does not return, where the second signal ends the run at once
// with the cut drive log recorded.
TEST_P(Signals, EndTheRun) {
    enum Phase { Cli, CliCleanup, Pause, Library, LibraryList };
    struct Row {
        const char* name;
        Phase phase;
        int sig;
        bool group;
        int repeat_ms = 0;  // sent again at this interval
    };
    const std::vector<Row> rows = {
        {"cli-int-group", Cli, SIGINT, true},
        {"cli-int-process", Cli, SIGINT, false},
        {"cli-term-process", Cli, SIGTERM, false},
        {"cli-hup-process", Cli, SIGHUP, false},
        {"pause-int-group", Pause, SIGINT, true},
        {"pause-term-process", Pause, SIGTERM, false},
        {"pause-hup-group", Pause, SIGHUP, true},
        {"lib-int-group", Library, SIGINT, true},
        {"lib-term-process", Library, SIGTERM, false},
        {"list-hup-process", LibraryList, SIGHUP, false},
        {"cli-int-process-again", Cli, SIGINT, false, 500},
        {"cli-cleanup-int-process", CliCleanup, SIGINT, false},
    };
    const std::string drive = "/o_tmp/TMP/KESTRA/MA0000.log";
    const std::string record = " File Interrupted(" + drive + ")\n";
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        RunOptions o;
        std::string expect = title() + kSaving + collector_ok(six_collectors()[0], 0);
        std::string log;
        if (row.phase == Cli || row.phase == CliCleanup) {
            c->scenario("controller 0\n");
            install_cfgdsply_stand_in(*c, row.phase == Cli
                                              ? "  trap '' INT TERM HUP\n  sleep 600"
                                              : "  trap 'sleep 0.2; echo done > /tmp/cleaned; exit 130' INT\n"
                                                "  sleep 600");
            o.interrupt = Interrupt{kPgidFile, "\n", 300, row.repeat_ms};
            expect += kCfgSaving;
        } else if (row.phase == Pause) {
            c->scenario("controller 0\n");
            o.env = {{"SLEEP_SHIM_BLOCK_AT", "2"}, {"SLEEP_SHIM_BLOCK_SECONDS", "60"}};
            // Again every 2 s, in case the first came before the pause began.
            o.interrupt = Interrupt{c->sleep_log_path(), "blocking", 300, 2000};
            expect += collector_ok(six_collectors()[1], 0);
        } else {
            // Blocked reading page 02, or already the list of pages.
            bool list = row.phase == LibraryList;
            c->scenario(std::string(kOneDisk) + "delay 0 0 " + (list ? "logsense:00 nth 1" : "logsense:02 nth 2") +
                        " ms 60000\n");
            o.interrupt = Interrupt{drive, list ? "Serial number" : "<Page02>", 300, 1000};
            expect = title() + kSaving + six_ok() + kDiskSaving + red(record);
            log = record;
        }
        o.interrupt->signal = row.sig;
        o.interrupt->group = row.group;
        auto r = c->run(o);
        EXPECT_TRUE(r.interrupt_sent);
        EXPECT_EQ(r.status, 1) << "signal " << r.signal;
        EXPECT_LT(r.seconds, 30);
        EXPECT_EQ(r.out, expect + kReset) << show(r.out);
        EXPECT_EQ(c->log("logdperr.txt"), log);
        if (row.phase == Cli || row.phase == CliCleanup) expect_group_gone(*c);
        EXPECT_EQ(c->read("/tmp/cleaned"), row.phase == CliCleanup ? "done\n" : "") << "no time to clean up";
        if (row.phase == Library) {
            EXPECT_EQ(c->log("MA0000.log"), kIdentity + "<Page02>\r\n");
        } else if (row.phase == LibraryList) {
            EXPECT_EQ(c->log("MA0000.log"), kIdentity);
        }
    }
}

// At a terminal: a command holds the terminal's foreground while it runs (it
// reads a line and sets the terminal without being stopped), the tool takes
// it back afterwards, and Ctrl-C typed there ends the run, during a pause
// (the tool gets it) as during a command (the command's death by SIGINT
// tells the tool).
TEST_P(Signals, Terminal) {
    for (bool in_command : {false, true}) {
        SCOPED_TRACE(in_command);
        auto c = make_case(in_command ? "ctrl-c-in-command" : "ctrl-c-in-pause");
        c->scenario("controller 0\n");
        RunOptions o;
        o.terminal = true;
        o.timeout_s = 20;
        std::string expect = title() + kSaving + collector_ok(six_collectors()[0], 0);
        if (in_command) {
            install_cfgdsply_stand_in(*c, "  sleep 600");
            o.interrupt = Interrupt{kPgidFile, "\n", 300};
            expect += kCfgSaving;
        } else {
            install_cfgdsply_stand_in(*c, "  read line; echo \"$line\" > /tmp/cmd_read; stty -echo");
            o.terminal_input = "typed\n";
            o.env = {{"SLEEP_SHIM_BLOCK_AT", "2"}, {"SLEEP_SHIM_BLOCK_SECONDS", "60"}};
            o.interrupt = Interrupt{c->sleep_log_path(), "blocking", 300, 2000};
            expect += collector_ok(six_collectors()[1], 0);
        }
        o.interrupt->tty_input = "\x03";
        auto r = c->run(o);
        EXPECT_TRUE(r.interrupt_sent);
        EXPECT_EQ(r.status, 1) << "signal " << r.signal;
        EXPECT_EQ(r.out, expect + kReset) << show(r.out);
        EXPECT_LT(r.seconds, 30);
        if (in_command) {
            EXPECT_EQ(std::to_string(r.tty_foreground) + "\n", c->read(kPgidFile))
                << "the command was not in the foreground";
            expect_group_gone(*c);
        } else {
            EXPECT_EQ(r.tty_foreground, r.pid) << "the tool did not take the terminal back";
            EXPECT_EQ(c->read("/tmp/cmd_read"), "typed\n");
        }
    }
}

// Commands that hang past their limits (the short-limit builds: 6 s for the
// CLI, 4 s for ldd): the whole group is ended, the record names the limit
// and the command line, and the step fails as it would otherwise; the run
// goes on.
TEST_P(Signals, TimeLimits) {
    Tool shortTool = T();
    shortTool.program = T().short_program;
    ASSERT_NE(shortTool.program, "");
    for (bool cli : {true, false}) {
        SCOPED_TRACE(cli);
        Case c(shortTool,
               std::string("Signals.TimeLimits.") + (cli ? "hung-cli" : "hung-ldd") + "-" + std::to_string(T().bits));
        c.scenario(kOneDisk);
        RunOptions o;
        std::string expect, log;
        if (cli) {
            install_cfgdsply_stand_in(c, "  trap '' INT\n  sleep 600");
            std::string tle = " Time Limit Exceeded(6 s: " + c.work + "/" + T().cli_name +
                              " -cfgdsply -a0 > /o_tmp/TMP/KESTRA/Controller_0_cfgdsply.log)\n";
            expect = full_run(1, kDiskSaving, {{"cfgdsply", 0}});
            expect.insert(expect.find(kCfgSaving) + kCfgSaving.size(), red(tle));
            log = tle + " RAID Configuration save error !\n\n";
        } else {
            o.args = {"word"};
            o.path_first = {
                c.stand_in("ldd", "#!/bin/sh\ncut -d' ' -f5 /proc/$$/stat > " + kPgidFile + "\nsleep 600\n")};
            std::string tle = " Time Limit Exceeded(4 s: ldd " + T().lib_name + " > /tmp/ldd_out.txt)\n";
            expect = title() + red(tle) + red("ldd Command Error.\n") + kSaving + kReset;
        }
        auto r = c.run(o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, expect) << show(r.out);
        EXPECT_EQ(c.log("logdperr.txt"), log);
        EXPECT_GE(r.seconds, cli ? 6 : 4);
        EXPECT_LT(r.seconds, 30);
        expect_group_gone(c);
        EXPECT_EQ(c.log("MA0000.log"), cli ? kIdentity + "<Page02>\r\n 02 00 00 04 00 00 01 07\r\n" : "");
    }
}

// Started by a parent that ignores SIGCHLD (inherited across exec), the
// CLI's status still counts: every controller log is saved, a failed one
// fails.
TEST_P(Signals, StartedWithSigchldIgnored) {
    auto c = make_case();
    Tool w = c->wrapped("ignore-chld", "trap '' CHLD");
    Case alt(w, "Signals.Sigchld-" + std::to_string(T().bits));
    alt.scenario("controller 0\ncli exit pdlist 0 3\n");
    auto r = alt.run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run(1, "", {{"pdlist", 0}})) << show(r.out);
    EXPECT_EQ(alt.log("logdperr.txt"), collector_record(six_collectors()[3]));
}

// Ctrl-C while a CLI command runs: the run ends at once with status 1, goes
// on with nothing, and resets the terminal colour last.
TEST_P(Signals, InterruptDuringCliCommand) {
    auto c = make_case();
    c->scenario("controller 0\ncli sleep cfgdsply 0 30000\n");
    RunOptions o;
    o.interrupt = Interrupt{c->trace_path(), "-cfgdsply", 500};
    auto r = c->run(o);
    EXPECT_TRUE(r.interrupt_sent);
    EXPECT_EQ(r.status, 1) << "signal " << r.signal;
    EXPECT_LT(r.seconds, 20) << "the run waited for the interrupted command";
    std::string before =
        title() + kSaving + collector_ok(six_collectors()[0], 0) + "Controller 0 : RAID Configuration saving...\n";
    EXPECT_EQ(r.out.substr(0, before.size()), before) << show(r.out);
    EXPECT_EQ(r.out.find("RAID Controller Information"), std::string::npos) << show(r.out);
    EXPECT_RESET_LAST(r);
    auto calls = c->cli_calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2][2], "-cfgdsply");
    EXPECT_EQ(c->sleeps(), pauses(1));
}

// Ctrl-C during a pause: the pause is cut short and the run does not go on.
TEST_P(Signals, InterruptDuringPause) {
    auto c = make_case();
    c->scenario(kOneController);
    RunOptions o;
    o.env = {{"SLEEP_SHIM_BLOCK_AT", "2"}, {"SLEEP_SHIM_BLOCK_SECONDS", "30"}};
    // Sent again every 2 s in case the first one came before the pause began.
    o.interrupt = Interrupt{c->sleep_log_path(), "blocking", 300, 2000};
    auto r = c->run(o);
    EXPECT_TRUE(r.interrupt_sent);
    EXPECT_EQ(r.status, 1) << "signal " << r.signal;
    EXPECT_LT(r.seconds, 20) << "the pause was not cut short";
    EXPECT_EQ(r.out,
              title() + kSaving + collector_ok(six_collectors()[0], 0) + collector_ok(six_collectors()[1], 0) + kReset)
        << show(r.out);
    EXPECT_EQ(c->cli_calls().size(), 3u) << "the run went on after the pause";
    EXPECT_EQ(c->sleeps(), (std::vector<std::string>{"sleep 1", "sleep 1", "blocking"}));
    EXPECT_EQ(c->log("logdperr.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(Both, Signals, ::testing::ValuesIn(tools()), tool_param_name);
