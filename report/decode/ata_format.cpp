// Presets and raw-value formats of SMART attributes. The formats and the old
// names are those smartctl(8) documents under `-v`; the byte order selects
// the bytes of the 12-byte entry that make up the raw value, most
// significant first.
#include "ata_format.h"

#include <algorithm>
#include <cstdio>

namespace rpt {
namespace {

// The bytes a format reads when the preset names none: the six raw bytes;
// with the reserved byte for the formats of more than 48 bits (24 + 32
// bits too); with worst and value for the 64-bit ones.
struct FormatDef {
    const char* name;
    RawFormat format;
    const char* order;
    Unit unit;
    unsigned tick = 0;  // seconds a count stands for, for the clocks shown as hours, minutes (and seconds)
};
constexpr FormatDef kFormats[] = {
    {"raw8", RawFormat::Raw8, "543210", Unit::None},
    {"raw16", RawFormat::Raw16, "543210", Unit::None},
    {"raw48", RawFormat::Raw48, "543210", Unit::Count},
    {"hex48", RawFormat::Hex48, "543210", Unit::None},
    {"raw56", RawFormat::Raw56, "r543210", Unit::Count},
    {"hex56", RawFormat::Hex56, "r543210", Unit::None},
    {"raw64", RawFormat::Raw64, "543210wv", Unit::Count},
    {"hex64", RawFormat::Hex64, "543210wv", Unit::None},
    {"raw16(raw16)", RawFormat::Raw16Raw16, "543210", Unit::Count},
    {"raw16(avg16)", RawFormat::Raw16Avg16, "543210", Unit::Count},
    {"raw24(raw8)", RawFormat::Raw24Raw8, "543210", Unit::Count},
    {"raw24/raw24", RawFormat::Raw24Raw24, "543210", Unit::None},
    {"raw24/raw32", RawFormat::Raw24Raw32, "r543210", Unit::None},
    {"min2hour", RawFormat::Min2Hour, "543210", Unit::Hours, 60},
    {"sec2hour", RawFormat::Sec2Hour, "543210", Unit::Hours, 1},
    {"halfmin2hour", RawFormat::HalfMin2Hour, "543210", Unit::Hours, 30},
    {"msec24hour32", RawFormat::Msec24Hour32, "r543210", Unit::Hours},
    {"tempminmax", RawFormat::TempMinMax, "543210", Unit::Celsius},
    {"temp10x", RawFormat::Temp10x, "543210", Unit::Celsius},
};

// The old spellings, each valid for its attribute only: a format and the
// name it gives (none keeps the name the attribute has).
struct OldName {
    uint8_t id;
    const char* word;
    RawFormat format;
    const char* name;
    bool increasing = false;
};
constexpr OldName kOldNames[] = {
    {9, "minutes", RawFormat::Min2Hour, "Power_On_Minutes"},
    {9, "seconds", RawFormat::Sec2Hour, "Power_On_Seconds"},
    {9, "halfminutes", RawFormat::HalfMin2Hour, "Power_On_Half_Minutes"},
    {9, "temp", RawFormat::TempMinMax, "Temperature_Celsius"},
    {192, "emergencyretractcyclect", RawFormat::Raw48, "Emerg_Retract_Cycle_Ct"},
    {193, "loadunload", RawFormat::Raw24Raw24, nullptr},
    {194, "10xCelsius", RawFormat::Temp10x, "Temperature_Celsius_x10"},
    {194, "unknown", RawFormat::Raw48, "Unknown_Attribute"},
    {197, "increasing", RawFormat::Raw48, "Total_Pending_Sectors", true},
    {198, "increasing", RawFormat::Raw48, "Total_Offl_Uncorrectabl", true},
    {198, "offlinescanuncsectorct", RawFormat::Raw48, "Offline_Scan_UNC_SectCt"},
    {200, "writeerrorcount", RawFormat::Raw48, "Write_Error_Count"},
    {201, "detectedtacount", RawFormat::Raw48, "Detected_TA_Count"},
    {220, "temp", RawFormat::TempMinMax, "Temperature_Celsius"},
};

constexpr const char* kFirmwareBugs[] = {"none", "nologdir", "samsung", "samsung2", "samsung3", "xerrorlba", "swapid"};

const FormatDef& def_of(RawFormat f) {
    for (auto& d : kFormats)
        if (d.format == f) return d;
    static constexpr FormatDef kUnknown = {"unknown format", RawFormat::Unknown, "543210", Unit::None};
    return kUnknown;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> out;
    for (size_t start = 0;;) {
        const size_t end = s.find(sep, start);
        out.push_back(s.substr(start, end == s.npos ? s.npos : end - start));
        if (end == s.npos) return out;
        start = end + 1;
    }
}

std::optional<uint8_t> attribute_id(std::string_view s) {
    if (s == "N") return 0;
    if (s.empty() || s.size() > 3 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int id = std::stoi(std::string(s));
    if (id < 1 || id > 255) return std::nullopt;
    return static_cast<uint8_t>(id);
}

bool valid_order(std::string_view s) {
    return !s.empty() && s.size() <= 8 && s.find_first_not_of("012345rvwz") == s.npos;
}

bool valid_name(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

// FORMAT[:BYTEORDER][,NAME][,TYPE] of attribute `id`; false where a part
// is not one.
bool read_format(uint8_t id, const std::vector<std::string_view>& parts, AttributeFormat& f) {
    if (parts.size() < 2 || parts.size() > 4) return false;
    const size_t colon = parts[1].find(':');
    const std::string_view word = parts[1].substr(0, colon);
    for (auto& d : kFormats)
        if (word == d.name) f.format = d.format;
    if (colon != std::string_view::npos) {
        if (f.format == RawFormat::Unknown || !valid_order(parts[1].substr(colon + 1))) return false;
        f.byte_order = std::string(parts[1].substr(colon + 1));
    }
    if (f.format == RawFormat::Unknown && colon == std::string_view::npos)
        for (auto& o : kOldNames)
            if (o.id == id && word == o.word) {
                f.format = o.format;
                f.name = o.name ? o.name : "";
                f.increasing = o.increasing;
            }
    if (parts.size() > 2 && !parts[2].empty()) {
        if (!valid_name(parts[2])) return false;
        f.name = std::string(parts[2]);
    }
    if (parts.size() > 3) {
        if (parts[3] != "HDD" && parts[3] != "SSD") return false;
        f.kind = parts[3] == "HDD" ? DriveKind::Hdd : DriveKind::Ssd;
    }
    return true;
}

// `ID,FORMAT[:BYTEORDER][,NAME][,TYPE]`; none where even the id is not
// one. Whatever else is wrong leaves the attribute undecoded rather than
// read by its earlier format.
std::optional<VendorAttribute> parse_vendor_attribute(std::string_view arg) {
    const auto parts = split(arg, ',');
    const auto id = attribute_id(parts[0]);
    if (!id) return std::nullopt;
    VendorAttribute a{*id, {}};
    a.format.format = RawFormat::Unknown;
    if (parts.size() > 1) a.format.spelling = std::string(parts[1]);
    if (!read_format(*id, parts, a.format))
        a.format = {RawFormat::Unknown, "", "", DriveKind::Any, false, a.format.spelling};
    return a;
}

// The raw value as the byte order reads it from the entry.
uint64_t assemble(std::span<const uint8_t, 12> e, std::string_view order) {
    uint64_t v = 0;
    for (char c : order) {
        uint8_t b = 0;
        if (c >= '0' && c <= '5')
            b = e[5 + static_cast<size_t>(c - '0')];
        else if (c == 'r')
            b = e[11];
        else if (c == 'v')
            b = e[3];
        else if (c == 'w')
            b = e[4];
        v = (v << 8) | b;
    }
    return v;
}

std::string num(uint64_t v) { return std::to_string(v); }

// A count and what the other bytes show beside it.
void count(AttributeValue& out, uint64_t n, const std::string& beside) {
    out.value = n;
    out.text = num(n) + beside;
}

std::string printed(const char* f, unsigned long long a, unsigned long long b, unsigned long long c = 0,
                    unsigned long long d = 0) {
    char s[96];
    snprintf(s, sizeof s, f, a, b, c, d);
    return s;
}

// `count` fields of `bits` bits each, most significant first.
std::string fields(uint64_t v, size_t count, unsigned bits) {
    std::string s;
    for (size_t i = count; i-- > 0;) {
        if (!s.empty()) s += ' ';
        s += num((v >> (bits * i)) & ((1ull << bits) - 1));
    }
    return s;
}

// The temperature in the low byte; the bytes above it may hold the lowest
// and highest temperatures seen, as two words or as two bytes. Where they
// do not bracket the current one they are shown as they are.
std::string temperature_text(uint64_t v, size_t bytes, int t) {
    const uint64_t rest = v >> 8;
    if (rest == 0) return std::to_string(t);
    const uint64_t w1 = (v >> 16) & 0xffff, w2 = (v >> 32) & 0xffff;
    const uint64_t b2 = (v >> 16) & 0xff, b3 = (v >> 24) & 0xff;
    const bool low_byte_alone = ((v >> 8) & 0xff) == 0;
    auto bracket = [&](uint64_t a, uint64_t b) {
        const uint64_t lo = std::min(a, b), hi = std::max(a, b);
        return t >= 0 && lo <= static_cast<uint64_t>(t) && static_cast<uint64_t>(t) <= hi
                   ? std::to_string(t) + " (Min/Max " + num(lo) + "/" + num(hi) + ")"
                   : std::string();
    };
    std::string s;
    if (low_byte_alone && v >> 48 == 0 && w1 <= 0xff && w2 <= 0xff) s = bracket(w1, w2);
    if (s.empty() && low_byte_alone && v >> 32 == 0) s = bracket(b2, b3);
    if (s.empty()) s = std::to_string(t) + " (" + fields(rest, bytes - 1, 8) + ")";
    return s;
}

}  // namespace

Presets parse_presets(std::string_view text) {
    Presets p;
    std::vector<std::string_view> words;
    for (size_t i = 0; i < text.size();) {
        const size_t start = text.find_first_not_of(" \t\r\n", i);
        if (start == text.npos) break;
        const size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        words.push_back(text.substr(start, end - start));
        i = end;
    }
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string_view w = words[i];
        std::string_view opt = w, arg;
        std::string written(w);
        if (w == "-v" || w == "-F") {
            if (i + 1 == words.size()) {
                p.unknown.push_back(written);
                continue;
            }
            arg = words[++i];
            written += ' ';
            written += arg;
        } else if (w.starts_with("--vendorattribute=") || w.starts_with("--firmwarebug=")) {
            opt = w[2] == 'v' ? "-v" : "-F";
            arg = w.substr(w.find('=') + 1);
        } else if (w.size() > 2 && (w.starts_with("-v") || w.starts_with("-F"))) {
            opt = w.substr(0, 2);
            arg = w.substr(2);
        }
        std::optional<VendorAttribute> a;
        if (opt == "-v" && (a = parse_vendor_attribute(arg))) {
            if (a->format.format == RawFormat::Unknown) p.unknown.push_back(written);
            p.attributes.push_back(std::move(*a));
        } else if (opt == "-F" &&
                   std::find(std::begin(kFirmwareBugs), std::end(kFirmwareBugs), arg) != std::end(kFirmwareBugs)) {
            p.firmware_bugs.emplace_back(arg);
        } else {
            // An option not understood takes the word after it along, as its
            // argument, unless that is an option too.
            const bool other_option = w.starts_with("-") && opt != "-v" && opt != "-F";
            if (other_option && i + 1 < words.size() && !words[i + 1].starts_with("-")) {
                written += ' ';
                written += words[++i];
            }
            p.unknown.push_back(written);
        }
    }
    return p;
}

namespace {

// A power-on time: whole hours its value, the rest in its text. `tick`:
// the seconds one count of the raw value stands for.
void hours(AttributeValue& out, uint64_t v, RawFormat format, unsigned tick) {
    if (format == RawFormat::Msec24Hour32) {
        const uint64_t ms = (v >> 32) & 0xffffff;
        out.value = v & 0xffffffff;
        out.text = printed("%lluh+%02llum+%02llu.%03llus", *out.value, ms / 60000, ms / 1000 % 60, ms % 1000);
        return;
    }
    const uint64_t per_hour = 3600 / tick, rest = v % per_hour * tick;  // seconds past the hour
    out.value = v / per_hour;
    out.text = printed("%lluh+%02llum", *out.value, rest / 60) + (tick == 1 ? printed("+%02llus", rest % 60, 0) : "");
}

}  // namespace

AttributeValue decode_attribute(std::span<const uint8_t, 12> e, const AttributeFormat& f) {
    const FormatDef& d = def_of(f.format);
    const std::string_view order = f.byte_order.empty() ? std::string_view(d.order) : f.byte_order;
    const uint64_t v = assemble(e, order);
    const size_t bytes = order.size();
    AttributeValue out;
    out.unit = d.unit;
    switch (f.format) {
    case RawFormat::Raw8: out.text = fields(v, bytes, 8); break;
    case RawFormat::Raw16: out.text = fields(v, (bytes + 1) / 2, 16); break;
    case RawFormat::Raw48:
    case RawFormat::Raw56:
    case RawFormat::Raw64:
        out.value = v;
        out.text = num(v);
        break;
    case RawFormat::Hex48:
    case RawFormat::Hex56:
    case RawFormat::Hex64:
    case RawFormat::Unknown: {
        char s[24];
        snprintf(s, sizeof s, "0x%0*llx", static_cast<int>(bytes * 2), static_cast<unsigned long long>(v));
        out.text = s;
        break;
    }
    case RawFormat::Raw16Raw16: count(out, v & 0xffff, v >> 16 ? " (" + fields(v >> 16, 2, 16) + ")" : ""); break;
    case RawFormat::Raw16Avg16:
        count(out, v & 0xffff, (v >> 16) & 0xffff ? " (Average " + num((v >> 16) & 0xffff) + ")" : "");
        break;
    case RawFormat::Raw24Raw8: count(out, v & 0xffffff, v >> 24 ? " (" + fields(v >> 24, 3, 8) + ")" : ""); break;
    case RawFormat::Raw24Raw24: out.text = num((v >> 24) & 0xffffff) + "/" + num(v & 0xffffff); break;
    case RawFormat::Raw24Raw32: out.text = num((v >> 32) & 0xffffff) + "/" + num(v & 0xffffffff); break;
    case RawFormat::Min2Hour:
    case RawFormat::Sec2Hour:
    case RawFormat::HalfMin2Hour:
    case RawFormat::Msec24Hour32: hours(out, v, f.format, d.tick); break;
    case RawFormat::TempMinMax: {
        const int t = static_cast<int8_t>(v & 0xff);
        if (t >= 0) out.value = static_cast<uint64_t>(t);
        out.text = temperature_text(v, bytes, t);
        break;
    }
    case RawFormat::Temp10x:
        out.value = v / 10;
        out.text = printed("%llu.%llu", v / 10, v % 10);
        break;
    }
    if (!out.value) out.unit = Unit::None;
    if (out.unit == Unit::Count && f.name.ends_with("_Hours")) out.unit = Unit::Hours;
    return out;
}

const char* unit_name(Unit u) {
    switch (u) {
    case Unit::Count: return "count";
    case Unit::Hours: return "hours";
    case Unit::Celsius: return "celsius";
    case Unit::None: break;
    }
    return "none";
}

const char* format_name(RawFormat f) { return def_of(f).name; }

}  // namespace rpt
