// The command line: any argument vector. The input is split at zero bytes
// into argv[1..]. Directories named by -o and -w all "exist" here (access()
// below says so), so that no mkdir runs and nothing outside is touched. A
// shell command started anyway is caught where its child would exec the
// shell: the child tells the target through a pipe and ends.
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "Kestra02.h"
#include "common.h"

namespace {
int g_exec_pipe[2] = {-1, -1};
}  // namespace

extern "C" int access(const char*, int) { return 0; }
extern "C" int execv(const char*, char* const[]) {
    const char c = 'x';
    ssize_t ignored = write(g_exec_pipe[1], &c, 1);
    (void)ignored;
    _exit(127);
}
extern "C" int system(const char*) {
    const char c = 'x';
    ssize_t ignored = write(g_exec_pipe[1], &c, 1);
    (void)ignored;
    return -1;
}

namespace {

template <size_t N>
bool terminated(const char (&buf)[N]) {
    return memchr(buf, '\0', N) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    if (pipe2(g_exec_pipe, O_NONBLOCK | O_CLOEXEC) != 0) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"logdump64"};
    std::string cur;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(data[i]);
        }
    }
    if (size > 0) args.push_back(cur);
    if (args.size() > 64) args.resize(64);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // getopt keeps its place between calls; 0 makes glibc start afresh.
    optind = 0;
    opterr = 0;
    Analys_Option(static_cast<int>(args.size()), argv.data());

    char c;
    FUZZ_CHECK(read(g_exec_pipe[0], &c, 1) != 1);  // no shell command was started
    // Any argument makes a drive-log-only run, except -e (or -ee...) alone.
    bool drive_only = false;
    for (size_t i = 1; i < args.size(); ++i)
        drive_only |= args[i].size() < 2 || args[i][0] != '-' || args[i].find_first_not_of('e', 1) != std::string::npos;
    FUZZ_CHECK(iCommandFlg == (drive_only ? 1 : 0));
    FUZZ_CHECK(terminated(cLogFilePass) && terminated(cTmpFilePass));
    FUZZ_CHECK(terminated(cLibFileName) && terminated(cRaidCliName));
    FUZZ_CHECK(cLibFileName[0] != '\0' || args.size() > 1);
    // A directory value that was taken lost at most one trailing '/'.
    if (iLogPassFlg == 0) FUZZ_CHECK(strcmp(cLogFilePass, "/o_tmp/TMP/KESTRA") == 0);
    // The next run starts from empty names, as a process would.
    memset(cTmpFilePass, 0, sizeof cTmpFilePass);
    return 0;
}
