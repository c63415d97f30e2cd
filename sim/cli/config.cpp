#include "config.h"

#include <algorithm>
#include <cstdio>

namespace sim::cli {

namespace {

// Drives that carry data in a virtual drive of `level` over `n` drives.
uint64_t data_drives(unsigned level, size_t n, unsigned spans) {
    switch (level) {
    case 0: return n;
    case 1:
    case 10: return std::max<size_t>(n / 2, 1);
    case 5:
    case 50: return n > spans ? n - spans : 1;
    default: return n > 2u * spans ? n - 2u * spans : 1;  // 6, 60
    }
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<const Device*> disks(const Scenario& sc, unsigned ctrl) {
    std::vector<const Device*> out;
    for (const Device* d : sc.devices_of(ctrl))
        if (d->kind != DeviceKind::Silent && d->ptype == 0 && d->view.listed) out.push_back(d);
    return out;
}

ShownVirtualDrive standing_mirror(const std::vector<const Device*>& disks, unsigned ld) {
    ShownVirtualDrive vd;
    vd.def.id = ld;
    vd.members = disks;
    vd.drivesShown = static_cast<unsigned>(std::min<size_t>(disks.size(), 2));
    vd.blocks = vd.redundancyBlocks = disks.empty() ? 0 : disks.front()->blocks;
    return vd;
}

ShownConfig shown_config(const Scenario& sc, unsigned ctrl) {
    ShownConfig c;
    c.disks = disks(sc, ctrl);
    auto cit = sc.controllers.find(ctrl);
    if (cit == sc.controllers.end()) return c;
    c.declared = !cit->second.virtualDrives.empty();
    if (!c.declared) {
        for (unsigned ld = 0; ld < cit->second.logicalDrives; ++ld)
            c.virtualDrives.push_back(standing_mirror(c.disks, ld));
        for (unsigned arm = 0; arm < c.disks.size(); ++arm) c.positions[c.disks[arm]->id] = {0, 0, arm};
        return c;
    }
    unsigned group = 0;
    for (const VirtualDrive& def : cit->second.virtualDrives) {
        ShownVirtualDrive vd;
        vd.def = def;
        uint64_t smallest = ~uint64_t{0};
        const size_t perSpan = def.members.size() / def.spans;
        for (size_t i = 0; i < def.members.size(); ++i) {
            const Device* d = sc.device(ctrl, def.members[i]);
            vd.members.push_back(d);
            smallest = std::min(smallest, d->blocks);
            c.positions[d->id] = {group, static_cast<unsigned>(i / perSpan), static_cast<unsigned>(i % perSpan)};
        }
        vd.drivesShown = static_cast<unsigned>(perSpan);
        const uint64_t data = data_drives(def.level, def.members.size(), def.spans);
        vd.blocks = data * smallest;
        vd.redundancyBlocks = def.level == 0 ? 0 : (def.members.size() - data) * smallest;
        if (def.level == 1 || def.level == 10) vd.redundancyBlocks = vd.blocks;
        c.virtualDrives.push_back(std::move(vd));
        ++group;
    }
    return c;
}

AdapterCounts adapter_counts(const Scenario& sc, unsigned ctrl, const ShownConfig& config) {
    AdapterCounts n;
    for (const auto& vd : config.virtualDrives) {
        const std::string& s = vd.def.state;
        if (s == "Degraded" || s == "Partially Degraded") ++n.degraded;
        if (s == "Offline") ++n.offline;
    }
    for (const Device* d : config.disks) {
        const DriveView& v = d->view;
        if (v.predictiveFailures > 0 || v.smartAlert) ++n.critical;
        for (const char* s : {"Failed", "Offline", "Unconfigured(bad)", "Missing"})
            if (starts_with(v.state, s)) ++n.failed;
    }
    auto cit = sc.controllers.find(ctrl);
    if (cit != sc.controllers.end()) {
        const AdapterView& a = cit->second.adapter;
        n.degraded = a.degraded.value_or(n.degraded);
        n.offline = a.offline.value_or(n.offline);
        n.critical = a.critical.value_or(n.critical);
        n.failed = a.failed.value_or(n.failed);
    }
    return n;
}

unsigned enclosure_of(const Device& d) { return d.view.enclosure.value_or(252); }
unsigned slot_of(const Device& d) { return d.view.slot.value_or(d.id); }
int temperature_of(const Device& d) { return d.view.temperature.value_or(30 + d.id % 8); }

std::string raid_level_text(unsigned level) {
    const unsigned primary = level >= 10 ? level / 10 : level;
    const unsigned secondary = level >= 10 ? 3 : 0;
    const unsigned qualifier = primary == 5 || primary == 6 ? 3 : 0;
    char buf[80];
    snprintf(buf, sizeof buf, "Primary-%u, Secondary-%u, RAID Level Qualifier-%u", primary, secondary, qualifier);
    return buf;
}

std::string drive_name(const Device& d) {
    char buf[40];
    snprintf(buf, sizeof buf, "PD %02x(e0x%02x/s%u)", d.id, enclosure_of(d), slot_of(d));
    return buf;
}

}  // namespace sim::cli
