// Whole runs of the tool: the run sequence, the vendor CLI's command lines
// and the controller count, the controller logs and the error log, pauses,
// and the console's order.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "harness.h"

using namespace e2e;

namespace {

class Run : public E2E {};

// The trace of a run with the sleep log merged into it, reduced to
// "cli <first argument> -aN", "sleep 1" and "lib" (consecutive library
// calls folded into one).
std::vector<std::string> sequence(const Case& c) {
    std::vector<std::string> seq;
    for (auto& l : c.trace()) {
        std::string item;
        if (l.rfind("cli\t", 0) == 0) {
            const std::vector<std::string> parts = testbytes::split(l, '\t');
            item = "cli " + (parts.size() > 3 ? parts[3] : std::string("?")) + " " + parts.back();
        } else if (l.rfind("lib ", 0) == 0) {
            item = "lib";
        } else {
            item = l;
        }
        if (item == "lib" && !seq.empty() && seq.back() == "lib") continue;
        seq.push_back(item);
    }
    return seq;
}

}  // namespace

// A run without arguments: title, the six controller logs of every
// controller (each collector finishing all controllers before the next),
// the drive scan, the event log through the CLI's own "-f" option with its
// console output sent away (which must work under dash), and the exact
// command lines, files and pauses.
TEST_P(Run, WithoutArgumentsCollectsEverything) {
    for (int n : {1, 2}) {
        SCOPED_TRACE(n);
        auto c = make_case(std::to_string(n));
        c->scenario(n == 1 ? "controller 0\n" : "controller 0\ncontroller 1\n");
        c->write(c->logdir() + "/logdperr.txt", " an error log of an earlier run\n");
        RunOptions o;
        o.merge_sleep_log = true;
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, full_run(n)) << show(r.out) << r.err;
        EXPECT_RESET_LAST(r);
        // Nothing on standard error (a shell that rejects a redirection says
        // so there) but the loader's note about the preloaded test shim of
        // the other width in 64-bit children of the 32-bit program.
        for (auto& line : testbytes::lines(r.err))
            EXPECT_NE(line.find("wrong ELF class"), std::string::npos) << "standard error: " << r.err;
        EXPECT_EQ(c->cli_calls(), full_run_calls(*c, n));

        // Files: the controller logs of every controller and an error log
        // created empty.
        std::vector<std::string> expect{"logdperr.txt"};
        for (int i = 0; i < n; ++i) {
            for (auto& col : six_collectors()) {
                char name[64];
                snprintf(name, sizeof name, col.file.c_str(), i);
                expect.push_back(name);
            }
            expect.push_back("controller_" + std::to_string(i) + "_Flashrom.log");
        }
        std::sort(expect.begin(), expect.end());
        EXPECT_EQ(c->logs(), expect);
        EXPECT_EQ(c->log("logdperr.txt"), "");
        for (auto& f : expect) {
            if (f != "logdperr.txt") {
                EXPECT_NE(c->log(f), "") << f << " is empty";
            }
        }

        // The temporary files stay in /tmp; the working directory line is
        // the working directory, whole.
        EXPECT_EQ(c->read("/tmp/pwd_out.txt"), c->work + "\n");
        EXPECT_NE(c->read("/tmp/adpconf.txt").find("Controller Count: " + std::to_string(n)), std::string::npos);
        EXPECT_NE(c->read("/tmp/ldd_out.txt"), "");

        // Pauses: one after each of the six collectors, one after the drive
        // scan, none after the event log.
        std::vector<std::string> seq{"cli -adpcount -NoLog"};
        for (auto& col : six_collectors()) {
            for (int i = 0; i < n; ++i) seq.push_back("cli -" + col.cmd + " -a" + std::to_string(i));
            seq.push_back("sleep 1");
        }
        seq.push_back("lib");
        seq.push_back("sleep 1");
        for (int i = 0; i < n; ++i) seq.push_back("cli -adpeventlog -a" + std::to_string(i));
        EXPECT_EQ(sequence(*c), seq);
    }
}

