// How a SMART attribute's raw value is read: the `-v ID,FORMAT[:BYTEORDER]
// [,NAME][,TYPE]` and `-F TYPE` options of a drive database's presets, and
// the decoding of one attribute entry by its format. The formats' meanings
// follow smartctl(8); the drive database names them per drive model.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rpt {

enum class RawFormat : uint8_t {
    Raw8,          // six bytes in decimal
    Raw16,         // three words in decimal
    Raw48,         // one 48-bit count
    Hex48,         // twelve hex digits
    Raw56,         // the raw bytes and the reserved byte as one count
    Hex56,         // the same in hex
    Raw64,         // with value and worst too
    Hex64,         // the same in hex
    Raw16Raw16,    // a count in the low word, two more words shown if set
    Raw16Avg16,    // spin-up time, with its average in the next word
    Raw24Raw8,     // a 24-bit count, three more bytes shown if set
    Raw24Raw24,    // two 24-bit counts (load and unload cycles)
    Raw24Raw32,    // a 24-bit error count of a 32-bit total
    Min2Hour,      // power-on minutes
    Sec2Hour,      // power-on seconds
    HalfMin2Hour,  // power-on half-minutes
    Msec24Hour32,  // power-on hours, with milliseconds since the last hour above them
    TempMinMax,    // temperature in the low byte, maybe with its extremes
    Temp10x,       // ten times the temperature
    Unknown,       // a format this reader does not know: nothing is read from the raw value
};

// What the numeric value of a decoded attribute counts.
enum class Unit : uint8_t { None, Count, Hours, Celsius };

// The kind of drive a preset is meant for (its fourth field).
enum class DriveKind : uint8_t { Any, Hdd, Ssd };

struct AttributeFormat {
    RawFormat format = RawFormat::Raw48;
    std::string byte_order;  // raw bytes as '0'..'5', 'r' reserved, 'v' value, 'w' worst, 'z' zero; "" the format's own
    std::string name;        // "" where no preset names the attribute
    DriveKind kind = DriveKind::Any;
    bool increasing = false;  // 197/198 "increasing": a total that reallocation does not reset
    std::string spelling;     // the format as the preset wrote it ("minutes", "raw24/raw32:04321")
};

// One `-v` option; id 0 stands for `N`, every attribute.
struct VendorAttribute {
    uint8_t id = 0;
    AttributeFormat format;
};

struct Presets {
    std::vector<VendorAttribute> attributes;  // in the order written
    std::vector<std::string> firmware_bugs;   // `-F` arguments: accepted, not applied
    std::vector<std::string> unknown;         // options not understood, as written
};

// Reads a presets string. An option it does not understand goes to
// `unknown`; a `-v` whose format is unknown still names its attribute, with
// RawFormat::Unknown, so the attribute is shown undecoded.
Presets parse_presets(std::string_view text);

struct AttributeValue {
    std::string text;               // the raw value as the format shows it
    std::optional<uint64_t> value;  // the number the format stands for, in `unit`; none for a mere pattern
    Unit unit = Unit::None;
};

// Decodes one 12-byte attribute entry of the SMART data (id, two flag bytes,
// value, worst, six raw bytes, reserved byte). A count format gives hours
// when the attribute's name says so (Power_On_Hours, Head_Flying_Hours).
AttributeValue decode_attribute(std::span<const uint8_t, 12> entry, const AttributeFormat& format);

const char* unit_name(Unit u);
const char* format_name(RawFormat f);

}  // namespace rpt
