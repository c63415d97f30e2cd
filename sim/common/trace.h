// Where trace lines go: kept in memory for in-process use, and appended to a
// file when one is set.
#pragma once

#include <string>

namespace sim {

void trace_set_file(const std::string& path);  // empty: no file
void trace_keep_in_memory(bool keep);
void trace_add(const std::string& line);

}  // namespace sim
