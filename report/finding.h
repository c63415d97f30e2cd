// Findings: what the report says about a disk, a host or a reading problem.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

enum class Severity : uint8_t { Info, Warn, Fail };

inline const char* severity_name(Severity s) {
    return s == Severity::Fail ? "FAIL" : s == Severity::Warn ? "WARN" : "INFO";
}

struct Finding {
    Severity severity;
    std::string code;  // stable identifier, e.g. "page-length"
    std::string text;  // one sentence for people
};

using Findings = std::vector<Finding>;

// The verdict of a list of findings: the worst severity, INFO counting as OK.
inline Severity worst(const Findings& f) {
    Severity s = Severity::Info;
    for (auto& x : f)
        if (x.severity > s) s = x.severity;
    return s;
}

inline const char* verdict_name(Severity s) { return s == Severity::Info ? "OK" : severity_name(s); }

// Big-endian unsigned value of 1..8 bytes, read exactly.
inline uint64_t be_value(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
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

}  // namespace rpt
