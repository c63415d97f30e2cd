// Log pages decoded from a table of pages and parameters by one generic
// reader. Pages and parameters that the table does not know are listed with
// their code, control bits and raw bytes.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "finding.h"

namespace rpt {

// How the bytes of a parameter (after its 4-byte header) are read.
enum class Layout : uint8_t {
    Counter,   // one big-endian unsigned counter of 1..8 bytes
    Ascii,     // printable text
    Fields,    // fixed fields at fixed offsets
    PhyPort,   // SAS port: fields, then one descriptor per phy
    Raw,       // not decoded
};

// A field: `len` bytes big-endian at `offset` of the parameter's data, then
// shifted right by `shift` and masked to `bits` bits (0: all).
struct Field {
    const char* key;
    const char* name;
    uint16_t offset;
    uint8_t len;
    uint8_t shift = 0;
    uint8_t bits = 0;
};

struct ParamDef {
    uint16_t first, last;  // parameter codes covered
    const char* name;
    Layout layout;
    std::span<const Field> fields = {};
    int value_field = -1;  // the field that gives the parameter's value
    uint64_t none = ~uint64_t{0};  // a value that means "not available"
};

struct PageDef {
    uint8_t page;
    uint8_t subpage;
    const char* name;
    std::span<const ParamDef> params;
    bool page_list = false;  // the parameter area lists page codes (page 00)
};

using FieldValues = std::vector<std::pair<std::string, uint64_t>>;

struct Param {
    uint16_t code = 0;
    uint8_t control = 0;
    std::string name;
    std::optional<uint64_t> value;
    FieldValues fields;
    std::vector<FieldValues> phys;  // SAS port parameters: one per phy
    std::string text;               // ASCII parameters
    std::vector<uint8_t> raw;       // the parameter's data bytes
};

struct Page {
    uint8_t page = 0, subpage = 0;
    std::string name;
    bool known = false;
    std::vector<Param> params;
    Findings findings;  // structure problems inside the page
};

Page decode_page(std::span<const uint8_t> bytes);
const PageDef* find_page(uint8_t page, uint8_t subpage);
std::string page_name(uint8_t page, uint8_t subpage);

// The field names of a phy descriptor of the SAS port page.
std::span<const Field> phy_fields();

}  // namespace rpt
