// Writes log directories as logdump writes them, for timing logdump-report
// on a large fleet without running the collector:
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
//
//   report_gen host DIR HOST COLLECTION DISKS START
//
// One collection of one host of a fleet, as the fleet run archives it: the
// drive logs of DISKS SAS disks (3 to 256) at targets 0 up of controller 0,
// an empty error log, console.txt and run.json (the run started at START,
// seconds since 1970; the disks' power-on hours grow with it), and on
// standard output the simulated CLI's scenario of the same disks, from
// which the controller logs are made. HOST numbers the host in the fleet
// (from 0), COLLECTION the collection (from 0). Every disk has a serial number of
// its own, the same in every collection; from the second collection on, a
// few disks in a hundred are replaced (another serial in the slot), a few
// swap their slots in pairs, and on one host in twenty the last slot, a
// hot spare, is empty. Makers and models are invented: a few models, each
// with a firmware version or two, spread over the fleet.
//
// The hex lines come from the tool's own hex-dump writer.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

// What a drive log says of its disk.
struct Disk {
    const char *vendor, *product, *rev;
    std::string serial;
    uint64_t sas_address;
    uint8_t temperature;
    uint64_t uncorrected;  // uncorrected read errors
    uint32_t power_on_minutes;
    uint32_t start_stops;
};

