// The shared-object face of the simulated storage library. The scenario is
// read on the first call from the file named by LOGDUMP_SIM_SCENARIO (one
// controller without devices when unset); every call is appended to the
// file named by LOGDUMP_SIM_TRACE.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/trace.h"
#include "sim.h"

namespace {

void start() {
    const char* trace_path = getenv("LOGDUMP_SIM_TRACE");
    sim::trace_set_file(trace_path ? trace_path : "");
    sim::trace_keep_in_memory(false);
    const char* scenario = getenv("LOGDUMP_SIM_SCENARIO");
    try {
        if (scenario != nullptr && *scenario != '\0') sim::load_scenario_file(scenario);
        else sim::load_scenario("controller 0");
    } catch (const std::exception& e) {
        // Without a usable scenario nothing answers: every call fails.
        fprintf(stderr, "raidstor (simulated): %s\n", e.what());
        sim::load_scenario("");
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ProcessLibCommand(SL_LIB_CMD_PARAM_T* request) {
    static const bool started = (start(), true);
    (void)started;
    return sim::ProcessLibCommand(request);
}