// The log directory missing in a run without arguments: the error log
// cannot be created, status 1, no controller is asked for; library messages
// come before.
TEST_P(Run, LogDirectoryMissing) {
    for (bool with_lib : {true, false}) {
        SCOPED_TRACE(with_lib);
        auto c = make_case(with_lib ? "lib" : "nolib");
        c->scenario(kOneController);
        c->remove_logdir();
        if (!with_lib) c->remove_work_file(T().lib_name);
        auto r = c->run();
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, title() + (with_lib ? "" : red("ldd Command Error.\n")) +
                             red(" File Open Error(/o_tmp/TMP/KESTRA/logdperr.txt)\n") + kReset)
            << show(r.out);
        EXPECT_RESET_LAST(r);
        EXPECT_TRUE(c->cli_calls().empty());
        EXPECT_TRUE(c->sleeps().empty());
        EXPECT_FALSE(c->exists("/o_tmp/TMP")) << "the log directory was created";
    }
}

// Any argument (a plain word, an unlisted option, "--" alone) selects the
// drive-log-only run: no error log, no controller log command besides the
// count.
TEST_P(Run, AnyArgumentCollectsDriveLogsOnly) {
    for (std::string arg : {"word", "-x", "--"}) {
        SCOPED_TRACE(arg);
        auto c = make_case(arg == "word" ? "word" : arg == "-x" ? "unlisted" : "end");
        c->scenario(kOneDisk);
        auto r = c->run({arg});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
        EXPECT_RESET_LAST(r);
        EXPECT_EQ(c->logs(), std::vector<std::string>{"MA0000.log"});
        EXPECT_EQ(c->log("MA0000.log"), kOneDiskLog);
        EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c)});
        EXPECT_EQ(c->sleeps(), pauses(1));
    }
}

// The line of the count query: only "Controller Count: " from the first
// column counts; the first match decides; the number is converted like a
// signed decimal that saturates; a long line is read in pieces of 63.
TEST_P(Run, ControllerCountLine) {
    struct Row {
        const char* name;
        std::vector<std::string> lines;  // count-line statements
        std::string extra;               // more scenario
        int expect;                      // controllers collected; 0: not found; -N: N not believed
    };
    const std::vector<Row> rows = {
        {"two", {"Controller Count: 2"}, "", 2},
        {"word-after", {"Controller Count: 3 controllers"}, "", 3},
        {"blanks-before-number", {"Controller Count:   2"}, "", 2},
        {"first-match", {"RAID Adapters", "Controller Count: 1", "Controller Count: 2"}, "", 1},
        {"second-piece", {std::string(63, 'x') + "Controller Count: 2"}, "", 2},
        {"no-blank", {"Controller Count:2"}, "", 0},
        {"lower-case", {"controller count: 2"}, "", 0},
        {"indented", {" Controller Count: 2"}, "", 0},
        {"zero", {"Controller Count: 0"}, "", 0},
        {"no-digits", {"Controller Count: none"}, "", 0},
        {"no-line", {"Adapter 0: ok"}, "", 0},
        {"cli-fails", {}, "cli exit adpcount * 1\n", 0},
        // A negative count is no controller; one above 128 is not believed.
        {"minus-one", {"Controller Count: -1"}, "", 0},
        {"below-int-range", {"Controller Count: -99999999999999999999"}, "", 0},
        {"minus-2-to-32", {"Controller Count: -4294967296"}, "", 0},
        {"int-min-less-one", {"Controller Count: -2147483649"}, "", 0},
        {"129", {"Controller Count: 129"}, "", -129},
        {"saturated", {"Controller Count: 99999999999999999999"}, "", -2147483647},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        std::string scn = "controller 0\ncontroller 1\ncontroller 2\n" + row.extra;
        for (auto& l : row.lines) scn += "cli count-line \"" + l + "\"\n";
        c->scenario(scn);
        RunOptions o;
        o.timeout_s = 30;
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        EXPECT_RESET_LAST(r);
        if (row.expect == 0) {
            EXPECT_EQ(r.out, title() + red(" RAID Contoroller is not Found\n") + kReset) << show(r.out);
            EXPECT_EQ(c->log("logdperr.txt"), " RAID Contoroller is not Found\n");
            EXPECT_EQ(c->cli_calls().size(), 1u);
            EXPECT_TRUE(c->sleeps().empty());
        } else if (row.expect < 0) {
            const std::string record = " Controller Count Too Large(" + std::to_string(-row.expect) + ")\n";
            EXPECT_EQ(r.out, title() + red(record) + kReset) << show(r.out);
            EXPECT_EQ(c->log("logdperr.txt"), record);
            EXPECT_EQ(c->cli_calls().size(), 1u);
            EXPECT_TRUE(c->sleeps().empty());
            EXPECT_TRUE(c->lib_calls().empty());
        } else {
            EXPECT_EQ(r.out, full_run(row.expect)) << show(r.out);
            EXPECT_EQ(c->cli_calls(), full_run_calls(*c, row.expect));
        }
    }
}

