// The fixed temporary files are never written through a link or into a file
// that is not ours alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Kestra02.h"
#include "test_util.h"

namespace {

void put(const std::string& p, const char* text) { std::ofstream(p) << text; }

TEST(TempFile, Table) {
    char tmpl[] = "/tmp/logdump_tmpf_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl, path = dir + "/adpconf.txt", victim = dir + "/victim";
    // Removed even when an assertion ends the test early: one case leaves a
    // 3 GiB (sparse) file behind.
    struct Cleanup {
        std::string dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    // stat64: the 32-bit test must see the inode of a file beyond 2 GiB too.
    auto inode = [&] {
        struct stat64 st {};
        lstat64(path.c_str(), &st);
        return st.st_ino;
    };
    using Plant = std::function<void()>;
    struct Case {
        const char* name;
        Plant plant;
        bool kept;  // our own plain file stays, emptied
    };
    const std::vector<Case> cases = {
        {"nothing there", [] {}, false},
        {"our own file", [&] { put(path, "old\n"); }, true},
        // Its size (like a 64-bit inode number on a large file system) does
        // not fit the 32-bit build's plain stat record.
        {"our own file beyond 2 GiB",
         [&] {
             put(path, "old\n");
             ASSERT_EQ(system(("truncate -s 3G '" + path + "'").c_str()), 0);
         },
         true},
        {"symlink to a file", [&] { ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0); }, false},
        {"dangling symlink", [&] { ASSERT_EQ(symlink((dir + "/none").c_str(), path.c_str()), 0); }, false},
        {"second name of another file", [&] { ASSERT_EQ(link(victim.c_str(), path.c_str()), 0); }, false},
        {"empty directory", [&] { ASSERT_EQ(mkdir(path.c_str(), 0755), 0); }, false},
        {"fifo", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }, false},
        {"file of another user",
         [&] {
             put(path, "theirs\n");
             ASSERT_EQ(chown(path.c_str(), 4242, 4242), 0);
         },
         false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(system(("rm -rf '" + path + "'").c_str()), 0);
        put(victim, "precious\n");
        c.plant();
        ino_t before = inode();
        ASSERT_TRUE(prepare_temp_file(path.c_str())) << c.name;
        struct stat st;
        ASSERT_EQ(lstat(path.c_str(), &st), 0) << c.name;
        EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1) << c.name;
        EXPECT_EQ(testutil::read_file(path), "") << c.name;
        // (A removed entry's inode number may be handed out again at once.)
        if (c.kept) {
            EXPECT_EQ(inode(), before) << c.name;
        }
        // Writing the path now reaches nothing that was planted there.
        put(path, "written\n");
        EXPECT_EQ(testutil::read_file(victim), "precious\n") << c.name;
    }
    // What cannot be cleared away is refused.
    ASSERT_EQ(system(("rm -rf '" + path + "'").c_str()), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    put(path + "/inside", "x");
    EXPECT_FALSE(prepare_temp_file(path.c_str()));
    EXPECT_FALSE(prepare_temp_file((dir + "/no/such/pwd_out.txt").c_str()));
}

}  // namespace