// The pages of a disk.
std::vector<std::pair<uint8_t, Bytes>> pages(const Disk& d) {
    const uint64_t uncorrected = d.uncorrected;
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
    port = port + be_bytes(d.sas_address, 8) + be_bytes(0x500a0b0c0d0e0f00ull, 8);
    port.resize(port.size() + 8 + 16 + 4, 0);
    const uint8_t temp = d.temperature;
    return {
        {0x00, {0, 0, 0, 7, 0x03, 0x0d, 0x0e, 0x10, 0x15, 0x18, 0x2f}},
        {0x03, page(0x03, reads)},
        {0x0d, page(0x0d, {{0, 3, {0, temp}}, {1, 3, {0, 60}}})},
        {0x0e, page(0x0e, {{1, 1, {'2', '0', '2', '4', '1', '8'}},
                           {3, 2, be_bytes(50000, 4)},
                           {4, 2, be_bytes(d.start_stops, 4)}})},
        {0x10, page(0x10, tests)},
        {0x15, page(0x15, {{0, 3, be_bytes(d.power_on_minutes, 4) + Bytes{0, 0, 0, 40, 0, 0, 0, 40}}})},
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

// The drive log of the disk at target `target` of controller `ctrl`.
bool write_disk(const std::string& dir, unsigned ctrl, unsigned target, const Disk& d,
                const std::vector<Bytes>& sections) {
    char path[512];
    snprintf(path, sizeof path, "%s/MA%02x%02x.log", dir.c_str(), ctrl, target);
    FILE* fp = fopen(path, "wt");
    if (fp == nullptr) return perror(path), false;
    bool ok = fprintf(fp, "Device code   : %-8.8s%-16.16s%-4.4s\r\nSerial number : %s\r\n", d.vendor, d.product, d.rev,
                      d.serial.c_str()) > 0;
    for (auto& [code, bytes] : pages(d)) {
        ok = ok && fprintf(fp, "<Page%02x>\r\n", code) > 0 && hex_dump(fp, bytes.data(), bytes.size());
    }
    static const char* titles[] = {"<Drive Status Log>\r\n", "<Drive Interna Log>\r\n", "<Command Log>\r\n",
                                   "<Controller Internal Information>\r\n"};
    for (size_t s = 0; s < sections.size(); ++s)
        ok = ok && fputs(titles[s], fp) >= 0 && hex_dump(fp, sections[s].data(), sections[s].size());
    if (fclose(fp) != 0) ok = false;
    if (!ok) fprintf(stderr, "report_gen: cannot write %s: %s\n", path, strerror(errno));
    return ok;
}

bool write_file(const std::string& path, const std::string& text) {
    FILE* fp = fopen(path.c_str(), "wb");
    bool ok = fp != nullptr && fwrite(text.data(), 1, text.size(), fp) == text.size();
    if (fp != nullptr && fclose(fp) != 0) ok = false;
    if (!ok) fprintf(stderr, "report_gen: cannot write %s: %s\n", path.c_str(), strerror(errno));
    return ok;
}

// A directory of DISKS disks, the first FAMILY of the internal-log family.
int directory(const std::string& dir, unsigned disks, unsigned family, size_t len, unsigned round) {
    if (!write_file(dir + "/logdperr.txt", "")) return 1;
    std::vector<Bytes> sections;
    if (family > 0)
        for (uint8_t type : {1, 2, 4, 8}) sections.push_back(section(type, len));
    static const std::vector<Bytes> none;
    for (unsigned i = 0; i < disks; ++i) {
        char serial[32];
        snprintf(serial, sizeof serial, "BNCH%016u", i);
        const bool f = i < family;
        const Disk d{f ? "OKAPIHD" : "ACMEDRV",
                     f ? "KZA4036TX" : "DK600SA0006",
                     f ? "0103" : "0004",
                     serial,
                     0x5001122334400000ull + i,
                     static_cast<uint8_t>(30 + i % 37),
                     (i % 17 == 0) + (i % 10 == 0 ? round : 0u),
                     (10000 + i) * 60,
                     200 + i};
        if (!write_disk(dir, i / 100, i % 100, d, i < family ? sections : none)) return 1;
    }
    return 0;
}

// --- One collection of one host of a fleet ---

constexpr time_t kEpoch = 1767225600;             // 2026-01-01: the disks' power-on hours grow from here
constexpr uint64_t kReplacement = 50'000'000ull;  // added to a disk's number for the disk that replaces it
constexpr unsigned kPerArray = 12;                // disks per RAID-6 of a host

// Invented makers and models, with their firmware versions.
struct Model {
    const char* vendor;
    const char* product;
    const char* revs[2];  // older, newer
    const char* prefix;   // of the serial number
};
constexpr Model kModels[] = {
    {"ACMEDRV", "DK600SA0006", {"0004", "0006"}, "AD"},
    {"ACMEDRV", "DK1200SA012", {"0102", "0102"}, "AE"},
    {"BRYNDSK", "BS2400SAS", {"A101", "A103"}, "BR"},
    {"CORVIDE", "CV4000SS12", {"2210", "2214"}, "CV"},
};
constexpr unsigned kModelCount = sizeof kModels / sizeof kModels[0];

// A well-mixed number from x (splitmix64), for choices that must come out
// the same in every collection.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

struct Fleet {
    unsigned host, disks;
    uint64_t first() const { return uint64_t(host) * disks; }      // the number of the host's first original disk
    bool spare(unsigned slot) const { return slot + 2 >= disks; }  // the last two slots hold hot spares
    bool replaced(unsigned slot) const { return !spare(slot) && mix(first() + slot) % 100 < 2; }
    // The slots 2k and 2k+1 swap their disks, neither of them replaced.
    bool swapped(unsigned slot) const {
        const unsigned a = slot & ~1u;
        return !spare(a + 1) && mix((first() + a) ^ 0x5A5A5A5Aull) % 100 < 2 && !replaced(a) && !replaced(a + 1);
    }
    bool spare_removed() const { return mix(host ^ 0xC0FFEEull) % 20 == 0; }

    // The number of the disk in the slot in a collection; false for none.
    bool disk_in(unsigned slot, unsigned collection, uint64_t& number) const {
        if (collection == 0) return number = first() + slot, true;
        if (slot + 1 == disks && spare_removed()) return false;
        if (replaced(slot)) return number = kReplacement + first() + slot, true;
        number = first() + (swapped(slot) ? slot ^ 1u : slot);
        return true;
    }

    // The host's disks are mostly of one model; a third of the hosts hold
    // a second model in their upper slots.
    const Model& model_of(uint64_t number) const {
        const uint64_t original = number % kReplacement;
        const unsigned h = static_cast<unsigned>(original / disks), slot = static_cast<unsigned>(original % disks);
        unsigned m = static_cast<unsigned>(mix(h) % kModelCount);
        if (mix(h ^ 0x3333ull) % 3 == 0 && slot >= disks / 2) m = (m + 1) % kModelCount;
        return kModels[m];
    }

    // The disk of that number in the collection made at `start`.
    Disk disk(uint64_t number, unsigned collection, time_t start) const {
        const Model& m = model_of(number);
        const uint64_t r = mix(number);
        const bool replacement = number >= kReplacement;
        Disk d;
        d.vendor = m.vendor;
        d.product = m.product;
        d.rev = m.revs[replacement ? 1 : (r >> 8) & 1];
        char serial[32];
        snprintf(serial, sizeof serial, "%s%010llu", m.prefix, static_cast<unsigned long long>(number));
        d.serial = serial;
        d.sas_address = 0x5001122300000000ull + (number << 4);
        d.temperature = static_cast<uint8_t>(r % 500 == 0 ? 52 : 27 + r % 14 + collection % 2);
        // A disk that will be replaced counts read errors before; a few
        // others have one, and one in a hundred counts more each time.
        if (!replacement && replaced(static_cast<unsigned>(number % disks)) && number / disks == host)
            d.uncorrected = 3 + (r >> 16) % 5;
        else
            d.uncorrected = (r >> 24) % 100 < 2 ? 1 : (r >> 24) % 100 == 2 ? 1 + 2 * collection : 0;
        // A replacement went in some time since the fleet's first collection.
        const uint32_t since = static_cast<uint32_t>(start > kEpoch ? (start - kEpoch) / 3600 : 0);
        const uint32_t hours = replacement ? static_cast<uint32_t>((r >> 32) % (since / 2 + 1))
                                           : 2000 + static_cast<uint32_t>((r >> 32) % 30000) + since;
        d.power_on_minutes = hours * 60;
        d.start_stops = 20 + static_cast<uint32_t>((r >> 40) % 50) + collection;
        return d;
    }
};

std::string utc(time_t t) {
    char b[40];
    struct tm tm {};
    gmtime_r(&t, &tm);
    strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%S+00:00", &tm);
    return b;
}

// The collection of one host: drive logs, error log, console.txt and
// run.json in dir; the simulated CLI's scenario on standard output.
int host_collection(const std::string& dir, const Fleet& f, unsigned collection, time_t start) {
    if (!write_file(dir + "/logdperr.txt", "")) return 1;
    std::string scenario = "controller 0\n";
    std::string console =
        "<<< RAID SAS/SATA KESTRA DUMP TOOL  Ver01-10-00 >>>\nRAID SAS/SATA Log Dump: Log Saving...\n\n";
    for (const char* what : {"Uart Log", "RAID Configuration", "RAID Controller Information", "Physical Drive List",
                             "Logical Drive Information", "Logical/Physical Drive Information"})
        console += std::string("Controller 0 : ") + what + " saving...\n" + what + " save success.\n\n";
    const unsigned arrays = (f.disks - 2) / kPerArray + ((f.disks - 2) % kPerArray >= 4);
    for (unsigned slot = 0; slot < f.disks; ++slot) {
        uint64_t number = 0;
        if (!f.disk_in(slot, collection, number)) continue;
        const Disk d = f.disk(number, collection, start);
        if (!write_disk(dir, 0, slot, d, {})) return 1;
        char line[256];
        snprintf(line, sizeof line, "device 0 %u sas vendor %s product %s rev %s serial \"%s\"\n", slot, d.vendor,
                 d.product, d.rev, d.serial.c_str());
        scenario += line;
        const bool arrayed = !f.spare(slot) && slot / kPerArray < arrays;
        snprintf(line, sizeof line, "pd 0 %u state %s temperature %u\n", slot,
                 arrayed         ? "Online"
                 : f.spare(slot) ? "Hotspare"
                                 : "Unconfigured(good)",
                 d.temperature);
        scenario += line;
        snprintf(line, sizeof line, "Controller 0/ Target %u : HardDisk Log saving...\n", slot);
        console += line;
    }
    for (unsigned a = 0; a < arrays; ++a) {
        std::string drives;
        for (unsigned slot = a * kPerArray; slot < std::min((a + 1) * kPerArray, f.disks - 2); ++slot)
            drives += (drives.empty() ? "" : " ") + std::to_string(slot);
        scenario += "vd 0 " + std::to_string(a) + " raid 6 drives \"" + drives + "\"\n";
    }
    console += "\nController 0 : FlashROM Log saving...\nFlashROM Log save success.\n\n";
    const time_t end = start + 8 + f.disks / 10;
    const std::string run = "{\n  \"arguments\": [],\n  \"end\": \"" + utc(end) +
                            "\",\n  \"exit_status\": 0,\n  \"program\": \"logdump64\",\n  \"red_lines\": [],\n"
                            "  \"start\": \"" +
                            utc(start) +
                            "\",\n  \"time_limit_exceeded\": false,\n  \"version\": \"Ver01-10-00\",\n"
                            "  \"width\": 64\n}\n";
    if (!write_file(dir + "/console.txt", console) || !write_file(dir + "/run.json", run)) return 1;
    return fputs(scenario.c_str(), stdout) < 0 || fflush(stdout) != 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && strcmp(argv[1], "host") == 0) {
        const Fleet f{static_cast<unsigned>(strtoul(argv[3], nullptr, 10)),
                      static_cast<unsigned>(strtoul(argv[5], nullptr, 10))};
        const unsigned collection = static_cast<unsigned>(strtoul(argv[4], nullptr, 10));
        if (f.disks < 3 || f.disks > 256 || f.host >= 100000) {
            fprintf(stderr, "report_gen host: DISKS 3..256, HOST below 100,000\n");
            return 2;
        }
        return host_collection(argv[2], f, collection, static_cast<time_t>(strtoll(argv[6], nullptr, 10)));
    }
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: %s DIR DISKS FAMILY SECTION_LEN [ROUND]\n", argv[0]);
        fprintf(stderr, "       %s host DIR HOST COLLECTION DISKS START\n", argv[0]);
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
    return directory(dir, disks, family, len, round);
}
