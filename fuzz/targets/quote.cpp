// Shell quoting, round trip through a real /bin/sh: the quoted value given
// to `printf %s` must come back byte for byte. Starting a shell costs about
// ten milliseconds here, so the first inputs of each process (the corpus)
// and then every 32nd go through it; every input is checked for the form.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common.h"
#include "shell.h"

namespace {

constexpr unsigned kAlwaysFirst = 300;
constexpr unsigned kThenEvery = 32;
unsigned g_inputs = 0;
unsigned g_shell_runs = 0;

std::string through_shell(const std::string& command) {
    int fd[2];
    FUZZ_CHECK(pipe(fd) == 0);
    pid_t pid = fork();
    FUZZ_CHECK(pid >= 0);
    if (pid == 0) {
        dup2(fd[1], 1);
        close(fd[0]);
        close(fd[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fd[1]);
    std::string out;
    char buf[4096];
    // libFuzzer's own timer signal may cut a read or a wait short: go on,
    // or the shell would die of a closed pipe.
    for (;;) {
        ssize_t n = read(fd[0], buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd[0]);
    int st = 0;
    pid_t w;
    while ((w = waitpid(pid, &st, 0)) < 0 && errno == EINTR) {}
    FUZZ_CHECK(w == pid);
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) fprintf(stderr, "shell status %#x\n", static_cast<unsigned>(st));
    FUZZ_CHECK(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A command line cannot hold a zero byte: the value ends there.
    std::string value(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    std::string q = shell_quote(value);
    if (q == value) {
        FUZZ_CHECK(!value.empty());
        for (unsigned char c : value) FUZZ_CHECK(isalnum(c) || strchr("/._-+,:@%=", c));
    } else {
        FUZZ_CHECK(q.size() >= 2 && q.front() == '\'' && q.back() == '\'');
    }
    if (g_inputs++ < kAlwaysFirst || g_inputs % kThenEvery == 0) {
        ++g_shell_runs;
        FUZZ_CHECK(through_shell("printf %s " + q) == value);
    }
    return 0;
}
