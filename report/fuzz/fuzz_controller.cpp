// libFuzzer target: any bytes as one controller log, read by the reader of
// the log that the build names (-DCONTROLLER_LOG=Drives, Events, ...), and
// the controller's drives and virtual drives put together from it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>

#include "controller.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<unsigned, rpt::Controller> into;
    rpt::read_controller_log(rpt::ControllerLog::CONTROLLER_LOG,
                             std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.log", 0, into);
    for (auto& [index, c] : into) rpt::put_together(c);
    return 0;
}
