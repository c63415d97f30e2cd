// Whole runs of the tool: run sequence, options, vendor CLI command lines,
// controller logs, error log, pauses, interrupts, the console's order, and
// the hardening of shell commands and temporary files.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "harness.h"

using namespace e2e;

namespace {

class Run : public E2E {};

// One controller without devices.
const char* kOneController = "controller 0\n";
const std::string kDiskSaving = Disk{}.saving();

std::vector<std::string> call(const Case& c, const std::string& out, const std::vector<std::string>& args,
                              const std::string& cli = "") {
    std::vector<std::string> v{"stdout=" + out, c.work + "/" + (cli.empty() ? c.tool.cli_name : cli)};
    v.insert(v.end(), args.begin(), args.end());
    return v;
}

std::vector<std::string> count_call(const Case& c, const std::string& tmpdir = "/tmp", const std::string& cli = "") {
    return call(c, tmpdir + "/adpconf.txt", {"-adpcount", "-NoLog"}, cli);
}

// Every CLI call of a run without arguments over n controllers.
std::vector<std::vector<std::string>> full_run_calls(const Case& c, int n) {
    std::vector<std::vector<std::string>> v{count_call(c)};
    for (auto& col : six_collectors())
        for (int i = 0; i < n; ++i)
            v.push_back(call(c, collector_stdout(col, i, c.logdir()), collector_args(col, i, c.logdir())));
    for (int i = 0; i < n; ++i)
        v.push_back(call(c, collector_stdout(event_collector(), i, c.logdir()),
                         collector_args(event_collector(), i, c.logdir())));
    return v;
}

// The trace of a run with the sleep log merged into it, reduced to
// "cli <first argument> -aN", "sleep 1" and "lib" (consecutive library
// calls folded into one).
std::vector<std::string> sequence(const Case& c) {
    std::vector<std::string> seq;
    for (auto& l : c.trace()) {
        std::string item;
        if (l.rfind("cli\t", 0) == 0) {
            std::vector<std::string> parts;
            std::string cur;
            for (char ch : l) {
                if (ch == '\t') {
                    parts.push_back(cur);
                    cur.clear();
                } else {
                    cur += ch;
                }
            }
            parts.push_back(cur);
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

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> v;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        v.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return v;
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
        for (auto& line : lines(r.err))
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

// -o: the log directory of the drive logs, created with its parents when
// missing, one trailing '/' removed, blanks and shell characters kept as
// part of one directory name and never run.
TEST_P(Run, LogDirectoryOption) {
    struct Row {
        const char* name;
        std::string dir;   // value of -o
        std::string file;  // where the drive log must be
    };
    const std::vector<Row> rows = {
        {"trailing-slash", "/o_tmp/out/", "/o_tmp/out/MA0000.log"},
        {"parents", "/o_tmp/a/b/c", "/o_tmp/a/b/c/MA0000.log"},
        {"blank", "/o_tmp/data/my logs", "/o_tmp/data/my logs/MA0000.log"},
        {"semicolon", "/tmp/x;touch /tmp/pwned", "/tmp/x;touch /tmp/pwned/MA0000.log"},
        {"quotes-and-substitution", "/o_tmp/it's $(touch /tmp/pwned) `touch /tmp/pwned` &x",
         "/o_tmp/it's $(touch /tmp/pwned) `touch /tmp/pwned` &x/MA0000.log"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneDisk);
        auto r = c->run({"-o", row.dir});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out) << r.err;
        EXPECT_RESET_LAST(r);
        EXPECT_EQ(c->read(row.file), kOneDiskLog) << row.file;
        EXPECT_TRUE(c->logs().empty()) << listing(c->logs());
        EXPECT_FALSE(c->exists("/tmp/pwned")) << "a shell command hidden in the value was run";
    }
    // A blank splits nothing: only the one directory exists.
    auto c = make_case("blank-listing");
    c->scenario(kOneDisk);
    auto r = c->run({"-o", "/o_tmp/my logs"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(c->list("/o_tmp"), (std::vector<std::string>{"TMP", "my logs"}));
    EXPECT_EQ(c->list("/o_tmp/my logs"), std::vector<std::string>{"MA0000.log"});
}

// Log directories at the edges: -o / makes it the empty string, so the
// drive log is composed as "/MA0000.log" in the root directory (read-only in
// the test's namespace: the open fails and is reported with that path); a
// directory that cannot be created is still taken and its file fails the
// same way; a directory of 116 characters still fits the drive log's path of
// 127; one of 117 either is refused without writing anything anywhere or,
// with a larger path buffer, gets the whole log.
TEST_P(Run, LogDirectoryEdges) {
    const std::string fits = "/o_tmp/" + std::string(109, 'd');      // 116 characters
    const std::string too_long = "/o_tmp/" + std::string(110, 'd');  // 117 characters
    struct Row {
        const char* name;
        std::string dir;
        std::string error;  // expected red message, "" for none, "*" for none or a File Open Error
    };
    const std::vector<Row> rows = {
        {"root", "/", " File Open Error(/MA0000.log)\n"},
        {"not-creatable", "/o_tmp/plain-file/sub", " File Open Error(/o_tmp/plain-file/sub/MA0000.log)\n"},
        {"116", fits, ""},
        {"117", too_long, "*"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneDisk);
        c->write("/o_tmp/plain-file", "a file, not a directory\n");
        auto r = c->run({"-o", row.dir});
        EXPECT_EQ(r.status, 0);
        EXPECT_RESET_LAST(r);
        if (row.error.empty()) {
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
            EXPECT_EQ(c->read(row.dir + "/MA0000.log"), kOneDiskLog);
        } else if (row.error == "*" && red_texts(r.out).empty()) {
            // A path buffer made larger than 128: the log is written whole.
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
            EXPECT_EQ(c->read(row.dir + "/MA0000.log"), kOneDiskLog);
        } else if (row.error == "*") {
            auto reds = red_texts(r.out);
            ASSERT_EQ(reds.size(), 1u) << show(r.out);
            EXPECT_EQ(reds[0].rfind(" File Open Error(", 0), 0u) << show(r.out);
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + red(reds[0]) + kReset) << show(r.out);
            EXPECT_TRUE(c->list(row.dir).empty()) << listing(c->list(row.dir));
            EXPECT_TRUE(c->list(row.dir.substr(0, 116)).empty()) << "a cut path was written";
        } else {
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + red(row.error) + kReset) << show(r.out);
        }
        EXPECT_TRUE(c->logs().empty()) << listing(c->logs());
    }
}

// -w moves all three temporary files into the work directory (created when
// missing, one trailing '/' removed); /tmp then receives none of them.
TEST_P(Run, WorkDirectoryOption) {
    for (std::string w : {"/o_tmp/wd", "/o_tmp/new/wd/"}) {
        SCOPED_TRACE(w);
        auto c = make_case(w == "/o_tmp/wd" ? "plain" : "created");
        c->scenario(kOneDisk);
        if (w == "/o_tmp/wd") std::filesystem::create_directories(c->host(w));
        std::string d = w.back() == '/' ? w.substr(0, w.size() - 1) : w;
        auto r = c->run({"-w", w});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
        EXPECT_EQ(c->list(d), (std::vector<std::string>{"adpconf.txt", "ldd_out.txt", "pwd_out.txt"}));
        EXPECT_EQ(c->read(d + "/pwd_out.txt"), c->work + "\n");
        EXPECT_NE(c->read(d + "/adpconf.txt").find("Controller Count: 1"), std::string::npos);
        EXPECT_NE(c->read(d + "/ldd_out.txt").find("libc"), std::string::npos);
        EXPECT_TRUE(c->list("/tmp").empty()) << listing(c->list("/tmp"));
        EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c, d)});
        EXPECT_EQ(c->log("MA0000.log"), kOneDiskLog);
    }
}

