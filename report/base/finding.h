// Findings: what the report says about a disk, a host or a reading problem.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rpt {

// In rising order of weight. UNKNOWN says that the health of a disk could
// not be judged: it weighs more than INFO and less than a WARN.
enum class Severity : uint8_t { Info, Unknown, Warn, Fail };

// A finding is about the disk's health, about how well it was collected
// and read (cut files, failed commands, damaged blocks), or comes from the
// RAID controller's own view (its logs: arrays, drive states, events).
enum class Kind : uint8_t { Health, Collection, Controller };

inline const char* severity_name(Severity s) {
    switch (s) {
    case Severity::Fail: return "FAIL";
    case Severity::Warn: return "WARN";
    case Severity::Unknown: return "UNKNOWN";
    case Severity::Info: break;
    }
    return "INFO";
}

inline const char* kind_name(Kind k) {
    switch (k) {
    case Kind::Health: return "health";
    case Kind::Controller: return "controller";
    case Kind::Collection: break;
    }
    return "collection";
}

// The verdict of a disk: its worst finding, INFO counting as OK.
inline const char* verdict_name(Severity s) { return s == Severity::Info ? "OK" : severity_name(s); }

// A finding's code, kind and weight: its row of the rules catalogue (rules.h).
enum class Rule : uint8_t;

struct Finding {
    Severity severity = Severity::Info;
    Rule rule{};
    std::string text;                         // one sentence for people
    std::string page;                         // where the value comes from ("15h", "0dh/01h", "ATA SMART"), "" for none
    std::optional<uint64_t> parameter;        // parameter code, attribute id, phy, ...
    std::optional<int64_t> value, threshold;  // the value judged and the limit it reached
    std::optional<unsigned> target;           // a controller's finding about one drive: the drive's target
    std::optional<unsigned> controller;       // a controller's finding: the controller's index

    const char* code() const;  // the stable identifier, e.g. "page-length"
    Kind kind() const;
};

using Findings = std::vector<Finding>;

inline Severity worst(const Findings& f) {
    Severity s = Severity::Info;
    for (auto& x : f)
        if (x.severity > s) s = x.severity;
    return s;
}

}  // namespace rpt
