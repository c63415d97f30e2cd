// The vendor CLI runner and the controller logs, against a stand-in CLI in a
// scratch working directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Kestra02.h"

#include "test_util.h"
using testutil::capture_stdout;

namespace {

template <size_t N>
void set(char (&buf)[N], const std::string& v) {
    memset(buf, 0, N);
    v.copy(buf, N - 1);
}

TEST(Collectors, CommandLinesFilesAndFailures) {
    char tmpl[] = "/tmp/logdump_cli_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string D = tmpl, log = D + "/my log";
    ASSERT_EQ(mkdir(log.c_str(), 0755), 0);
    int oldCwd = open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(chdir(D.c_str()), 0);
    // The stand-in records each argument as "[arg]", fails the Uart log of
    // controller 1, writes the event log after "-f", and talks on stderr only
    // for the event log (whose console output must go nowhere).
    std::ofstream(D + "/my cli") << "#!/bin/sh\n{ for a in \"$@\"; do printf '[%s]' \"$a\"; done; echo; } >> " << D
                                 << "/trace\n"
                                    "[ \"$1 $3\" = '-fwtermlog -a1' ] && exit 1\n"
                                    "if [ \"$1\" = -adpeventlog ]; then echo ev > \"$4\"; echo noise; echo noise >&2;"
                                    " exit 0; fi\necho \"log for $*\"\n";
    chmod((D + "/my cli").c_str(), 0755);
    iTmpPassFlg = 1;
    set(cTmpFilePass, D);
    set(cLogFilePass, log);
    set(cRaidCliName, "my cli");
    gfpErrLog = nullptr;
    iCommandFlg = 1;

    fflush(stderr);
    FILE* err = tmpfile();
    int savedErr = dup(2);
    dup2(fileno(err), 2);
    std::string out = capture_stdout([] {
        Get_SUart_Log(2);
        Get_SLdinfo_Log(1);
        Get_SEvent_Log(2);
        Get_SEvent_Log(0);
    });
    dup2(savedErr, 2);
    close(savedErr);
    EXPECT_EQ(lseek(fileno(err), 0, SEEK_END), 0);
    fclose(err);

    EXPECT_EQ(out,
              "Controller 0 : Uart Log saving...\nUart Log save success.\n\n"
              "Controller 1 : Uart Log saving...\n\033[31m Uart Log save error !\n\n\033[0m"
              "Controller 0 : Logical Drive Information saving...\nLogical Drive Information save success.\n\n"
              "\nController 0 : FlashROM Log saving...\nFlashROM Log save success.\n\n"
              "Controller 1 : FlashROM Log saving...\nFlashROM Log save success.\n\n"
              "\n");
    EXPECT_EQ(testutil::read_file(D + "/trace"),
              "[-fwtermlog][-dsply][-a0]\n[-fwtermlog][-dsply][-a1]\n[-ldinfo][-Lall][-a0]\n"
              "[-adpeventlog][-getevents][-f][" +
                  log +
                  "/controller_0_Flashrom.log][-a0]\n"
                  "[-adpeventlog][-getevents][-f][" +
                  log + "/controller_1_Flashrom.log][-a1]\n");
    EXPECT_EQ(testutil::read_file(log + "/Controller_0_fwtermlog.log"), "log for -fwtermlog -dsply -a0\n");
    EXPECT_EQ(testutil::read_file(log + "/Controller_0_ldinfo.log"), "log for -ldinfo -Lall -a0\n");
    EXPECT_EQ(testutil::read_file(log + "/controller_1_Flashrom.log"), "ev\n");

    // A log directory that fits its buffer but no command line around it:
    // each controller fails with the collector's error and nothing runs.
    unlink((D + "/trace").c_str());
    set(cLogFilePass, D + "/" + std::string(240 - D.size(), 'L'));
    out = capture_stdout([] { Get_SPdlist_Log(1); });
    EXPECT_EQ(out,
              "Controller 0 : Physical Drive List saving...\n\033[31m Physical Drive List save error !\n\n\033[0m");
    EXPECT_FALSE(std::ifstream(D + "/trace").good());

    EXPECT_EQ(fchdir(oldCwd), 0);
    close(oldCwd);
    iTmpPassFlg = 0;
    memset(cTmpFilePass, 0, sizeof cTmpFilePass);
    ASSERT_EQ(system(("rm -rf '" + D + "'").c_str()), 0);
}

TEST(CurrentDirectory, WholeNameOrNothing) {
    char tmpl[] = "/tmp/logdump_pwd_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string D = tmpl;
    int oldCwd = open(".", O_RDONLY | O_DIRECTORY);
    iTmpPassFlg = 1;
    set(cTmpFilePass, D);
    // Only the newline pwd adds goes; one inside the name, or a last
    // character that is not a newline, stays.
    std::string odd = D + "/two\nlines x";
    std::string deep = D;
    while (deep.size() <= 255) deep += "/" + std::string(40, 'd');
    ASSERT_EQ(mkdir(odd.c_str(), 0755), 0);
    ASSERT_EQ(system(("mkdir -p '" + deep + "'").c_str()), 0);
    for (const std::string& dir : {D, odd, deep}) {
        ASSERT_EQ(chdir(dir.c_str()), 0);
        const char* got = Get_Current_Pass();
        if (dir.size() > 255) {
            EXPECT_EQ(got, nullptr);
        } else {
            EXPECT_EQ(got ? std::string(got) : "<null>", dir);
        }
        EXPECT_EQ(fpPwd, nullptr);
    }
    // Nowhere to write pwd's output.
    set(cTmpFilePass, D + "/missing");
    EXPECT_EQ(Get_Current_Pass(), nullptr);
    EXPECT_EQ(fchdir(oldCwd), 0);
    close(oldCwd);
    iTmpPassFlg = 0;
    memset(cTmpFilePass, 0, sizeof cTmpFilePass);
    ASSERT_EQ(system(("rm -rf '" + D + "'").c_str()), 0);
}

}  // namespace
