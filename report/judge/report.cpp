#include "report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "cli_text.h"
#include "controller_judge.h"
#include "disk.h"
#include "health.h"
#include "history.h"
#include "run_facts.h"

namespace rpt {
namespace {

// One serial number as the controller's inquiry data and the drive give
// it: the CLI may pad it, or print more of it.
bool same_serial(const std::string& a, const std::string& b) {
    const std::string x = trim(a), y = trim(b);
    return !x.empty() && !y.empty() && (x.find(y) != std::string::npos || y.find(x) != std::string::npos);
}

// The drive log a drive at controller `ctl`, target `t` is written to.
std::string drive_log_name(unsigned ctl, unsigned t) {
    char s[24];
    snprintf(s, sizeof s, "MA%02x%02x.log", ctl, t);
    return s;
}

// A drive the controller lists that left no drive log: a row of the
// controller's view alone. Its own health is unknown where the run collects
// such a drive (a failed drive no longer answers); a classic run skips SATA
// drives, so one of those is judged by the controller's view alone, lest
// every such drive be a false alarm. The error log's records of its drive
// log go to it.
Disk controller_only_disk(const Collection& c, const Controller& ctl, const PhysicalDrive& pd, bool sata_collected,
                          const std::map<std::string, Attached>& attached) {
    Disk d;
    d.host = c.host;
    d.logged = false;
    d.controller = ctl.index;
    d.device = pd.device_id;
    d.protocol = cli::key_is(pd.pd_type, "SATA") ? Protocol::Ata : Protocol::Scsi;
    d.vendor = trim(pd.vendor);
    d.product = trim(pd.product);
    d.revision = trim(pd.revision);
    d.serial = trim(pd.serial);
    if (d.protocol == Protocol::Scsi || sata_collected)
        d.findings.push_back(finding(Rule::DriveLogMissing, "controller " + std::to_string(ctl.index) +
                                                                " lists this drive, but it left no drive log " +
                                                                drive_log_name(ctl.index, *pd.device_id) +
                                                                ": its own health is unknown"));
    if (auto a = attached.find(drive_log_name(ctl.index, *pd.device_id)); a != attached.end())
        for (const ErrRecord* r : a->second.records) d.findings.push_back(*r->disk_finding);
    return d;
}

// Whether a drive log is of the drive the controller lists at its target:
// the same serial number, or a SAS address of the drive list among the
// drive's own ports (page 18h). Where neither can be compared nothing
// speaks against the target.
bool confirmed(const Disk& d, const PhysicalDrive& pd) {
    const bool serials = !d.serial.empty() && !trim(pd.serial).empty();
    bool addresses = false, same_address = false;
    for (uint64_t a : pd.sas_addresses)
        for (auto& ph : d.phys)
            if (a && ph.sas_address) {
                addresses = true;
                same_address |= a == ph.sas_address;
            }
    if (!serials && !addresses) return true;
    return (serials && same_serial(d.serial, pd.serial)) || same_address;
}

// What differs between a drive log and the drive the controller lists at
// its target: "serial X at target T, the drive log F serial Y".
std::string mismatch(const Disk& d, const PhysicalDrive& pd, unsigned t) {
    const std::string at = " at target " + std::to_string(t) + ", the drive log " + d.file;
    if (!d.serial.empty() && !trim(pd.serial).empty()) return "serial " + trim(pd.serial) + at + " serial " + d.serial;
    auto first = [](auto& all, auto get) -> std::string {
        for (auto& x : all)
            if (get(x)) return "0x" + hex(get(x), 16);
        return "-";
    };
    return "SAS address " + first(pd.sas_addresses, [](uint64_t a) { return a; }) + at + " SAS address " +
           first(d.phys, [](const Phy& p) { return p.sas_address; });
}

// Each drive the controller lists is joined with its drive log by target,
// confirmed by serial number or SAS address: the disk gets the controller's view and
// its findings. A listed drive with no drive log gets a row of its own
// (controller_only_disk). Findings about the arrays and the adapter stay
// with the collection. Returns the drive log names of the rows it added.
std::set<std::string> join_controller(Collection& c, const Controller& ctl, Findings fs,
                                      const std::map<std::string, Attached>& attached) {
    const bool sata_collected =
        std::any_of(c.disks.begin(), c.disks.end(), [](const Disk& d) { return d.logged && d.ata; });
    std::set<std::string> rows;
    std::map<unsigned, size_t> joined;  // target -> index in c.disks
    // The events by the drive they name: by target, else by enclosure and
    // slot (an event log holds tens of thousands; each is looked at once).
    std::map<unsigned, std::vector<const ControllerEvent*>> events;
    std::map<std::pair<unsigned, unsigned>, std::vector<const ControllerEvent*>> events_by_place;
    for (auto& e : ctl.events)
        if (e.device_id)
            events[*e.device_id].push_back(&e);
        else if (e.enclosure && e.slot)
            events_by_place[{*e.enclosure, *e.slot}].push_back(&e);
    for (auto& pd : ctl.physical_drives) {
        if (!pd.device_id) continue;
        const unsigned t = *pd.device_id;
        auto it = std::find_if(c.disks.begin(), c.disks.end(),
                               [&](const Disk& d) { return d.controller == ctl.index && d.device == t; });
        if (it == c.disks.end()) {
            c.disks.push_back(controller_only_disk(c, ctl, pd, sata_collected, attached));
            rows.insert(drive_log_name(ctl.index, t));
            it = c.disks.end() - 1;
        } else if (!confirmed(*it, pd)) {
            c.findings.push_back(
                finding(Rule::ControllerDriveMismatch,
                        "controller " + std::to_string(ctl.index) + " lists " + mismatch(*it, pd, t) + ": not joined"));
            continue;
        }
        if (it->view) continue;  // listed twice: the first entry holds
        const size_t at = static_cast<size_t>(it - c.disks.begin());
        joined[t] = at;
        ControllerView v;
        v.drive = pd;
        for (auto& vd : ctl.virtual_drives)
            if (vd.id && std::any_of(vd.members.begin(), vd.members.end(),
                                     [&](const PhysicalDrive& m) { return same_drive(m, pd); }))
                v.virtual_drives.push_back(*vd.id);
        std::vector<const ControllerEvent*> mine = events[t];
        if (pd.enclosure && pd.slot) {
            auto& more = events_by_place[{*pd.enclosure, *pd.slot}];
            mine.insert(mine.end(), more.begin(), more.end());
            std::sort(mine.begin(), mine.end());  // in the log's order
        }
        v.events.reserve(mine.size());
        for (const ControllerEvent* e : mine) v.events.push_back(*e);
        // The controller's count joins the disk's counters, so that a history
        // follows it; the controller's judge has weighed it already.
        if (pd.media_errors) set_counter(c.disks[at], Counter::ControllerMediaErrors, *pd.media_errors);
        c.disks[at].view = std::move(v);
    }
    for (auto& f : fs) {
        auto j = f.target ? joined.find(*f.target) : joined.end();
        if (j != joined.end())
            c.disks[j->second].findings.push_back(std::move(f));
        else
            c.findings.push_back(std::move(f));
    }
    return rows;
}

Collection collect(const Host& h, const DriveDb* db) {
    Collection c;
    c.host = h.host;
    c.source = h.source;
    auto add = [&](Rule rule, std::string text) { c.findings.push_back(finding(rule, std::move(text))); };
    if (!h.error.empty()) add(Rule::Unreadable, h.error);
    for (auto& f : h.files) c.newest = std::max(c.newest, f.mtime);

    const InputFile *errlog = nullptr, *run_json = nullptr, *console = nullptr;
    for (auto& f : h.files) {
        if (f.name == "logdperr.txt") errlog = &f;
        if (f.name == kRunJson) run_json = &f;
        if (f.name == kConsoleTxt) console = &f;
    }
    if (errlog && errlog->loaded) c.errors = read_error_log(errlog->data);
    if (!errlog)
        add(Rule::NoErrorLog, "no error log: the run was started with arguments, or this is not a whole log directory");
    if (run_json && run_json->loaded) {
        std::string why;
        c.run = read_run_facts(run_json->data, console && console->loaded ? console->data : std::string_view(), why);
        if (!c.run) add(Rule::RunRecordUnreadable, why);
    }

    // What the error log says of each drive log, and which files were left
    // by an earlier run: older than the run's start where the run recorded
    // it, else older than the error log.
    std::map<std::string, Attached> attached;
    for (auto& r : c.errors)
        if (r.disk_finding) attached[r.disk].records.push_back(&r);
    if (errlog) c.collected = errlog->mtime;
    if (c.run && c.run->started) {
        for (auto& f : h.files)
            if (f.mtime < *c.run->started) {
                attached[f.name].stale = true;
                if (!f.name.starts_with("MA"))
                    add(Rule::StaleFile, f.name + " is older than the run's start: left from an earlier run");
            }
    } else if (errlog) {
        const time_t limit = errlog->mtime - (c.errors.empty() ? 0 : kStaleSlackSeconds);
        for (auto& f : h.files)
            if (&f != errlog && f.mtime < limit) {
                attached[f.name].stale = true;
                if (!f.name.starts_with("MA"))
                    add(Rule::StaleFile, f.name + " is older than the error log: left from an earlier run");
            }
    }
    // The console is where a run without an error log (drive logs only)
    // reports its failures: a red line the error log does not hold is one.
    if (c.run)
        for (auto& line : c.run->red_lines) {
            const bool recorded = std::any_of(c.errors.begin(), c.errors.end(), [&](const ErrRecord& r) {
                const std::string t = trim(r.text);
                return !t.empty() && (line.find(t) != std::string::npos || t.find(line) != std::string::npos);
            });
            if (!recorded) add(Rule::ConsoleError, "the run printed in red, with no record in the error log: " + line);
        }

    if (!errlog &&
        std::none_of(h.files.begin(), h.files.end(),
                     [&](auto& f) { return f.loaded && &f != run_json && &f != console; }) &&
        h.error.empty())
        add(Rule::EmptyInput, "neither drive logs nor an error log: not a log directory");

    // The controllers' own logs; what keeps a part of one from being read
    // is said with its file and line.
    c.controllers = read_controllers(h.files);
    for (auto& ctl : c.controllers)
        for (auto& p : ctl.problems) {
            add(p.code == "truncated" ? Rule::ControllerLogTruncated : Rule::ControllerLogUnrecognised, p.text);
            c.findings.back().controller = ctl.index;
        }

    // Each drive log is judged once, with what is attached to it; the
    // records go to the first drive log of their name.
    std::set<std::string> judged;
    for (auto& f : h.files) {
        if (!f.loaded || &f == errlog || &f == run_json || &f == console) continue;
        if (!errlog && (!c.collected || f.mtime > *c.collected)) c.collected = f.mtime;
        if (controller_log(f.name)) continue;
        Attached a = attached[f.name];
        if (!judged.insert(f.name).second) a.records.clear();
        c.disks.push_back(build_disk(h.host, f.name, f.data, a, db));
    }

    // One serial number on two disks of one collection: a drive that
    // reports a serial not its own, or two logs of one drive.
    std::map<std::string, std::vector<Disk*>> by_serial;
    for (auto& d : c.disks)
        if (!d.serial.empty()) by_serial[d.serial].push_back(&d);
    // (An archive may hold one drive log twice: that is one disk.)
    for (auto& [serial, disks] : by_serial)
        if (const std::string& first = disks.front()->file;
            std::any_of(disks.begin(), disks.end(), [&](const Disk* x) { return x->file != first; }))
            for (Disk* d : disks)
                d->findings.push_back(finding(Rule::DuplicateSerial, "serial number " + serial + " is also that of " +
                                                                         std::to_string(disks.size() - 1) +
                                                                         " other disk(s) of this collection"));

    // The controllers' view, judged once the collection's time is known,
    // then joined with the drives' own logs.
    std::set<std::string> rows;  // drive logs that a listed drive did not leave
    for (auto& ctl : c.controllers) rows.merge(join_controller(c, ctl, judge_controller(ctl, c.collected), attached));
    // The rows of drives without a drive log take their places among the
    // others, by controller and target.
    if (!rows.empty())
        std::stable_sort(c.disks.begin(), c.disks.end(), [](const Disk& a, const Disk& b) {
            return std::pair(a.controller.value_or(~0u), a.device.value_or(~0u)) <
                   std::pair(b.controller.value_or(~0u), b.device.value_or(~0u));
        });

    for (auto& r : c.errors) {
        if (r.disk_finding) {
            if (!judged.count(r.disk) && !rows.count(r.disk) && r.disk_finding->severity > Severity::Info) {
                Finding f = *r.disk_finding;
                f.text = r.disk + ": " + f.text;
                c.findings.push_back(std::move(f));
            }
        } else if (r.kind == RecordKind::Unrecognised) {
            add(Rule::ErrlogUnrecognised, "error log record not recognised: " + r.text);
        } else if (r.disk.empty()) {
            add(record_rule(r.kind), "the collection failed: " + trim(r.text));
        }
    }
    return c;
}

}  // namespace

Report build_report(const std::vector<Host>& hosts, const DriveDb* db) {
    Report r;
    Severity all = Severity::Info;
    bool unreadable = false;
    for (auto& h : hosts) {
        r.collections.push_back(collect(h, db));
        unreadable |= !h.error.empty();
    }
    apply_history(r.collections);
    for (auto& c : r.collections) {
        for (auto& d : c.disks) {
            d.verdict = worst(d.findings);
            ++r.disks;
            r.ok += d.verdict == Severity::Info;
            r.warn += d.verdict == Severity::Warn;
            r.fail += d.verdict == Severity::Fail;
            r.unknown += d.verdict == Severity::Unknown;
            all = std::max(all, d.verdict);
        }
        for (auto& f : c.findings)
            if (f.rule != Rule::Unreadable) all = std::max(all, f.severity);
    }
    r.exit_status = unreadable              ? kUnreadable
                    : all == Severity::Fail ? kAnyFail
                    : all == Severity::Info ? kAllOk
                                            : kAnyWarn;
    return r;
}

std::vector<const Disk*> find_disks(const Report& r, const std::string& key) {
    std::vector<const Disk*> out;
    for (auto& c : r.collections)
        for (auto& d : c.disks)
            // (A drive that left no drive log has no file to be named by.)
            if (key == d.serial || (d.logged && (key == d.file || key == d.host + "/" + d.file))) out.push_back(&d);
    return out;
}

const Disk* find_disk(const Report& r, const std::string& key) {
    const auto all = find_disks(r, key);
    return all.empty() ? nullptr : all.front();
}

std::vector<FindingRef> sorted_findings(const Report& r) {
    std::vector<FindingRef> out;
    for (auto& c : r.collections) {
        for (auto& f : c.findings) out.push_back({&c, nullptr, &f});
        for (auto& d : c.disks)
            for (auto& f : d.findings) out.push_back({&c, &d, &f});
    }
    // Stable: within one severity, hosts in input order, a host's own
    // findings before its disks', disks by controller and device.
    auto where = [](const FindingRef& x) {
        return std::tuple(x.disk != nullptr, x.disk && x.disk->controller ? *x.disk->controller : ~0u,
                          x.disk && x.disk->device ? *x.disk->device : ~0u);
    };
    std::stable_sort(out.begin(), out.end(), [&](const FindingRef& a, const FindingRef& b) {
        if (a.finding->severity != b.finding->severity) return a.finding->severity > b.finding->severity;
        if (a.collection != b.collection) return a.collection < b.collection;
        return where(a) < where(b);
    });
    return out;
}

}  // namespace rpt