// -c given twice: the last value names the CLI in the working directory.
TEST_P(Run, TwoCliOptions) {
    auto c = make_case();
    c->scenario(kOneDisk);
    c->remove_work_file(T().cli_name);
    c->install_cli("MyCli");
    auto r = c->run({"-c", "OtherCli", "-c", "MyCli"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
    EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c, "/tmp", "MyCli")});
}

// Values longer than their buffers (255 characters, 31 for -c) are refused
// with a red message that names the option; the previous value stays.
TEST_P(Run, TooLongOptionValues) {
    const std::string cli31(31, 'c'), cli32(32, 'c');
    const std::string long_dir = "/o_tmp/" + std::string(249, 'd');  // 256 characters
    const std::string long_lib(256, 'l');
    struct Row {
        const char* name;
        std::vector<std::string> args;
        char option;  // refused option, 0 for none
    };
    const std::vector<Row> rows = {
        {"cli-31", {"-c", cli31}, 0},
        {"cli-32", {"-c", "MyCli", "-c", cli32}, 'c'},
        {"log-dir-256", {"-o", "/o_tmp/ok", "-o", long_dir}, 'o'},
        {"work-dir-256", {"-w", long_dir}, 'w'},
        {"lib-256", {"-l", long_lib}, 'l'},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneDisk);
        c->install_cli(cli31);
        c->install_cli("MyCli");
        auto r = c->run(row.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_RESET_LAST(r);
        auto reds = red_texts(r.out);
        if (row.option) {
            ASSERT_EQ(reds.size(), 1u) << show(r.out);
            EXPECT_NE(reds[0].find(std::string("-") + row.option), std::string::npos)
                << "the message does not name -" << row.option << show(r.out);
            EXPECT_EQ(r.out.substr(r.out.size() - (kSaving + kDiskSaving + kReset).size()),
                      kSaving + kDiskSaving + kReset)
                << show(r.out);
        } else {
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
        }
        std::string cli = row.name == std::string("cli-31") ? cli31 : row.option == 'c' ? "MyCli" : "";
        EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c, "/tmp", cli)});
        std::string logdir = row.option == 'o' ? "/o_tmp/ok" : c->logdir();
        EXPECT_EQ(c->read(logdir + "/MA0000.log"), kOneDiskLog);
        EXPECT_FALSE(c->exists(long_dir)) << "a refused directory was created";
        EXPECT_FALSE(c->exists(long_dir.substr(0, 255))) << "a cut directory was created";
    }
}

