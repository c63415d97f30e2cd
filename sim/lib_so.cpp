// The shared-object face of the simulated storage library. The scenario is
// read on the first call from the file named by LOGDUMP_SIM_SCENARIO (one
// controller without devices when unset); every call is appended to the
// file named by LOGDUMP_SIM_TRACE.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/trace.h"
#include "sim.h"

#ifdef LOGDUMP_OWN_CXX_RUNTIME
namespace __gnu_cxx {
void __freeres();  // the C++ runtime's own clean-up, as valgrind calls it
}
#endif

namespace {

void start() {
    const char* trace_path = getenv("LOGDUMP_SIM_TRACE");
    sim::trace_set_file(trace_path ? trace_path : "");
    sim::trace_keep_in_memory(false);
    const char* scenario = getenv("LOGDUMP_SIM_SCENARIO");
    try {
        if (scenario != nullptr && *scenario != '\0')
            sim::load_scenario_file(scenario);
        else
            sim::load_scenario("controller 0");
    } catch (const std::exception& e) {
        // Without a usable scenario nothing answers: every call fails.
        fprintf(stderr, "raidstor (simulated): %s\n", e.what());
        sim::load_scenario("");
    }
}

#ifdef LOGDUMP_OWN_CXX_RUNTIME
// The portable build links its own copy of the C++ runtime into this library
// (cmake/Portable.cmake). That copy's emergency exception pool is freed when
// the library is unloaded; otherwise every load and unload would lose it.
__attribute__((destructor)) void free_own_cxx_runtime() { __gnu_cxx::__freeres(); }
#endif

}  // namespace

extern "C" __attribute__((visibility("default"))) int ProcessLibCommand(SL_LIB_CMD_PARAM_T* request) {
    static const bool started = (start(), true);
    (void)started;
    return sim::ProcessLibCommand(request);
}
