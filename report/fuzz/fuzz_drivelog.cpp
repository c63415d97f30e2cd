// libFuzzer target: any bytes as a drive log, read, decoded, judged and
// rendered as text and JSON.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "disk.h"
#include "json.h"
#include "report.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const rpt::Disk d =
        rpt::build_disk("host", "MA0001.log", std::string_view(reinterpret_cast<const char*>(data), size));
    (void)rpt::render_disk(d);
    (void)rpt::json_text(d);
    return 0;
}
