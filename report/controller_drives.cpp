// The CLI's drive blocks (the drive list, and the members of the virtual
// drives in the members and configuration logs) and its virtual drive
// blocks (the virtual drive, members and configuration logs), each a table
// of fields.
#include <cstdlib>

#include "cli_text.h"
#include "controller_read.h"
#include "finding.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt {
namespace {

using cli::Field;
using cli::Line;
using cli::Reader;

// ---------------------------------------------------------------- states

// A state as the CLI prints it (older spellings after '|'), and its label.
template <class State>
struct StateName {
    const char* names;
    State state;
    const char* label;
};
constexpr StateName<DriveState> kDriveStates[] = {
    {"Online", DriveState::Online, "Online"},
    {"Hotspare|Hot Spare", DriveState::Hotspare, "Hotspare"},
    {"JBOD", DriveState::Jbod, "JBOD"},
    {"Unconfigured(good)|Unconfigured (good)|Unconfigured Good", DriveState::UnconfiguredGood, "Unconfigured(good)"},
    {"Rebuild", DriveState::Rebuild, "Rebuild"},
    {"Copyback", DriveState::Copyback, "Copyback"},
    {"Failed", DriveState::Failed, "Failed"},
    {"Offline", DriveState::Offline, "Offline"},
    {"Unconfigured(bad)|Unconfigured (bad)|Unconfigured Bad", DriveState::UnconfiguredBad, "Unconfigured(bad)"},
    {"Missing", DriveState::Missing, "Missing"},
};
constexpr StateName<VirtualDriveState> kVirtualDriveStates[] = {
    {"Optimal", VirtualDriveState::Optimal, "Optimal"},
    {"Partially Degraded", VirtualDriveState::PartiallyDegraded, "Partially Degraded"},
    {"Degraded", VirtualDriveState::Degraded, "Degraded"},
    {"Offline", VirtualDriveState::Offline, "Offline"},
};

// The state a word names; Other for a word of no state.
template <class State>
State state_of(std::span<const StateName<State>> table, std::string_view word) {
    for (const auto& s : table)
        if (cli::key_is(word, s.names)) return s.state;
    return State::Other;
}

template <class State>
const char* label_of(std::span<const StateName<State>> table, State state) {
    for (const auto& s : table)
        if (s.state == state) return s.label;
    return state == State::Other ? "other" : "unknown";
}

// ---------------------------------------------------------------- drive fields

bool position(PhysicalDrive& d, std::string_view v) {
    Caps c;
    if (!match("DiskGroup: %u, Span: %u, Arm: %u", v, c)) return false;
    d.disk_group = static_cast<unsigned>(*cli::decimal(c[0]) & 0xFFFF);
    d.span = static_cast<unsigned>(*cli::decimal(c[1]) & 0xFFFF);
    d.arm = static_cast<unsigned>(*cli::decimal(c[2]) & 0xFFFF);
    return true;
}

// "558.912 GB [0x45dd2fb0 Sectors]"
bool raw_size(PhysicalDrive& d, std::string_view v) {
    const size_t open = v.find('[');
    d.raw_size = trim(v.substr(0, open));
    if (open == std::string_view::npos) return true;
    Caps c;
    if (!match("[0x%x Sectors]", v.substr(open), c)) return false;
    d.raw_sectors = cli::hexadecimal(c[0]);
    return d.raw_sectors.has_value();
}

bool firmware_state(PhysicalDrive& d, std::string_view v) {
    d.firmware_state = std::string(v);
    d.state = state_of<DriveState>(kDriveStates, trim(v.substr(0, v.find(','))));
    return true;
}

bool sas_address(PhysicalDrive& d, std::string_view v) {
    auto a = cli::hexadecimal(v);
    if (a) d.sas_addresses.push_back(*a);
    return a.has_value();
}

// "12.0Gb/s"; "Unknown" when the CLI does not know.
std::optional<double> gbps(std::string_view v, bool& ok) {
    ok = true;
    if (cli::absent(v)) return std::nullopt;
    const std::string s(v);
    char* end = nullptr;
    const double g = strtod(s.c_str(), &end);
    ok = end != s.c_str() && cli::key_is(trim(std::string_view(end)), "Gb/s") && g >= 0 && g < 1000;
    return ok ? std::optional<double>(g) : std::nullopt;
}
bool device_speed(PhysicalDrive& d, std::string_view v) {
    bool ok;
    d.device_speed = std::string(v);
    d.device_gbps = gbps(v, ok);
    return ok;
}
bool link_speed(PhysicalDrive& d, std::string_view v) {
    bool ok;
    d.link_speed = std::string(v);
    d.link_gbps = gbps(v, ok);
    return ok;
}

// "30C (86.00 F)"
bool temperature(PhysicalDrive& d, std::string_view v) {
    if (cli::absent(v)) return true;
    const size_t c = v.find_first_of("Cc");
    auto t = cli::signed_decimal(trim(v.substr(0, c)));
    if (c == std::string_view::npos || !t || *t < -100 || *t > 250) return false;
    d.temperature = static_cast<int>(*t);
    return true;
}

constexpr Field<PhysicalDrive> kDriveFields[] = {
    {"Enclosure Device ID", cli::number<&PhysicalDrive::enclosure>},
    {"Slot Number", cli::number<&PhysicalDrive::slot>},
    {"Drive's position", position},
    {"Device Id", cli::number<&PhysicalDrive::device_id>},
    {"Media Error Count", cli::number<&PhysicalDrive::media_errors>},
    {"Other Error Count", cli::number<&PhysicalDrive::other_errors>},
    {"Predictive Failure Count", cli::number<&PhysicalDrive::predictive_failures>},
    {"PD Type", cli::text<&PhysicalDrive::pd_type>},
    {"Raw Size", raw_size},
    {"Firmware state", firmware_state},
    {"SAS Address(*)", sas_address, true},
    {"Inquiry Data", cli::text<&PhysicalDrive::inquiry>},
    {"Foreign State", cli::text<&PhysicalDrive::foreign_state>},
    {"Device Speed", device_speed},
    {"Link Speed", link_speed},
    {"Media Type", cli::text<&PhysicalDrive::media_type>},
    {"Drive Temperature", temperature},
    {"Drive has flagged a S.M.A.R.T alert", cli::yes<&PhysicalDrive::smart_alert>},
};

// "Rebuild Progress on Device at Enclosure 252, Slot 4 Completed 37% in 23
// Minutes.", a line of its own in the drive's block.
bool progress_line(const Line& l, std::vector<PhysicalDrive>& drives) {
    if (!l.key.empty() || drives.empty() || l.text.find("Progress on Device") == std::string_view::npos) return false;
    const size_t at = l.text.find("Completed ");
    if (at == std::string_view::npos) return false;
    std::string_view rest = l.text.substr(at + 10);
    auto percent = cli::decimal(rest.substr(0, rest.find('%')));
    if (percent && *percent <= 100) drives.back().progress = static_cast<unsigned>(*percent);
    return true;
}

// The inquiry data as the CLI prints it: a SAS drive's vendor (8), product
// (16), revision (4) and serial; a SATA drive's serial, model and firmware,
// blank separated (unless it starts with the "ATA" vendor of a translated
// INQUIRY).
void split_inquiry(PhysicalDrive& d) {
    const std::string_view v = d.inquiry;
    if (v.empty()) return;
    if (cli::key_is(d.pd_type, "SATA") && !v.starts_with("ATA ")) {
        std::vector<std::string_view> words;
        cli::words(v, [&](std::string_view w) { words.push_back(w); });
        if (words.empty()) return;
        d.serial = std::string(words[0]);
        if (words.size() >= 3) d.revision = std::string(words.back());
        for (size_t i = 1; i + (words.size() >= 3 ? 1 : 0) < words.size(); ++i) {
            if (!d.product.empty()) d.product += ' ';
            d.product += words[i];
        }
        return;
    }
    auto part = [&](size_t at, size_t n) { return at < v.size() ? trim(v.substr(at, n)) : std::string(); };
    d.vendor = part(0, 8);
    d.product = part(8, 16);
    d.revision = part(24, 4);
    d.serial = part(28, std::string_view::npos);
}

// ---------------------------------------------------------------- virtual drive fields

bool virtual_drive_id(VirtualDrive& vd, std::string_view v) {
    Caps c;
    if (match("%u (Target Id: %u)", v, c) || match("%u", v, c)) {
        vd.id = static_cast<unsigned>(*cli::decimal(c[0]) & 0xFFFF);
        if (c.size() > 1) vd.target = static_cast<unsigned>(*cli::decimal(c[1]) & 0xFFFF);
        return true;
    }
    return false;
}

// "Primary-1, Secondary-0, RAID Level Qualifier-0"
bool raid_level(VirtualDrive& vd, std::string_view v) {
    auto after = [&](std::string_view word) -> std::optional<unsigned> {
        const size_t at = v.find(word);
        if (at == std::string_view::npos) return std::nullopt;
        std::string_view rest = v.substr(at + word.size());
        size_t n = 0;
        while (n < rest.size() && n < 4 && rest[n] >= '0' && rest[n] <= '9') ++n;
        auto d = cli::decimal(rest.substr(0, n));
        return d ? std::optional<unsigned>(static_cast<unsigned>(*d)) : std::nullopt;
    };
    vd.primary = after("Primary-");
    vd.secondary = after("Secondary-");
    vd.qualifier = after("Qualifier-");
    return vd.primary.has_value();
}

bool virtual_drive_state(VirtualDrive& vd, std::string_view v) {
    vd.state = std::string(v);
    vd.state_kind = state_of<VirtualDriveState>(kVirtualDriveStates, v);
    return true;
}

constexpr Field<VirtualDrive> kVirtualDriveFields[] = {
    {"Virtual Drive|Virtual Disk", virtual_drive_id},
    {"Name", cli::text<&VirtualDrive::name>},
    {"RAID Level", raid_level},
    {"Size", cli::text<&VirtualDrive::size>},
    {"State", virtual_drive_state},
    {"Number Of Drives|Number Of Drives per span", cli::number<&VirtualDrive::drives>},
    {"Span Depth", cli::number<&VirtualDrive::span_depth>},
    {"Default Cache Policy", cli::text<&VirtualDrive::cache_default>},
    {"Current Cache Policy", cli::text<&VirtualDrive::cache_current>},
    {"Bad Blocks Exist", cli::yes<&VirtualDrive::bad_blocks>},
};

// RAID 0/1/5/6 and their spanned forms 00/10/50/60.
std::string level_name(const VirtualDrive& vd) {
    if (!vd.primary) return "";
    const bool spanned = vd.secondary == 3u || vd.span_depth.value_or(1) > 1;
    switch (*vd.primary) {
    case 0: return spanned ? "RAID 00" : "RAID 0";
    case 1: return spanned ? "RAID 10" : "RAID 1";
    case 5: return spanned ? "RAID 50" : "RAID 5";
    case 6: return spanned ? "RAID 60" : "RAID 6";
    }
    return "Primary-" + std::to_string(*vd.primary);
}

// The lines of the members and configuration logs around the blocks.
constexpr std::string_view kStructure =
    "Number of Virtual Disks|Number of Virtual Drives|Number of Spans|Span|DISK GROUP|Number of DISK GROUPS|SPAN|"
    "Span Reference|Number of PDs|Number of VDs|Number of dedicated Hotspares|Virtual Drive Information|"
    "Physical Disk Information|Product Name|Memory|BBU|Serial No";

}  // namespace

