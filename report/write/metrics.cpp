// The report in Prometheus' text exposition format. Names follow Prometheus'
// naming guide: prefix logdump_, base units in the name (seconds, celsius),
// ratios rather than percentages. Every family is written whole, its HELP
// and TYPE lines first, as the format asks.
#include "metrics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <map>
#include <set>

#include "controller_judge.h"

namespace rpt {
namespace {

constexpr double kSecondsIn30Days = 30 * 86400;

using M = Metric;

// A row for a new family: its place in the output is its place here, its
// samples are added by the writer of its kind below.
const std::vector<MetricFamilyDef> kFamilies = {
    {M::ReportSuccess,
     "logdump_report_success",
     "1 when logdump-report read every collection it was given, 0 when one could not be read",
     {"file"}},
    {M::CollectionTimestamp,
     "logdump_collection_timestamp_seconds",
     "Time of the host's newest collection (its error log, else its newest drive log) in seconds since the epoch",
     {"host"}},
    {M::DiskInfo,
     "logdump_disk_info",
     "What the disk is: model, firmware, protocol and drive family; always 1",
     {"model", "firmware", "protocol", "family"}},
    {M::DiskVerdict, "logdump_disk_verdict", "Verdict of the disk: 1 for its verdict, 0 for the others", {"verdict"}},
    {M::DiskRisk,
     "logdump_disk_risk",
     "Failure risk band of the disk (unknown, base, elevated, high, imminent): 1 for its band, 0 for the others",
     {"band"}},
    {M::DiskSmartPassed,
     "logdump_disk_smart_passed",
     "1 when the SATA drive's SMART status passed, 0 when it predicts its failure",
     {}},
    {M::AtaAttribute,
     "logdump_ata_attribute",
     "A SATA drive's SMART attribute: its normalized value, worst and threshold, and its raw value as its format "
     "reads it",
     {"id", "name", "kind"}},
    {M::DiskTemperature, "logdump_disk_temperature_celsius", "Temperature of the disk in degrees Celsius", {}},
    {M::DiskPowerOn,
     "logdump_disk_power_on_seconds",
     "Power-on time of the disk in seconds (whole hours as the disk counts them)",
     {}},
    {M::DiskCounter, "logdump_disk_", "", {"phy"}},
    {M::DiskGrowth,
     "logdump_disk_growth_per_second",
     "Growth of a health counter between the disk's two newest collections per second (times 2592000: per 30 "
     "days; below 0: the counter was reset)",
     {"counter", "phy"}},
    {M::FindingCounts,
     "logdump_findings",
     "Findings of the report by severity, for each disk and for each host's collection",
     {"severity"}},
    {M::VirtualDriveState,
     "logdump_virtual_drive_state",
     "State of the controller's virtual drive (Optimal, Partially Degraded, Degraded, Offline, or as the "
     "controller prints it); always 1",
     {"virtual_drive", "raid_level", "state"}},
    {M::PhysicalDriveState,
     "logdump_physical_drive_state",
     "Firmware state of a drive the controller lists (Online, Hotspare, Rebuild, Failed, Offline, ...); always 1",
     {"state"}},
    {M::PhysicalDriveMediaErrors,
     "logdump_physical_drive_media_errors",
     "Media error count the controller gives the drive",
     {}},
    {M::PhysicalDriveOtherErrors,
     "logdump_physical_drive_other_errors",
     "Other error count the controller gives the drive",
     {}},
    {M::PhysicalDrivePredictiveFailures,
     "logdump_physical_drive_predictive_failures",
     "Predictive failure count the controller gives the drive",
     {}},
    {M::PhysicalDriveSmartAlert,
     "logdump_physical_drive_smart_alert",
     "1 when the drive has flagged a S.M.A.R.T alert to the controller, 0 when not",
     {}},
    {M::ControllerMemoryErrors,
     "logdump_controller_memory_uncorrectable_errors",
     "Uncorrectable errors of the controller's memory",
     {}},
    {M::ControllerEvents,
     "logdump_controller_events",
     "Events of each class in the controller's event log within " + std::to_string(kRecentEventDays) +
         " days before the controller's clock (else the collection time); 0 for warning, critical, fatal and "
         "dead when there are none",
     {"class"}},
};

std::string number(double v) {
    char b[32];
    auto r = std::to_chars(b, b + sizeof b, v);
    return std::string(b, r.ptr);
}

// HELP text: backslash and line feed escaped.
std::string help_text(std::string_view s) {
    std::string out;
    for (char c : label_value(s)) {
        if (c == '"') out.pop_back();  // label_value escaped it; HELP does not
        out += c;
    }
    return out;
}

std::string label(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + label_value(value) + '"';
}

// A label's value; none leaves the label out (a counter not per phy).
using LabelValue = std::optional<std::string>;

// One family: its samples are gathered first, so that a family without
// any is left out.
class Family {
public:
    explicit Family(const MetricFamilyDef& def) : Family(def, def.name, def.help) {}
    Family(const MetricFamilyDef& def, std::string name, std::string help)
        : def_(def), name_(std::move(name)), help_(std::move(help)) {}