// Console and the CLI's standard error on one pipe: each progress line is
// out before the CLI speaks, each result after it.
TEST_P(Run, ConsoleOrderOnOnePipe) {
    auto c = make_case();
    Tool w = c->wrapped("one-pipe", "", " 2>&1");
    Case one(w, "Run.OnePipe-" + std::to_string(T().bits));
    // Two controllers counted, one declared: every call for controller 1 is
    // refused by the CLI with a message on standard error.
    one.scenario("controller 0\ncli count 2\n");
    auto r = one.run();
    EXPECT_EQ(r.status, 0);
    // The 32-bit tool's preload shim is refused by the 64-bit children, each
    // time with a message of the loader: taken out.
    std::string out = r.out;
    for (size_t at; (at = out.find("ERROR: ld.so: object")) != std::string::npos;) {
        size_t end = out.find("ignored.\n", at);
        ASSERT_NE(end, std::string::npos) << show(out);
        out.erase(at, end + 9 - at);
    }
    const std::string refusal = "\nAdapter 1: No such adapter. Controller count is 1.\n\nExit Code: 0x01\n";
    std::string want = title() + kSaving;
    for (auto& col : six_collectors())
        want += collector_ok(col, 0) + "Controller 1 : " + col.progress + " saving...\n" + refusal +
                red(" " + col.what + " save error !\n\n");
    want += red("Controller 1 : Controller Information Get Error. 00008002\n");
    want += "\n" + collector_ok(event_collector(), 0) + "Controller 1 : FlashROM Log saving...\n" +
            red(" FlashROM Log save error !\n\n") + kReset;
    EXPECT_EQ(out, want) << show(out);
}

// Collectors failing for one controller of two: the failure is reported in
// red and in the error log, the other controller and the next collectors go
// on.
TEST_P(Run, CollectorFailsForOneController) {
    auto c = make_case();
    c->scenario("controller 0\ncontroller 1\ncli exit cfgdsply 1 3\ncli exit adpeventlog 0 1\n");
    auto r = c->run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run(2, "", {{"cfgdsply", 1}, {"adpeventlog", 0}})) << show(r.out);
    EXPECT_RESET_LAST(r);
    EXPECT_EQ(c->log("logdperr.txt"), " RAID Configuration save error !\n\n FlashROM Log save error !\n\n");
    EXPECT_EQ(c->cli_calls(), full_run_calls(*c, 2));
    EXPECT_EQ(c->sleeps(), pauses(7));
}

// A missing CLI: the count query finds nothing, no controller.
TEST_P(Run, MissingCli) {
    auto c = make_case();
    c->scenario(kOneDisk);
    c->remove_work_file(T().cli_name);
    auto r = c->run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + red(" RAID Contoroller is not Found\n") + kReset) << show(r.out);
    EXPECT_EQ(c->log("logdperr.txt"), " RAID Contoroller is not Found\n");
    EXPECT_EQ(c->read("/tmp/adpconf.txt"), "");
}

