// The simulated RAID controller: one model, whose identity the simulated CLI
// prints and the simulated library answers in its controller information.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

struct ControllerModel {
    const char* product;
    const char* serial;  // printf format, given index % 100 and serialBase + index
    unsigned serialBase;
    const char* firmware;  // firmware version
    const char* package;   // firmware package build
    uint16_t pciVendor, pciDevice, subVendor, subDevice;
    unsigned memoryMiB;  // cache memory
    unsigned ports;      // back-end SAS ports
};

inline constexpr ControllerModel kController = {
    .product = "SIM RAID SAS 9361-8i",
    .serial = "SV5%02u%05u",
    .serialBase = 27000,
    .firmware = "4.680.00-8527",
    .package = "24.21.0-0097",
    .pciVendor = 0x1000,
    .pciDevice = 0x005D,
    .subVendor = 0x1000,
    .subDevice = 0x9361,
    .memoryMiB = 1024,
    .ports = 8,
};

// The serial number of the controller with this index.
std::string controller_serial(unsigned index);

}  // namespace sim
