// libFuzzer target: any bytes as run.json, then (after the first NUL) as
// console.txt; the summary line is made of whatever was read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "layout.h"
#include "run_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = std::min(all.find('\0'), all.size());
    std::string error;
    if (auto r = rpt::read_run_facts(all.substr(0, nul), all.substr(std::min(nul + 1, all.size())), error))
        (void)rpt::run_summary(*r);
    return 0;
}