// Every failure of a run without arguments reaches the error log, in the
// order of the console: binding failures (reported before the log opens)
// first, information queries like every other failure; a write to the error
// log that fails is said once on the console, with its path.
TEST_P(Run, EveryFailureIsLogged) {
    struct Row {
        const char* name;
        std::string scenario;
        std::string lib;      // library installed instead ("-": none)
        std::string tmpfs;    // tmpfs size at the log directory, "" for none
        std::string binding;  // red binding text (also the first record); %s: the library path
        std::string drives;   // drive part of the console
        std::string records;  // the error log after the binding record
    };
    const std::string pd = "Controller 0 : Physical Information Get Error. 00008001\n";
    const std::vector<Row> rows = {
        {"ldd", kOneDisk, "-", "", "ldd Command Error.\n", "", ""},
        {"entry-point", kOneDisk, noentry_lib(T()), "", "Library Load Error(%s).\n", "", ""},
        {"query", "controller 0\ndevice 0 0 sas pdinfo-error 0x8001\ncontroller 1\ncontroller-info-error 1 0x22\n", "",
         "", "", red(pd) + red("Controller 1 : Controller Information Get Error. 00000022\n"),
         pd + "Controller 1 : Controller Information Get Error. 00000022\n"},
        // 4 KiB: the first controller log takes the only page.
        {"log-write", "controller 0\n", "", "size=4k", "", "", "*"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(row.scenario);
        if (row.lib == "-") c->remove_work_file(T().lib_name);
        if (!row.lib.empty() && row.lib != "-") c->install_lib("", row.lib);
        std::string binding = row.binding;
        size_t at = binding.find("%s");
        if (at != std::string::npos) binding.replace(at, 2, c->work + "/" + T().lib_name);
        RunOptions o;
        if (!row.tmpfs.empty()) o.tmpfs = {{c->logdir(), row.tmpfs}};
        auto r = c->run(o);
        EXPECT_EQ(r.status, 0);
        EXPECT_RESET_LAST(r);
        const int n = row.scenario.find("controller 1") != std::string::npos ? 2 : 1;
        if (row.records == "*") {
            // Every collector after the first fails on the full file system;
            // the first of their records that cannot be written is said.
            auto reds = red_texts(r.out);
            ASSERT_GE(reds.size(), 2u) << show(r.out);
            EXPECT_EQ(reds[0], " File Write Error(/o_tmp/TMP/KESTRA/logdperr.txt)\n") << show(r.out);
            EXPECT_EQ(std::count(reds.begin(), reds.end(), reds[0]), 1) << show(r.out);
            continue;
        }
        std::string expect = full_run(n, row.drives);
        if (!binding.empty()) expect.insert(title().size(), red(binding));
        EXPECT_EQ(r.out, expect) << show(r.out);
        EXPECT_EQ(c->log("logdperr.txt"), binding + row.records);
    }
}

// A controller log that is empty or missing although the CLI said success
// is that collector's failure, with its own record; a CLI status other than
// 0 stays the collector's error text.
TEST_P(Run, EmptyControllerLog) {
    struct Row {
        const char* name;
        std::string rules;
        FailSet fail;      // collectors failing with their error text
        std::string file;  // file left empty, "" for none
    };
    const std::vector<Row> rows = {
        {"redirected", "cli exit pdlist 0 0\n", {}, "Controller_0_pdlist.log"},
        {"own-file", "cli exit adpeventlog 0 0\n", {}, "controller_0_Flashrom.log"},
        {"status", "cli exit ldinfo 0 2\n", {{"ldinfo", 0}}, ""},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(std::string(kOneController) + row.rules);
        auto r = c->run();
        EXPECT_EQ(r.status, 0);
        std::string expect = full_run(1, "", row.fail);
        std::string records = row.fail.empty() ? "" : collector_record(six_collectors()[4]);
        if (!row.file.empty()) {
            const std::string record = " Empty Log(" + c->logdir() + "/" + row.file + ")\n";
            const bool event = row.file[0] == 'c';
            const Collector& col = event ? event_collector() : six_collectors()[3];
            const std::string ok = collector_ok(col, 0);
            expect.replace(expect.find(ok), ok.size(), "Controller 0 : " + col.progress + " saving...\n" + red(record));
            records = record;
        }
        EXPECT_EQ(r.out, expect) << show(r.out);
        EXPECT_EQ(c->log("logdperr.txt"), records);
    }
}

INSTANTIATE_TEST_SUITE_P(Both, Run, ::testing::ValuesIn(tools()), tool_param_name);
