#include "pages.h"

#include <cstdio>

#include "rules.h"
#include "scsi_fields.h"

namespace rpt {
namespace {

// Error counter pages (write 02, read 03, verify 05) share one layout.
// Error counter pages (write 02, read 03, read reverse 04, verify 05)
// share one layout.
constexpr ParamDef kErrorCounters[] = {
    {0x0000, 0x0000, "Errors corrected without substantial delay", Layout::Counter},
    {0x0001, 0x0001, "Errors corrected with possible delays", Layout::Counter},
    {0x0002, 0x0002, "Total rewrites or rereads", Layout::Counter},
    {0x0003, 0x0003, "Total errors corrected", Layout::Counter},
    {0x0004, 0x0004, "Total times correction algorithm processed", Layout::Counter},
    {0x0005, 0x0005, "Total bytes processed", Layout::Counter},
    {0x0006, 0x0006, "Total uncorrected errors", Layout::Counter},
};

constexpr ParamDef kBufferOverrun[] = {{0x0000, 0xffff, "Buffer over-run/under-run counter", Layout::Counter}};

constexpr ParamDef kNonMedium[] = {{0x0000, 0x0000, "Non-medium error count", Layout::Counter}};

constexpr ParamDef kEvents[] = {{0x0000, 0xffff, "Event", Layout::Raw}};

constexpr ParamDef kFormatStatus[] = {
    {0x0000, 0x0000, "Format data out", Layout::Raw},
    {0x0001, 0x0001, "Grown defects during certification", Layout::Counter},
    {0x0002, 0x0002, "Total blocks reassigned during format", Layout::Counter},
    {0x0003, 0x0003, "Total new blocks reassigned", Layout::Counter},
    {0x0004, 0x0004, "Power on minutes since format", Layout::Counter},
};

constexpr Field kResourceCount[] = {{"count", "Resource count", 0, 4}};
constexpr ParamDef kProvisioning[] = {
    {0x0001, 0x0001, "Available LBA mapping threshold resource count", Layout::Fields, kResourceCount, 0},
    {0x0002, 0x0002, "Used LBA mapping threshold resource count", Layout::Fields, kResourceCount, 0},
    {0x0100, 0x0100, "De-duplicated LBA resource count", Layout::Fields, kResourceCount, 0},
    {0x0101, 0x0101, "Compressed LBA resource count", Layout::Fields, kResourceCount, 0},
    {0x0102, 0x0102, "Total efficiency LBA resource count", Layout::Fields, kResourceCount, 0},
};

constexpr Field kTemperature[] = {{"celsius", "Degrees Celsius", 1, 1, 0, 0, Format::Celsius}};
constexpr ParamDef kTemperaturePage[] = {
    {0x0000, 0x0000, "Temperature", Layout::Fields, kTemperature, 0, 0xff},
    {0x0001, 0x0001, "Reference temperature", Layout::Fields, kTemperature, 0, 0xff},
};

constexpr Field kTemperatureReport[] = {
    {"temperature", "Temperature", 1, 1, 0, 0, Format::SignedCelsius},
    {"lifetime_max", "Lifetime maximum temperature", 2, 1, 0, 0, Format::SignedCelsius},
    {"lifetime_min", "Lifetime minimum temperature", 3, 1, 0, 0, Format::SignedCelsius},
    {"power_on_max", "Maximum temperature since power on", 4, 1, 0, 0, Format::SignedCelsius},
    {"power_on_min", "Minimum temperature since power on", 5, 1, 0, 0, Format::SignedCelsius},
};
constexpr Field kHumidityReport[] = {
    {"humidity", "Relative humidity", 1, 1},
    {"lifetime_max", "Lifetime maximum relative humidity", 2, 1},
    {"lifetime_min", "Lifetime minimum relative humidity", 3, 1},
    {"power_on_max", "Maximum relative humidity since power on", 4, 1},
    {"power_on_min", "Minimum relative humidity since power on", 5, 1},
};
constexpr ParamDef kEnvironment[] = {
    {0x0000, 0x00ff, "Temperature report", Layout::Fields, kTemperatureReport, 0, 0x80},
    {0x0100, 0x01ff, "Relative humidity report", Layout::Fields, kHumidityReport, 0},
};
constexpr Field kTemperatureLimits[] = {
    {"high_critical_trigger", "High critical temperature limit trigger", 0, 1, 0, 0, Format::SignedCelsius},
    {"high_critical_reset", "High critical temperature limit reset", 1, 1, 0, 0, Format::SignedCelsius},
    {"low_critical_reset", "Low critical temperature limit reset", 2, 1, 0, 0, Format::SignedCelsius},
    {"low_critical_trigger", "Low critical temperature limit trigger", 3, 1, 0, 0, Format::SignedCelsius},
    {"high_operating_trigger", "High operating temperature limit trigger", 4, 1, 0, 0, Format::SignedCelsius},
    {"high_operating_reset", "High operating temperature limit reset", 5, 1, 0, 0, Format::SignedCelsius},
    {"low_operating_reset", "Low operating temperature limit reset", 6, 1, 0, 0, Format::SignedCelsius},
    {"low_operating_trigger", "Low operating temperature limit trigger", 7, 1, 0, 0, Format::SignedCelsius},
};
constexpr ParamDef kEnvironmentLimits[] = {
    {0x0000, 0x00ff, "Temperature limits", Layout::Fields, kTemperatureLimits},
    {0x0100, 0x01ff, "Relative humidity limits", Layout::Raw},
};

constexpr ParamDef kStartStop[] = {
    {0x0001, 0x0001, "Date of manufacture", Layout::Ascii},
    {0x0002, 0x0002, "Accounting date", Layout::Ascii},
    {0x0003, 0x0003, "Specified cycle count over device lifetime", Layout::Counter},
    {0x0004, 0x0004, "Accumulated start-stop cycles", Layout::Counter},
    {0x0005, 0x0005, "Specified load-unload count over device lifetime", Layout::Counter},
    {0x0006, 0x0006, "Accumulated load-unload cycles", Layout::Counter},
};

// Workload utilization counts in hundredths of a percent.
constexpr Field kUsageRate[] = {{"rate", "Utilization usage rate based on date and time", 0, 1}};
constexpr ParamDef kUtilization[] = {
    {0x0000, 0x0000, "Workload utilization", Layout::Counter},
    {0x0001, 0x0001, "Utilization usage rate based on date and time", Layout::Fields, kUsageRate, 0},
};

constexpr ParamDef kSelfTestPage[] = {{0x0001, 0x0014, "Self-test result", Layout::Fields, kSelfTestResult}};

constexpr Field kEndurance[] = {{"percentage_used", "Percentage used endurance indicator", 3, 1}};
constexpr ParamDef kSolidState[] = {
    {0x0001, 0x0001, "Percentage used endurance indicator", Layout::Fields, kEndurance, 0},
};

constexpr ParamDef kScanPage[] = {
    {0x0000, 0x0000, "Background scan status", Layout::Fields, kScanStatus},
    {0x0001, 0x0800, "Background scan result", Layout::Fields, kScanEntry},
};

constexpr ParamDef kPendingDefects[] = {
    {0x0000, 0x0000, "Pending defect count", Layout::Counter},
    {0x0001, 0xf000, "Pending defect", Layout::Fields, kPendingDefect},
};

constexpr ParamDef kBackgroundOperation[] = {{0x0000, 0x0000, "Background operation", Layout::Raw}};

// SAS port parameters: the parameter code is the relative target port.
constexpr Field kPort[] = {
    {"protocol", "Protocol identifier", 0, 1, 0, 4},
    {"generation", "Generation code", 2, 1},
    {"phys", "Number of phys", 3, 1},
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

constexpr ParamDef kExceptionPage[] = {
    {0x0000, 0x0000, "Informational exception", Layout::Fields, kException},
};

constexpr ParamDef kRaw[] = {{0x0000, 0xffff, "Parameter", Layout::Raw}};

// The pages of the standards for direct-access block devices, by code and
// subpage. Subpage FFh of any page lists that page's subpages.
constexpr PageDef kPages[] = {
    {0x00, 0x00, "Supported log pages", {}, true},
    {0x00, 0xff, "Supported log pages and subpages", {}, true},
    {0x01, 0x00, "Buffer over-run/under-run", kBufferOverrun},
    {0x02, 0x00, "Write error counters", kErrorCounters},
    {0x03, 0x00, "Read error counters", kErrorCounters},
    {0x04, 0x00, "Read reverse error counters", kErrorCounters},
    {0x05, 0x00, "Verify error counters", kErrorCounters},
    {0x06, 0x00, "Non-medium error", kNonMedium},
    {0x07, 0x00, "Last n error events", kEvents},
    {0x08, 0x00, "Format status", kFormatStatus},
    {0x0b, 0x00, "Last n deferred errors or asynchronous events", kEvents},
    {0x0c, 0x00, "Logical block provisioning", kProvisioning},
    {0x0d, 0x00, "Temperature", kTemperaturePage},
    {0x0d, 0x01, "Environmental reporting", kEnvironment},
    {0x0d, 0x02, "Environmental limits", kEnvironmentLimits},
    {0x0e, 0x00, "Start-stop cycle counter", kStartStop},
    {0x0e, 0x01, "Utilization", kUtilization},
    {0x0f, 0x00, "Application client", kRaw},
    {0x10, 0x00, "Self-test results", kSelfTestPage},
    {0x11, 0x00, "Solid state media", kSolidState},
    {0x15, 0x00, "Background scan results", kScanPage},
    {0x15, 0x01, "Pending defects", kPendingDefects},
    {0x15, 0x02, "Background operation", kBackgroundOperation},
    {0x16, 0x00, "ATA pass-through results", kRaw},
    {0x17, 0x00, "Non-volatile cache", kRaw},
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

void decode_param(const ParamDef* def, Param& p, Findings& findings) {
    switch (def->layout) {
    case Layout::Counter:
        if (p.raw.size() >= 1 && p.raw.size() <= 8) {
            p.value = be_value(p.raw.data(), p.raw.size());
        } else {
            char b[96];
            snprintf(b, sizeof b, "counter %04x has %zu bytes, not 1 to 8", p.code, p.raw.size());
            findings.push_back(finding(Rule::ParamWidth, b));
        }
        break;
    case Layout::Ascii:
        for (uint8_t c : p.raw) p.text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
        break;
    case Layout::Fields:
        p.fields = read_fields(def->fields, p.raw);
        if (def->value_field >= 0) {
            const Field* vf = &def->fields[static_cast<size_t>(def->value_field)];
            for (auto& f : p.fields)
                if (f.def == vf && f.value != def->none) p.value = f.value;
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
                findings.push_back(finding(Rule::ParamLength, b));
                break;
            }
            p.phys.push_back(read_fields(kPhy, std::span<const uint8_t>(p.raw).subspan(off, len)));
            off += len;
        }
        break;
    }
    case Layout::Raw: break;
    }
}

}  // namespace

FieldValues read_fields(std::span<const Field> fields, std::span<const uint8_t> data, ByteOrder order) {
    FieldValues out;
    out.reserve(fields.size());  // once: a fleet decodes millions of parameters
    for (auto& f : fields) {
        if (size_t{f.offset} + f.len > data.size()) continue;
        const uint8_t* p = data.data() + f.offset;
        uint64_t v = (order == ByteOrder::Big ? be_value(p, f.len) : le_value(p, f.len)) >> f.shift;
        if (f.bits) v &= (uint64_t{1} << f.bits) - 1;
        out.push_back({&f, v});
    }
    return out;
}

std::optional<uint64_t> field(const FieldValues& fv, FieldKey key) {
    for (auto& f : fv)
        if (f.def == key.row) return f.value;
    return std::nullopt;
}

std::string word(std::span<const char* const> words, uint64_t v) {
    if (v < words.size() && words[v]) return words[v];
    return "reserved [0x" + hex(v, 1) + "]";
}

std::string field_text(const Field& f, uint64_t v) {
    char b[48];
    switch (f.format) {
    case Format::Dec: return std::to_string(v);
    case Format::Hex: return "0x" + hex(v, 2);
    case Format::Word: return word(f.words, v);
    case Format::Address: return hex(v, 16);
    case Format::Lba:
        if (f.len < 8 ? v == (uint64_t{1} << (8 * f.len)) - 1 : v == ~uint64_t{0}) return "";
        return "0x" + hex(v, 1);
    case Format::Percent: snprintf(b, sizeof b, "%.2f %%", static_cast<double>(v) * 100.0 / 65536.0); return b;
    case Format::Celsius: return v == 0xff ? "" : std::to_string(v) + " C";
    case Format::SignedCelsius:
        return v == 0x80 ? "" : std::to_string(static_cast<int8_t>(static_cast<uint8_t>(v))) + " C";
    }
    return std::to_string(v);
}

const PageDef* find_page(uint8_t page, uint8_t subpage) {
    for (auto& p : kPages)
        if (p.page == page && p.subpage == subpage) return &p;
    return nullptr;
}

std::string page_name(uint8_t page, uint8_t subpage) {
    if (auto* d = find_page(page, subpage)) return d->name;
    if (subpage == 0xff) return page_name(page, 0) + ": supported subpages";
    std::string name = page >= 0x30 && page <= 0x3e ? "Vendor specific page " + hex(page) : "Page " + hex(page);
    return subpage ? name + ", subpage " + hex(subpage) : name;
}

void name_page(Page& p) {
    if (auto* d = find_page(p.page, p.subpage))
        p.named.table = d->name;
    else
        p.named.made = page_name(p.page, p.subpage);
}

namespace {

// A list of supported pages: page codes, or page and subpage pairs when the
// list is of subpages, each as a parameter named by the page it lists.
void list_pages(Page& out, std::span<const uint8_t> bytes) {
    const size_t step = out.subpage == 0xff ? 2 : 1;
    for (size_t i = 4; i + step <= bytes.size(); i += step) {
        Param p;
        p.code = step == 2 ? static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]) : bytes[i];
        p.named.made = page_name(bytes[i] & 0x3f, step == 2 ? bytes[i + 1] : 0);
        p.raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                     bytes.begin() + static_cast<std::ptrdiff_t>(i + step));
        out.params.push_back(std::move(p));
    }
}

