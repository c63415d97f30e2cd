#include "controller_model.h"

#include <cstdio>

namespace sim {

std::string controller_serial(unsigned index) {
    char buf[32];
    snprintf(buf, sizeof buf, kController.serial, index % 100, kController.serialBase + index);
    return buf;
}

}  // namespace sim
