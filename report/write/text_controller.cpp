// The controllers' own view in the text: after the disks table, each
// controller with its virtual drives and their members, and the drives in
// none; in --disk, the drive's entry in the controller's drive list and the
// controller's events about it.
#include <algorithm>

#include "text_parts.h"

namespace rpt {
namespace {

std::string target(const std::optional<unsigned>& t) { return t ? "target " + std::to_string(*t) : "target ?"; }

// A drive's state with the progress of a rebuild or copyback ("Rebuild 45%").
std::string state_text(const PhysicalDrive& d) {
    // (Appended: GCC 12 warns falsely of "literal" + std::string&& in Release.)
    std::string s = drive_state_text(d);
    if (d.progress) s.append(" ").append(std::to_string(*d.progress)).append("%");
    return s;
}

// "OKAPI RAID 8i, serial SV52027000, firmware package 24.21.0-0097, version 4.680.00-8527"
std::string adapter_line(const AdapterInfo& a) {
    if (!a.read) return "no adapter log";
    std::string s = shown(trim(a.product), kMissingText);
    if (!a.serial.empty()) s += ", serial " + trim(a.serial);
    if (!a.package.empty() || !a.firmware.empty())
        s += ", firmware package " + shown(trim(a.package), kMissingText) + ", version " +
             shown(trim(a.firmware), kMissingText);
    return s;
}

// "virtual drive 0 (target 0, "sys"): RAID 1, 1.090 TB, Degraded"
std::string virtual_drive_line(const VirtualDrive& vd) {
    std::string s = "virtual drive " + shown(vd.id, kMissingText) + " (" + target(vd.target);
    if (!trim(vd.name).empty()) s += ", \"" + trim(vd.name) + "\"";
    return s + "): " + shown(vd.raid_level, kMissingText) + ", " + shown(trim(vd.size), kMissingText) + ", " +
           shown(trim(vd.state), kMissingText);
}

// A drive's row: where it is, its target, state and serial, as the
// controller's drives give it; an arm that no drive fills says so.
std::vector<std::string> drive_row(const PhysicalDrive& d, const PhysicalDrive* listed) {
    if (empty_slot(d)) return {empty_slot_text(d)};
    const PhysicalDrive& row = listed ? *listed : d;
    std::string state = state_text(row);
    if (state.empty() && listed) state = state_text(d);
    return {drive_place(row), target(row.device_id), shown(state, kMissingText), shown(trim(row.serial), kMissingText)};
}

std::string controller_lines(const Controller& c, const std::string& host) {
    std::string out = "  " + host + "controller " + std::to_string(c.index) + ": " + adapter_line(c.adapter) + "\n";
    std::vector<const PhysicalDrive*> members;  // drive list entries that are in a virtual drive
    bool all_listed = has_log(c, ControllerLog::VirtualDrives) || has_log(c, ControllerLog::Members) ||
                      has_log(c, ControllerLog::Configuration);
    for (auto& vd : c.virtual_drives) {
        out += "    " + virtual_drive_line(vd) + "\n";
        if (vd.members.empty()) {
            out += "      members not listed\n";
            all_listed = false;
        }
        std::vector<std::vector<std::string>> rows;
        for (auto& m : vd.members) {
            const PhysicalDrive* d = listed_drive(c, m);
            if (d) members.push_back(d);
            rows.push_back(drive_row(m, d));
        }
        out += format_table(rows, "      ");
    }
    // Without the virtual drives' members, no drive is known to be in none.
    std::vector<std::vector<std::string>> rest;
    for (auto& d : c.physical_drives)
        if (std::find(members.begin(), members.end(), &d) == members.end()) rest.push_back(drive_row(d, &d));
    if (!rest.empty())
        out += (all_listed ? "    drives in no virtual drive:\n"
                           : "    drives not known as members (the logs do not list every virtual drive's):\n") +
               format_table(rest, "      ");
    return out;
}

// "Read(10) LBA 0xa1b2c30, sense 03/11/00: Medium Error, Unrecovered read error"
std::string sense_text(const EventSense& s) {
    std::string out = s.operation.empty() && s.opcode ? "operation " + hex(*s.opcode) : s.operation;
    if (s.lba) out += " LBA 0x" + hex(*s.lba, 1);
    if (s.key) {
        out += std::string(out.empty() ? "" : ", ") + "sense " + hex(*s.key) + "/" + hex(s.asc.value_or(0)) + "/" +
               hex(s.ascq.value_or(0));
        if (!s.key_name.empty()) out += ": " + s.key_name;
        if (!s.asc_name.empty()) out += ", " + s.asc_name;
    }
    return out;
}

}  // namespace

std::string controllers_text(const Report& r) {
    const bool many = r.collections.size() > 1;
    std::string out;
    for (auto& c : r.collections)
        for (auto& ctl : c.controllers) out += controller_lines(ctl, many ? c.host + " " : "");
    return out.empty() ? "" : "\nControllers:\n" + out;
}

std::string controller_view_text(const Disk& d) {
    if (!d.view) return "";
    const PhysicalDrive& p = *d.view->drive;
    std::string vds;
    for (unsigned id : d.view->virtual_drives) vds += (vds.empty() ? "" : ", ") + std::to_string(id);
    std::string out = "\nController view (controller " + shown(d.controller, kMissingText) + "):\n";
    // The state as printed where it says more than its name ("Online, Spun Up").
    const std::string state = state_text(p), printed = trim(p.firmware_state);
    out += "  " + drive_place(p) + ", " + target(p.device_id) + ", " + shown(state, kMissingText) +
           (printed.empty() || printed == drive_state_text(p) ? "" : " (\"" + printed + "\")") + "; virtual drive(s) " +
           (vds.empty() ? "none" : vds) + "\n";
    out += "  media errors " + shown(p.media_errors, kMissingText) + ", other errors " +
           shown(p.other_errors, kMissingText) + ", predictive failures " + shown(p.predictive_failures, kMissingText) +
           ", S.M.A.R.T alert " +
           (!p.smart_alert   ? "-"
            : *p.smart_alert ? "yes"
                             : "no") +
           "\n";
    out += "  device speed " + shown(trim(p.device_speed), kMissingText) + ", link speed " +
           shown(trim(p.link_speed), kMissingText) + ", temperature " + shown(p.temperature, kMissingText, " C") + "\n";
    out += "  inquiry " + shown(trim(p.vendor), kMissingText) + " " + shown(trim(p.product), kMissingText) + " rev " +
           shown(trim(p.revision), kMissingText) + ", serial " + shown(trim(p.serial), kMissingText) + "\n";
    // The size as printed; one that is no capacity (0, all ones) says so.
    if (!p.raw_size.empty()) out += "  raw size " + p.raw_size + (p.raw_sectors ? "" : " (no capacity given)") + "\n";
    out += "  listed in " + shown(p.source, kMissingText) + "\n";

    out += "\nController events:\n";
    if (d.view->events.empty()) out += "  none\n";
    std::vector<std::vector<std::string>> rows;
    for (const ControllerEvent* at : d.view->events) {
        const ControllerEvent& e = *at;
        const std::string cls = !e.cls                      ? "-"
                                : *event_class_name(*e.cls) ? event_class_name(*e.cls)
                                                            : shown(e.cls, kMissingText);
        rows.push_back(
            {shown(trim(e.time_text), kMissingText), cls, e.code ? "0x" + hex(*e.code, 8) : "-", e.description});
        // The decoded sense under its event's description.
        if (e.sense) rows.push_back({"", "", "", "  " + sense_text(*e.sense)});
    }
    return out + format_table(rows, "  ");
}

}  // namespace rpt
