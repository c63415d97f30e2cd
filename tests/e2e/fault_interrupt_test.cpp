// Interrupts at each phase of a run of the fault matrix's system: SIGINT
// and SIGTERM sent to the tool's process group (a terminal's Ctrl-C) or to
// the tool alone (a supervisor); the console, the error log and the drive
// logs as they must be left.
#include <map>
#include <string>

#include "fault_system.h"
#include "harness.h"

using namespace e2e;
using namespace e2e::faults;

namespace {

class FaultMatrixInterrupts : public E2E {};

// Sends a signal to the tool from inside its run: the first ancestor that
// is the tool (or valgrind running it), its whole group or itself alone,
// after an optional delay in the background.
const char kSignalTool[] =
    "#!/bin/sh\n"
    "# signal-tool SIGNAL group|alone [DELAY]\n"
    "p=$$\n"
    "while [ \"$p\" -gt 1 ]; do\n"
    "  case \"$(cat /proc/$p/comm)\" in logdump64|logdump|memcheck*) break ;; esac\n"
    "  p=$(awk '{print $4}' /proc/$p/stat)\n"
    "done\n"
    "g=$(awk '{print $5}' /proc/$p/stat)\n"
    "if [ \"$2\" = group ]; then t=\"-- -$g\"; else t=$p; fi\n"
    "if [ -n \"$3\" ]; then (sleep \"$3\"; kill -s \"$1\" $t) & else kill -s \"$1\" $t; fi\n";

struct Phase {
    std::string name;
    std::string scenario;  // appended to the base scenario
    std::string cli;       // the CLI command that sends the signal ("" none)
    std::string ldd;       // "send": a stand-in ldd sends it
    std::string delay;     // the sender waits this long in the background
    bool block_pause = false;
    std::string before;                       // console bytes that must come first
    std::string never;                        // text that must not appear (the next step)
    std::string interrupted;                  // the drive log being written, "" none
    std::map<std::string, std::string> logs;  // drive logs as they must be left
};

std::string upto_collectors(int n, const std::string& tail) {
    std::string s = title() + kSaving;
    for (int i = 0; i < n; ++i) s += collector_ok(six_collectors()[static_cast<size_t>(i)], 0);
    return s + tail;
}

std::vector<Phase> phases() {
    const std::string scan = disk(0).saving() + disk(1).saving();
    Phase ldd{"ldd", "", "", "send", "", false, title(), "Log Saving", "", {}};
    Phase count{"count", "", "-adpcount", "", "", false, title(), "Log Saving", "", {}};
    Phase uart{"uart",
               "",
               "-fwtermlog",
               "",
               "",
               false,
               upto_collectors(0, "Controller 0 : Uart Log saving...\n"),
               "Uart Log save",
               "",
               {}};
    Phase pause{"pause", "", "-cfgdsply", "", "1", true, upto_collectors(2, ""), "RAID Controller Information", "", {}};
    Phase last{"ldpdinfo",
               "",
               "-ldpdinfo",
               "",
               "",
               false,
               upto_collectors(5, "Controller 0 : Logical/Physical Drive Information saving...\n"),
               "Logical/Physical Drive Information save",
               "",
               {}};
    Phase drive{
        "drive-log", "delay 0 1 logsense:0d nth 1 ms 6000\n", "-ldpdinfo", "", "2", false, upto_collectors(6, scan),
        "FlashROM",  "/o_tmp/TMP/KESTRA/MA0001.log",          {}};
    drive.logs[disk(0).file()] = *disk_part(0, {}).log;
    drive.logs[disk(1).file()] = disk(1).identity() + page_block("02", bytes_of(P02)) + "<Page0d>\r\n";
    Phase event{"event-log",
                "",
                "-adpeventlog",
                "",
                "",
                false,
                upto_collectors(6, scan) + "\nController 0 : FlashROM Log saving...\n",
                "FlashROM Log save",
                "",
                {}};
    return {ldd, count, uart, pause, last, drive, event};
}

}  // namespace

TEST_P(FaultMatrixInterrupts, EachInterrupt) {
    for (const Phase& ph : phases())
        for (const char* sig : {"INT", "TERM"})
            for (bool group : {true, false}) {
                const std::string name = ph.name + "-" + sig + (group ? "-group" : "-alone");
                SCOPED_TRACE(name);
                auto c = make_case(name);
                c->scenario(base_scenario() + ph.scenario);
                std::string bin = c->stand_in("signal-tool", kSignalTool);
                std::string send = bin + "/signal-tool " + sig + (group ? " group" : " alone") +
                                   (ph.delay.empty() ? "" : " " + ph.delay);
                RunOptions o;
                if (!ph.cli.empty()) c->cli_stand_in(ph.cli + ") " + send + " ;;");
                if (!ph.ldd.empty()) {
                    c->stand_in("ldd", "#!/bin/sh\n" + send + "\nexec /usr/bin/ldd \"$@\"\n");
                    o.path_first = {bin};
                }
                if (ph.block_pause) o.env = {{"SLEEP_SHIM_BLOCK_AT", "2"}, {"SLEEP_SHIM_BLOCK_SECONDS", "30"}};
                auto r = c->run(o);
                EXPECT_EQ(r.status, 1) << "signal " << r.signal;
                EXPECT_LT(r.seconds, 20);
                EXPECT_EQ(r.out.substr(0, ph.before.size()), ph.before) << show(r.out);
                EXPECT_EQ(r.out.find(ph.never), std::string::npos) << show(r.out);
                EXPECT_RESET_LAST(r);
                // Nothing was reported but the interrupt itself.
                std::string records;
                if (!ph.interrupted.empty()) records = " File Interrupted(" + ph.interrupted + ")\n";
                if (ph.name != "ldd") {
                    EXPECT_EQ(c->log("logdperr.txt"), records);
                }
                for (const auto& [file, content] : ph.logs) EXPECT_EQ(c->log(file), content) << file;
            }
}

INSTANTIATE_TEST_SUITE_P(Both, FaultMatrixInterrupts, ::testing::ValuesIn(tools()), tool_param_name);
