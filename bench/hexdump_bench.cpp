// Benchmark driver for the hex dump of the drive logs.
//
//   hexdump_bench make FILE      writes a 16 MiB internal-log section
//                                (16,777,218 bytes: the largest one a drive
//                                can return) with drive-like random content
//   hexdump_bench dump IN OUT [table|ssse3]
//                                reads IN into memory, then dumps it into OUT
//                                exactly as a drive log section is written,
//                                with the processor's fastest line method or
//                                the one named
//   hexdump_bench cat IN OUT     runs "cat IN > OUT" as a child
//
// "dump" and "cat" print the elapsed and the processor microseconds of what
// they time, then the method. In the tool the section already lies in memory
// when it is dumped, so the reading of IN is not timed: the dump runs from
// the opening of OUT (its truncation included) to its closing. cat is timed
// from its start to its end, the shell's redirection done in the child. On a
// shared machine the processor time shows the work alone; the elapsed time
// adds the waits for a processor. bench/run.sh compares the two on the same
// bytes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hexdump.h"

namespace {

constexpr size_t kSectionLen = 0xFFFFFF + 3;
int make(const char* path) {
    std::vector<uint8_t> s(kSectionLen);
    // Section type, then the 24-bit length less 3, then the log itself.
    s[0] = 2;
    s[1] = s[2] = s[3] = 0xFF;
    uint32_t x = 0x9E3779B9u;
    for (size_t i = 4; i < s.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<uint8_t>(x >> 11);
    }
    FILE* fp = fopen(path, "wb");
    if (fp == nullptr) return perror(path), 1;
    bool ok = fwrite(s.data(), 1, s.size(), fp) == s.size();
    if (fclose(fp) != 0) ok = false;
    if (!ok) return perror(path), 1;
    return 0;
}

long long micros(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

long long micros(const timeval& tv) { return static_cast<long long>(tv.tv_sec) * 1000000 + tv.tv_usec; }

int dump(const char* in, const char* out, const char* method) {
    HexLines how = hex_lines_available(HexLines::ssse3) ? HexLines::ssse3 : HexLines::table;
    if (method != nullptr && strcmp(method, "table") == 0)
        how = HexLines::table;
    else if (method != nullptr && strcmp(method, "ssse3") == 0)
        how = HexLines::ssse3;
    else if (method != nullptr)
        return fprintf(stderr, "unknown method %s\n", method), 2;
    if (!hex_lines_available(how)) return fprintf(stderr, "%s: not on this processor\n", method), 2;
    FILE* fi = fopen(in, "rb");
    if (fi == nullptr) return perror(in), 1;
    std::vector<uint8_t> s(kSectionLen + 1);
    size_t n = fread(s.data(), 1, s.size(), fi);
    fclose(fi);
    const long long wall = micros(CLOCK_MONOTONIC), cpu = micros(CLOCK_PROCESS_CPUTIME_ID);
    FILE* fo = fopen(out, "wt");
    if (fo == nullptr) return perror(out), 1;
    bool ok = hex_dump_with(how, fo, s.data(), n) && fflush(fo) == 0;
    if (fclose(fo) != 0) ok = false;
    if (!ok) return perror(out), 1;
    printf("%lld %lld %s\n", micros(CLOCK_MONOTONIC) - wall, micros(CLOCK_PROCESS_CPUTIME_ID) - cpu,
           how == HexLines::ssse3 ? "ssse3" : "table");
    return 0;
}

int cat(const char* in, const char* out) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char* argv[] = {const_cast<char*>("cat"), const_cast<char*>(in), nullptr};
    const long long wall = micros(CLOCK_MONOTONIC);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cat", &fa, nullptr, argv, environ) != 0) return perror("cat"), 1;
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return fprintf(stderr, "cat failed\n"), 1;
    printf("%lld %lld cat\n", micros(CLOCK_MONOTONIC) - wall, micros(ru.ru_utime) + micros(ru.ru_stime));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "make") == 0) return make(argv[2]);
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "dump") == 0)
        return dump(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    if (argc == 4 && strcmp(argv[1], "cat") == 0) return cat(argv[2], argv[3]);
    fprintf(stderr, "usage: %s make FILE | dump IN OUT [table|ssse3] | cat IN OUT\n", argv[0]);
    return 2;
}
