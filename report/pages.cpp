#include "pages.h"

#include <cstdio>

namespace rpt {
namespace {

// Error counter pages (write 02, read 03, verify 05) share one layout.
constexpr ParamDef kErrorCounters[] = {
    {0x0000, 0x0000, "Errors corrected without substantial delay", Layout::Counter},
    {0x0001, 0x0001, "Errors corrected with possible delays", Layout::Counter},
    {0x0002, 0x0002, "Total rewrites or rereads", Layout::Counter},
    {0x0003, 0x0003, "Total errors corrected", Layout::Counter},
    {0x0004, 0x0004, "Total times correction algorithm processed", Layout::Counter},
    {0x0005, 0x0005, "Total bytes processed", Layout::Counter},
    {0x0006, 0x0006, "Total uncorrected errors", Layout::Counter},
};

constexpr ParamDef kNonMedium[] = {{0x0000, 0x0000, "Non-medium error count", Layout::Counter}};

constexpr Field kTemperature[] = {{"celsius", "Degrees Celsius", 1, 1}};
constexpr ParamDef kTemperaturePage[] = {
    {0x0000, 0x0000, "Temperature", Layout::Fields, kTemperature, 0, 0xff},
    {0x0001, 0x0001, "Reference temperature", Layout::Fields, kTemperature, 0, 0xff},
};

constexpr ParamDef kStartStop[] = {
    {0x0001, 0x0001, "Date of manufacture", Layout::Ascii},
    {0x0002, 0x0002, "Accounting date", Layout::Ascii},
    {0x0003, 0x0003, "Specified cycle count over device lifetime", Layout::Counter},
    {0x0004, 0x0004, "Accumulated start-stop cycles", Layout::Counter},
    {0x0005, 0x0005, "Specified load-unload count over device lifetime", Layout::Counter},
    {0x0006, 0x0006, "Accumulated load-unload cycles", Layout::Counter},
};

constexpr Field kSelfTest[] = {
    {"code", "Self-test code", 0, 1, 5, 3},
    {"result", "Self-test result", 0, 1, 0, 4},
    {"number", "Self-test number", 1, 1},
    {"power_on_hours", "Accumulated power-on hours", 2, 2},
    {"first_failure", "Address of first failure", 4, 8},
    {"sense_key", "Sense key", 12, 1, 0, 4},
    {"asc", "Additional sense code", 13, 1},
    {"ascq", "Additional sense code qualifier", 14, 1},
};
constexpr ParamDef kSelfTestPage[] = {{0x0001, 0x0014, "Self-test result", Layout::Fields, kSelfTest}};

constexpr Field kScanStatus[] = {
    {"power_on_minutes", "Accumulated power-on minutes", 0, 4},
    {"status", "Background scan status", 5, 1},
    {"scans", "Number of background scans performed", 6, 2},
    {"progress", "Background scan progress", 8, 2},
    {"medium_scans", "Number of background medium scans performed", 10, 2},
};
constexpr Field kScanEntry[] = {
    {"power_on_minutes", "Accumulated power-on minutes", 0, 4},
    {"reassign_status", "Reassign status", 4, 1, 4, 4},
    {"sense_key", "Sense key", 4, 1, 0, 4},
    {"asc", "Additional sense code", 5, 1},
    {"ascq", "Additional sense code qualifier", 6, 1},
    {"lba", "Logical block address", 12, 8},
};
constexpr ParamDef kScanPage[] = {
    {0x0000, 0x0000, "Background scan status", Layout::Fields, kScanStatus},
    {0x0001, 0x0800, "Background scan result", Layout::Fields, kScanEntry},
};

// SAS port parameters: the parameter code is the relative target port.
constexpr Field kPort[] = {
    {"protocol", "Protocol identifier", 0, 1, 0, 4},
    {"generation", "Generation code", 2, 1},
    {"phys", "Number of phys", 3, 1},
};
constexpr Field kPhy[] = {
    {"phy", "Phy identifier", 1, 1},
    {"attached_device_type", "Attached device type", 4, 1, 4, 3},
    {"attached_reason", "Attached reason", 4, 1, 0, 4},
    {"reason", "Reason", 5, 1, 4, 4},
    {"link_rate", "Negotiated logical link rate", 5, 1, 0, 4},
    {"sas_address", "SAS address", 8, 8},
    {"attached_sas_address", "Attached SAS address", 16, 8},
    {"attached_phy", "Attached phy identifier", 24, 1},
    {"invalid_dword", "Invalid dword count", 32, 4},
    {"disparity", "Running disparity error count", 36, 4},
    {"loss_of_sync", "Loss of dword synchronization count", 40, 4},
    {"reset_problem", "Phy reset problem count", 44, 4},
};
constexpr ParamDef kPortPage[] = {{0x0000, 0xffff, "SAS port", Layout::PhyPort, kPort}};

constexpr Field kStatistics[] = {
    {"read_commands", "Number of read commands", 0, 8},
    {"write_commands", "Number of write commands", 8, 8},
    {"blocks_received", "Number of logical blocks received", 16, 8},
    {"blocks_transmitted", "Number of logical blocks transmitted", 24, 8},
    {"read_intervals", "Read command processing intervals", 32, 8},
    {"write_intervals", "Write command processing intervals", 40, 8},
    {"weighted_commands", "Weighted number of read commands plus write commands", 48, 8},
    {"weighted_intervals", "Weighted read command processing plus write command processing", 56, 8},
};
constexpr Field kInterval[] = {
    {"exponent", "Time interval negative exponent", 0, 4},
    {"integer", "Time interval integer", 4, 4},
};
constexpr Field kFua[] = {
    {"fua_reads", "Number of read FUA commands", 0, 8},
    {"fua_writes", "Number of write FUA commands", 8, 8},
    {"fua_nv_reads", "Number of read FUA_NV commands", 16, 8},
    {"fua_nv_writes", "Number of write FUA_NV commands", 24, 8},
    {"fua_read_intervals", "Read FUA command processing intervals", 32, 8},
    {"fua_write_intervals", "Write FUA command processing intervals", 40, 8},
    {"fua_nv_read_intervals", "Read FUA_NV command processing intervals", 48, 8},
    {"fua_nv_write_intervals", "Write FUA_NV command processing intervals", 56, 8},
};
constexpr ParamDef kStatisticsPage[] = {
    {0x0001, 0x0001, "General access statistics and performance", Layout::Fields, kStatistics},
    {0x0002, 0x0002, "Idle time", Layout::Counter},
    {0x0003, 0x0003, "Time interval", Layout::Fields, kInterval},
    {0x0004, 0x0004, "Force unit access statistics and performance", Layout::Fields, kFua},
};

constexpr ParamDef kPowerTransitions[] = {
    {0x0001, 0x0001, "Accumulated transitions to active", Layout::Counter},
    {0x0002, 0x0002, "Accumulated transitions to idle_a", Layout::Counter},
    {0x0003, 0x0003, "Accumulated transitions to idle_b", Layout::Counter},
    {0x0004, 0x0004, "Accumulated transitions to idle_c", Layout::Counter},
    {0x0008, 0x0008, "Accumulated transitions to standby_z", Layout::Counter},
    {0x0009, 0x0009, "Accumulated transitions to standby_y", Layout::Counter},
};

constexpr Field kException[] = {
    {"asc", "Informational exception additional sense code", 0, 1},
    {"ascq", "Informational exception additional sense code qualifier", 1, 1},
    {"temperature", "Most recent temperature reading", 2, 1},
};
constexpr ParamDef kExceptionPage[] = {
    {0x0000, 0x0000, "Informational exception", Layout::Fields, kException},
};

constexpr PageDef kPages[] = {
    {0x00, 0x00, "Supported log pages", {}, true},
    {0x02, 0x00, "Write error counters", kErrorCounters},
    {0x03, 0x00, "Read error counters", kErrorCounters},
    {0x05, 0x00, "Verify error counters", kErrorCounters},
    {0x06, 0x00, "Non-medium error", kNonMedium},
    {0x0d, 0x00, "Temperature", kTemperaturePage},
    {0x0e, 0x00, "Start-stop cycle counter", kStartStop},
    {0x10, 0x00, "Self-test results", kSelfTestPage},
    {0x15, 0x00, "Background scan results", kScanPage},
    {0x18, 0x00, "Protocol specific port", kPortPage},
    {0x19, 0x00, "General statistics and performance", kStatisticsPage},
    {0x1a, 0x00, "Power condition transitions", kPowerTransitions},
    {0x2f, 0x00, "Informational exceptions", kExceptionPage},
};

const ParamDef* find_param(const PageDef* page, uint16_t code) {
    if (!page) return nullptr;
    for (auto& p : page->params)
        if (code >= p.first && code <= p.last) return &p;
    return nullptr;
}

// Reads the fields that lie wholly inside `data`; fields past its end are
// left out (older drives send shorter parameters).
FieldValues read_fields(std::span<const Field> fields, std::span<const uint8_t> data) {
    FieldValues out;
    for (auto& f : fields) {
        if (size_t{f.offset} + f.len > data.size()) continue;
        uint64_t v = be_value(data.data() + f.offset, f.len) >> f.shift;
        if (f.bits) v &= (uint64_t{1} << f.bits) - 1;
        out.emplace_back(f.key, v);
    }
    return out;
}

void decode_param(const ParamDef* def, Param& p, Findings& findings) {
    switch (def->layout) {
    case Layout::Counter:
        if (p.raw.size() >= 1 && p.raw.size() <= 8) {
            p.value = be_value(p.raw.data(), p.raw.size());
        } else {
            char b[96];
            snprintf(b, sizeof b, "counter %04x has %zu bytes, not 1 to 8", p.code, p.raw.size());
            findings.push_back({Severity::Warn, "param-width", b});
        }
        break;
    case Layout::Ascii:
        for (uint8_t c : p.raw) p.text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
        break;
    case Layout::Fields:
        p.fields = read_fields(def->fields, p.raw);
        if (def->value_field >= 0) {
            const char* key = def->fields[static_cast<size_t>(def->value_field)].key;
            for (auto& [k, v] : p.fields)
                if (k == key && v != def->none) p.value = v;
        }
        break;
    case Layout::PhyPort: {
        p.fields = read_fields(def->fields, p.raw);
        size_t off = 4;
        while (off + 4 <= p.raw.size()) {
            size_t len = size_t{p.raw[off + 3]} + 4;
            if (off + len > p.raw.size()) {
                char b[96];
                snprintf(b, sizeof b, "port %04x: a phy descriptor runs past the parameter's end", p.code);
                findings.push_back({Severity::Warn, "param-length", b});
                break;
            }
            p.phys.push_back(read_fields(kPhy, std::span(p.raw).subspan(off, len)));
            off += len;
        }
        break;
    }
    case Layout::Raw:
        break;
    }
}

}  // namespace

std::span<const Field> phy_fields() { return kPhy; }

const PageDef* find_page(uint8_t page, uint8_t subpage) {
    for (auto& p : kPages)
        if (p.page == page && p.subpage == subpage) return &p;
    return nullptr;
}

std::string page_name(uint8_t page, uint8_t subpage) {
    if (auto* d = find_page(page, subpage)) return d->name;
    char b[48];
    if (page >= 0x30 && page <= 0x3e)
        snprintf(b, sizeof b, "Vendor specific page %02x", page);
    else
        snprintf(b, sizeof b, "Page %02x", page);
    return b;
}

Page decode_page(std::span<const uint8_t> bytes) {
    Page out;
    if (bytes.size() < 4) {
        out.findings.push_back({Severity::Warn, "page-length", "page shorter than its 4-byte header"});
        return out;
    }
    out.page = bytes[0] & 0x3f;
    // The subpage byte counts only when the SPF bit says the page has one.
    out.subpage = (bytes[0] & 0x40) ? bytes[1] : 0;
    const PageDef* def = find_page(out.page, out.subpage);
    out.known = def != nullptr;
    out.name = page_name(out.page, out.subpage);
    size_t end = (size_t{bytes[2]} << 8 | bytes[3]) + 4;
    if (end > bytes.size()) end = bytes.size();

    if (def && def->page_list) {
        for (size_t i = 4; i < end; ++i) {
            Param p;
            p.code = bytes[i];
            p.name = page_name(bytes[i] & 0x3f, 0);
            p.raw = {bytes[i]};
            out.params.push_back(std::move(p));
        }
        return out;
    }
    size_t off = 4;
    while (off < end) {
        if (off + 4 > end) {
            out.findings.push_back({Severity::Warn, "param-length", "page ends inside a parameter header"});
            break;
        }
        Param p;
        p.code = static_cast<uint16_t>(bytes[off] << 8 | bytes[off + 1]);
        p.control = bytes[off + 2];
        size_t len = bytes[off + 3];
        const size_t data = off + 4;
        bool truncated = false;
        if (data + len > end) {
            char b[96];
            snprintf(b, sizeof b, "parameter %04x claims %zu bytes, %zu are left in the page", p.code, len, end - data);
            out.findings.push_back({Severity::Warn, "param-length", b});
            len = end - data;
            truncated = true;
        }
        p.raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(data),
                     bytes.begin() + static_cast<std::ptrdiff_t>(data + len));
        const ParamDef* pd = find_param(def, p.code);
        if (pd) {
            p.name = pd->name;
            // A cut parameter is listed raw: its value is not to be trusted.
            if (!truncated) decode_param(pd, p, out.findings);
        } else {
            char b[48];
            snprintf(b, sizeof b, "Parameter %04x", p.code);
            p.name = b;
        }
        out.params.push_back(std::move(p));
        off = data + len;
    }
    return out;
}

}  // namespace rpt
