// e2e-collect: one collection of a simulated system through the end-to-end
// harness, for the report's script tests:
//
//   e2e-collect OUT SCENARIO [ARG...]
//
// logdump64 of this build runs with SCENARIO and the ARGs as one case of
// the harness (a mount namespace of its own, the simulated CLI and library,
// the sleep shim); the scenario's folder lies beside it, for the page files
// it names. The log directory is left in OUT/otmp/TMP/KESTRA and the
// console (standard output, then standard error) in OUT/console.txt. The
// exit status is the tool's; 125 when the harness could not run it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "harness.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: e2e-collect OUT SCENARIO [ARG...]\n");
        return 125;
    }
    const fs::path out = argv[1], scenario = fs::absolute(argv[2]);
    std::ifstream in(scenario);
    if (!in) {
        fprintf(stderr, "e2e-collect: cannot read %s\n", scenario.c_str());
        return 125;
    }
    std::ostringstream text;
    text << in.rdbuf();

    e2e::Case c(e2e::tools().front(), "collect-" + std::to_string(getpid()));
    std::error_code ec;
    fs::copy(scenario.parent_path(), c.dir, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
    c.scenario(text.str());
    e2e::RunOptions o;
    o.args.assign(argv + 3, argv + argc);
    o.timeout_s = 600;
    const e2e::RunResult r = c.run(o);

    fs::create_directories(out / "otmp" / "TMP", ec);
    fs::remove_all(out / "otmp" / "TMP" / "KESTRA", ec);
    fs::copy(c.host(c.logdir()), out / "otmp" / "TMP" / "KESTRA", fs::copy_options::recursive, ec);
    if (ec) {
        fprintf(stderr, "e2e-collect: cannot copy the log directory: %s\n", ec.message().c_str());
        return 125;
    }
    std::ofstream(out / "console.txt", std::ios::binary) << r.out << r.err;
    if (r.timed_out || r.status < 0) return 125;
    return r.status;
}
