#include "layout.h"

#include <algorithm>
#include <tuple>

namespace rpt {
namespace {

using C = DiskColumn;

template <class T>
std::optional<int64_t> number(const std::optional<T>& v) {
    return v ? std::optional<int64_t>(static_cast<int64_t>(*v)) : std::nullopt;
}

// A row for a new column: its JSON key, headings and value here, its place
// in text_columns and html_columns below.
constexpr DiskColumnDef kColumns[] = {
    {C::Host, "host", "HOST", "Host", nullptr, [](const Disk& d) -> ColumnValue { return d.host; }},
    {C::File, "file", "LOG", "Drive log", nullptr, [](const Disk& d) -> ColumnValue { return d.file; }, "",
     // A drive the controller lists may have left none.
     [](const Disk& d) { return d.logged ? d.file : std::string("no drive log"); }},
    {C::Controller, "controller", "CTRL", "Controller", "num",
     [](const Disk& d) -> ColumnValue { return number(d.controller); }, "",
     // A drive log not named by its place is named by its file.
     [](const Disk& d) { return d.controller ? std::to_string(*d.controller) : d.file; }},
    {C::Device, "device", "DEV", "Device", "num", [](const Disk& d) -> ColumnValue { return number(d.device); }},
    {C::Protocol, "protocol", "PROTO", "Protocol", nullptr,
     [](const Disk& d) -> ColumnValue { return std::string(protocol_name(d.protocol)); }},
    {C::Vendor, "vendor", "VENDOR", "Vendor", nullptr, [](const Disk& d) -> ColumnValue { return d.vendor; }},
    {C::Product, "product", "PRODUCT", "Product", nullptr, [](const Disk& d) -> ColumnValue { return d.product; }},
    {C::Revision, "revision", "REV", "Revision", nullptr, [](const Disk& d) -> ColumnValue { return d.revision; }},
    {C::Serial, "serial", "SERIAL", "Serial", "mono", [](const Disk& d) -> ColumnValue { return d.serial; }},
    {C::Verdict, "verdict", "VERDICT", "Verdict", "verdict",
     [](const Disk& d) -> ColumnValue { return std::string(verdict_name(d.verdict)); }},
    // Its band alone; the JSON document's is the whole risk, an object.
    {C::Risk, "risk", "RISK", "Risk", "risk",
     [](const Disk& d) -> ColumnValue { return std::string(band_name(d.risk.band)); }},
    {C::Temperature, "temperature", "TEMP", "Temp. &deg;C", "num",
     [](const Disk& d) -> ColumnValue { return d.temperature; }, " C"},
    {C::ReferenceTemperature, "reference_temperature", nullptr, "Ref. &deg;C", "num",
     [](const Disk& d) -> ColumnValue { return d.reference_temperature; }},
    {C::PowerOnHours, "power_on_hours", "HOURS", "Power-on h", "num",
     [](const Disk& d) -> ColumnValue { return d.power_on_hours; }},
    {C::FindingCount, nullptr, nullptr, "Findings", "num",
     [](const Disk& d) -> ColumnValue { return static_cast<int64_t>(d.findings.size()); }},
};
static_assert(indexed_by(kColumns, &DiskColumnDef::column));

// The text's table: HOST only for several hosts, LOG only where
// controllers' logs were read (the writer leaves them out otherwise).
constexpr DiskColumn kText[] = {C::Host,    C::Controller, C::Device,   C::Protocol,    C::Vendor,
                                C::Product, C::Serial,     C::Revision, C::Temperature, C::PowerOnHours,
                                C::File,    C::Verdict,    C::Risk};
// The web page's table: Host only for several hosts.
constexpr DiskColumn kHtml[] = {C::Host,
                                C::File,
                                C::Controller,
                                C::Device,
                                C::Protocol,
                                C::Vendor,
                                C::Product,
                                C::Revision,
                                C::Serial,
                                C::Temperature,
                                C::ReferenceTemperature,
                                C::PowerOnHours,
                                C::FindingCount,
                                C::Verdict,
                                C::Risk};

}  // namespace

std::span<const DiskColumnDef> disk_columns() { return kColumns; }
const DiskColumnDef& disk_column(DiskColumn c) { return kColumns[static_cast<size_t>(c)]; }
std::span<const DiskColumn> text_columns() { return kText; }
std::span<const DiskColumn> html_columns() { return kHtml; }

std::string text_cell(DiskColumn c, const Disk& d) {
    const DiskColumnDef& def = disk_column(c);
    if (def.text_cell) return def.text_cell(d);
    const ColumnValue v = def.value(d);
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return shown(std::get<std::optional<int64_t>>(v), kMissingText, def.unit);
}

std::vector<const Finding*> by_weight(const Findings& findings) {
    std::vector<const Finding*> out;
    out.reserve(findings.size());
    for (auto& f : findings) out.push_back(&f);
    std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->severity > b->severity; });
    return out;
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

std::string run_summary(const RunFacts& r) {
    std::string s = r.program.empty() ? "the program" : r.program;
    if (!r.version.empty()) s += " " + r.version;
    if (r.width) s += " (" + std::to_string(*r.width) + "-bit)";
    s += ", arguments:";
    if (r.arguments.empty()) s += " none";
    for (auto& a : r.arguments) s += " " + a;
    s += ", exit status " + (r.exit_status ? std::to_string(*r.exit_status) : std::string("unknown"));
    if (r.time_limit_exceeded) s += " (stopped at its time limit)";
    if (!r.start.empty()) s += ", " + r.start + " to " + (r.end.empty() ? std::string("?") : r.end);
    return s;
}

}  // namespace rpt
