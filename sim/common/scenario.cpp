// The scenario model: device defaults per kind, and the look-ups that the
// simulated library and CLI make.
#include "scenario.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

using enum DeviceKind;

const DeviceDefaults kDeviceDefaults[] = {
    // name       kind       vendor     product             rev     serial              ptype interface blocks
    {"sas", Sas, "ACMEDRV", "DK600SA0006", "0004", "S0M%02u%04uK", 0x00, 2, 1172123568},
    {"sata", Sata, "ATA", "DK1000SB0033-ABC", "SN04", "Z1W%02u%04uA", 0x00, 1, 1953525168},
    {"enclosure", Enclosure, "SIMENCL", "SIM 28-port Encl", "0601", "500605B0%02u%04u", 0x0D, 2, 0},
    {"silent", Silent, "", "", "", "-", 0x00, 0, 0},
};

}  // namespace

std::span<const DeviceDefaults> device_defaults() { return kDeviceDefaults; }

Device default_device(const DeviceDefaults& kind, unsigned ctrl, uint16_t id) {
    Device d;
    d.ctrl = ctrl;
    d.id = id;
    d.kind = kind.kind;
    d.vendor = kind.vendor;
    d.product = kind.product;
    d.rev = kind.rev;
    char serial[32];
    snprintf(serial, sizeof serial, kind.serial, ctrl % 100, static_cast<unsigned>(id));
    d.serial = serial;
    d.ptype = kind.ptype;
    d.interface = kind.interface;
    d.blocks = kind.blocks;
    return d;
}

uint8_t internal_section_byte(uint8_t type, uint32_t len, uint32_t i) {
    const uint32_t l = len - 3;
    switch (i) {
    case 0: return type;
    case 1: return static_cast<uint8_t>(l >> 16);
    case 2: return static_cast<uint8_t>(l >> 8);
    case 3: return static_cast<uint8_t>(l);
    default: return static_cast<uint8_t>(i - 4);
    }
}

const LogPage* Device::page(uint8_t code) const {
    for (const auto& p : pages)
        if (p.code == code) return &p;
    return nullptr;
}

const LogPage* Device::subpage(uint8_t code, uint8_t sub) const {
    for (const auto& p : subpages)
        if (p.code == code && p.subpage == sub) return &p;
    return nullptr;
}

const InternalSection* Device::section(uint8_t type) const {
    for (const auto& s : sections)
        if (s.type == type) return &s;
    return nullptr;
}

Scenario Scenario::standard() {
    Scenario sc;
    sc.controllers[0].index = 0;
    return sc;
}

const Device* Scenario::device(unsigned ctrl, uint16_t id) const {
    auto it = devices.find({ctrl, id});
    return it == devices.end() ? nullptr : &it->second;
}

unsigned Scenario::device_id_count(unsigned ctrl) const {
    auto c = controllers.find(ctrl);
    if (c != controllers.end() && c->second.count) return *c->second.count;
    unsigned n = 0;
    for (const auto& [key, d] : devices)
        if (key.first == ctrl) n = std::max(n, static_cast<unsigned>(key.second) + 1);
    return std::min(n, 255u);
}

bool Scenario::cli_text(unsigned ctrl, std::string_view variant) const {
    for (const auto& t : cliTexts)
        if ((t.ctrl == kAny || t.ctrl == static_cast<int>(ctrl)) && t.variant == variant) return true;
    return false;
}

std::vector<const Device*> Scenario::devices_of(unsigned ctrl) const {
    std::vector<const Device*> out;
    for (const auto& [key, d] : devices)
        if (key.first == ctrl) out.push_back(&d);
    return out;
}

}  // namespace sim