// Command lines that would not fit 255 characters are refused by the step
// that builds them, through its own failure report: nothing cut is run.
// The working directory is made so long that the count query's command is
// exactly 255 characters (it runs) or 256 (refused, no controller found);
// every collector's command is longer and is refused.
TEST_P(Run, CommandLinesThatDoNotFit) {
    const std::string count_args = "-adpcount -NoLog > /tmp/adpconf.txt";
    for (int over : {0, 1}) {
        SCOPED_TRACE(over);
        auto c = make_case(over ? "256" : "255");
        c->scenario(kOneController);
        size_t target = 255 + over - (1 + T().cli_name.size() + 1 + count_args.size());
        if (!c->set_work_of_length(target)) GTEST_SKIP() << "the build directory path is too long for this case";
        auto r = c->run();
        EXPECT_EQ(r.status, 0);
        EXPECT_RESET_LAST(r);
        if (over) {
            EXPECT_EQ(r.out, title() + red(" RAID Contoroller is not Found\n") + kReset) << show(r.out);
            EXPECT_TRUE(c->cli_calls().empty()) << "a command line was cut and run";
        } else {
            FailSet all;
            for (auto& col : six_collectors()) all.insert({col.cmd, 0});
            all.insert({"adpeventlog", 0});
            EXPECT_EQ(r.out, full_run(1, "", all)) << show(r.out);
            EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c)});
            std::string records;
            for (auto& col : six_collectors()) records += collector_record(col);
            records += collector_record(event_collector());
            EXPECT_EQ(c->log("logdperr.txt"), records);
        }
    }
}

