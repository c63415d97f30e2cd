// The controller's view judged. Findings about a virtual drive name it by
// its number, those about a drive by enclosure:slot, target and serial, so
// that an engineer finds the drive to pull.
#include "controller_judge.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "helpers.h"
#include "rules.h"

namespace rpt {
namespace {

std::string opt(const std::optional<unsigned>& v) { return v ? std::to_string(*v) : "?"; }

class Judge {
public:
    Judge(const Controller& c, std::optional<time_t> collected) : c_(c), collected_(collected) {
        prefix_ = "controller " + std::to_string(c.index) + ": ";
    }
    Findings run() {
        // The drives first: a virtual drive's findings name its members that fail.
        for (auto& d : c_.physical_drives) drive(d);
        shared_other_errors();
        Findings drives = std::move(out_);
        out_.clear();
        for (auto& vd : c_.virtual_drives) virtual_drive(vd);
        out_.insert(out_.end(), std::make_move_iterator(drives.begin()), std::make_move_iterator(drives.end()));
        adapter();
        for (auto& d : c_.disagreements) {
            add(Rule::ControllerMismatch, d.text);
            out_.back().target = d.target;
        }
        events();
        for (auto& f : out_) f.controller = c_.index;
        return std::move(out_);
    }

private:
    void add(Rule r, const std::string& text, Case k = Case::Usual) { out_.push_back(finding(r, prefix_ + text, k)); }

    void virtual_drive(const VirtualDrive& vd) {
        const std::string name = virtual_drive_name(vd);
        switch (vd.state_kind) {
        case VirtualDriveState::Unknown: break;
        case VirtualDriveState::Optimal: at_risk(vd, name); break;
        case VirtualDriveState::PartiallyDegraded: add(Rule::VirtualDriveState, name + " is Partially Degraded"); break;
        case VirtualDriveState::Degraded:
        case VirtualDriveState::Offline: {
            std::string down;
            for (auto& m : vd.members) {
                const std::string sep = down.empty() ? "" : ", ";
                if (empty_slot(m)) {
                    down += sep + empty_slot_text(m);
                    continue;
                }
                const PhysicalDrive* d = listed_drive(c_, m);
                const DriveState st = d && d->state != DriveState::Unknown ? d->state : m.state;
                if (st == DriveState::Online) continue;
                down += sep + drive_name(d ? *d : m) + " " +
                        (st == DriveState::Unknown ? "(no state given)" : drive_state_name(st));
            }
            add(Rule::VirtualDriveState,
                name + " is " + vd.state + (down.empty() ? "" : "; members not Online: " + down), Case::Other);
            break;
        }
        case VirtualDriveState::Other: add(Rule::VirtualDriveState, name + " is in state \"" + vd.state + "\""); break;
        }
        if (vd.bad_blocks == true) add(Rule::VirtualDriveBadBlocks, name + ": Bad Blocks Exist: Yes");
        auto first = [](const std::string& policy) { return trim(policy.substr(0, policy.find(','))); };
        if (first(vd.cache_default) == "WriteBack" && first(vd.cache_current) == "WriteThrough")
            add(Rule::VirtualDriveWriteThrough,
                name + ": the controller turned its write cache off (battery or cache module)");
    }

    // An Optimal virtual drive whose members the rules FAIL: the next
    // failure costs its redundancy (RAID 0: its data).
    void at_risk(const VirtualDrive& vd, const std::string& name) {
        std::vector<std::string> failing;
        for (auto& m : vd.members)
            if (const PhysicalDrive* d = listed_drive(c_, m); d && worst_[d] == Severity::Fail)
                failing.push_back(drive_name(*d));
        if (failing.empty()) return;
        std::string list;
        for (auto& f : failing) list += (list.empty() ? "" : ", ") + f;
        const std::string members = (failing.size() == 1 ? "member " + list + " fails" : "members " + list + " fail");
        add(Rule::VirtualDriveAtRisk,
            name + (vd.primary == 0u ? ": data at risk, no redundancy: " : ": redundancy at risk: ") + members);
    }

    // Each finding about drive `d` says so, for the join with its drive log.
    void drive(const PhysicalDrive& d) {
        const size_t before = out_.size();
        drive_rules(d);
        Severity worst = Severity::Info;
        for (size_t i = before; i < out_.size(); ++i) {
            out_[i].target = d.device_id;
            worst = std::max(worst, out_[i].severity);
            if (out_[i].rule == Rule::DriveOtherErrors) other_errors_[&d] = i;
        }
        worst_[&d] = worst;
    }

