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

// A product of no maker. The PCI vendor id 0e5e is assigned to no one (the
// PCI ID list has no such vendor), so it can name no real controller; the
// device and subsystem ids under it are ours to choose.
inline constexpr ControllerModel kController = {
    .product = "Simulated SAS RAID Controller",
    .serial = "SIM%02u%05u",
    .serialBase = 27000,
    .firmware = "1.10.00-0001",
    .package = "1.10.0-0001",
    .pciVendor = 0x0E5E,
    .pciDevice = 0x0001,
    .subVendor = 0x0E5E,
    .subDevice = 0x0008,
    .memoryMiB = 1024,
    .ports = 8,
};

// The serial number of the controller with this index.
std::string controller_serial(unsigned index);

}  // namespace sim
