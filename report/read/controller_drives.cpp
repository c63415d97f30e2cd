// The CLI's drive blocks (the drive list, and the members of the virtual
// drives in the members and configuration logs), a table of fields, and
// the names of the drives' and virtual drives' states.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

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

// The state a word names; Other for a word of no state. (One table per
// kind of state: its index is made on the first use.)
template <class State>
State state_of(std::span<const StateName<State>> table, std::string_view word) {
    static const cli::KeyIndex index = [&] {
        std::vector<std::string_view> names;
        for (const auto& s : table) names.push_back(s.names);
        return cli::KeyIndex(names);
    }();
    const int i = index.find(word);
    return i < 0 ? State::Other : table[static_cast<size_t>(i)].state;
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
    c.reserve(3);
    if (!match("DiskGroup: %u, Span: %u, Arm: %u", v, c)) return false;
    d.disk_group = place_number(c[0]);
    d.span = place_number(c[1]);
    d.arm = place_number(c[2]);
    return d.disk_group && d.span && d.arm;
}

// A capacity the CLI gives for a drive it cannot read: none, or all ones
// but the low bits (a non-coerced size of "7.999 ZB [0xfffffffffff00000
// Sectors]"). No drive has 2^48 sectors.
constexpr uint64_t kMostSectors = uint64_t{1} << 48;

// "558.912 GB [0x45dd2fb0 Sectors]"; "0 KB [0x0 Sectors]" is no capacity.
bool raw_size(PhysicalDrive& d, std::string_view v) {
    const size_t open = v.find('[');
    d.raw_size = trim(v.substr(0, open));
    if (open == std::string_view::npos) return true;
    Caps c;
    if (!match("[0x%x Sectors]", v.substr(open), c)) return false;
    auto sectors = cli::hexadecimal(c[0]);
    if (!sectors) return false;
    if (*sectors > 0 && *sectors < kMostSectors) d.raw_sectors = sectors;
    return true;
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
    static const cli::KeyIndex unit("Gb/s");
    ok = end != s.c_str() && unit.find(trim(std::string_view(end))) >= 0 && g >= 0 && g < 1000;
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
    {"Drive's position|Drive's postion", position},
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

}  // namespace

const char* drive_state_name(DriveState s) { return label_of<DriveState>(kDriveStates, s); }

VirtualDriveState virtual_drive_state_of(std::string_view word) {
    return state_of<VirtualDriveState>(kVirtualDriveStates, word);
}

const char* virtual_drive_state_name(VirtualDriveState s) {
    return label_of<VirtualDriveState>(kVirtualDriveStates, s);
}

bool drive_line(cli::Blocks<PhysicalDrive>& drives, Reader& r, const Line& l) {
    return drives.apply(kDriveFields, r, l) || progress_line(l, *drives.out);
}

// The inquiry data as the CLI prints it: a SAS drive's vendor (8), product
// (16), revision (4) and serial in columns, as is a SATA drive's translated
// INQUIRY ("ATA" padded to 8); a SATA drive's serial, model and firmware,
// blank separated; and a drive the controller no longer reads as "ATA",
// model, revision and serial, blank separated.
void split_inquiry(PhysicalDrive& d) {
    const std::string_view v = d.inquiry;
    if (v.empty()) return;
    std::vector<std::string_view> words;
    words.reserve(8);
    cli::words(v, [&](std::string_view w) { words.push_back(w); });
    auto joined = [&](size_t from, size_t to) {
        std::string s;
        for (size_t i = from; i < to; ++i) {
            if (!s.empty()) s += ' ';
            s.append(words[i]);
        }
        return s;
    };
    const size_t n = words.size();
    if (v.starts_with("ATA ") && !v.starts_with("ATA     ") && n >= 4) {
        d.vendor = "ATA";
        d.product = joined(1, n - 2);
        d.revision = std::string(words[n - 2]);
        d.serial = std::string(words[n - 1]);
        return;
    }
    static const cli::KeyIndex sata("SATA");
    if (sata.find(d.pd_type) >= 0 && !v.starts_with("ATA ")) {
        if (n == 0) return;
        d.serial = std::string(words[0]);
        if (n >= 3) d.revision = std::string(words[n - 1]);
        d.product = joined(1, n >= 3 ? n - 1 : n);
        return;
    }
    auto part = [&](size_t at, size_t len) { return at < v.size() ? trim(v.substr(at, len)) : std::string(); };
    d.vendor = part(0, 8);
    d.product = part(8, 16);
    d.revision = part(24, 4);
    d.serial = part(28, std::string_view::npos);
}

bool drive_field(const Line& l) { return cli::find_field<PhysicalDrive>(kDriveFields, l) >= 0; }

std::vector<ControllerProblem> read_drive_list(std::string_view text, Reader& r, std::vector<PhysicalDrive>& out) {
    cli::Blocks<PhysicalDrive> drives(&out);
    const size_t first = out.size();
    auto problems = cli::walk(text, r, [&](const Line& l) { return drive_line(drives, r, l); });
    for (size_t i = first; i < out.size(); ++i) split_inquiry(out[i]);
    return problems;
}

}  // namespace rpt