// The parameters the headers of a page announce (its room, made once).
size_t count_params(std::span<const uint8_t> page) {
    size_t n = 0;
    for (size_t off = 4; off + 4 <= page.size(); off += 4 + size_t{page[off + 3]}) ++n;
    return n;
}

}  // namespace

Page decode_page(std::span<const uint8_t> bytes) {
    Page out;
    if (bytes.size() < 4) {
        out.findings.push_back(finding(Rule::PageLength, "page shorter than its 4-byte header"));
        return out;
    }
    out.page = bytes[0] & 0x3f;
    // The subpage byte counts only when the SPF bit says the page has one.
    out.subpage = (bytes[0] & 0x40) ? bytes[1] : 0;
    const PageDef* def = find_page(out.page, out.subpage == 0xff ? 0 : out.subpage);
    if (out.subpage == 0xff) def = find_page(0, 0xff);  // any page's list of subpages
    out.known = def != nullptr;
    name_page(out);
    size_t end = (size_t{bytes[2]} << 8 | bytes[3]) + 4;
    if (end > bytes.size()) end = bytes.size();

    if (def && def->page_list) {
        list_pages(out, bytes.first(end));
        return out;
    }
    out.params.reserve(count_params(bytes.first(end)));
    size_t off = 4;
    while (off < end) {
        if (off + 4 > end) {
            out.findings.push_back(finding(Rule::ParamLength, "page ends inside a parameter header"));
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
            out.findings.push_back(finding(Rule::ParamLength, b));
            len = end - data;
            truncated = true;
        }
        p.raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(data),
                     bytes.begin() + static_cast<std::ptrdiff_t>(data + len));
        const ParamDef* pd = find_param(def, p.code);
        if (pd) {
            p.named.table = pd->name;
            // A cut parameter is listed raw: its value is not to be trusted.
            if (!truncated) decode_param(pd, p, out.findings);
        } else {
            p.named.made = "Parameter " + hex(p.code, 4);
        }
        out.params.push_back(std::move(p));
        off = data + len;
    }
    return out;
}

}  // namespace rpt
