// libFuzzer target: any bytes as an error log.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "errlog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)rpt::read_error_log(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
