// Log pages decoded from a table of pages and parameters by one generic
// reader of fields, which the ATA tables share. Pages and parameters that
// the table does not know are listed with their code, control bits and raw
// bytes.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "finding.h"
#include "helpers.h"

namespace rpt {

// How the bytes of a parameter (after its 4-byte header) are read.
enum class Layout : uint8_t {
    Counter,  // one big-endian unsigned counter of 1..8 bytes
    Ascii,    // printable text
    Fields,   // fixed fields at fixed offsets
    PhyPort,  // SAS port: fields, then one descriptor per phy
    Raw,      // not decoded
};

// How a field's value is shown to people.
enum class Format : uint8_t {
    Dec,            // decimal
    Hex,            // 0x and hexadecimal digits (sense codes)
    Word,           // an enumeration: the word of the table, "reserved [0x..]" else
    Address,        // a SAS address: 16 hexadecimal digits
    Lba,            // a logical block address in hexadecimal; all ones means none
    Percent,        // a fraction of 65536, shown as a percentage
    Celsius,        // unsigned degrees; FFh means not available
    SignedCelsius,  // two's complement degrees; 80h means not available
};

// A field: `len` bytes at `offset` of the parameter's data (big-endian for
// SCSI, little-endian for ATA), then shifted right by `shift` and masked to
// `bits` bits (0: all).
struct Field {
    const char* key;
    const char* name;
    uint16_t offset;
    uint8_t len;
    uint8_t shift = 0;
    uint8_t bits = 0;
    Format format = Format::Dec;
    std::span<const char* const> words = {};
};

struct ParamDef {
    uint16_t first, last;  // parameter codes covered
    const char* name;
    Layout layout;
    std::span<const Field> fields = {};
    int value_field = -1;          // the field that gives the parameter's value
    uint64_t none = ~uint64_t{0};  // a value that means "not available"
};

struct PageDef {
    uint8_t page;
    uint8_t subpage;
    const char* name;
    std::span<const ParamDef> params;
    bool page_list = false;  // the parameter area lists page codes (page 00, subpage 00 or FF)
};

struct FieldValue {
    const Field* def;
    uint64_t value;
};
using FieldValues = std::vector<FieldValue>;

// The name of a page or a parameter: a table's is pointed at, not copied
// (a fleet's disks decode millions of them, most named by a table); one
// made for what no table names is owned.
struct TableName {
    const char* table = nullptr;
    std::string made;
    std::string_view text() const { return table ? std::string_view(table) : std::string_view(made); }
};

// A parameter's data bytes. Most are a counter's few bytes, kept in place
// (a fleet's disks decode millions of parameters); longer ones go to the
// heap.
class ParamBytes {
public:
    ParamBytes() = default;
    template <class It>
    void assign(It first, It last) {
        size_ = static_cast<size_t>(std::distance(first, last));
        if (size_ <= kInPlace) {
            std::copy(first, last, in_place_.begin());
            heap_.clear();
        } else {
            heap_.assign(first, last);
        }
    }
    const uint8_t* data() const { return size_ <= kInPlace ? in_place_.data() : heap_.data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + size_; }
    uint8_t operator[](size_t i) const { return data()[i]; }
    operator std::span<const uint8_t>() const { return {data(), size_}; }

private:
    static constexpr size_t kInPlace = 16;
    std::array<uint8_t, kInPlace> in_place_{};
    std::vector<uint8_t> heap_;
    size_t size_ = 0;
};

struct Param {
    uint16_t code = 0;
    uint8_t control = 0;
    TableName named;
    std::string_view name() const { return named.text(); }
    std::optional<uint64_t> value;
    FieldValues fields;
    std::vector<FieldValues> phys;  // SAS port parameters: one per phy
    std::string text;               // ASCII parameters
    ParamBytes raw;                 // the parameter's data bytes
};

struct Page {
    uint8_t page = 0, subpage = 0;
    TableName named;
    std::string_view name() const { return named.text(); }
    bool known = false;
    std::vector<Param> params;
    Findings findings;  // structure problems inside the page
};

Page decode_page(std::span<const uint8_t> bytes);

// SCSI data is big-endian, ATA data little-endian.
enum class ByteOrder : uint8_t { Big, Little };

// Reads the fields that lie wholly inside `data`; fields past its end are
// left out (older drives send shorter parameters).
FieldValues read_fields(std::span<const Field> fields, std::span<const uint8_t> data, ByteOrder order = ByteOrder::Big);
const PageDef* find_page(uint8_t page, uint8_t subpage);
std::string page_name(uint8_t page, uint8_t subpage);
void name_page(Page& p);  // by page_name, pointing at the table's name where it has one

// A field's value as people read it (see Format); "" for a value that means
// none (an LBA of all ones, a temperature not available).
std::string field_text(const Field& f, uint64_t v);

// A key of a table whose rows have a `key` (fields, statistics), checked
// against that table when the program is compiled: a misspelt key does not
// compile, where a string would silently find nothing.
template <class Row>
struct TableKey {
    const Row* row = nullptr;
    template <size_t N>
    consteval TableKey(const Row (&table)[N], std::string_view name) {
        for (auto& r : table)
            if (name == r.key) {
                row = &r;
                return;
            }
        throw "the key is not one of its table";  // no constant: does not compile
    }
};
using FieldKey = TableKey<Field>;

// The value of the field, or nothing.
std::optional<uint64_t> field(const FieldValues& fv, FieldKey key);

// The word of an enumeration, or "reserved [0x..]".
std::string word(std::span<const char* const> words, uint64_t v);

}  // namespace rpt