    // Three or more drives with the same other error count: one cause
    // counted on each (a link, expander, backplane or controller reset), so
    // one finding of the controller, and each drive's own an INFO.
    void shared_other_errors() {
        std::map<uint64_t, std::vector<const PhysicalDrive*>> by_count;
        for (auto& d : c_.physical_drives)
            if (d.other_errors.value_or(0) > 0) by_count[*d.other_errors].push_back(&d);
        for (auto& [count, drives] : by_count) {
            if (drives.size() < kSharedOtherErrors) continue;
            std::sort(drives.begin(), drives.end(), [](const PhysicalDrive* a, const PhysicalDrive* b) {
                return a->device_id.value_or(~0u) < b->device_id.value_or(~0u);
            });
            std::string places, targets;
            for (const PhysicalDrive* d : drives) {
                places += (places.empty() ? "" : ", ") + drive_place(*d);
                targets += (targets.empty() ? "" : ", ") + opt(d->device_id);
                if (auto f = other_errors_.find(d); f != other_errors_.end()) {
                    Finding& own = out_[f->second];
                    own.severity = Severity::Info;
                    own.threshold = threshold(Limit::DriveOtherErrors).info;
                    own.text += " (as " + std::to_string(drives.size() - 1) +
                                " other drives of this controller: one cause, drive-other-errors-shared)";
                }
            }
            add(Rule::DriveOtherErrorsShared,
                std::to_string(drives.size()) + " drives show the same other error count " + std::to_string(count) +
                    ": " + places + " (targets " + targets +
                    "); one cause rather than the drives, usually a link, expander, backplane or controller reset");
        }
    }

    void drive_rules(const PhysicalDrive& d) {
        const std::string name = "drive " + drive_name(d);
        switch (d.state) {
        case DriveState::Rebuild:
        case DriveState::Copyback:
            add(Rule::DriveState, name + " is in " + drive_state_name(d.state) +
                                      (d.progress ? ", " + std::to_string(*d.progress) + "% done" : ""));
            break;
        case DriveState::Failed:
        case DriveState::Offline:
        case DriveState::UnconfiguredBad:
        case DriveState::Missing: add(Rule::DriveState, name + " is " + drive_state_name(d.state), Case::Other); break;
        case DriveState::Other: add(Rule::DriveState, name + " is in state \"" + d.firmware_state + "\""); break;
        default: break;
        }
        if (d.foreign_state == "Foreign") add(Rule::DriveForeign, name + " holds a foreign configuration");
        if (d.predictive_failures.value_or(0) > 0)
            add(Rule::DrivePredictiveFailure,
                name + " predicts its own failure: predictive failure count " + std::to_string(*d.predictive_failures));
        if (d.smart_alert == true) add(Rule::DriveSmartAlert, name + " has flagged a S.M.A.R.T alert");
        if (d.media_errors)
            judge(out_, Limit::DriveMediaErrors, static_cast<int64_t>(*d.media_errors),
                  prefix_ + name + ": media error count " + std::to_string(*d.media_errors), "");
        if (d.other_errors)
            judge(out_, Limit::DriveOtherErrors, static_cast<int64_t>(*d.other_errors),
                  prefix_ + name + ": other error count " + std::to_string(*d.other_errors), "");
        if (d.device_gbps && d.link_gbps && *d.link_gbps < *d.device_gbps)
            add(Rule::DriveLinkSlow,
                name + ": link speed " + d.link_speed + " below the device speed " + d.device_speed);
    }

    void adapter() {
        const AdapterInfo& a = c_.adapter;
        if (a.memory_uncorrectable.value_or(0) > 0)
            add(Rule::MemoryUncorrectable, "memory uncorrectable errors: " + std::to_string(*a.memory_uncorrectable));
        if (a.memory_correctable.value_or(0) > 0)
            add(Rule::MemoryCorrectable, "memory correctable errors: " + std::to_string(*a.memory_correctable));
        auto count = [&](const char* what, std::optional<unsigned> said, size_t seen, const char* where) {
            if (said && *said != seen)
                add(Rule::ControllerMismatch, std::string("the adapter counts ") + std::to_string(*said) + " " + what +
                                                  ", the " + where + " " + std::to_string(seen));
        };
        // The virtual drives' log: the first of those that list them.
        const char* vd_log = has_log(c_, ControllerLog::VirtualDrives)   ? "virtual drive log"
                             : has_log(c_, ControllerLog::Members)       ? "members log"
                             : has_log(c_, ControllerLog::Configuration) ? "configuration log"
                                                                         : nullptr;
        if (a.read && vd_log) {
            auto vds = [&](auto pred) {
                return size_t(std::count_if(c_.virtual_drives.begin(), c_.virtual_drives.end(), pred));
            };
            count("degraded virtual drives", a.degraded, vds([](auto& v) {
                      return v.state_kind == VirtualDriveState::Degraded ||
                             v.state_kind == VirtualDriveState::PartiallyDegraded;
                  }),
                  vd_log);
            count("offline virtual drives", a.offline,
                  vds([](auto& v) { return v.state_kind == VirtualDriveState::Offline; }), vd_log);
        }
        if (a.read && has_log(c_, ControllerLog::Drives)) {
            auto pds = [&](auto pred) {
                return size_t(std::count_if(c_.physical_drives.begin(), c_.physical_drives.end(), pred));
            };
            count("critical disks", a.critical_disks,
                  pds([](auto& d) { return d.predictive_failures.value_or(0) > 0 || d.smart_alert == true; }),
                  "drive list");
            count("failed disks", a.failed_disks, pds([](auto& d) {
                      return d.state == DriveState::Failed || d.state == DriveState::Offline ||
                             d.state == DriveState::UnconfiguredBad || d.state == DriveState::Missing;
                  }),
                  "drive list");
        }
    }

