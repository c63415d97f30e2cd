// Times what the failure risk adds to a report: builds the report of the
// given log directories once (several collections of one host give the
// disks their history, so that growth is judged too), then judges the risk
// of every disk RUNS times:
//
//   risk_bench RUNS DIR...
//
// Prints the fastest run's milliseconds of the risk of all disks, the
// milliseconds of building the report (the fastest of the same number of
// runs, the risk included), the number of disks and of those whose count
// grew, so that a run that judged nothing does not pass for a fast one.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "report.h"
#include "risk.h"

namespace {

template <class F>
double fastest_ms(int runs, F&& f) {
    double best = 0;
    for (int i = 0; i < runs || i == 0; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (i == 0 || ms < best) best = ms;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s RUNS DIR...\n", argv[0]);
        return 2;
    }
    const int runs = atoi(argv[1]);
    std::vector<rpt::Host> hosts;
    for (int i = 2; i < argc; ++i) {
        hosts.push_back(rpt::read_input(argv[i]));
        if (!hosts.back().error.empty()) {
            fprintf(stderr, "risk_bench: %s: %s\n", argv[i], hosts.back().error.c_str());
            return 2;
        }
    }
    rpt::Report report;
    const double build = fastest_ms(runs, [&] { report = rpt::build_report(hosts); });
    std::vector<const rpt::Disk*> disks;
    for (auto& c : report.collections)
        for (auto& d : c.disks) disks.push_back(&d);
    size_t grew = 0;
    const double risk = fastest_ms(runs, [&] {
        grew = 0;
        for (const rpt::Disk* d : disks) grew += rpt::disk_risk(*d).grew.has_value();
    });
    printf("%.3f %.1f %zu %zu\n", risk, build, disks.size(), grew);
    return 0;
}
