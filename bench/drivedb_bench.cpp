// The drive database's cost for a report of many disks: loading the file
// and looking up each disk, all of distinct models. Half the models are
// made from the expressions of entries spread over the file (each found,
// its presets merged); the other half are invented in the file's shape
// (two capitals, digits, a dash, a suffix), their first letters spread
// over the alphabet, and found nowhere: each such lookup tries every entry
// that may begin with its letter, the most a lookup can cost.
//
//   drivedb_bench FILE [DISKS] [RUNS]
//
// Prints the fastest of RUNS runs (default 5), each a fresh load and DISKS
// lookups (default 200): "load_ms match_ms matched".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drivedb.h"
#include "finding.h"
#include "helpers.h"
#include "sample_model.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: drivedb_bench FILE [DISKS] [RUNS]\n");
        return 2;
    }
    const size_t disks = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    std::vector<std::string> models, firmware;
    uint32_t x = 12345;
    auto next = [&](uint32_t n) { return (x = x * 1103515245u + 12345u) / 65536u % n; };
    {
        const rpt::DriveDb db = rpt::load_drivedb(argv[1]);
        for (size_t i = 0; i < disks / 2 && !db.entries.empty(); ++i) {
            const rpt::DriveEntry& e = db.entries[i * db.entries.size() / (disks / 2)];
            models.push_back(rpt::trim(rpt::test::sample(e.model)));
            firmware.push_back(e.firmware.empty() ? "QF01" : rpt::test::sample(e.firmware));
        }
    }
    for (size_t i = models.size(); i < disks; ++i) {
        char m[40], f[16];
        snprintf(m, sizeof m, "%c%c%04u-%c%c%u", 'A' + static_cast<int>(i % 26), 'A' + static_cast<int>(next(26)),
                 next(10000), 'A' + static_cast<int>(next(26)), 'A' + static_cast<int>(next(26)), next(10));
        snprintf(f, sizeof f, "QF%02u", next(100));
        models.push_back(m);
        firmware.push_back(f);
    }
    using clock = std::chrono::steady_clock;
    double best_load = 0, best_match = 0;
    size_t matched = 0;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = clock::now();
        const rpt::DriveDb db = rpt::load_drivedb(argv[1]);
        const auto t1 = clock::now();
        if (!db.error.empty()) {
            fprintf(stderr, "drivedb_bench: %s\n", db.error.c_str());
            return 1;
        }
        matched = 0;
        for (size_t i = 0; i < disks; ++i) matched += db.lookup(models[i], firmware[i]).entry != nullptr;
        const auto t2 = clock::now();
        const double load = std::chrono::duration<double, std::milli>(t1 - t0).count();
        const double match = std::chrono::duration<double, std::milli>(t2 - t1).count();
        if (r == 0 || load + match < best_load + best_match) best_load = load, best_match = match;
    }
    printf("%.1f %.1f %zu\n", best_load, best_match, matched);
    return 0;
}
