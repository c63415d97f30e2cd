// In-process face of the simulated storage library, for unit tests: load a
// scenario, send requests through sim::ProcessLibCommand (assign it to
// ProcessLibCommandF), then read what was asked from the trace.
#pragma once

#include <string>
#include <vector>

#include "types.h"

namespace sim {

// Replaces the current scenario and clears the trace and the send counters.
// base_dir resolves relative file names (page-file). Throws
// std::runtime_error naming the line of a statement it does not understand.
void load_scenario(const std::string& text, const std::string& base_dir = ".");
void load_scenario_file(const std::string& path);

// The entry point, with the behaviour of the shared library.
int ProcessLibCommand(SL_LIB_CMD_PARAM_T* request);

// Trace lines recorded since the last load or clear (format in README.md).
const std::vector<std::string>& trace();
void clear_trace();

}  // namespace sim
