// A disk's failure risk: a band, the signal behind it and what the field
// studies found for drives with that signal (the figure, its horizon and
// its source), beside the verdict and never changing it. One function
// judges the risk from a disk's signals; the table of signals in risk.cpp
// says where each comes from, its thresholds and its source.
//
// The figures describe populations, not one drive. Signals are not
// independent, so the strongest one decides: never a sum or a product.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model.h"

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

// What a disk gives of each signal: none where it was not read (a count of
// 0 is a count read). A prediction is the number of findings that make it
// (of a drive-stats file: its column's count).
struct Signals {
    Protocol protocol = Protocol::Ata;
    std::array<std::optional<uint64_t>, static_cast<size_t>(Signal::kCount)> value{};
    std::optional<uint64_t> power_on_hours;

    std::optional<uint64_t>& operator[](Signal s) { return value[static_cast<size_t>(s)]; }
    const std::optional<uint64_t>& operator[](Signal s) const { return value[static_cast<size_t>(s)]; }
};

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
    std::string figure;                    // what the source found
    std::optional<unsigned> horizon_days;  // of the figure; none where the source gives none
    std::string source;                    // the study and its population
    std::string statement;                 // all of it in words, for people
    std::optional<RiskGrowth> grew;        // the first count that grew, by the table's order
};

// The band alone, as cheaply as it can be had (for millions of rows), and
// which signal gives it.
struct RiskClass {
    RiskBand band = RiskBand::Unknown;
    std::optional<Signal> signal;
    std::optional<RiskGrowth> grew;
};
RiskClass classify_risk(const Signals& now, const Signals* previous = nullptr, double days = 0);

// The risk of a disk from its signals; with the signals of its previous
// collection and the days between them, a signal that grew raises the band
// by one (to high at most).
Risk assess_risk(const Signals& now, const Signals* previous = nullptr, double days = 0);

// The signals of a protocol's counters (of a disk or of a collection in its
// history): the counts only.
Signals counter_signals(Protocol p, std::span<const CounterValue> counters);

// Every signal of a built disk: its counters and the findings of its own
// failure prediction; and its risk from them alone.
Signals risk_signals(const Disk& d);
Risk disk_risk(const Disk& d);

// What a study found for drives with a signal.
struct Evidence {
    const char* figure;
    std::optional<unsigned> horizon_days;  // none where the study gives none
    const char* source;                    // the study and its population
};

// From `from` on, a signal puts a disk in `band`, on this evidence.
struct RiskStep {
    uint64_t from = 0;
    RiskBand band = RiskBand::Unknown;
    const Evidence* evidence = nullptr;
};

// One row of the table of signals.
struct SignalDef {
    Signal signal;
    const char* name;                  // of a prediction; a count has its counter's name
    std::optional<Counter> counter;    // a count of the disk,
    std::optional<Rule> rule;          // or the findings of its own prediction, of this rule
    Severity at;                       // and at least this weight
    std::optional<Protocol> protocol;  // read for this protocol; none: for both (the controller's)
    const char* stands_for;            // by analogy: what of the SATA studies it stands for; "" read as they read it
    std::array<RiskStep, 3> steps;     // rising; an unused step has no evidence
};
std::span<const SignalDef> signal_defs();

}  // namespace rpt
