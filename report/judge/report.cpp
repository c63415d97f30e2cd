#include "report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

#include "controller_judge.h"
#include "disk.h"
#include "history.h"
#include "join.h"
#include "risk.h"
#include "run_facts.h"

namespace rpt {
namespace {

void add(Collection& c, Rule rule, std::string text = "") { c.findings.push_back(finding(rule, std::move(text))); }

// The files of a collection that are no drive log.
struct Special {
    const InputFile *errlog = nullptr, *run_json = nullptr, *console = nullptr;

    explicit Special(const Host& h) {
        for (auto& f : h.files) {
            if (f.name == kErrorLog) errlog = &f;
            if (f.name == kRunJson) run_json = &f;
            if (f.name == kConsoleTxt) console = &f;
        }
    }
    bool is(const InputFile& f) const { return &f == errlog || &f == run_json || &f == console; }
};

// The error log's records and the run's own record.
void read_records(Collection& c, const Special& s) {
    if (s.errlog && s.errlog->loaded) c.errors = read_error_log(s.errlog->data);
    if (!s.errlog) add(c, Rule::NoErrorLog);
    if (s.run_json && s.run_json->loaded) {
        std::string why;
        c.run = read_run_facts(s.run_json->data, s.console && s.console->loaded ? s.console->data : std::string_view(),
                               why);
        if (!c.run) add(c, Rule::RunRecordUnreadable, why);
    }
    if (s.errlog) c.collected = s.errlog->mtime;
}

// What the error log says of each drive log, and which files were left
// by an earlier run: older than the run's start where the run recorded
// it, else older than the error log.
std::map<std::string, Attached> attach(Collection& c, const Host& h, const Special& s) {
    std::map<std::string, Attached> attached;
    for (auto& r : c.errors)
        if (r.disk_finding) attached[r.disk].records.push_back(&r);
    auto stale = [&](const InputFile& f, const char* than) {
        attached[f.name].stale = true;
        if (!f.name.starts_with(kDriveLogPrefix))
            add(c, Rule::StaleFile, f.name + " is older than " + than + ": left from an earlier run");
    };
    if (c.run && c.run->started) {
        for (auto& f : h.files)
            if (f.mtime < *c.run->started) stale(f, "the run's start");
    } else if (s.errlog) {
        const time_t limit = s.errlog->mtime - (c.errors.empty() ? 0 : kStaleSlackSeconds);
        for (auto& f : h.files)
            if (&f != s.errlog && f.mtime < limit) stale(f, "the error log");
    }
    return attached;
}

// The console is where a run without an error log (drive logs only)
// reports its failures: a red line the error log does not hold is one.
void console_errors(Collection& c) {
    if (!c.run) return;
    for (auto& line : c.run->red_lines) {
        const bool recorded = std::any_of(c.errors.begin(), c.errors.end(), [&](const ErrRecord& r) {
            const std::string t = trim(r.text);
            return !t.empty() && (line.find(t) != std::string::npos || t.find(line) != std::string::npos);
        });
        if (!recorded) add(c, Rule::ConsoleError, "the run printed in red, with no record in the error log: " + line);
    }
}

// The controllers' own logs, read; what keeps a part of one from being
// read is said with its file and line.
void add_controllers(Collection& c, std::vector<Controller> controllers) {
    c.controllers = std::move(controllers);
    for (auto& ctl : c.controllers) {
        // Kept until the report is written (a fleet's are every disk's), and
        // before the disks' views point into them.
        ctl.physical_drives.shrink_to_fit();
        ctl.events.shrink_to_fit();
        for (auto& vd : ctl.virtual_drives) vd.members.shrink_to_fit();
        ctl.virtual_drives.shrink_to_fit();
        for (auto& p : ctl.problems) {
            add(c, p.code == "truncated" ? Rule::ControllerLogTruncated : Rule::ControllerLogUnrecognised, p.text);
            c.findings.back().controller = ctl.index;
        }
    }
}

// Each drive log is judged once, with what is attached to it; the records
// go to the first drive log of their name. Returns the names judged.
std::set<std::string> judge_drive_logs(Collection& c, const Host& h, const Special& s,
                                       std::map<std::string, Attached>& attached, const DriveDb* db) {
    std::set<std::string> judged;
    const auto drive_log = [&](const InputFile& f) { return f.loaded && !s.is(f) && !controller_log(f.name); };
    // Room for them all at once: a Disk is large, and a fleet's are many.
    c.disks.reserve(static_cast<size_t>(std::count_if(h.files.begin(), h.files.end(), drive_log)));
    for (auto& f : h.files) {
        if (!f.loaded || s.is(f)) continue;
        if (!s.errlog && (!c.collected || f.mtime > *c.collected)) c.collected = f.mtime;
        if (!drive_log(f)) continue;
        Attached a = attached[f.name];
        if (!judged.insert(f.name).second) a.records.clear();
        c.disks.push_back(build_disk(h.host, f.name, f.data, a, db));
    }
    return judged;
}

// One serial number on two disks of one collection: a drive that reports
// a serial not its own, or two logs of one drive. (An archive may hold one
// drive log twice: that is one disk.)
void duplicate_serials(Collection& c) {
    std::map<std::string, std::vector<Disk*>> by_serial;
    for (auto& d : c.disks)
        if (!d.serial.empty()) by_serial[d.serial].push_back(&d);
    for (auto& [serial, disks] : by_serial)
        if (const std::string& first = disks.front()->file;
            std::any_of(disks.begin(), disks.end(), [&](const Disk* x) { return x->file != first; }))
            for (Disk* d : disks)
                d->findings.push_back(finding(Rule::DuplicateSerial, "serial number " + serial + " is also that of " +
                                                                         std::to_string(disks.size() - 1) +
                                                                         " other disk(s) of this collection"));
}

// The controllers' view, judged once the collection's time is known, then
// joined with the drives' own logs; the rows of drives without a drive log
// take their places among the others, by controller and target. Returns
// the drive logs that a listed drive did not leave.
std::set<std::string> join_controllers(Collection& c, const std::map<std::string, Attached>& attached) {
    std::set<std::string> rows;
    for (auto& ctl : c.controllers) rows.merge(join_controller(c, ctl, judge_controller(ctl, c.collected), attached));
    if (!rows.empty())
        std::stable_sort(c.disks.begin(), c.disks.end(), [](const Disk& a, const Disk& b) {
            return std::pair(a.controller.value_or(~0u), a.device.value_or(~0u)) <
                   std::pair(b.controller.value_or(~0u), b.device.value_or(~0u));
        });
    return rows;
}

// The error log's records that no disk took: of a drive log that is
// missing, not recognised, or about the collection as a whole.
void record_findings(Collection& c, const std::set<std::string>& judged, const std::set<std::string>& rows) {
    for (auto& r : c.errors) {
        if (r.disk_finding) {
            if (!judged.count(r.disk) && !rows.count(r.disk) && r.disk_finding->severity > Severity::Info) {
                Finding f = *r.disk_finding;
                f.text = r.disk + ": " + f.text;
                c.findings.push_back(std::move(f));
            }
        } else if (r.kind == RecordKind::Unrecognised) {
            add(c, Rule::ErrlogUnrecognised, "error log record not recognised: " + r.text);
        } else if (r.disk.empty()) {
            add(c, record_rule(r.kind), "the collection failed: " + trim(r.text));
        }
    }
}

}  // namespace

Collection collect(const Host& h, const DriveDb* db, std::optional<unsigned> helpers) {
    Collection c;
    c.host = h.host;
    c.source = h.source;
    if (!h.error.empty()) add(c, Rule::Unreadable, h.error);
    for (auto& f : h.files) c.newest = std::max(c.newest, f.mtime);
    const Special s(h);
    read_records(c, s);
    std::map<std::string, Attached> attached = attach(c, h, s);
    console_errors(c);
    if (!s.errlog && h.error.empty() &&
        std::none_of(h.files.begin(), h.files.end(), [&](auto& f) { return f.loaded && !s.is(f); }))
        add(c, Rule::EmptyInput);
    // The controller logs are read on the other processors while this one
    // judges the drive logs (neither needs the other, and a large host's
    // controller logs are megabytes), then on this one too.
    std::set<std::string> judged;
    add_controllers(c,
                    read_controllers(h.files, helpers.value_or(std::max(2u, std::thread::hardware_concurrency()) - 1),
                                     [&] { judged = judge_drive_logs(c, h, s, attached, db); }));
    duplicate_serials(c);
    const std::set<std::string> rows = join_controllers(c, attached);
    record_findings(c, judged, rows);
    // Grown by doubling, kept until the report is written: a fleet holds
    // hundreds of thousands.
    for (auto& d : c.disks) {
        d.counters.shrink_to_fit();
        d.findings.shrink_to_fit();
    }
    return c;
}

namespace {

void drop_detail(Collection& c) {
    for (auto& d : c.disks) {
        std::vector<PageRecord>().swap(d.pages);
        std::vector<SectionBlock>().swap(d.sections);
        std::vector<Phy>().swap(d.phys);
        std::vector<SelfTest>().swap(d.self_tests);
    }
}

// The history compares a superseded collection's disks (their counters,
// slots and drive-list rows: its disks' views point into the drive lists)
// and its virtual drives' states.
void drop_superseded(Collection& c) {
    drop_detail(c);
    std::vector<ErrRecord>().swap(c.errors);
    for (auto& ctl : c.controllers) {
        std::vector<ControllerEvent>().swap(ctl.events);
        for (auto& vd : ctl.virtual_drives) std::vector<PhysicalDrive>().swap(vd.members);
    }
    for (auto& d : c.disks)
        if (d.view) std::vector<const ControllerEvent*>().swap(d.view->events);
}

}  // namespace

void Gathered::put(size_t input, Collection c) {
    if (!detail_) drop_detail(c);
    std::lock_guard<std::mutex> hold(lock_);
    all_[input] = std::move(c);
    if (unreadable(all_[input])) return;
    auto [at, first] = newest_.try_emplace(all_[input].host, input);
    if (first) return;
    size_t& kept = at->second;
    const bool newer = std::pair(all_[input].newest, kept) > std::pair(all_[kept].newest, input);
    drop_superseded(all_[newer ? kept : input]);
    if (newer) kept = input;
}

Report build_report(const std::vector<Host>& hosts, const DriveDb* db, std::vector<DiskDay>* days) {
    Gathered g(hosts.size(), true);
    for (size_t i = 0; i < hosts.size(); ++i) g.put(i, collect(hosts[i], db));
    return build_report(g.take(), days);
}

Report build_report(std::vector<Collection> collections, std::vector<DiskDay>* days) {
    Report r;
    Severity all = Severity::Info;
    const bool any_unreadable =
        std::any_of(collections.begin(), collections.end(), [](auto& c) { return unreadable(c); });
    r.collections = std::move(collections);
    // The fleet's turnover and rows need every collection: the history
    // keeps only the newest of each host.
    r.turnover = fleet_turnover(r.collections);
    if (days) *days = disk_days(r.collections, r.turnover);
    apply_history(r.collections);
    for (auto& c : r.collections) {
        for (auto& d : c.disks) {
            d.verdict = worst(d.findings);
            d.risk = disk_risk(d);  // after the history, whose growth raises it
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
    r.exit_status = any_unreadable          ? kUnreadable
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

}  // namespace rpt
