// The counter registry: every health counter a disk may carry, one row
// each, with what it counts, where each protocol gives it, whether it is
// per phy, how a history follows it, the chart group of the web page and
// its row of the thresholds table. Disks, history, JSON, metrics and the
// web page name counters by the enumeration, so a misspelt one does not
// compile; their names are written only from the registry.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "rules.h"

namespace rpt {

enum class Protocol : uint8_t { Scsi, Ata };
inline const char* protocol_name(Protocol p) { return p == Protocol::Ata ? "ATA" : "SCSI"; }

// In the order of the JSON document's counters of each protocol.
enum class Counter : uint8_t {
    ReadUncorrected,
    WriteUncorrected,
    VerifyUncorrected,
    NonMedium,
    AtaReallocatedSectors,
    AtaReportedUncorrect,
    AtaPendingSectors,
    AtaOfflineUncorrectable,
    AtaUdmaCrcErrors,
    SelftestFailures,
    BmsMediumErrors,
    BmsReassigns,
    PendingDefects,
    GrownDefects,
    EnduranceUsedPercent,
    AtaPendingErrors,
    AtaReallocatedLogicalSectors,
    AtaReallocationCandidates,
    AtaMechanicalStartFailures,
    AtaReportedUncorrectableErrors,
    AtaResetsDuringCommands,
    AtaInterfaceCrcErrors,
    ControllerMediaErrors,
    PhyInvalidDword,
    PhyDisparity,
    PhyLossOfSync,
    PhyResetProblem,
    kCount
};

// How a history follows a counter: not at all, listed with its change, or
// listed and its growth judged (counts of defects and uncorrected errors).
enum class Followed : uint8_t { No, Listed, Judged };

// The bar of the web page's error chart that a counter adds to.
enum class ChartGroup : uint8_t { None, Medium, Other, SelfTest, Link };

struct CounterDef {
    Counter id;
    const char* name;  // its stable name in the JSON document and the metrics
    const char* what;
    const char* scsi;  // where a SAS disk gives it ("page 03h"), "" when the words say it, null for none
    const char* ata;   // the same for a SATA drive
    bool per_phy;
    Followed followed;
    ChartGroup chart;
    std::optional<Limit> limit;  // judged against this row whenever it is set
};

std::span<const CounterDef> counter_defs();
const CounterDef& counter_def(Counter c);
bool carried_by(const CounterDef& def, Protocol p);

// What the counter counts as a disk of the protocol gives it: "uncorrected
// read errors (page 03h)".
std::string counter_text(Counter c, Protocol p);

// The word of a chart group: "medium", "other", "self-test", "link".
const char* chart_group_name(ChartGroup g);

// A counter's key in a history: its name, "_phyN" after it for a per-phy
// counter.
std::string counter_key(Counter c, std::optional<unsigned> phy);

}  // namespace rpt
