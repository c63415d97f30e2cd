// A collection's controller logs: which file is which, each read by its
// reader, the records sorted to their controllers, and the virtual drives
// of the virtual drive log joined with their members from the members log.
#include <algorithm>
#include <cctype>

#include "controller.h"
#include "controller_read.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt {
namespace {

struct LogName {
    ControllerLog kind;
    const char* pattern;  // in lower case; the name is compared in lower case
};
constexpr LogName kLogNames[] = {
    {ControllerLog::TermLog, "controller_%u_fwtermlog.log"},
    {ControllerLog::Configuration, "controller_%u_cfgdsply.log"},
    {ControllerLog::Adapter, "controller_%u_adpallinfo.log"},
    {ControllerLog::Drives, "controller_%u_pdlist.log"},
    {ControllerLog::VirtualDrives, "controller_%u_ldinfo.log"},
    {ControllerLog::Members, "controller_%u_ldpdinfo.log"},
    {ControllerLog::Events, "controller_%u_flashrom.log"},
};

Controller& controller(std::map<unsigned, Controller>& into, unsigned index) {
    Controller& c = into[index];
    c.index = index;
    return c;
}

// Records to the controller of their adapter; the whole list at once when
// it is all of one adapter and that controller has none yet (the usual
// case, and thousands of events).
template <class T>
void sort_to(std::map<unsigned, Controller>& into, std::vector<T> Controller::*list, std::vector<T>&& records) {
    const bool one =
        std::all_of(records.begin(), records.end(), [&](const T& x) { return x.adapter == records.front().adapter; });
    if (!records.empty() && one && (controller(into, records.front().adapter).*list).empty()) {
        controller(into, records.front().adapter).*list = std::move(records);
        return;
    }
    for (auto& x : records) (controller(into, x.adapter).*list).push_back(std::move(x));
}

// The virtual drive log gives a virtual drive's fields, the members log its
// members, whichever is read first.
void merge(std::vector<VirtualDrive>& into, VirtualDrive vd, bool listed) {
    auto same = std::find_if(into.begin(), into.end(), [&](const VirtualDrive& x) { return x.id == vd.id; });
    if (same == into.end()) {
        vd.listed = listed;
        into.push_back(std::move(vd));
    } else if (listed) {
        std::vector<PhysicalDrive> members = std::move(same->members);
        *same = std::move(vd);
        same->members = std::move(members);
        same->listed = true;
    } else {
        same->members = std::move(vd.members);
    }
}

}  // namespace

std::optional<std::pair<ControllerLog, unsigned>> controller_log(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const auto& n : kLogNames) {
        Caps caps;
        if (!match(n.pattern, lower, caps) || caps[0].size() > 5) continue;
        return std::make_pair(n.kind, static_cast<unsigned>(std::stoul(std::string(caps[0]))));
    }
    return std::nullopt;
}

void read_controller_log(ControllerLog kind, std::string_view text, const std::string& file, unsigned index,
                         std::map<unsigned, Controller>& into) {
    cli::Reader r(file, index);
    std::vector<ControllerProblem> problems;
    switch (kind) {
    case ControllerLog::TermLog: break;  // only its presence and size count
    case ControllerLog::Configuration:
    case ControllerLog::VirtualDrives:
    case ControllerLog::Members: {
        std::vector<VirtualDrive> vds;
        problems = read_virtual_drives(text, r, vds);
        for (auto& vd : vds) {
            Controller& c = controller(into, vd.adapter);
            if (kind == ControllerLog::Configuration)
                c.configuration.push_back(std::move(vd));
            else
                merge(c.virtual_drives, std::move(vd), kind == ControllerLog::VirtualDrives);
        }
        break;
    }
    case ControllerLog::Adapter: {
        std::vector<std::pair<unsigned, AdapterInfo>> adapters;
        problems = read_adapters(text, r, adapters);
        for (auto& [adapter, info] : adapters) controller(into, adapter).adapter = std::move(info);
        break;
    }
    case ControllerLog::Drives: {
        std::vector<PhysicalDrive> drives;
        problems = read_drive_list(text, r, drives);
        sort_to(into, &Controller::physical_drives, std::move(drives));
        break;
    }
    case ControllerLog::Events: {
        std::vector<ControllerEvent> events;
        problems = read_events(text, r, events);
        sort_to(into, &Controller::events, std::move(events));
        break;
    }
    }
    auto& own = controller(into, index).problems;
    own.insert(own.end(), problems.begin(), problems.end());
}

bool same_drive(const PhysicalDrive& m, const PhysicalDrive& d) {
    return m.device_id ? d.device_id == m.device_id : m.enclosure && d.enclosure == m.enclosure && d.slot == m.slot;
}

const PhysicalDrive* listed_drive(const Controller& c, const PhysicalDrive& m) {
    for (auto& d : c.physical_drives)
        if (same_drive(m, d)) return &d;
    return nullptr;
}

bool has_log(const Controller& c, ControllerLog kind) {
    return std::any_of(c.files.begin(), c.files.end(),
                       [&](const ControllerFile& f) { return f.kind == kind && f.read; });
}

std::string state_label(const PhysicalDrive& d) {
    if (d.state == DriveState::Unknown) return "";
    return d.state == DriveState::Other ? trim(d.firmware_state.substr(0, d.firmware_state.find(',')))
                                        : drive_state_name(d.state);
}

std::string state_label(const VirtualDrive& v) {
    if (v.state_kind == VirtualDriveState::Unknown) return "";
    return v.state_kind == VirtualDriveState::Other ? trim(v.state) : virtual_drive_state_name(v.state_kind);
}

namespace {
std::string or_unknown(const std::optional<unsigned>& v) { return v ? std::to_string(*v) : std::string("?"); }
}  // namespace

std::string drive_place(const PhysicalDrive& d) { return or_unknown(d.enclosure) + ":" + or_unknown(d.slot); }

std::string drive_name(const PhysicalDrive& d) {
    std::string s = drive_place(d) + " (target " + or_unknown(d.device_id);
    return d.serial.empty() ? s + ")" : s + ", serial " + d.serial + ")";
}

std::string virtual_drive_name(const VirtualDrive& vd) {
    return "virtual drive " + or_unknown(vd.id) + (vd.raid_level.empty() ? "" : " (" + vd.raid_level + ")");
}

std::string drive_state_text(const PhysicalDrive& d) {
    switch (d.state) {
    case DriveState::Unknown: return "";
    case DriveState::Other: return d.firmware_state;
    default: return drive_state_name(d.state);
    }
}

std::vector<Controller> read_controllers(std::span<const InputFile> files) {
    std::map<unsigned, Controller> into;
    for (const InputFile& f : files) {
        auto log = controller_log(f.name);
        if (!log) continue;
        const auto [kind, index] = *log;
        controller(into, index).files.push_back({kind, f.name, f.data.size(), f.loaded});
        if (f.loaded) read_controller_log(kind, f.data, f.name, index, into);
    }
    std::vector<Controller> out;
    for (auto& [index, c] : into) out.push_back(std::move(c));
    return out;
}

}  // namespace rpt
