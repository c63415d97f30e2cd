// The controller's configuration as the CLI shows it: its virtual drives
// with their members, each drive's place in them, and the adapter's counts.
// A scenario without "vd" statements shows the mirrors that
// "controller c lds N" stands for, as the CLI always has.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/scenario.h"

namespace sim::cli {

struct ShownVirtualDrive {
    VirtualDrive def;
    std::vector<const Device*> members;  // the drives listed under it, span after span
    unsigned drivesShown = 0;            // its "Number Of Drives" (per span when spanned)
    uint64_t blocks = 0;                 // its size
    uint64_t redundancyBlocks = 0;       // mirror or parity; 0 for RAID 0
};

// Disk group, span and arm of a drive in a virtual drive.
struct Position {
    unsigned group = 0, span = 0, arm = 0;
};

struct ShownConfig {
    bool declared = false;  // the scenario declares its virtual drives
    std::vector<const Device*> disks;
    std::vector<ShownVirtualDrive> virtualDrives;
    std::map<uint16_t, Position> positions;  // by device id; a drive in no virtual drive has none
};

// The drives the CLI lists: every device that answers as a block device or
// is a disk the controller still knows (not one pulled from its slot).
std::vector<const Device*> disks(const Scenario& sc, unsigned ctrl);

ShownConfig shown_config(const Scenario& sc, unsigned ctrl);

// The mirror of the first two disks that stands for virtual drive `ld`
// when the scenario declares none.
ShownVirtualDrive standing_mirror(const std::vector<const Device*>& disks, unsigned ld);

struct AdapterCounts {
    unsigned degraded = 0, offline = 0, critical = 0, failed = 0;
};

AdapterCounts adapter_counts(const Scenario& sc, unsigned ctrl, const ShownConfig& config);

unsigned enclosure_of(const Device& d);
unsigned slot_of(const Device& d);
int temperature_of(const Device& d);

// "Primary-1, Secondary-0, RAID Level Qualifier-0" for a RAID level.
std::string raid_level_text(unsigned level);

// How the CLI's newer events name a drive: "PD 05(e0xfc/s5)".
std::string drive_name(const Device& d);

}  // namespace sim::cli
