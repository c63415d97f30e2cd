#include "fleet.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string_view>
#include <tuple>

#include "rules.h"

namespace rpt {
namespace {

constexpr double kSecondsPerYear = 365.25 * 86400;

bool same_slot(const Disk& a, const Disk& b) {
    return a.controller && a.device && a.controller == b.controller && a.device == b.device;
}

// A collection's disks by serial (the first of a serial listed twice) and
// by slot: a host may hold a thousand drives.
struct Index {
    std::map<std::string_view, const Disk*> serial;
    std::map<std::pair<unsigned, unsigned>, const Disk*> slot;
    explicit Index(const Collection& c) {
        for (auto& d : c.disks) {
            if (!d.serial.empty()) serial.emplace(d.serial, &d);
            if (d.controller && d.device) slot.emplace(std::pair(*d.controller, *d.device), &d);
        }
    }
    const Disk* of_serial(const std::string& s) const {
        auto it = serial.find(s);
        return it == serial.end() ? nullptr : it->second;
    }
};

// What became of the drives of `before` by `after`, the host's next
// collection.
void turns_between(const Collection& before, const Collection& after, std::vector<Turn>& out) {
    const Index was(before), is(after);
    for (const Disk& old : before.disks) {
        if (old.serial.empty()) continue;
        Turn t;
        t.host = before.host;
        t.serial = old.serial;
        t.model = fleet_model(old);
        t.firmware = old.revision;
        t.controller = old.controller;
        t.device = old.device;
        t.last_seen = before.newest;
        t.next_collection = after.newest;
        if (const Disk* now = is.of_serial(old.serial)) {
            if (same_slot(*now, old) || !now->controller || !now->device || !old.controller || !old.device)
                continue;  // still in its slot, or a slot not known on one side
            t.kind = Turn::Kind::Moved;
            t.to_controller = now->controller;
            t.to_device = now->device;
        } else if (old.controller && old.device) {
            auto n = is.slot.find(std::pair(*old.controller, *old.device));
            if (n != is.slot.end() && !n->second->serial.empty() && !was.of_serial(n->second->serial)) {
                t.kind = Turn::Kind::Replaced;
                t.successor = n->second->serial;
            }
        }
        out.push_back(std::move(t));
    }
}

// P(a, x), the regularised lower incomplete gamma function: by its series
// below a + 1, by its continued fraction above (Lentz's method).
double lower_gamma(double a, double x) {
    if (x <= 0) return 0;
    const double front = std::exp(a * std::log(x) - x - std::lgamma(a));
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < 1000 && std::fabs(term) > std::fabs(sum) * 1e-15; ++n) sum += term *= x / (a + n);
        return sum * front;
    }
    constexpr double kTiny = 1e-300;
    double b = x + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;
    for (int i = 1; i < 1000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = b + an / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1 / d;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < 1e-15) break;
    }
    return 1 - front * h;
}

