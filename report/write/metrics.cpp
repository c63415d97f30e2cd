// The report in Prometheus' text exposition format. Names follow Prometheus'
// naming guide: prefix logdump_, base units in the name (seconds, celsius),
// ratios rather than percentages. Every family is written whole, its HELP
// and TYPE lines first, as the format asks.
#include "metrics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <map>
#include <set>

#include "controller_judge.h"

namespace rpt {
namespace {

constexpr double kSecondsIn30Days = 30 * 86400;

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

// One family: its samples are gathered first, so that a family without
// any is left out.
struct Family {
    std::string name, type, help, samples;

    void add(std::string_view labels, const std::string& value, std::string_view suffix = "") {
        samples += name;
        samples += suffix;
        if (!labels.empty()) {
            samples += '{';
            samples += labels;
            samples += '}';
        }
        samples += ' ' + value + '\n';
    }
    void write(std::string& out) const {
        if (samples.empty()) return;
        out += "# HELP " + name + ' ' + help_text(help) + "\n# TYPE " + name + ' ' + type + '\n' + samples;
    }
};

std::string label(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + label_value(value) + '"';
}

// The labels that name a disk; what describes it is on its info series
// alone, joined through group_left as exporters of this field do.
std::string disk_labels(const Disk& d) {
    return label("host", d.host) + ',' + label("controller", shown(d.controller, kMissingLabel)) + ',' +
           label("target", shown(d.device, kMissingLabel)) + ',' + label("serial", d.serial);
}

std::string info_labels(const Disk& d) {
    const std::string model =
        d.protocol == Protocol::Ata ? trim(d.product) : trim(trim(d.vendor) + " " + trim(d.product));
    return label("model", model) + ',' + label("firmware", trim(d.revision)) + ',' +
           label("protocol", protocol_name(d.protocol)) + ',' + label("family", d.ata ? d.ata->family : "");
}

// A SMART attribute's samples: the normalized value, worst and threshold,
// and the raw value as its format reads it (none when it is no number).
void attribute_samples(Family& f, const std::string& labels, const AtaAttribute& x);

// The controller's view: its virtual drives and drives by state, the
// drives' error counts, the adapter's memory errors and its recent events.
void controller_samples(const Report& r, std::string& out);

// What a counter counts, without the source when both protocols carry it.
std::string counter_help(const CounterDef& def) {
    if (carried_by(def, Protocol::Scsi) && carried_by(def, Protocol::Ata)) return def.what;
    return counter_text(def.id, carried_by(def, Protocol::Ata) ? Protocol::Ata : Protocol::Scsi);
}

}  // namespace

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
    // The report keeps each host's newest collection only (history.h): the
    // metrics tell the present state. One series per disk: a second disk with the same labels (drive logs
    // not named by slot) would make the file unreadable.
    std::vector<std::pair<const Disk*, std::string>> disks;
    std::set<std::string> seen;
    for (auto& c : r.collections)
        for (auto& d : c.disks)
            if (std::string l = disk_labels(d); seen.insert(l).second) disks.emplace_back(&d, std::move(l));

    std::string out;
    Family success{"logdump_report_success", "gauge",
                   "1 when logdump-report read every collection it was given, 0 when one could not be read", ""};
    // The file's name tells two reports in one textfile directory apart.
    success.add(label("file", file), r.exit_status == kUnreadable ? "0" : "1");
    success.write(out);

    Family collected{
        "logdump_collection_timestamp_seconds", "gauge",
        "Time of the host's newest collection (its error log, else its newest drive log) in seconds since the epoch",
        ""};
    for (auto& c : r.collections)
        if (c.collected) collected.add(label("host", c.host), std::to_string(*c.collected));
    collected.write(out);

