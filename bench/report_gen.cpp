// Writes a log directory as logdump writes it, for timing logdump-report on
// a large fleet without running the collector:
//
//   report_gen DIR DISKS FAMILY SECTION_LEN [ROUND]
//
// DISKS drive logs MAccdd.log (100 disks per controller), each with the
// identity lines and seven log pages; the first FAMILY of them are disks of
// the internal-log family and also carry the four internal-log sections,
// each SECTION_LEN bytes (3 to 16,777,218; the length field holds LEN - 3).
// An empty error log is written first, so no drive log is older than it.
// ROUND (default 0) stands for a later collection of the same disks: every
// tenth disk counts ROUND more uncorrected read errors.
// The hex lines come from the tool's own hex-dump writer.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "be.h"
#include "hexdump.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The n low bytes of v, big-endian (n at most 8).
Bytes be_bytes(uint64_t v, int n) {
    uint8_t b[8];
    be::put32(b, static_cast<uint32_t>(v >> 32));
    be::put32(b + 4, static_cast<uint32_t>(v));
    return Bytes(b + 8 - n, b + 8);
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A page from its parameters: code, control byte, value bytes.
struct Param {
    uint16_t code;
    uint8_t control;
    Bytes value;
};
Bytes page(uint8_t code, const std::vector<Param>& params) {
    Bytes b{code, 0, 0, 0};
    for (auto& p : params)
        b = b + be_bytes(p.code, 2) + Bytes{p.control, static_cast<uint8_t>(p.value.size())} + p.value;
    be::put16(b.data() + 2, static_cast<uint32_t>(b.size() - 4));
    return b;
}

// The pages of disk i; a few disks run warm or have read errors, so that
// the report has something to say.
std::vector<std::pair<uint8_t, Bytes>> pages(unsigned i, unsigned round) {
    const uint64_t uncorrected = (i % 17 == 0) + (i % 10 == 0 ? round : 0);
    std::vector<Param> reads;
    for (uint16_t c = 0; c <= 6; ++c)
        reads.push_back({c, 0, be_bytes(c == 6 ? uncorrected : c == 5 ? 0x16953905e44 : 452, 8)});
    std::vector<Param> tests;
    for (uint16_t c = 1; c <= 20; ++c) {
        Bytes v(16, 0);
        if (c <= 3)
            v = {uint8_t(c == 1 ? 0x20 : 0x40),
                 uint8_t(c),
                 0x32,
                 0x00,
                 0xff,
                 0xff,
                 0xff,
                 0xff,
                 0xff,
                 0xff,
                 0xff,
                 0xff,
                 0,
                 0,
                 0,
                 0};
        tests.push_back({c, 3, v});
    }
    Bytes port{6, 0, 0, 1, 0, 0, 0, 48, 0x10, 0x0b, 0x0e, 0};
    port = port + be_bytes(0x5001122334400000ull + i, 8) + be_bytes(0x500a0b0c0d0e0f00ull, 8);
    port.resize(port.size() + 8 + 16 + 4, 0);
    uint8_t temp = static_cast<uint8_t>(30 + i % 37);
    return {
        {0x00, {0, 0, 0, 7, 0x03, 0x0d, 0x0e, 0x10, 0x15, 0x18, 0x2f}},
        {0x03, page(0x03, reads)},
        {0x0d, page(0x0d, {{0, 3, {0, temp}}, {1, 3, {0, 60}}})},
        {0x0e,
         page(0x0e,
              {{1, 1, {'2', '0', '2', '4', '1', '8'}}, {3, 2, be_bytes(50000, 4)}, {4, 2, be_bytes(200 + i, 4)}})},
        {0x10, page(0x10, tests)},
        {0x15, page(0x15, {{0, 3, be_bytes((10000 + i) * 60ull, 4) + Bytes{0, 0, 0, 40, 0, 0, 0, 40}}})},
        {0x18, page(0x18, {{1, 3, port}})},
        {0x2f, page(0x2f, {{0, 3, {0, 0, temp, 60}}})},
    };
}

// A section with drive-like random content: type, 24-bit length less 3.
Bytes section(uint8_t type, size_t len) {
    Bytes s(len);
    uint32_t x = 0x9E3779B9u ^ type;
    for (size_t i = 4; i < len; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<uint8_t>(x >> 11);
    }
    s[0] = type;
    be::put24(&s[1], static_cast<uint32_t>(len - 3));
    return s;
}

bool write_disk(const std::string& dir, unsigned i, bool family, const std::vector<Bytes>& sections, unsigned round) {
    char path[512];
    snprintf(path, sizeof path, "%s/MA%02x%02x.log", dir.c_str(), i / 100, i % 100);
    FILE* fp = fopen(path, "wt");
    if (fp == nullptr) return perror(path), false;
    bool ok = fprintf(fp, "Device code   : %s\r\nSerial number : BNCH%016u\r\n",
                      family ? "OKAPIHD KZA4036TX       0103" : "ACMEDRV DK600SA0006     0004", i) > 0;
    for (auto& [code, bytes] : pages(i, round)) {
        ok = ok && fprintf(fp, "<Page%02x>\r\n", code) > 0 && hex_dump(fp, bytes.data(), bytes.size());
    }
    static const char* titles[] = {"<Drive Status Log>\r\n", "<Drive Interna Log>\r\n", "<Command Log>\r\n",
                                   "<Controller Internal Information>\r\n"};
    if (family)
        for (size_t s = 0; s < sections.size(); ++s)
            ok = ok && fputs(titles[s], fp) >= 0 && hex_dump(fp, sections[s].data(), sections[s].size());
    if (fclose(fp) != 0) ok = false;
    if (!ok) fprintf(stderr, "report_gen: cannot write %s: %s\n", path, strerror(errno));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: %s DIR DISKS FAMILY SECTION_LEN [ROUND]\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    unsigned disks = static_cast<unsigned>(strtoul(argv[2], nullptr, 10));
    unsigned family = static_cast<unsigned>(strtoul(argv[3], nullptr, 10));
    size_t len = strtoull(argv[4], nullptr, 10);
    unsigned round = argc == 6 ? static_cast<unsigned>(strtoul(argv[5], nullptr, 10)) : 0;
    if (disks == 0 || disks > 25600 || family > disks || len < 4 || len > 0xFFFFFF + 3) {
        fprintf(stderr, "report_gen: DISKS 1..25600, FAMILY <= DISKS, SECTION_LEN 4..16777218\n");
        return 2;
    }
    FILE* err = fopen((dir + "/logdperr.txt").c_str(), "wt");
    if (err == nullptr || fclose(err) != 0) return perror((dir + "/logdperr.txt").c_str()), 1;
    std::vector<Bytes> sections;
    if (family > 0)
        for (uint8_t type : {1, 2, 4, 8}) sections.push_back(section(type, len));
    for (unsigned i = 0; i < disks; ++i)
        if (!write_disk(dir, i, i < family, sections, round)) return 1;
    return 0;
}
