// Unsafe input of whole runs: shell characters in the names that command
// lines are built from, and links or other users' files planted where the
// tool writes its temporary files and its logs.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "harness.h"

using namespace e2e;

namespace {

class Safety : public E2E {};

}  // namespace

// Shell characters in the working directory, the CLI name and the library
// name: every command still reaches the right files.
TEST_P(Safety, ShellCharactersInNames) {
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
TEST_P(Safety, TemporaryFilesNotFollowed) {
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

// No file of the log directory is written through a link planted there,
// neither in the default directory nor in one a user made and named with
// -o: each is created afresh and the link targets stay untouched.
TEST_P(Safety, LinksInTheLogDirectory) {
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

INSTANTIATE_TEST_SUITE_P(Both, Safety, ::testing::ValuesIn(tools()), tool_param_name);
