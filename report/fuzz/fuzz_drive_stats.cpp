// libFuzzer target: any bytes as a drive-stats CSV file for --risk-check,
// served in chunks of the first byte's size (so that records, quotes and
// line ends fall across reads), with records bounded at 4 KiB; the result
// is rendered as text and JSON.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "json.h"
#include "risk_check.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = data[0] % 64 + 1;
    const char* p = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    const rpt::RiskCheck c = rpt::risk_check(
        [&](char* into, size_t room, std::string&) -> long {
            const size_t n = std::min({chunk, room, left});
            std::memcpy(into, p, n);
            p += n;
            left -= n;
            return static_cast<long>(n);
        },
        4096);
    (void)rpt::render_risk_check(c, "fuzz.csv");
    static FILE* null = fopen("/dev/null", "w");
    if (null) rpt::write_risk_check_json(c, null);
    return 0;
}
