#include "risk.h"

#include <cmath>
#include <cstdio>

#include "history.h"

namespace rpt {
namespace {

// The studies, as a statement names them.
constexpr const char* kPinheiro = "Pinheiro et al., FAST 2007; over 100,000 consumer SATA and PATA drives";
constexpr const char* kRaidShield = "Ma et al., RAIDShield, FAST 2015; about one million SATA drives";
constexpr const char* kBackblaze = "Backblaze Drive Stats, 2016 analysis; the operator's own fleet";
constexpr const char* kSchroeder = "Schroeder and Gibson, FAST 2007; about 100,000 SCSI, FC and SATA drives";
constexpr const char* kBairavasundaram = "Bairavasundaram et al., SIGMETRICS 2007; 1.5 million drives";

// The first event of a signal (Pinheiro et al. count a signal from 1).
constexpr Evidence kScanFirst{
    "39 times the failure rate within 60 days of drives without scan errors; a little over "
    "70% still worked 8 months after the first scan error",
    60, kPinheiro};
constexpr Evidence kOfflineFirst{
    "over 21 times the failure rate within 60 days of drives without offline uncorrectable sectors", 60, kPinheiro};
constexpr Evidence kPendingFirst{"16 times the failure rate within 60 days of drives without pending sectors", 60,
                                 kPinheiro};
constexpr Evidence kReallocatedFirst{
    "over 14 times the failure rate within 60 days of drives without reallocated "
    "sectors; about 85% still worked 8 months after the first reallocation",
    60, kPinheiro};
constexpr Evidence kFiveAttributes{
    "one of the five raw attributes that mark a drive for investigation above zero: "
    "76.7% of failed drives and 4.2% of working drives showed at least one of them",
    {},
    kBackblaze};
// Reallocated sectors by their number.
constexpr Evidence kReallocatedMany{
    "on one model, more than half of the drives with more than 40 reallocated sectors "
    "failed (of those without any, about 1.7%); past 500-600 nearly all did",
    {},
    kRaidShield};
constexpr Evidence kReallocatedMost{
    "past 200 reallocated sectors, half of the drives failed within days; that "
    "operator replaces a drive at 200",
    {},
    kRaidShield};
// The disk's own prediction: no study's figure, its own word.
constexpr Evidence kSelfAssessment{"the drive's SMART self-assessment says that it fails", {}, "SMART RETURN STATUS"};
constexpr Evidence kPrefail{"a pre-failure attribute at or below its threshold: the drive's own criterion of failure",
                            {},
                            "the SMART attribute thresholds"};
constexpr Evidence kSmartAlert{
    "the drive flagged a S.M.A.R.T alert to the RAID controller", {}, "the controller's drive list"};
constexpr Evidence kException{"the drive predicts its own failure (informational exception 5Dh)", {}, "page 2Fh"};
constexpr Evidence kPredictive{
    "the RAID controller counts predictive failures of the drive", {}, "the controller's drive list"};

using B = RiskBand;
using P = Protocol;
using S = Signal;

constexpr std::array<RiskStep, 3> first(const Evidence& e) { return {{{1, B::Elevated, &e}, {}, {}}}; }
constexpr std::array<RiskStep, 3> kReallocations{
    {{1, B::Elevated, &kReallocatedFirst}, {41, B::High, &kReallocatedMany}, {200, B::Imminent, &kReallocatedMost}}};
constexpr const char* k198 = "offline uncorrectable sectors (attribute 198)";
constexpr const char* kScanErrors = "scan errors";

// A count of the disk; `stands_for` where the SATA studies hold by analogy.
constexpr SignalDef count(S s, Counter c, std::optional<P> p, const char* stands_for, std::array<RiskStep, 3> steps) {
    return {s, "", c, {}, Severity::Fail, nullptr, p, stands_for, steps};
}
// The disk's own prediction of its failure: its findings of a rule, at
// least of a weight (or the drive list's count of them); imminent from the
// first.
constexpr SignalDef own(S s, const char* name, Rule r, Severity at, std::optional<P> p, const Evidence& e,
                        std::optional<uint64_t> PhysicalDrive::*listed = nullptr) {
    return {s, name, {}, r, at, listed, p, "", {{{1, B::Imminent, &e}, {}, {}}}};
}

// The table of signals, in the order of Signal: where two signals reach the
// same band, the one higher up is the stronger (the drive's own prediction,
// then by the figure of the first event).
constexpr SignalDef kSignals[] = {
    own(S::SelfAssessmentFailed, "self_assessment_failed", Rule::AtaSmartFailed, Severity::Fail, P::Ata,
        kSelfAssessment),
    own(S::PrefailThreshold, "prefail_threshold", Rule::AtaPrefailThreshold, Severity::Fail, P::Ata, kPrefail),
    own(S::SmartAlert, "smart_alert", Rule::DriveSmartAlert, Severity::Fail, {}, kSmartAlert),
    // A FAIL only for a failure prediction (ASC 5Dh).
    own(S::InformationalException, "informational_exception", Rule::Exception, Severity::Fail, P::Scsi, kException),
    own(S::PredictiveFailure, "predictive_failure", Rule::DrivePredictiveFailure, Severity::Warn, {}, kPredictive,
        &PhysicalDrive::predictive_failures),
    count(S::ScanMediumErrors, Counter::BmsMediumErrors, P::Scsi, kScanErrors, first(kScanFirst)),
    count(S::FailedSelfTests, Counter::SelftestFailures, P::Scsi, kScanErrors, first(kScanFirst)),
    count(S::OfflineUncorrectable, Counter::AtaOfflineUncorrectable, P::Ata, "", first(kOfflineFirst)),
    count(S::ReadUncorrected, Counter::ReadUncorrected, P::Scsi, k198, first(kOfflineFirst)),
    count(S::WriteUncorrected, Counter::WriteUncorrected, P::Scsi, k198, first(kOfflineFirst)),
    count(S::VerifyUncorrected, Counter::VerifyUncorrected, P::Scsi, k198, first(kOfflineFirst)),
    // The controller's count of either protocol: the medium errors of its
    // commands to the drive.
    count(S::ControllerMediaErrors, Counter::ControllerMediaErrors, {}, k198, first(kOfflineFirst)),
    count(S::PendingSectors, Counter::AtaPendingSectors, P::Ata, "", first(kPendingFirst)),
    count(S::ReallocatedSectors, Counter::AtaReallocatedSectors, P::Ata, "", kReallocations),
    count(S::GrownDefects, Counter::GrownDefects, P::Scsi, "reallocated sectors (attribute 5)", kReallocations),
    // Only where the drive database gives it a count format (the counter is
    // set only then): its raw format is vendor-specific.
    count(S::ReportedUncorrect, Counter::AtaReportedUncorrect, P::Ata, "", first(kFiveAttributes)),
};

static_assert(indexed_by(kSignals, &SignalDef::signal),
              "a row of the table of signals stands out of its enumerator's place");

const SignalDef& def(Signal s) { return kSignals[static_cast<size_t>(s)]; }

// The band a value of the signal gives, and the evidence of it.
RiskStep step_of(const SignalDef& d, uint64_t v) {
    RiskStep at{0, B::Base, nullptr};
    for (auto& s : d.steps)
        if (s.evidence && v >= s.from) at = s;
    return at;
}

// Annual rates by a drive's age, for the base statement; a rate of 0: the
// source gives none for that age.
struct AgeRate {
    double below_years;
    double rate;
    const char* text;
    const char* source;
};
constexpr AgeRate kAgeRates[] = {
    {1, 0.017, "drives failed at about 1.7% a year in their first year", kPinheiro},
    {2, 0, "the rate of failures rose from about 1.7% in the first year to about 8% at 2 years", kPinheiro},
    {4, 0.08, "drives failed at about 8% a year at 2 and 3 years", kPinheiro},
    {INFINITY, 0, "drives were replaced at several times the data sheets' rate (at most 0.88%) in years 4-5",
     kSchroeder},
};
constexpr double kHoursPerYear = 365.25 * 24;
constexpr double kLowRate = 0.01, kHighRate = 0.04;  // the usual annual replacement rates
constexpr unsigned kCompareDays = 60;                // the horizon of the first events' figures

// An annual rate over a horizon: p = 1 - exp(-rate x years), in percent
// (without the sign).
std::string percent_within(double rate, unsigned days) {
    char s[16];
    snprintf(s, sizeof s, "%.1f", 100 * (1 - std::exp(-rate * days / 365.25)));
    return s;
}

// What a signal is as the disk gives it: "reallocated sectors (attribute 5)".
std::string signal_text(const SignalDef& d, Protocol p) {
    return d.counter ? counter_text(*d.counter, d.protocol.value_or(p)) : d.name;
}

std::string base_statement(const Signals& s, size_t counts) {
    std::string t = "No failure signal: every failure counter read (" + std::to_string(counts) +
                    ") is 0. Drives in service are replaced at 1-4% a year (about " +
                    percent_within(kLowRate, kCompareDays) + "-" + percent_within(kHighRate, kCompareDays) +
                    "% within " + std::to_string(kCompareDays) + " days), rising with age (" + kSchroeder + ")";
    if (s.protocol == Protocol::Scsi)
        t += "; that study found little difference between SCSI, FC and SATA drives, so the rate is carried over";
    t += ".";
    bool cited = false;  // Pinheiro et al. with their population
    if (s.power_on_hours) {
        const double years = static_cast<double>(*s.power_on_hours) / kHoursPerYear;
        const AgeRate* r = &kAgeRates[0];
        while (years >= r->below_years) ++r;
        t += " At " + short_number(years) + " years (" + std::to_string(*s.power_on_hours) + " hours powered on), " +
             r->text;
        if (r->rate > 0)
            t += ", about " + percent_within(r->rate, kCompareDays) + "% within " + std::to_string(kCompareDays) +
                 " days";
        t += std::string(" (") + r->source + ")";
        cited = r->source == kPinheiro;
        if (s.protocol == Protocol::Scsi && cited) t += ", carried over to SAS";
        t += ".";
    }
    return t +
           " Over 56% of the failed drives of one study had no count of scan errors, reallocated, offline "
           "uncorrectable or pending sectors, and over 36% none in any attribute but temperature (" +
           (cited ? "Pinheiro et al., FAST 2007" : kPinheiro) + "): no signal is not no risk.";
}

}  // namespace

const char* band_name(RiskBand b) {
    switch (b) {
    case B::Base: return "base";
    case B::Elevated: return "elevated";
    case B::High: return "high";
    case B::Imminent: return "imminent";
    case B::Unknown:
    case B::kCount: break;
    }
    return "unknown";
}

const char* signal_name(Signal s) {
    const SignalDef& d = def(s);
    return d.counter ? counter_def(*d.counter).name : d.name;
}
std::span<const SignalDef> signal_defs() { return kSignals; }

RiskClass classify_risk(const Signals& now, const Signals* previous, double days) {
    RiskClass c;
    bool read = false;
    for (auto& d : kSignals) {
        const auto& v = now[d.signal];
        if (!v) continue;
        read = true;
        const RiskBand band = step_of(d, *v).band;
        if (band > B::Base && band > c.band) {
            c.band = band;
            c.signal = d.signal;
        }
        // Only a count grows; the first that did, by the table's order.
        if (previous && d.counter && !c.grew)
            if (const auto& was = (*previous)[d.signal]; was && *v > *was)
                c.grew = RiskGrowth{d.signal, *was, *v, days};
    }
    if (read && c.band == B::Unknown) c.band = B::Base;
    if (c.grew && c.band < B::High) {
        c.band = static_cast<RiskBand>(static_cast<int>(c.band) + 1);
        c.grew->raised = true;
    }
    return c;
}

Risk assess_risk(const Signals& now, const Signals* previous, double days) {
    const RiskClass c = classify_risk(now, previous, days);
    Risk r;
    r.band = c.band;
    r.signal = c.signal;
    r.grew = c.grew;
    if (c.band == B::Unknown) {
        r.statement = "No failure counter and no failure prediction of the disk could be read: no forecast.";
        return r;
    }
    if (!c.signal) {
        size_t counts = 0;
        for (auto& d : kSignals) counts += now[d.signal].has_value();
        r.figure = "1-4% a year";
        r.horizon_days = 365;
        r.source = kSchroeder;
        r.statement = base_statement(now, counts);
        return r;
    }
    const SignalDef& d = def(*c.signal);
    r.value = now[*c.signal];
    const RiskStep at = step_of(d, *r.value);
    r.figure = at.evidence->figure;
    r.horizon_days = at.evidence->horizon_days;
    r.source = at.evidence->source;
    if (d.counter) {
        r.statement = signal_text(d, now.protocol) + " " + std::to_string(*r.value) + ": ";
        // The SATA studies' figures hold for other counts only by analogy.
        if (*d.stands_for) r.statement += std::string("by analogy with the SATA studies, as ") + d.stands_for + ": ";
    } else {
        r.statement = "The disk's own health says it fails: ";
    }
    r.statement += std::string(r.figure) + " (" + std::string(r.source) + ").";
    if (c.grew) {
        const SignalDef& g = def(c.grew->signal);
        r.statement += " " + std::string(c.grew->signal == *c.signal ? "It" : signal_text(g, now.protocol)) +
                       " grew by " + std::to_string(c.grew->to - c.grew->from) + " (from " +
                       std::to_string(c.grew->from) + " to " + std::to_string(c.grew->to) + ") in " +
                       short_number(c.grew->days) +
                       " days since the previous collection; latent sector errors cluster "
                       "in time (" +
                       kBairavasundaram + ")";
        r.statement += c.grew->raised      ? ", so the band is raised by one."
                       : c.band == B::High ? "; growth raises the band to high at most."
                                           : ".";
    }
    return r;
}

Signals counter_signals(Protocol p, std::span<const CounterValue> counters) {
    Signals s;
    s.protocol = p;
    for (auto& c : counters) {
        if (c.phy) continue;
        for (auto& d : kSignals)
            if (d.counter == c.id && (!d.protocol || *d.protocol == p)) s[d.signal] = c.value;
    }
    return s;
}

Signals risk_signals(const Disk& disk) {
    Signals s = counter_signals(disk.protocol, disk.counters);
    if (disk.power_on_hours && *disk.power_on_hours >= 0)
        s.power_on_hours = static_cast<uint64_t>(*disk.power_on_hours);
    for (auto& d : kSignals) {
        if (!d.rule) continue;
        uint64_t n = 0;
        for (auto& f : disk.findings) n += f.rule == *d.rule && f.severity >= d.at;
        // The drive list's own count, where it gives one, is the value.
        const std::optional<uint64_t>* listed = d.listed && disk.view ? &(disk.view->drive->*d.listed) : nullptr;
        if (n && listed && listed->value_or(0) > 0) n = **listed;
        if (n) s[d.signal] = n;
    }
    return s;
}

Risk disk_risk(const Disk& d) {
    const Signals now = risk_signals(d);
    // The history is newest first: the collection judged, then the one before.
    if (d.history.size() < 2) return assess_risk(now);
    const Signals before = counter_signals(d.protocol, d.counters_at(1));
    return assess_risk(now, &before, double(d.history[0].collected - d.history[1].collected) / 86400.0);
}

}  // namespace rpt