    Family info{"logdump_disk_info", "gauge", "What the disk is: model, firmware, protocol and drive family; always 1",
                ""};
    Family verdict{"logdump_disk_verdict", "gauge", "Verdict of the disk: 1 for its verdict, 0 for the others", ""};
    Family smart{"logdump_disk_smart_passed", "gauge",
                 "1 when the SATA drive's SMART status passed, 0 when it predicts its failure", ""};
    Family attribute{"logdump_ata_attribute", "gauge",
                     "A SATA drive's SMART attribute: its normalized value, worst and threshold, and its raw value as "
                     "its format reads it",
                     ""};
    Family temperature{"logdump_disk_temperature_celsius", "gauge", "Temperature of the disk in degrees Celsius", ""};
    Family power_on{"logdump_disk_power_on_seconds", "gauge",
                    "Power-on time of the disk in seconds (whole hours as the disk counts them)", ""};
    for (auto& [d, labels] : disks) {
        info.add(labels + ',' + info_labels(*d), "1");
        for (Severity s : {Severity::Info, Severity::Warn, Severity::Fail, Severity::Unknown})
            verdict.add(labels + ',' + label("verdict", verdict_name(s)), d->verdict == s ? "1" : "0");
        if (d->ata && d->ata->smart_passed) smart.add(labels, *d->ata->smart_passed ? "1" : "0");
        if (d->ata)
            for (auto& x : d->ata->attributes) attribute_samples(attribute, labels, x);
        if (d->temperature) temperature.add(labels, std::to_string(*d->temperature));
        if (d->power_on_hours) power_on.add(labels, std::to_string(*d->power_on_hours * 3600));
    }
    info.write(out);
    verdict.write(out);
    smart.write(out);
    attribute.write(out);
    temperature.write(out);
    power_on.write(out);

    // One family per health counter, by its stable name, those of SAS disks
    // first; a percentage is given as a ratio, and a phy's counter with the
    // phy as a label.
    // (The controller's media error count is served once, by its drive list's
    // family logdump_physical_drive_media_errors.)
    std::vector<const CounterDef*> defs;
    for (bool scsi : {true, false})
        for (auto& def : counter_defs())
            if (carried_by(def, Protocol::Scsi) == scsi && def.id != Counter::ControllerMediaErrors)
                defs.push_back(&def);
    for (const CounterDef* p : defs) {
        const CounterDef& def = *p;
        std::string name = std::string("logdump_disk_") + def.name;
        const bool percent = name.ends_with("_percent");
        if (percent) name.replace(name.size() - 8, 8, "_ratio");
        Family f{name, "gauge", counter_help(def), ""};
        for (auto& [d, labels] : disks)
            for (auto& c : d->counters)
                if (c.id == def.id)
                    f.add(c.phy ? labels + ',' + label("phy", std::to_string(*c.phy)) : labels,
                          percent ? number(static_cast<double>(c.value) / 100) : std::to_string(c.value));
        f.write(out);
    }

    // The growth of each counter between a disk's two newest collections
    // (none for two collections of the same time), per second as the naming
    // guide asks: times 2592000 it is the growth per 30 days.
    Family growth{"logdump_disk_growth_per_second", "gauge",
                  "Growth of a health counter between the disk's two newest collections per second "
                  "(times 2592000: per 30 days; below 0: the counter was reset)",
                  ""};
    for (auto& [d, labels] : disks)
        for (auto& g : d->growth)
            if (g.per_30_days)
                growth.add(labels + ',' + label("counter", counter_def(g.counter).name) +
                               (g.phy ? ',' + label("phy", std::to_string(*g.phy)) : ""),
                           number(*g.per_30_days / kSecondsIn30Days));
    growth.write(out);

    // Findings by severity: each disk's, and each host's own (about the
    // collection as a whole), every severity written, zeros included.
    Family findings{"logdump_findings", "gauge",
                    "Findings of the report by severity, for each disk and for each host's collection", ""};
    const auto count = [&](const std::string& labels, const Findings& fs) {
        for (Severity s : {Severity::Info, Severity::Unknown, Severity::Warn, Severity::Fail}) {
            size_t n = 0;
            for (auto& f : fs) n += f.severity == s;
            findings.add(labels + ',' + label("severity", severity_name(s)), std::to_string(n));
        }
    };
    for (auto& c : r.collections) count(label("host", c.host), c.findings);
    for (auto& [d, labels] : disks) count(labels, d->findings);
    findings.write(out);
    controller_samples(r, out);
    return out;
}

