// Benchmark driver for the hex dump of the drive logs.
//
//   hexdump_bench make FILE      writes a 16 MiB internal-log section
//                                (16,777,218 bytes: the largest one a drive
//                                can return) with drive-like random content
//   hexdump_bench dump IN OUT    dumps IN into OUT exactly as a drive log
//                                section is written
//
// bench/run.sh times "dump" against od and cat on the same bytes.
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

int dump(const char* in, const char* out) {
    FILE* fi = fopen(in, "rb");
    if (fi == nullptr) return perror(in), 1;
    std::vector<uint8_t> s(kSectionLen + 1);
    size_t n = fread(s.data(), 1, s.size(), fi);
    fclose(fi);
    FILE* fo = fopen(out, "wt");
    if (fo == nullptr) return perror(out), 1;
    bool ok = hex_dump(fo, s.data(), n) && fflush(fo) == 0;
    if (fclose(fo) != 0) ok = false;
    if (!ok) return perror(out), 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "make") == 0) return make(argv[2]);
    if (argc == 4 && strcmp(argv[1], "dump") == 0) return dump(argv[2], argv[3]);
    fprintf(stderr, "usage: %s make FILE | dump IN OUT\n", argv[0]);
    return 2;
}
