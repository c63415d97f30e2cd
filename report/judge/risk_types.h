// A disk's failure risk as the report holds it on each disk: its band,
// the signal behind it and what the field studies found for drives with
// that signal. risk.h judges it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rpt {

enum class RiskBand : uint8_t { Unknown, Base, Elevated, High, Imminent, kCount };
const char* band_name(RiskBand b);  // "unknown", "base", "elevated", "high", "imminent"

// In the order of the table of signals: the strongest first, where two
// reach the same band.
enum class Signal : uint8_t {
    // The disk's own prediction of its failure.
    SelfAssessmentFailed,
    PrefailThreshold,
    SmartAlert,
    InformationalException,
    PredictiveFailure,
    // Counts, by the strength of their first event.
    ScanMediumErrors,
    FailedSelfTests,
    OfflineUncorrectable,
    ReadUncorrected,
    WriteUncorrected,
    VerifyUncorrected,
    ControllerMediaErrors,
    PendingSectors,
    ReallocatedSectors,
    GrownDefects,
    ReportedUncorrect,
    kCount
};
const char* signal_name(Signal s);  // its stable name: "ata_reallocated_sectors", "self_assessment_failed"

// A signal that grew since the previous collection of the same disk.
struct RiskGrowth {
    Signal signal{};
    uint64_t from = 0, to = 0;
    double days = 0;
    bool raised = false;  // the band is one above that of the counts alone
};

struct Risk {
    RiskBand band = RiskBand::Unknown;
    std::optional<Signal> signal;  // the strongest signal; none for base and unknown
    std::optional<uint64_t> value;
    // The figure and the source are the table's own texts, not copies.
    std::string_view figure;               // what the source found
    std::optional<unsigned> horizon_days;  // of the figure; none where the source gives none
    std::string_view source;               // the study and its population
    std::string statement;                 // all of it in words, for people
    std::optional<RiskGrowth> grew;        // the first count that grew, by the table's order
};

}  // namespace rpt