    // A sample: the labels of what it is about (`base`), then the family's
    // own labels, their values in the order of its row.
    void add(std::string_view base, std::initializer_list<LabelValue> values, const std::string& value) {
        assert(values.size() == def_.labels.size());
        std::string labels(base);
        size_t i = 0;
        for (auto& v : values)
            if (const char* name = def_.labels[i++]; v) {
                if (!labels.empty()) labels += ',';
                labels += label(name, *v);
            }
        samples_ += name_;
        if (!labels.empty()) samples_ += '{' + labels + '}';
        samples_ += ' ' + value + '\n';
    }
    void add(std::string_view base, const std::string& value) { add(base, {}, value); }
    void write(std::string& out) const {
        if (samples_.empty()) return;
        out += "# HELP " + name_ + ' ' + help_text(help_) + "\n# TYPE " + name_ + ' ' + metric_type_name(def_.type) +
               '\n' + samples_;
    }

private:
    const MetricFamilyDef& def_;
    std::string name_, help_, samples_;
};

// Every family of the report, in the table's order; a health counter's own
// families stand in the place of DiskCounter.
struct Families {
    std::vector<Family> of;
    struct CounterFamily {
        Counter id;
        bool ratio;  // a percentage, written as a ratio
        Family family;
    };
    std::vector<CounterFamily> counters;
    Family& operator[](Metric m) { return of[static_cast<size_t>(m)]; }
    void write(std::string& out) const {
        for (auto& f : of)
            if (&f == &of[static_cast<size_t>(M::DiskCounter)])
                for (auto& c : counters) c.family.write(out);
            else
                f.write(out);
    }
};

// The labels that name a disk; what describes it is on its info series
// alone, joined through group_left as exporters of this field do.
std::string disk_labels(const Disk& d) {
    return label("host", d.host) + ',' + label("controller", shown(d.controller, kMissingLabel)) + ',' +
           label("target", shown(d.device, kMissingLabel)) + ',' + label("serial", d.serial);
}

using DiskList = std::vector<std::pair<const Disk*, std::string>>;

// The report keeps each host's newest collection only (history.h): the
// metrics tell the present state. One series per disk: a second disk with
// the same labels (drive logs not named by slot) would make the file
// unreadable.
DiskList disk_list(const Report& r) {
    DiskList disks;
    std::set<std::string> seen;
    for (auto& c : r.collections)
        for (auto& d : c.disks)
            if (std::string l = disk_labels(d); seen.insert(l).second) disks.emplace_back(&d, std::move(l));
    return disks;
}

// What a counter counts, without the source when both protocols carry it.
std::string counter_help(const CounterDef& def) {
    if (carried_by(def, Protocol::Scsi) && carried_by(def, Protocol::Ata)) return def.what;
    return counter_text(def.id, carried_by(def, Protocol::Ata) ? Protocol::Ata : Protocol::Scsi);
}

// One family per health counter, by its stable name, those of SAS disks
// first; a percentage is given as a ratio. The controller's media error
// count is served once, by its drive list's family
// logdump_physical_drive_media_errors.
void counter_families(Families& fs) {
    for (bool scsi : {true, false})
        for (auto& def : counter_defs()) {
            if (carried_by(def, Protocol::Scsi) != scsi || def.id == Counter::ControllerMediaErrors) continue;
            std::string name = std::string(metric_family(M::DiskCounter).name) + def.name;
            const bool ratio = name.ends_with("_percent");
            if (ratio) name.replace(name.size() - 8, 8, "_ratio");
            fs.counters.push_back({def.id, ratio, Family(metric_family(M::DiskCounter), name, counter_help(def))});
        }
}

void counter_samples(Families& fs, const std::string& labels, const Disk& d) {
    for (auto& [id, ratio, f] : fs.counters)
        for (auto& c : d.counters)
            if (c.id == id)
                f.add(labels, {c.phy ? LabelValue(std::to_string(*c.phy)) : std::nullopt},
                      ratio ? number(static_cast<double>(c.value) / 100) : std::to_string(c.value));
}

// Findings by severity, every severity written, zeros included.
void finding_samples(Family& f, const std::string& labels, const Findings& fs) {
    for (Severity s : {Severity::Info, Severity::Unknown, Severity::Warn, Severity::Fail}) {
        size_t n = 0;
        for (auto& x : fs) n += x.severity == s;
        f.add(labels, {severity_name(s)}, std::to_string(n));
    }
}

// A SMART attribute's samples: the normalized value, worst and threshold,
// and the raw value as its format reads it (none when it is no number).
void attribute_samples(Family& f, const std::string& labels, const AtaAttribute& x) {
    const std::string id = std::to_string(x.id);
    f.add(labels, {id, x.name, "value"}, std::to_string(x.value));
    f.add(labels, {id, x.name, "worst"}, std::to_string(x.worst));
    if (x.threshold) f.add(labels, {id, x.name, "threshold"}, std::to_string(*x.threshold));
    if (x.raw_value) f.add(labels, {id, x.name, "raw"}, std::to_string(*x.raw_value));
}

// What a disk is and how it stands: its info, verdict, risk band, SMART
// status and attributes, temperature, power-on time, counters and their
// growth per second (times 2592000 the growth per 30 days; none for two
// collections of the same time), and its findings.
void disk_samples(Families& fs, const std::string& labels, const Disk& d) {
    const std::string model =
        d.protocol == Protocol::Ata ? trim(d.product) : trim(trim(d.vendor) + " " + trim(d.product));
    fs[M::DiskInfo].add(labels, {model, trim(d.revision), protocol_name(d.protocol), d.ata ? d.ata->family : ""}, "1");
    for (Severity s : {Severity::Info, Severity::Warn, Severity::Fail, Severity::Unknown})
        fs[M::DiskVerdict].add(labels, {verdict_name(s)}, d.verdict == s ? "1" : "0");
    for (size_t i = 0; i < static_cast<size_t>(RiskBand::kCount); ++i) {
        const auto b = static_cast<RiskBand>(i);
        fs[M::DiskRisk].add(labels, {band_name(b)}, d.risk.band == b ? "1" : "0");
    }
    if (d.ata && d.ata->smart_passed) fs[M::DiskSmartPassed].add(labels, *d.ata->smart_passed ? "1" : "0");
    if (d.ata)
        for (auto& x : d.ata->attributes) attribute_samples(fs[M::AtaAttribute], labels, x);
    if (d.temperature) fs[M::DiskTemperature].add(labels, std::to_string(*d.temperature));
    if (d.power_on_hours) fs[M::DiskPowerOn].add(labels, std::to_string(*d.power_on_hours * 3600));
    counter_samples(fs, labels, d);
    for (auto& g : d.growth)
        if (g.per_30_days)
            fs[M::DiskGrowth].add(
                labels, {counter_def(g.counter).name, g.phy ? LabelValue(std::to_string(*g.phy)) : std::nullopt},
                number(*g.per_30_days / kSecondsIn30Days));
}

// A drive the controller lists: its state and error counts.
void drive_samples(Families& fs, const std::string& l, const PhysicalDrive& d) {
    if (const std::string state = state_label(d); !state.empty()) fs[M::PhysicalDriveState].add(l, {state}, "1");
    if (d.media_errors) fs[M::PhysicalDriveMediaErrors].add(l, std::to_string(*d.media_errors));
    if (d.other_errors) fs[M::PhysicalDriveOtherErrors].add(l, std::to_string(*d.other_errors));
    if (d.predictive_failures) fs[M::PhysicalDrivePredictiveFailures].add(l, std::to_string(*d.predictive_failures));
    if (d.smart_alert) fs[M::PhysicalDriveSmartAlert].add(l, *d.smart_alert ? "1" : "0");
}

// The recent events of each class; only an event log that was read says
// how many events there were.
void event_samples(Family& f, const std::string& labels, const Controller& ctl, std::optional<time_t> collected) {
    if (!has_log(ctl, ControllerLog::Events)) return;
    const std::optional<int64_t> now = event_clock(ctl, collected);
    std::map<std::string, size_t> n{{"warning", 0}, {"critical", 0}, {"fatal", 0}, {"dead", 0}};
    for (auto& e : ctl.events)
        if (e.cls && recent_event(e, now)) {
            const std::string name = event_class_name(*e.cls);
            ++n[name.empty() ? std::to_string(*e.cls) : name];
        }
    for (auto& [cls, count] : n) f.add(labels, {cls}, std::to_string(count));
}

// The controller's view: its virtual drives and drives by state, the
// drives' error counts, the adapter's memory errors and its recent events.
// As for disks: the first of two with the same labels is kept, for a
// duplicate series would make the file unreadable.
void controller_samples(Families& fs, const Collection& c, const Controller& ctl, std::set<std::string>& seen) {
    const std::string labels = label("host", c.host) + ',' + label("controller", std::to_string(ctl.index));
    if (!seen.insert(labels).second) return;
    for (auto& v : ctl.virtual_drives) {
        const std::string l = labels + ',' + label("virtual_drive", shown(v.id, kMissingLabel));
        const std::string state = state_label(v);
        if (!state.empty() && seen.insert(l).second)
            fs[M::VirtualDriveState].add(labels, {shown(v.id, kMissingLabel), v.raid_level, state}, "1");
    }
    for (auto& d : ctl.physical_drives) {
        const std::string l = labels + ',' + label("enclosure", shown(d.enclosure, kMissingLabel)) + ',' +
                              label("slot", shown(d.slot, kMissingLabel)) + ',' +
                              label("target", shown(d.device_id, kMissingLabel)) + ',' + label("serial", d.serial);
        if (seen.insert(l).second) drive_samples(fs, l, d);
    }
    if (ctl.adapter.memory_uncorrectable)
        fs[M::ControllerMemoryErrors].add(labels, std::to_string(*ctl.adapter.memory_uncorrectable));
    event_samples(fs[M::ControllerEvents], labels, ctl, c.collected);
}

}  // namespace

const char* metric_type_name(MetricType) { return "gauge"; }
std::span<const MetricFamilyDef> metric_families() { return kFamilies; }
const MetricFamilyDef& metric_family(Metric m) { return kFamilies[static_cast<size_t>(m)]; }

std::string label_value(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8_length(s, i);
        if (n == 0) {
            out += "\xef\xbf\xbd";
            ++i;
            continue;
        }
        if (s[i] == '\\' || s[i] == '"') out += '\\';
        if (s[i] == '\n')
            out += "\\n";
        else
            out.append(s, i, n);
        i += n;
    }
    return out;
}