    // Warning and worse events grouped by code and drive: one finding each
    // for the recent and the older ones, with count, first and last time.
    void events() {
        const std::optional<int64_t> now = event_clock(c_, collected_);
        struct Group {
            const ControllerEvent *first = nullptr, *last = nullptr;
            size_t count = 0;
            int worst = 1;
        };
        std::map<std::tuple<bool, uint32_t, unsigned, std::string>, Group> groups;
        for (auto& e : c_.events) {
            if (!e.cls || *e.cls < 1) continue;
            const bool old = !recent_event(e, now);
            const auto key = std::tuple(old, e.code.value_or(0), e.device_id.value_or(~0u),
                                        e.device_id ? std::string() : e.description);
            Group& g = groups[key];
            if (!g.first) g.first = &e;
            g.last = &e;
            ++g.count;
            g.worst = std::max(g.worst, *e.cls);
        }
        for (auto& [key, g] : groups) {
            const ControllerEvent& e = *g.last;
            std::string text = std::string(event_class_name(g.worst)) + " event" +
                               (e.code ? " 0x" + hex(*e.code, 8) : "") +
                               (e.device_id ? " on target " + std::to_string(*e.device_id) : "") + ": " + e.description;
            if (g.count > 1)
                text += " (" + std::to_string(g.count) + " times, first " + g.first->time_text + ", last " +
                        e.time_text + ")";
            else
                text += " (" + e.time_text + ")";
            if (std::get<0>(key))
                add(Rule::ControllerEventOld, text);
            else
                add(Rule::ControllerEvent, text, g.worst >= 3 ? Case::Other : Case::Usual);
            out_.back().target = e.device_id;
        }
    }

    const Controller& c_;
    std::optional<time_t> collected_;
    std::string prefix_;
    Findings out_;
    std::map<const PhysicalDrive*, Severity> worst_;       // of each drive's findings
    std::map<const PhysicalDrive*, size_t> other_errors_;  // its other error finding in out_
};

}  // namespace

std::optional<int64_t> event_clock(const Controller& c, std::optional<time_t> collected) {
    if (c.adapter.clock) return c.adapter.clock;
    if (collected) return static_cast<int64_t>(*collected);
    return std::nullopt;
}

bool recent_event(const ControllerEvent& e, std::optional<int64_t> now) {
    return !e.time || !now || *now - *e.time <= kRecentEventDays * 86400;
}

Findings judge_controller(const Controller& c, std::optional<time_t> collected) { return Judge(c, collected).run(); }

// As the judge above weighs the states (a test holds the two together).
std::optional<Severity> state_severity(VirtualDriveState s) {
    switch (s) {
    case VirtualDriveState::Unknown:
    case VirtualDriveState::Optimal: return {};
    case VirtualDriveState::PartiallyDegraded:
    case VirtualDriveState::Other: return finding(Rule::VirtualDriveState, "").severity;
    case VirtualDriveState::Degraded:
    case VirtualDriveState::Offline: return finding(Rule::VirtualDriveState, "", Case::Other).severity;
    }
    return {};
}

std::optional<Severity> state_severity(DriveState s) {
    switch (s) {
    case DriveState::Rebuild:
    case DriveState::Copyback:
    case DriveState::Other: return finding(Rule::DriveState, "").severity;
    case DriveState::Failed:
    case DriveState::Offline:
    case DriveState::UnconfiguredBad:
    case DriveState::Missing: return finding(Rule::DriveState, "", Case::Other).severity;
    default: return {};
    }
}

}  // namespace rpt
