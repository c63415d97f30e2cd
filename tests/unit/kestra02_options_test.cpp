// Command line and the path rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Kestra02.h"

#include "test_util.h"
using testutil::capture_stdout;

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

struct OptionCase {
    const char* name;
    std::vector<std::string> args;  // "@" stands for a scratch directory
    std::string console;
    int command, logFlag;
    std::string log;
    int tmpFlag;
    std::string tmp, lib, cli;
    int internal;
    int extended = 0;
};

std::string at(std::string s, const std::string& base) {
    for (size_t p; (p = s.find('@')) != std::string::npos;) s.replace(p, 1, base);
    return s;
}

TEST(Options, Table) {
    char tmpl[] = "/tmp/logdump_opt_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string base = tmpl;
    ASSERT_EQ(mkdir((base + "/log").c_str(), 0755), 0);
    const std::string L = LOGDUMP_DEFAULT_LIB, C = LOGDUMP_DEFAULT_CLI, D = "/o_tmp/TMP/KESTRA";
    const std::string long256 = "@/" + std::string(256, 'o');
    // Fits the buffer, but "mkdir -p " in front of it does not fit a command.
    const std::string new250 = "@/" + std::string(249 - base.size(), 'n');
    auto tooLong = [](const char* o) { return "\033[31mOption Value Too Long(" + std::string(o) + ").\n\033[0m"; };
    const std::vector<OptionCase> cases = {
        {"no argument", {}, "", 0, 0, D, 0, "", L, C, 1},
        {"a plain word", {"now"}, "", 1, 0, D, 0, "", L, C, 1},
        {"an unlisted option", {"-x"}, "", 1, 0, D, 0, "", L, C, 1},
        {"-n", {"-n"}, "", 1, 0, D, 0, "", L, C, 0},
        // -e alone keeps the full run; beside anything else it does not.
        {"-e", {"-e"}, "", 0, 0, D, 0, "", L, C, 1, 1},
        {"-e twice", {"-e", "-ee"}, "", 0, 0, D, 0, "", L, C, 1, 1},
        {"-e and -n", {"-e", "-n"}, "", 1, 0, D, 0, "", L, C, 0, 1},
        {"-en", {"-en"}, "", 1, 0, D, 0, "", L, C, 0, 1},
        {"-e and a word", {"-e", "now"}, "", 1, 0, D, 0, "", L, C, 1, 1},
        {"-e as a value", {"-c", "-e"}, "", 1, 0, D, 0, "", L, "-e", 1, 0},
        {"-o with a trailing slash", {"-o", "@/log/"}, "", 1, 1, "@/log", 0, "", L, C, 1},
        {"only one slash goes", {"-o", "@/log//"}, "", 1, 1, "@/log/", 0, "", L, C, 1},
        {"-o /", {"-o", "/"}, "", 1, 1, "", 0, "", L, C, 1},
        {"-w", {"-w", "@/log"}, "", 1, 0, D, 1, "@/log", L, C, 1},
        {"-o created, blank kept", {"-o", "@/new/my logs"}, "", 1, 1, "@/new/my logs", 0, "", L, C, 1},
        {"-w runs nothing else", {"-w", "@/x;touch @/pwned"}, "", 1, 0, D, 1, "@/x;touch @/pwned", L, C, 1},
        {"two -c, words between",
         {"-c", "First", "word", "-c", "MyCli", "-l", "/a.so"},
         "",
         1,
         0,
         D,
         0,
         "",
         "/a.so",
         "MyCli",
         1},
        {"-c of 31", {"-c", std::string(31, 'c')}, "", 1, 0, D, 0, "", L, std::string(31, 'c'), 1},
        {"-c of 32 refused",
         {"-c", "Before", "-c", std::string(32, 'c')},
         tooLong("-c"),
         1,
         0,
         D,
         0,
         "",
         L,
         "Before",
         1},
        {"-l of 255", {"-l", std::string(255, 'l')}, "", 1, 0, D, 0, "", std::string(255, 'l'), C, 1},
        {"-l of 256 refused", {"-l", std::string(256, 'l')}, tooLong("-l"), 1, 0, D, 0, "", L, C, 1},
        {"-o of 256 refused", {"-o", "@/log", "-o", long256}, tooLong("-o"), 1, 1, "@/log", 0, "", L, C, 1},
        {"-w whose mkdir does not fit", {"-w", "@/log", "-w", new250}, tooLong("-w"), 1, 0, D, 1, "@/log", L, C, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"logdump"};
        for (const auto& a : c.args) args.push_back(at(a, base));
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        memset(cTmpFilePass, 0, sizeof cTmpFilePass);
        optind = 0;  // full re-initialisation of getopt between runs
        opterr = 0;
        std::string out = capture_stdout([&] { Analys_Option(static_cast<int>(args.size()), argv.data()); });
        opterr = 1;
        EXPECT_EQ(out, c.console) << c.name;
        EXPECT_EQ(iCommandFlg, c.command) << c.name;
        EXPECT_EQ(iLogPassFlg, c.logFlag) << c.name;
        EXPECT_EQ(cLogFilePass, at(c.log, base)) << c.name;
        EXPECT_EQ(iTmpPassFlg, c.tmpFlag) << c.name;
        EXPECT_EQ(cTmpFilePass, at(c.tmp, base)) << c.name;
        EXPECT_EQ(cLibFileName, c.lib) << c.name;
        EXPECT_EQ(cRaidCliName, c.cli) << c.name;
        EXPECT_EQ(iInternalLogFlg, c.internal) << c.name;
        EXPECT_EQ(iExtendedFlg, c.extended) << c.name;
    }
    iExtendedFlg = 0;
    EXPECT_TRUE(exists(base + "/new/my logs"));
    EXPECT_FALSE(exists(base + "/new/my"));
    EXPECT_FALSE(exists(base + "/pwned"));
    EXPECT_FALSE(exists(at(new250, base)));
    memset(cTmpFilePass, 0, sizeof cTmpFilePass);
    iTmpPassFlg = 0;
    ASSERT_EQ(system(("rm -rf '" + base + "'").c_str()), 0);
}

TEST(PathRule, Table) {
    struct Case {
        std::string dir;
        const char* def;
        int flag;
        std::optional<std::string> expect;  // nullopt: refused
    };
    const std::string d243(243, 'w');  // with "/pwd_out.txt": 255 characters
    const std::vector<Case> cases = {
        {"/data/log", "/o_tmp/TMP/KESTRA/logdperr.txt", 0, "/o_tmp/TMP/KESTRA/logdperr.txt"},
        {"/data/log", "/tmp/pwd_out.txt", 2, "/tmp/pwd_out.txt"},
        {"/data/log", "/o_tmp/TMP/KESTRA/logdperr.txt", 1, "/data/log/logdperr.txt"},
        {"/var/work", "/tmp/pwd_out.txt", 1, "/var/work/pwd_out.txt"},
        {"", "/tmp/adpconf.txt", 1, "/adpconf.txt"},
        {d243, "/tmp/pwd_out.txt", 1, d243 + "/pwd_out.txt"},
        {d243 + "w", "/tmp/pwd_out.txt", 1, std::nullopt},
    };
    for (const auto& c : cases) {
        const char* got = Get_Command_FileName(c.dir.c_str(), c.def, c.flag);
        if (!c.expect) {
            EXPECT_EQ(got, nullptr) << c.dir.size();
            continue;
        }
        ASSERT_NE(got, nullptr) << c.dir;
        EXPECT_EQ(std::string(got), *c.expect) << c.dir;
    }
}

}  // namespace