std::string render_metrics(const Report& r, const std::string& file) {
    Families fs;
    for (auto& def : metric_families()) fs.of.emplace_back(def);
    counter_families(fs);
    // The file's name tells two reports in one textfile directory apart.
    fs[M::ReportSuccess].add("", {file}, r.exit_status == kUnreadable ? "0" : "1");
    for (auto& c : r.collections)
        if (c.collected) fs[M::CollectionTimestamp].add("", {c.host}, std::to_string(*c.collected));
    const DiskList disks = disk_list(r);
    for (auto& [d, labels] : disks) disk_samples(fs, labels, *d);
    // Each host's own findings (about the collection as a whole), then each
    // disk's.
    for (auto& c : r.collections) finding_samples(fs[M::FindingCounts], label("host", c.host), c.findings);
    for (auto& [d, labels] : disks) finding_samples(fs[M::FindingCounts], labels, d->findings);
    std::set<std::string> seen;
    for (auto& c : r.collections)
        for (auto& ctl : c.controllers) controller_samples(fs, c, ctl, seen);
    std::string out;
    fs.write(out);
    return out;
}

std::string write_atomically(const std::string& path, std::string_view text) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string tmp = dir + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return "cannot create a temporary file in " + dir + ": " + strerror(errno);
    std::string error;
    for (size_t done = 0; done < text.size() && error.empty();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            error = std::string("cannot write ") + tmp + ": " + strerror(n < 0 ? errno : ENOSPC);
        else
            done += static_cast<size_t>(n);
    }
    // mkstemp makes the file for its owner alone; the exporter runs as
    // another user.
    if (error.empty() && fchmod(fd, 0644) != 0) error = "cannot make " + tmp + " readable: " + strerror(errno);
    if (error.empty() && fsync(fd) != 0) error = "cannot write " + tmp + ": " + strerror(errno);
    if (close(fd) != 0 && error.empty()) error = "cannot write " + tmp + ": " + strerror(errno);
    if (error.empty() && rename(tmp.c_str(), path.c_str()) != 0)
        error = "cannot rename " + tmp + " to " + path + ": " + strerror(errno);
    if (!error.empty()) unlink(tmp.c_str());
    return error;
}

}  // namespace rpt
