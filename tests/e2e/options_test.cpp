// The command line and the working paths of whole runs: -o, -w and -c,
// values and paths at the limits of their buffers, command lines that would
// not fit, and pwd's answer at its edges.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "harness.h"

using namespace e2e;

namespace {

class Options : public E2E {};

}  // namespace

// -o: the log directory of the drive logs, created with its parents when
// missing, one trailing '/' removed, blanks and shell characters kept as
// part of one directory name and never run.
TEST_P(Options, LogDirectoryOption) {
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
TEST_P(Options, LogDirectoryEdges) {
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
TEST_P(Options, WorkDirectoryOption) {
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
TEST_P(Options, TwoCliOptions) {
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
TEST_P(Options, TooLongOptionValues) {
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
TEST_P(Options, CommandLinesThatDoNotFit) {
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
TEST_P(Options, WorkingDirectoryAtTheLimit) {
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

// pwd that leaves no answer (its file system is full) gives no working
// directory: the steps that need it fail, and nothing is looked for at "/".
TEST_P(Options, EmptyWorkingDirectoryAnswer) {
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

INSTANTIATE_TEST_SUITE_P(Both, Options, ::testing::ValuesIn(tools()), tool_param_name);
