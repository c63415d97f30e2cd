// Times the report's controller log readers on the controller logs of a
// log directory:
//
//   controller_read_bench DIR [RUNS]
//
// Reads every controller log of DIR into memory once, then reads them into
// the controllers' structures RUNS times (default 3) and prints the fastest
// run's elapsed and processor milliseconds, then what was read
// (controllers, drives, virtual drives, events, problems), so that a run
// that read nothing does not pass for a fast one.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "controller.h"
#include "input.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s DIR [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc == 3 ? atoi(argv[2]) : 3;
    std::vector<std::unique_ptr<std::string>> texts;
    std::vector<rpt::InputFile> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(argv[1], ec)) {
        const std::string name = e.path().filename().string();
        if (!rpt::controller_log(name)) continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        texts.push_back(std::make_unique<std::string>(s.str()));
        files.push_back({name, *texts.back(), 0, true});
    }
    if (ec || files.empty()) {
        fprintf(stderr, "controller_read_bench: no controller logs in %s\n", argv[1]);
        return 2;
    }
    // Elapsed and processor time of the fastest run: on a busy machine the
    // processor time shows the work alone.
    double best = 0, best_cpu = 0;
    std::vector<rpt::Controller> cs;
    for (int i = 0; i < runs || i == 0; ++i) {
        cs.clear();
        timespec c0{}, c1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
        const auto t0 = std::chrono::steady_clock::now();
        cs = rpt::read_controllers(files);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
        const double cpu = (c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6;
        if (i == 0 || ms < best) best = ms, best_cpu = cpu;
    }
    size_t drives = 0, vds = 0, events = 0, problems = 0;
    for (const auto& c : cs) {
        drives += c.physical_drives.size();
        vds += c.virtual_drives.size();
        events += c.events.size();
        problems += c.problems.size();
    }
    printf("%.0f %.0f %zu %zu %zu %zu %zu\n", best, best_cpu, cs.size(), drives, vds, events, problems);
    return 0;
}