// pwd's answer of 255 characters is taken, one of 256 is refused (never
// cut): the library's path and every command line then no longer fit.
TEST_P(Run, WorkingDirectoryAtTheLimit) {
    for (size_t n : {255u, 256u}) {
        SCOPED_TRACE(n);
        auto c = make_case(std::to_string(n));
        c->scenario(kOneDisk);
        if (!c->set_work_of_length(n)) GTEST_SKIP() << "the build directory path is too long for this case";
        auto r = c->run({"word"});
        EXPECT_EQ(r.status, 0);
        std::string bind = n == 255 ? "File Open Error(" + c->work + "/" + T().lib_name + ").\n"
                                    : "File Open Error(" + T().lib_name + ").\n";
        EXPECT_EQ(r.out, title() + red(bind) + red(" RAID Contoroller is not Found\n") + kReset) << show(r.out);
        EXPECT_TRUE(c->cli_calls().empty());
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

// Shell characters in the working directory, the CLI name and the library
// name: every command still reaches the right files.
TEST_P(Run, ShellCharactersInNames) {
    struct Row {
        const char* name;
        std::string work;  // "" keeps work/
        std::vector<std::string> args;
        std::string cli, lib;  // installed names ("" = defaults)
    };
    const std::vector<Row> rows = {
        {"work-dir", "work dir 'q' $HOME;x&y", {}, "", ""},
        {"cli-name", "", {"-c", "my cli;x"}, "my cli;x", ""},
        {"lib-name", "", {"-l", "lib raid $x.so"}, "", "lib raid $x.so"},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneDisk);
        if (!row.work.empty()) c->set_work(row.work);
        if (!row.cli.empty()) c->install_cli(row.cli);
        if (!row.lib.empty()) c->install_lib(row.lib);
        auto r = c->run(row.args);
        EXPECT_EQ(r.status, 0);
        if (row.args.empty()) {
            EXPECT_EQ(r.out, full_run(1, kDiskSaving)) << show(r.out);
            EXPECT_EQ(c->cli_calls(), full_run_calls(*c, 1));
        } else {
            EXPECT_EQ(r.out, title() + kSaving + kDiskSaving + kReset) << show(r.out);
            EXPECT_EQ(c->cli_calls(), std::vector<std::vector<std::string>>{count_call(*c, "/tmp", row.cli)});
        }
        EXPECT_EQ(c->log("MA0000.log"), kOneDiskLog);
    }
}

// The three fixed temporary files are never written through a symbolic
// link nor into a file of another user: what stands there is replaced by a
// fresh regular file of root, and the link targets stay untouched.
TEST_P(Run, TemporaryFilesNotFollowed) {
    struct Row {
        const char* name;
        std::string dir;  // where the temporary files go ("/tmp" or the -w value)
        bool links;       // symbolic links (else regular files of another user)
    };
    const std::vector<Row> rows = {
        {"links", "/tmp", true},
        {"foreign-files", "/tmp", false},
        {"links-work-dir", "/o_tmp/wd", true},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto c = make_case(row.name);
        c->scenario(kOneController);
        namespace fs = std::filesystem;
        fs::create_directories(c->host(row.dir));
        c->write("/tmp/victim_pwd", "keep pwd\n");
        c->write("/o_tmp/victim_ldd", "keep ldd\n");
        for (auto name : {"pwd_out.txt", "ldd_out.txt", "adpconf.txt"}) {
            std::string p = c->host(row.dir + "/" + name);
            if (row.links) {
                // Targets as the tool would see them inside its namespace.
                std::string target = std::string(name) == "pwd_out.txt"   ? "/tmp/victim_pwd"
                                     : std::string(name) == "ldd_out.txt" ? "/o_tmp/victim_ldd"
                                                                          : "/tmp/absent";
                fs::create_symlink(target, p);
            } else {
                c->write(row.dir + "/" + name,
                         std::string(name) == "adpconf.txt" ? "Controller Count: 5\n" : "/nowhere\n");
                ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
            }
        }
        bool w = row.dir != "/tmp";
        auto r = w ? c->run({"-w", row.dir}) : c->run();
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, w ? title() + kSaving + kReset : full_run(1)) << show(r.out);
        EXPECT_EQ(c->read("/tmp/victim_pwd"), "keep pwd\n");
        EXPECT_EQ(c->read("/o_tmp/victim_ldd"), "keep ldd\n");
        EXPECT_FALSE(c->exists("/tmp/absent")) << "a dangling link was followed";
        for (auto name : {"pwd_out.txt", "ldd_out.txt", "adpconf.txt"}) {
            struct stat st {};
            std::string p = c->host(row.dir + "/" + name);
            ASSERT_EQ(::lstat(p.c_str(), &st), 0) << p;
            EXPECT_TRUE(S_ISREG(st.st_mode)) << name << " is not a regular file";
            EXPECT_EQ(st.st_uid, 0u) << name << " still belongs to another user";
        }
        EXPECT_EQ(c->read(row.dir + "/pwd_out.txt"), c->work + "\n");
        EXPECT_EQ(c->cli_calls().size(), w ? 1u : 8u);
    }
}

