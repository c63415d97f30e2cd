// What a fleet's own collections say about its drives: which drives left
// their slots between two collections of a host (replaced, moved, removed),
// the drive-years each model and firmware was watched for, and the rate of
// replacements that gives, with its exact Poisson interval.
#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "model.h"

namespace rpt {

// A drive that left its slot between two collections of a host.
struct Turn {
    enum class Kind : uint8_t {
        Replaced,  // another serial, new to the host, took its slot
        Moved,     // still on the host, in another slot
        Removed,   // gone, and no new serial in its slot
    };
    Kind kind = Kind::Removed;
    std::string host, serial, model, firmware;
    std::optional<unsigned> controller, device;        // its slot before
    std::optional<unsigned> to_controller, to_device;  // Moved: its slot after
    std::string successor;                             // Replaced: the serial in its slot after
    time_t last_seen = 0, next_collection = 0;
};
const char* turn_name(Turn::Kind k);  // "replaced", "moved", "removed"

// The watch of one model and firmware: drive-years between collections, and
// the replacements among them.
struct Exposure {
    std::string model, firmware;
    double drive_years = 0;
    uint64_t replacements = 0;
};

struct Turnover {
    std::vector<Turn> turns;         // by host, then time, then serial
    std::vector<Exposure> exposure;  // by model, then firmware
};

// The turnover of every host with two collections or more. A drive of a
// collection counts the time to the host's next collection, whether or not
// it is still there then (when it left is not known).
Turnover fleet_turnover(const std::vector<Collection>& all);

// The model as the field's statistics name it: the product, after the
// vendor where the vendor is not the ATA placeholder.
std::string fleet_model(const Disk& d);

// The exact (Garwood) interval of a Poisson mean at `confidence`, from the
// count of events seen: [0, ...] for none.
struct Interval {
    double low = 0, high = 0;
};
Interval poisson_interval(uint64_t events, double confidence = 0.95);

// Replacements per drive-year as an annual percentage, with its interval;
// none without drive-years.
struct AnnualRate {
    double percent = 0;
    Interval interval;  // in percent
};
std::optional<AnnualRate> annual_rate(const Exposure& e, double confidence = 0.95);

}  // namespace rpt
