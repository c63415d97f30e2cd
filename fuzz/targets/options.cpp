// The command line: any argument vector. The input is split at zero bytes
// into argv[1..]. Directories named by -o and -w all "exist" here (access()
// below says so), so that no mkdir runs and nothing outside is touched; a
// shell command started anyway ends the target.
#include <cstring>
#include <getopt.h>
#include <unistd.h>
#include <vector>

#include "common.h"
#include "Kestra02.h"

extern "C" int access(const char*, int) { return 0; }
extern "C" int system(const char* command) {
    fprintf(stderr, "option parsing ran a shell command: %s\n", command ? command : "(null)");
    abort();
}

namespace {

template <size_t N>
bool terminated(const char (&buf)[N]) {
    return memchr(buf, '\0', N) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
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

    FUZZ_CHECK(iCommandFlg == (args.size() > 1 ? 1 : 0));
    FUZZ_CHECK(terminated(cLogFilePass) && terminated(cTmpFilePass));
    FUZZ_CHECK(terminated(cLibFileName) && terminated(cRaidCliName));
    FUZZ_CHECK(cLibFileName[0] != '\0' || args.size() > 1);
    // A directory value that was taken lost at most one trailing '/'.
    if (iLogPassFlg == 0) FUZZ_CHECK(strcmp(cLogFilePass, "/o_tmp/TMP/KESTRA") == 0);
    // The next run starts from empty names, as a process would.
    memset(cTmpFilePass, 0, sizeof cTmpFilePass);
    return 0;
}
