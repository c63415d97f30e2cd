// libFuzzer target: any bytes as a drive log, read, decoded and judged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivelog.h"
#include "health.h"
#include "pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const rpt::DriveLog log = rpt::read_drive_log(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<rpt::Page> pages;
    for (auto& b : log.pages) pages.push_back(rpt::decode_page(b.bytes));
    (void)rpt::assess(log, pages);
    return 0;
}
