// What a fleet's own collections say about its drives: which drives left
// their slots between two collections of a host (replaced, moved, removed),
// the drive-years each model and firmware was watched for, and the rate of
// replacements that gives, with its exact Poisson interval.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "model.h"
#include "risk.h"

namespace rpt {

const char* turn_name(Turn::Kind k);  // "replaced", "moved", "removed"

// The turnover of every host with two collections or more. A drive of a
// collection counts the time to the host's next collection, whether or not
// it is still there then (when it left is not known).
Turnover fleet_turnover(const std::vector<Collection>& all);

// The columns of the drive-stats file that this program adds to the
// public layout, after the SMART attributes: a disk's counts (their names
// are those --risk-check reads) and where and how it was judged.
enum class DayCount : uint8_t {
    GrownDefects,
    ReadUncorrected,
    WriteUncorrected,
    VerifyUncorrected,
    NonMedium,
    ScanMediumErrors,
    FailedSelfTests,
    PowerOnHours,
    ControllerMediaErrors,
    ControllerPredictiveFailures,
    FailurePredicted,  // findings of the drive's own prediction but the controller's count
    kCount
};
const char* day_count_name(DayCount c);  // "grown_defects", ...

// One disk of one collection, as a row of the drive-stats file keeps it.
struct DiskDay {
    time_t date = 0;  // its collection's
    std::string host, serial, model;
    std::optional<uint64_t> capacity_bytes;
    std::optional<unsigned> controller, target;
    bool failure = false;               // its last collection before another serial took its slot
    Severity verdict = Severity::Info;  // of that collection's own findings
    RiskBand band = RiskBand::Unknown;
    struct Attribute {
        uint8_t id = 0, normalized = 0;
        uint64_t raw = 0;
    };
    std::vector<Attribute> attributes;  // by id
    std::array<std::optional<uint64_t>, static_cast<size_t>(DayCount::kCount)> counts{};
};

// Every disk with a serial of every readable collection, before the history
// keeps only the newest of each host; `failure` from the turnover.
std::vector<DiskDay> disk_days(const std::vector<Collection>& all, const Turnover& turnover);

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

// The fleet section: per model and firmware, per host, and the disks
// riskiest first. Only where the report holds more than one host.
struct FleetModel {
    std::string model, firmware;
    uint64_t drives = 0;                 // in the newest collections
    std::array<uint64_t, 4> verdicts{};  // by Severity: OK, UNKNOWN, WARN, FAIL
    std::array<uint64_t, static_cast<size_t>(RiskBand::kCount)> bands{};
    Exposure exposure;  // its turnover, where a host was collected twice or more
    std::optional<AnnualRate> rate;
};
struct FleetHost {
    std::string host;
    Severity worst = Severity::Info;  // of its disks and its own findings
    std::array<uint64_t, 4> verdicts{};
    time_t last = 0;  // its newest collection's time
    // Collected whole: no finding of the collection of weight WARN or more,
    // and the run's own record (where there is one) ended well in time.
    bool complete = true;
};
struct FleetView {
    std::vector<FleetModel> models;     // by model, then firmware
    std::vector<FleetHost> hosts;       // in input order
    std::vector<const Disk*> riskiest;  // every disk: by verdict, then band, then growth
};
std::optional<FleetView> fleet_view(const Report& r);

// The order of disks riskiest first: by verdict, then by band, then those
// whose count grew.
bool riskier(const Disk& a, const Disk& b);

}  // namespace rpt
