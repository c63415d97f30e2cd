// Findings: what the report says about a disk, a host or a reading problem.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

// In rising order of weight. UNKNOWN says that the health of a disk could
// not be judged: it weighs more than INFO and less than a WARN.
enum class Severity : uint8_t { Info, Unknown, Warn, Fail };

// A finding is about the disk's health, or about how well it was collected
// and read (cut files, failed commands, damaged blocks).
enum class Kind : uint8_t { Health, Collection };

inline const char* severity_name(Severity s) {
    switch (s) {
    case Severity::Fail: return "FAIL";
    case Severity::Warn: return "WARN";
    case Severity::Unknown: return "UNKNOWN";
    case Severity::Info: break;
    }
    return "INFO";
}

inline const char* kind_name(Kind k) { return k == Kind::Health ? "health" : "collection"; }

// The verdict of a disk: its worst finding, INFO counting as OK.
inline const char* verdict_name(Severity s) { return s == Severity::Info ? "OK" : severity_name(s); }

struct Finding {
    Severity severity = Severity::Info;
    Kind kind = Kind::Collection;
    std::string code;                         // stable identifier, e.g. "page-length"
    std::string text;                         // one sentence for people
    std::string page;                         // where the value comes from ("15h", "0dh/01h", "ATA SMART"), "" for none
    std::optional<uint64_t> parameter;        // parameter code, attribute id, phy, ...
    std::optional<int64_t> value, threshold;  // the value judged and the limit it reached
};

using Findings = std::vector<Finding>;

inline Finding collection(Severity s, std::string code, std::string text) {
    return {s, Kind::Collection, std::move(code), std::move(text), {}, {}, {}, {}};
}

inline Finding health(Severity s, std::string code, std::string text) {
    return {s, Kind::Health, std::move(code), std::move(text), {}, {}, {}, {}};
}

inline Severity worst(const Findings& f) {
    Severity s = Severity::Info;
    for (auto& x : f)
        if (x.severity > s) s = x.severity;
    return s;
}

// Big-endian unsigned value of 1..8 bytes, read exactly.
inline uint64_t be_value(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// Little-endian unsigned value of 1..8 bytes (ATA data).
inline uint64_t le_value(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

inline std::string hex_bytes(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

// A number in lower-case hexadecimal with at least `digits` digits.
std::string hex(uint64_t v, int digits = 2);

// A SCSI log page as findings name it: "15h", "15h/01h".
std::string page_ref(uint8_t page, uint8_t subpage = 0);

// Without blanks (and zero bytes) at either end.
std::string trim(std::string_view s);

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8_length(std::string_view s, size_t i);

}  // namespace rpt
