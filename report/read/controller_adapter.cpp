// The adapter's information log: identity, the counts of devices present,
// the memory error counters, battery, alarm and the controller's clock.
#include <vector>

#include "cli_text.h"
#include "controller_read.h"
#include "textmatch.h"

namespace rpt {
namespace {

using cli::Line;

// "9:0:15 6/6, 2024" (hours:minutes:seconds month/day, year)
bool clock(AdapterInfo& a, std::string_view v) {
    a.current_time = std::string(v);
    Caps c;
    if (!match("%u:%u:%u %u/%u, %u", v, c)) return false;
    unsigned n[6];
    for (size_t i = 0; i < 6; ++i) {
        auto d = cli::decimal(c[i]);
        if (!d || *d > 9999) return false;
        n[i] = static_cast<unsigned>(*d);
    }
    if (n[0] > 23 || n[1] > 59 || n[2] > 60 || n[3] < 1 || n[3] > 12 || n[4] < 1 || n[4] > 31) return false;
    a.clock = cli::civil_seconds(static_cast<int>(n[5]), n[3], n[4], n[0], n[1], n[2]);
    return true;
}

// A field of the adapter log; `section` names the heading it must stand
// under when the same key comes again elsewhere ("Alarm" is also a setting).
struct AdapterField {
    const char* section;
    cli::Field<AdapterInfo> field;
};

constexpr AdapterField kAdapterFields[] = {
    {nullptr, {"Product Name", cli::text<&AdapterInfo::product>}},
    {nullptr, {"Serial No", cli::text<&AdapterInfo::serial>}},
    {nullptr, {"FW Package Build", cli::text<&AdapterInfo::package>}},
    {nullptr, {"FW Version", cli::text<&AdapterInfo::firmware>}},
    {nullptr, {"Virtual Drives", cli::number<&AdapterInfo::virtual_drives>}},
    {nullptr, {"Degraded", cli::number<&AdapterInfo::degraded>}},
    {nullptr, {"Offline", cli::number<&AdapterInfo::offline>}},
    {nullptr, {"Physical Devices", cli::number<&AdapterInfo::physical_devices>}},
    {nullptr, {"Disks", cli::number<&AdapterInfo::disks>}},
    {nullptr, {"Critical Disks", cli::number<&AdapterInfo::critical_disks>}},
    {nullptr, {"Failed Disks", cli::number<&AdapterInfo::failed_disks>}},
    {nullptr, {"Memory Correctable Errors", cli::number<&AdapterInfo::memory_correctable>}},
    {nullptr, {"Memory Uncorrectable Errors", cli::number<&AdapterInfo::memory_uncorrectable>}},
    {"HW Configuration", {"BBU", cli::present<&AdapterInfo::bbu_present>}},
    {"HW Configuration", {"Alarm", cli::present<&AdapterInfo::alarm_present>}},
    {nullptr, {"Current Time", clock}},
};

}  // namespace

std::vector<ControllerProblem> read_adapters(std::string_view text, cli::Reader& r,
                                             std::vector<std::pair<unsigned, AdapterInfo>>& out) {
    std::string_view heading, section;  // a line without a key, and the one a "====" line underlined
    return cli::walk(text, r, [&](const Line& l) {
        if (cli::separator(l.text)) {
            section = heading;
            return true;
        }
        if (l.key.empty() || l.value.empty()) heading = l.text;  // "Versions", "Image Versions in Flash:"
        if (l.key.empty()) return false;
        // Each key is the table's once.
        static const cli::KeyIndex keys = [] {
            std::vector<std::string_view> k;
            for (const auto& f : kAdapterFields) k.push_back(f.field.key);
            return cli::KeyIndex(k);
        }();
        const int i = keys.find(l);
        if (i < 0) return false;
        const AdapterField& f = kAdapterFields[i];
        if (f.section && !cli::key_is(section, f.section)) return false;
        if (out.empty() || out.back().first != r.adapter) out.push_back({r.adapter, AdapterInfo{}});
        AdapterInfo& a = out.back().second;
        a.read = true;
        if (!f.field.read(a, l.value)) r.bad_value(l);
        return true;
    });
}

}  // namespace rpt