namespace {

void controller_samples(const Report& r, std::string& out) {
    Family vd_state{"logdump_virtual_drive_state", "gauge",
                    "State of the controller's virtual drive (Optimal, Partially Degraded, Degraded, Offline, or as "
                    "the controller prints it); always 1",
                    ""};
    Family pd_state{"logdump_physical_drive_state", "gauge",
                    "Firmware state of a drive the controller lists (Online, Hotspare, Rebuild, Failed, Offline, ...); "
                    "always 1",
                    ""};
    Family media{"logdump_physical_drive_media_errors", "gauge", "Media error count the controller gives the drive",
                 ""};
    Family other{"logdump_physical_drive_other_errors", "gauge", "Other error count the controller gives the drive",
                 ""};
    Family predictive{"logdump_physical_drive_predictive_failures", "gauge",
                      "Predictive failure count the controller gives the drive", ""};
    Family smart_alert{"logdump_physical_drive_smart_alert", "gauge",
                       "1 when the drive has flagged a S.M.A.R.T alert to the controller, 0 when not", ""};
    Family memory{"logdump_controller_memory_uncorrectable_errors", "gauge",
                  "Uncorrectable errors of the controller's memory", ""};
    Family events{"logdump_controller_events", "gauge",
                  "Events of each class in the controller's event log within " + std::to_string(kRecentEventDays) +
                      " days before the controller's clock (else the collection time); 0 for warning, critical, "
                      "fatal and dead when there are none",
                  ""};
    // As for disks: the first of two with the same labels is kept, for a
    // duplicate series would make the file unreadable.
    std::set<std::string> seen;
    for (auto& c : r.collections)
        for (auto& ctl : c.controllers) {
            const std::string labels = label("host", c.host) + ',' + label("controller", std::to_string(ctl.index));
            if (!seen.insert(labels).second) continue;
            for (auto& v : ctl.virtual_drives) {
                const std::string l = labels + ',' + label("virtual_drive", shown(v.id, kMissingLabel));
                const std::string state = state_label(v);
                if (!state.empty() && seen.insert(l).second)
                    vd_state.add(l + ',' + label("raid_level", v.raid_level) + ',' + label("state", state), "1");
            }
            for (auto& d : ctl.physical_drives) {
                const std::string l = labels + ',' + label("enclosure", shown(d.enclosure, kMissingLabel)) + ',' +
                                      label("slot", shown(d.slot, kMissingLabel)) + ',' +
                                      label("target", shown(d.device_id, kMissingLabel)) + ',' +
                                      label("serial", d.serial);
                if (!seen.insert(l).second) continue;
                if (const std::string state = state_label(d); !state.empty())
                    pd_state.add(l + ',' + label("state", state), "1");
                if (d.media_errors) media.add(l, std::to_string(*d.media_errors));
                if (d.other_errors) other.add(l, std::to_string(*d.other_errors));
                if (d.predictive_failures) predictive.add(l, std::to_string(*d.predictive_failures));
                if (d.smart_alert) smart_alert.add(l, *d.smart_alert ? "1" : "0");
            }
            if (ctl.adapter.memory_uncorrectable) memory.add(labels, std::to_string(*ctl.adapter.memory_uncorrectable));
            // Only an event log that was read says how many events there were.
            if (!has_log(ctl, ControllerLog::Events)) continue;
            const std::optional<int64_t> now = event_clock(ctl, c.collected);
            std::map<std::string, size_t> n{{"warning", 0}, {"critical", 0}, {"fatal", 0}, {"dead", 0}};
            for (auto& e : ctl.events)
                if (e.cls && recent_event(e, now)) {
                    const std::string name = event_class_name(*e.cls);
                    ++n[name.empty() ? std::to_string(*e.cls) : name];
                }
            for (auto& [cls, count] : n) events.add(labels + ',' + label("class", cls), std::to_string(count));
        }
    for (const Family* f : {&vd_state, &pd_state, &media, &other, &predictive, &smart_alert, &memory, &events})
        f->write(out);
}

void attribute_samples(Family& f, const std::string& labels, const AtaAttribute& x) {
    const std::string l = labels + ',' + label("id", std::to_string(x.id)) + ',' + label("name", x.name) + ',';
    f.add(l + label("kind", "value"), std::to_string(x.value));
    f.add(l + label("kind", "worst"), std::to_string(x.worst));
    if (x.threshold) f.add(l + label("kind", "threshold"), std::to_string(*x.threshold));
    if (x.raw_value) f.add(l + label("kind", "raw"), std::to_string(*x.raw_value));
}

}  // namespace

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
