#include "trace.h"

#include <vector>

#include "sim.h"
#include "util.h"

namespace sim {

namespace {
struct Sink {
    std::string file;
    bool keep = true;
    std::vector<std::string> lines;
};
Sink& sink() {
    static Sink s;
    return s;
}
}  // namespace

void trace_set_file(const std::string& path) { sink().file = path; }
void trace_keep_in_memory(bool keep) { sink().keep = keep; }

void trace_add(const std::string& line) {
    Sink& s = sink();
    if (s.keep) s.lines.push_back(line);
    append_line(s.file, line);
}

const std::vector<std::string>& trace() { return sink().lines; }
void clear_trace() { sink().lines.clear(); }

}  // namespace sim
