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
#include "risk_types.h"

namespace rpt {

// What a disk gives of each signal: none where it was not read (a count of
// 0 is a count read). A prediction is the count the controller's drive list
// gives of it, else the number of findings that make it (of a drive-stats
// file: its column's count).
struct Signals {
    Protocol protocol = Protocol::Ata;
    std::array<std::optional<uint64_t>, static_cast<size_t>(Signal::kCount)> value{};
    std::optional<uint64_t> power_on_hours;

    std::optional<uint64_t>& operator[](Signal s) { return value[static_cast<size_t>(s)]; }
    const std::optional<uint64_t>& operator[](Signal s) const { return value[static_cast<size_t>(s)]; }
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

// Every signal of a built disk: its counters and its own failure
// prediction; and its risk from them, with the growth of its counts since
// the previous collection of its history (history.h) where it has one.
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
    const char* name;                                // of a prediction; a count has its counter's name
    std::optional<Counter> counter;                  // a count of the disk,
    std::optional<Rule> rule;                        // or the findings of its own prediction, of this rule
    Severity at;                                     // and at least this weight,
    std::optional<uint64_t> PhysicalDrive::*listed;  // whose value is the drive list's count, where it gives one
    std::optional<Protocol> protocol;                // read for this protocol; none: for both (the controller's)
    const char* stands_for;         // by analogy: what of the SATA studies it stands for; "" read as they read it
    std::array<RiskStep, 3> steps;  // rising; an unused step has no evidence
};
std::span<const SignalDef> signal_defs();

}  // namespace rpt