const char* drive_state_name(DriveState s) { return label_of<DriveState>(kDriveStates, s); }

const char* virtual_drive_state_name(VirtualDriveState s) {
    return label_of<VirtualDriveState>(kVirtualDriveStates, s);
}

std::vector<ControllerProblem> read_drive_list(std::string_view text, Reader& r, std::vector<PhysicalDrive>& out) {
    cli::Blocks<PhysicalDrive> drives(&out);
    const size_t first = out.size();
    auto problems =
        cli::walk(text, r, [&](const Line& l) { return drives.apply(kDriveFields, r, l) || progress_line(l, out); });
    for (size_t i = first; i < out.size(); ++i) split_inquiry(out[i]);
    return problems;
}

std::vector<ControllerProblem> read_virtual_drives(std::string_view text, Reader& r, std::vector<VirtualDrive>& out) {
    cli::Blocks<VirtualDrive> vds(&out);
    cli::Blocks<PhysicalDrive> members;
    bool in_member = false;
    const size_t first = out.size();
    auto member_of_open = [&](const Line& l) {
        if (out.size() == first) vds.open(r, l);  // members before any virtual drive
        members.out = &out.back().members;
        members.seen.reset();
        in_member = true;
    };
    auto problems = cli::walk(text, r, [&](const Line& l) {
        Caps c;
        if (match("PD: %u Information", l.text, c) || match("Physical Disk: %u", l.text, c)) {
            member_of_open(l);
            members.open(r, l);
            return true;
        }
        if (in_member && (members.apply(kDriveFields, r, l) || progress_line(l, *members.out))) return true;
        if (vds.apply(kVirtualDriveFields, r, l)) {
            in_member = false;
            return true;
        }
        if (!in_member && out.size() > first && cli::find_field<PhysicalDrive>(kDriveFields, l) >= 0) {
            member_of_open(l);
            return members.apply(kDriveFields, r, l);
        }
        static const cli::KeyIndex structure(std::span<const std::string_view>(&kStructure, 1));
        return (!l.key.empty() && structure.find(l) >= 0) || cli::separator(l.text);
    });
    // The configuration log lists a virtual drive again for each of its spans.
    for (size_t i = first; i < out.size(); ++i) {
        for (size_t j = i + 1; j < out.size();) {
            if (out[j].id && out[j].id == out[i].id && out[j].adapter == out[i].adapter) {
                for (auto& m : out[j].members) out[i].members.push_back(std::move(m));
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(j));
            } else {
                ++j;
            }
        }
        out[i].raid_level = level_name(out[i]);
        for (auto& m : out[i].members) split_inquiry(m);
    }
    return problems;
}

}  // namespace rpt
