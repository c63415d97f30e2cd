// The controller's view joined with the drives' own logs.
#include "join.h"

#include <algorithm>

#include "cli_text.h"
#include "health.h"

namespace rpt {
namespace {

// One serial number as the controller's inquiry data and the drive give
// it: the CLI may pad it, or print more of it.
bool same_serial(const std::string& a, const std::string& b) {
    const std::string x = trim(a), y = trim(b);
    return !x.empty() && !y.empty() && (x.find(y) != std::string::npos || y.find(x) != std::string::npos);
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

// The events of a controller's log by the drive they name: by target,
// else by enclosure and slot (an event log holds tens of thousands; each is
// looked at once).
struct EventsByDrive {
    explicit EventsByDrive(const Controller& ctl) {
        for (auto& e : ctl.events)
            if (e.device_id)
                by_target[*e.device_id].push_back(&e);
            else if (e.enclosure && e.slot)
                by_place[{*e.enclosure, *e.slot}].push_back(&e);
    }
    // Those of a drive, in the log's order.
    std::vector<const ControllerEvent*> of(const PhysicalDrive& pd) {
        std::vector<const ControllerEvent*> mine = by_target[*pd.device_id];
        if (pd.enclosure && pd.slot) {
            auto& more = by_place[{*pd.enclosure, *pd.slot}];
            mine.insert(mine.end(), more.begin(), more.end());
            std::sort(mine.begin(), mine.end());
        }
        return mine;
    }
    std::map<unsigned, std::vector<const ControllerEvent*>> by_target;
    std::map<std::pair<unsigned, unsigned>, std::vector<const ControllerEvent*>> by_place;
};

// The controller's view of a listed drive: its entry, its virtual drives
// and its events.
ControllerView view_of(const Controller& ctl, const PhysicalDrive& pd, EventsByDrive& events) {
    ControllerView v;
    v.drive = &pd;
    for (auto& vd : ctl.virtual_drives)
        if (vd.id && std::any_of(vd.members.begin(), vd.members.end(),
                                 [&](const PhysicalDrive& m) { return same_drive(m, pd); }))
            v.virtual_drives.push_back(*vd.id);
    v.events = events.of(pd);
    return v;
}

}  // namespace

std::set<std::string> join_controller(Collection& c, const Controller& ctl, Findings fs,
                                      const std::map<std::string, Attached>& attached) {
    const bool sata_collected =
        std::any_of(c.disks.begin(), c.disks.end(), [](const Disk& d) { return d.logged && d.ata; });
    std::set<std::string> rows;
    std::map<unsigned, size_t> joined;  // target -> index in c.disks
    EventsByDrive events(ctl);
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
        // The controller's count joins the disk's counters, so that a history
        // follows it; the controller's judge has weighed it already.
        if (pd.media_errors) set_counter(c.disks[at], Counter::ControllerMediaErrors, *pd.media_errors);
        c.disks[at].view = view_of(ctl, pd, events);
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

}  // namespace rpt