// Ctrl-C while a CLI command runs: the run ends at once with status 1, goes
// on with nothing, and resets the terminal colour last.
TEST_P(Run, InterruptDuringCliCommand) {
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
TEST_P(Run, InterruptDuringPause) {
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

// No file of the log directory is written through a link planted there,
// neither in the default directory nor in one a user made and named with
// -o: each is created afresh and the link targets stay untouched.
TEST_P(Run, LinksInTheLogDirectory) {
    for (bool option : {false, true}) {
        SCOPED_TRACE(option ? "-o to a directory of a user" : "default directory");
        auto c = make_case(option ? "option" : "default");
        c->scenario(kOneDisk);
        const std::string dir = option ? "/o_tmp/user" : c->logdir();
        namespace fs = std::filesystem;
        fs::create_directories(c->host(dir));
        if (option) {
            ASSERT_EQ(::chown(c->host(dir).c_str(), 65534, 65534), 0);
        }
        c->write("/o_tmp/victim", "keep\n");
        std::vector<std::string> names = {"MA0000.log"};
        if (!option) names = {"MA0000.log", "logdperr.txt", "Controller_0_fwtermlog.log", "controller_0_Flashrom.log"};
        for (auto& n : names) fs::create_symlink("/o_tmp/victim", c->host(dir + "/" + n));
        auto r = option ? c->run({"-o", dir}) : c->run();
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, option ? title() + kSaving + kDiskSaving + kReset : full_run(1, kDiskSaving)) << show(r.out);
        EXPECT_EQ(c->read("/o_tmp/victim"), "keep\n");
        for (auto& n : names) {
            struct stat st {};
            ASSERT_EQ(::lstat(c->host(dir + "/" + n).c_str(), &st), 0) << n;
            EXPECT_TRUE(S_ISREG(st.st_mode)) << n << " is not a regular file";
        }
        EXPECT_EQ(c->read(dir + "/MA0000.log"), kOneDiskLog);
        if (!option) {
            EXPECT_EQ(c->log("logdperr.txt"), "");
            EXPECT_NE(c->log("Controller_0_fwtermlog.log"), "");
        }
    }
}

// pwd that leaves no answer (its file system is full) gives no working
// directory: the steps that need it fail, and nothing is looked for at "/".
TEST_P(Run, EmptyWorkingDirectoryAnswer) {
    auto c = make_case();
    c->scenario(kOneDisk);
    RunOptions o;
    o.args = {"-w", "/o_tmp/wd"};
    // 4 KiB: the library's dependency list takes the only page.
    o.tmpfs = {{"/o_tmp/wd", "size=4k"}};
    std::filesystem::create_directories(c->host("/o_tmp/wd"));
    auto r = c->run(o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, title() + red("File Open Error(" + T().lib_name + ").\n") +
                         red(" RAID Contoroller is not Found\n") + kReset)
        << show(r.out);
    EXPECT_EQ(r.err.find("/" + T().cli_name), std::string::npos) << r.err;
    EXPECT_TRUE(c->cli_calls().empty());
    EXPECT_TRUE(c->lib_calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Both, Run, ::testing::ValuesIn(tools()), tool_param_name);
