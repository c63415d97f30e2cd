#include "counters.h"

#include "helpers.h"

namespace rpt {
namespace {

using F = Followed;
using G = ChartGroup;

constexpr const char* kDeviceStatistics = "device statistics";
constexpr const char* kDriveList = "drive list";

// One row per counter, in the order of Counter.
constexpr CounterDef kCounters[] = {
    {Counter::ReadUncorrected, "read_uncorrected", "uncorrected read errors", "page 03h", nullptr, false, F::Judged,
     G::Medium, Limit::ReadUncorrected},
    {Counter::WriteUncorrected, "write_uncorrected", "uncorrected write errors", "page 02h", nullptr, false, F::Judged,
     G::Medium, Limit::WriteUncorrected},
    {Counter::VerifyUncorrected, "verify_uncorrected", "uncorrected verify errors", "page 05h", nullptr, false,
     F::Judged, G::Medium, Limit::VerifyUncorrected},
    // Judged as a rate per power-on hours, not as a count.
    {Counter::NonMedium, "non_medium", "non-medium errors", "page 06h", nullptr, false, F::Listed, G::Other, {}},
    {Counter::AtaReallocatedSectors, "ata_reallocated_sectors", "reallocated sectors", nullptr, "attribute 5", false,
     F::Judged, G::Medium, Limit::AtaReallocated},
    {Counter::AtaReportedUncorrect, "ata_reported_uncorrect", "uncorrectable errors reported to the host", nullptr,
     "attribute 187", false, F::Judged, G::Medium, Limit::AtaReportedUncorrect},
    {Counter::AtaPendingSectors, "ata_pending_sectors", "sectors pending reallocation", nullptr, "attribute 197", false,
     F::Judged, G::Medium, Limit::AtaPending},
    {Counter::AtaOfflineUncorrectable, "ata_offline_uncorrectable", "sectors found uncorrectable off-line", nullptr,
     "attribute 198", false, F::Judged, G::Medium, Limit::AtaOfflineUncorrectable},
    {Counter::AtaUdmaCrcErrors, "ata_udma_crc_errors", "interface CRC errors", nullptr, "attribute 199", false,
     F::Listed, G::Link, Limit::AtaCrc},
    {Counter::SelftestFailures,
     "selftest_failures",
     "failed self-tests in the log",
     "",
     "",
     false,
     F::No,
     G::SelfTest,
     {}},
    {Counter::BmsMediumErrors, "bms_medium_errors", "medium and hardware errors found by the background scan",
     "page 15h", nullptr, false, F::Judged, G::Medium, Limit::BmsMedium},
    {Counter::BmsReassigns, "bms_reassigns", "blocks reassigned after the background scan", "page 15h", nullptr, false,
     F::Judged, G::Other, Limit::BmsReassign},
    {Counter::PendingDefects, "pending_defects", "pending defects", "page 15h/01h", nullptr, false, F::Judged,
     G::Medium, Limit::PendingDefects},
    {Counter::GrownDefects, "grown_defects", "grown defects", "READ DEFECT DATA", nullptr, false, F::Judged, G::Medium,
     Limit::GrownDefects},
    {Counter::EnduranceUsedPercent, "endurance_used_percent", "percentage used endurance indicator", "page 11h",
     kDeviceStatistics, false, F::No, G::None, Limit::SsdEndurance},
    {Counter::AtaPendingErrors,
     "ata_pending_errors",
     "pending error count",
     nullptr,
     kDeviceStatistics,
     false,
     F::Judged,
     G::None,
     {}},
    {Counter::AtaReallocatedLogicalSectors,
     "ata_reallocated_logical_sectors",
     "reallocated logical sectors",
     nullptr,
     kDeviceStatistics,
     false,
     F::Judged,
     G::None,
     {}},
    {Counter::AtaReallocationCandidates,
     "ata_reallocation_candidates",
     "reallocation candidate logical sectors",
     nullptr,
     kDeviceStatistics,
     false,
     F::Judged,
     G::None,
     {}},
    {Counter::AtaMechanicalStartFailures,
     "ata_mechanical_start_failures",
     "mechanical start failures",
     nullptr,
     kDeviceStatistics,
     false,
     F::No,
     G::None,
     {}},
    {Counter::AtaReportedUncorrectableErrors,
     "ata_reported_uncorrectable_errors",
     "reported uncorrectable errors",
     nullptr,
     kDeviceStatistics,
     false,
     F::Judged,
     G::None,
     {}},
    {Counter::AtaResetsDuringCommands,
     "ata_resets_during_commands",
     "resets between command acceptance and completion",
     nullptr,
     kDeviceStatistics,
     false,
     F::No,
     G::None,
     {}},
    {Counter::AtaInterfaceCrcErrors,
     "ata_interface_crc_errors",
     "interface CRC errors",
     nullptr,
     kDeviceStatistics,
     false,
     F::Listed,
     G::None,
     {}},
    // The RAID controller's count for a drive of either protocol, judged by
    // the controller's view; kept here so that a history follows it.
    {Counter::ControllerMediaErrors, "controller_media_errors", "media errors the controller counts", kDriveList,
     kDriveList, false, F::Judged, G::None, Limit::DriveMediaErrors},
    {Counter::PhyInvalidDword, "phy_invalid_dword", "invalid dwords", "page 18h", nullptr, true, F::Listed, G::Link,
     Limit::PhyInvalidDword},
    {Counter::PhyDisparity, "phy_disparity", "running disparity errors", "page 18h", nullptr, true, F::Listed, G::Link,
     Limit::PhyDisparity},
    {Counter::PhyLossOfSync, "phy_loss_of_sync", "losses of dword synchronization", "page 18h", nullptr, true,
     F::Listed, G::Link, Limit::PhyLossOfSync},
    {Counter::PhyResetProblem, "phy_reset_problem", "phy reset problems", "page 18h", nullptr, true, F::Listed, G::Link,
     Limit::PhyResetProblem},
};

static_assert(indexed_by(kCounters, &CounterDef::id),
              "a row of the counter registry stands out of its enumerator's place");

}  // namespace

std::span<const CounterDef> counter_defs() { return kCounters; }
const CounterDef& counter_def(Counter c) { return kCounters[static_cast<size_t>(c)]; }

bool carried_by(const CounterDef& def, Protocol p) { return (p == Protocol::Ata ? def.ata : def.scsi) != nullptr; }

std::string counter_text(Counter c, Protocol p) {
    const CounterDef& def = counter_def(c);
    const char* source = p == Protocol::Ata ? def.ata : def.scsi;
    return source && *source ? std::string(def.what) + " (" + source + ")" : def.what;
}

const char* chart_group_name(ChartGroup g) {
    switch (g) {
    case ChartGroup::Medium: return "medium";
    case ChartGroup::Other: return "other";
    case ChartGroup::SelfTest: return "self-test";
    case ChartGroup::Link: return "link";
    case ChartGroup::None: break;
    }
    return "";
}

std::string counter_key(Counter c, std::optional<unsigned> phy) {
    const std::string name = counter_def(c).name;
    return phy ? name + "_phy" + std::to_string(*phy) : name;
}

}  // namespace rpt