// The x where P(a, x) = p, by bisection (P rises with x).
double gamma_quantile(double a, double p) {
    double lo = 0, hi = a + 10;
    while (lower_gamma(a, hi) < p) hi *= 2;
    for (int i = 0; i < 200 && hi - lo > 1e-12 * hi; ++i) {
        const double mid = (lo + hi) / 2;
        (lower_gamma(a, mid) < p ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The counts of a row, in the order of DayCount: their column's name and
// the counter they read (none: not a counter of the disk).
struct DayCountDef {
    const char* name;
    std::optional<Counter> counter;
};
constexpr DayCountDef kDayCounts[] = {
    {"grown_defects", Counter::GrownDefects},
    {"uncorrected_read_errors", Counter::ReadUncorrected},
    {"uncorrected_write_errors", Counter::WriteUncorrected},
    {"uncorrected_verify_errors", Counter::VerifyUncorrected},
    {"non_medium_errors", Counter::NonMedium},
    {"background_scan_medium_errors", Counter::BmsMediumErrors},
    {"failed_self_tests", Counter::SelftestFailures},
    {"power_on_hours", {}},
    {"controller_media_errors", Counter::ControllerMediaErrors},
    {"controller_predictive_failures", {}},
    {"failure_predicted", {}},
};
static_assert(std::size(kDayCounts) == static_cast<size_t>(DayCount::kCount));

DiskDay day_of(const Collection& c, const Disk& d) {
    DiskDay day;
    day.date = c.newest;
    day.host = c.host;
    day.serial = d.serial;
    day.model = fleet_model(d);
    day.controller = d.controller;
    day.target = d.device;
    day.verdict = worst(d.findings);
    const Signals signals = risk_signals(d);
    day.band = classify_risk(signals).band;
    for (size_t i = 0; i < std::size(kDayCounts); ++i)
        if (kDayCounts[i].counter) day.counts[i] = d.counter(*kDayCounts[i].counter);
    auto at = [&](DayCount k) -> auto& { return day.counts[static_cast<size_t>(k)]; };
    if (d.power_on_hours && *d.power_on_hours >= 0)
        at(DayCount::PowerOnHours) = static_cast<uint64_t>(*d.power_on_hours);
    uint64_t predicted = 0;
    for (Signal s :
         {Signal::SelfAssessmentFailed, Signal::PrefailThreshold, Signal::SmartAlert, Signal::InformationalException})
        predicted += signals[s].value_or(0);
    at(DayCount::FailurePredicted) = predicted;
    if (d.view) {
        at(DayCount::ControllerPredictiveFailures) = d.view->drive->predictive_failures;
        if (!at(DayCount::ControllerMediaErrors)) at(DayCount::ControllerMediaErrors) = d.view->drive->media_errors;
        if (d.view->drive->raw_sectors) day.capacity_bytes = *d.view->drive->raw_sectors * 512;
    }
    if (d.ata) {
        if (d.ata->sectors) day.capacity_bytes = *d.ata->sectors * d.ata->logical_sector_size;
        for (const AtaAttribute& a : d.ata->attributes) {
            // The public layout's raw value is the whole raw field; where the
            // drive database reads it as a count, the count (which the
            // signals take too).
            const bool count = a.raw_value && a.unit == Unit::Count;
            day.attributes.push_back({a.id, a.value, count ? *a.raw_value : a.raw});
        }
        std::sort(day.attributes.begin(), day.attributes.end(), [](auto& x, auto& y) { return x.id < y.id; });
    }
    return day;
}

}  // namespace

const char* day_count_name(DayCount c) { return kDayCounts[static_cast<size_t>(c)].name; }

std::vector<DiskDay> disk_days(const std::vector<Collection>& all, const Turnover& turnover) {
    std::set<std::tuple<std::string, std::string, time_t>> replaced;  // host, serial, last seen
    for (const Turn& t : turnover.turns)
        if (t.kind == Turn::Kind::Replaced) replaced.insert({t.host, t.serial, t.last_seen});
    std::vector<DiskDay> out;
    for (const Collection& c : all) {
        if (unreadable(c)) continue;
        for (const Disk& d : c.disks) {
            if (d.serial.empty()) continue;
            out.push_back(day_of(c, d));
            out.back().failure = replaced.count({c.host, d.serial, c.newest}) > 0;
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const DiskDay& a, const DiskDay& b) {
        return std::tie(a.date, a.host, a.serial) < std::tie(b.date, b.host, b.serial);
    });
    return out;
}

const char* turn_name(Turn::Kind k) {
    switch (k) {
    case Turn::Kind::Replaced: return "replaced";
    case Turn::Kind::Moved: return "moved";
    case Turn::Kind::Removed: return "removed";
    }
    return "";
}

std::string fleet_model(const Disk& d) {
    if (d.vendor.empty() || d.vendor == "ATA") return d.product;
    return d.product.empty() ? d.vendor : d.vendor + " " + d.product;
}

Turnover fleet_turnover(const std::vector<Collection>& all) {
    // Each host's readable collections, oldest first (input order among equals).
    std::map<std::string, std::vector<const Collection*>> hosts;
    for (auto& c : all)
        if (!unreadable(c)) hosts[c.host].push_back(&c);
    Turnover out;
    std::map<std::pair<std::string, std::string>, Exposure> exposure;
    for (auto& [host, cs] : hosts) {
        std::stable_sort(cs.begin(), cs.end(), [](auto* a, auto* b) { return a->newest < b->newest; });
        for (size_t i = 0; i + 1 < cs.size(); ++i) {
            const Collection &before = *cs[i], &after = *cs[i + 1];
            if (after.newest <= before.newest) continue;  // the same collection, read twice
            const double years = static_cast<double>(after.newest - before.newest) / kSecondsPerYear;
            const size_t first = out.turns.size();
            turns_between(before, after, out.turns);
            std::sort(out.turns.begin() + static_cast<std::ptrdiff_t>(first), out.turns.end(),
                      [](const Turn& a, const Turn& b) { return a.serial < b.serial; });
            std::set<std::string> seen;  // a serial listed twice is one drive
            for (const Disk& d : before.disks) {
                if (d.serial.empty() || !seen.insert(d.serial).second) continue;
                Exposure& e = exposure[{fleet_model(d), d.revision}];
                e.drive_years += years;
            }
            for (size_t t = first; t < out.turns.size(); ++t)
                if (out.turns[t].kind == Turn::Kind::Replaced)
                    ++exposure[{out.turns[t].model, out.turns[t].firmware}].replacements;
        }
    }
    for (auto& [key, e] : exposure) {
        e.model = key.first;
        e.firmware = key.second;
        out.exposure.push_back(e);
    }
    return out;
}

Interval poisson_interval(uint64_t events, double confidence) {
    const double alpha = 1 - confidence, k = static_cast<double>(events);
    return {events == 0 ? 0 : gamma_quantile(k, alpha / 2), gamma_quantile(k + 1, 1 - alpha / 2)};
}

std::optional<AnnualRate> annual_rate(const Exposure& e, double confidence) {
    if (e.drive_years <= 0) return std::nullopt;
    const Interval i = poisson_interval(e.replacements, confidence);
    const double per = 100 / e.drive_years;
    return AnnualRate{static_cast<double>(e.replacements) * per, {i.low * per, i.high * per}};
}

namespace {

size_t slot(Severity s) { return static_cast<size_t>(s); }

FleetHost host_of(const Collection& c) {
    FleetHost h;
    h.host = c.host;
    h.last = c.newest;
    for (auto& d : c.disks) {
        ++h.verdicts[slot(d.verdict)];
        h.worst = std::max(h.worst, d.verdict);
    }
    for (auto& f : c.findings) {
        if (f.rule != Rule::Unreadable) h.worst = std::max(h.worst, f.severity);
        if (f.kind() == Kind::Collection && f.severity >= Severity::Warn) h.complete = false;
    }
    if (c.run && (c.run->time_limit_exceeded || (c.run->exit_status && *c.run->exit_status != 0))) h.complete = false;
    return h;
}

}  // namespace

std::optional<FleetView> fleet_view(const Report& r) {
    std::set<std::string> names;
    for (auto& c : r.collections) names.insert(c.host);
    if (names.size() < 2) return std::nullopt;
    FleetView v;
    std::map<std::pair<std::string, std::string>, FleetModel> models;
    for (auto& c : r.collections) {
        v.hosts.push_back(host_of(c));
        for (auto& d : c.disks) {
            v.riskiest.push_back(&d);
            FleetModel& m = models[{fleet_model(d), d.revision}];
            ++m.drives;
            ++m.verdicts[slot(d.verdict)];
            ++m.bands[static_cast<size_t>(d.risk.band)];
        }
    }
    for (const Exposure& e : r.turnover.exposure) models[{e.model, e.firmware}].exposure = e;
    for (auto& [key, m] : models) {
        m.model = key.first;
        m.firmware = key.second;
        m.rate = annual_rate(m.exposure);
        v.models.push_back(std::move(m));
    }
    std::stable_sort(v.riskiest.begin(), v.riskiest.end(),
                     [](const Disk* a, const Disk* b) { return riskier(*a, *b); });
    return v;
}

bool riskier(const Disk& a, const Disk& b) {
    return std::tuple(a.verdict, a.risk.band, a.risk.grew.has_value()) >
           std::tuple(b.verdict, b.risk.band, b.risk.grew.has_value());
}

}  // namespace rpt
