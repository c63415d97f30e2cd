// SATA blocks decoded from tables: where each field lies, in how many bytes
// (little-endian, words low byte first), and the strings in byte-swapped
// words. Nothing here judges; the names are those of the drives' data.
#include <algorithm>
#include <array>
#include <map>

#include "ata_decode.h"
#include "ata_fields.h"
#include "drivedb.h"
#include "rules.h"

namespace rpt {
namespace {

constexpr uint16_t word(unsigned w) { return static_cast<uint16_t>(2 * w); }

// IDENTIFY DEVICE, by word.
constexpr Field kIdentify[] = {
    {"sectors_28", "Total number of user addressable sectors (28-bit)", word(60), 4},
    {"major_version", "Major version number", word(80), 2},
    {"supported_82", "Commands and feature sets supported (SMART: bit 0)", word(82), 2},
    {"supported_83", "Commands and feature sets supported (48-bit addresses: bit 10)", word(83), 2},
    {"supported_84", "Commands and feature sets supported (SMART error log: bit 0, self-test: 1, GPL: 5)", word(84), 2},
    {"enabled_85", "Commands and feature sets enabled (SMART: bit 0)", word(85), 2},
    {"enabled_87", "Commands and feature sets default (GPL: bit 5)", word(87), 2},
    {"sectors_48", "Number of user addressable logical sectors (48-bit)", word(100), 8},
    {"sector_size", "Physical and logical sector size (logical size given: bit 12)", word(106), 2},
    {"logical_sector_words", "Logical sector size in words", word(117), 4},
    {"rotation_rate", "Nominal media rotation rate (1: solid state)", word(217), 2},
    {"signature", "Integrity word signature (A5h: the checksum is valid)", word(255), 1},
};

// The strings of IDENTIFY DEVICE, in byte-swapped words.
struct TextField {
    const char* key;
    uint16_t offset;
    uint8_t len;
};
constexpr TextField kSerial{"serial", word(10), 20}, kFirmware{"firmware", word(23), 8}, kModel{"model", word(27), 40};

// Entries that repeat: `count` of `size` bytes from byte `first`.
struct Entries {
    uint16_t first, size, count;
    const uint8_t* at(const uint8_t* sector, size_t i) const { return sector + first + size * i; }
};

// SMART READ DATA: the attribute entries, then the drive's state.
constexpr Entries kAttributeEntries{2, 12, 30};
constexpr Field kAttribute[] = {
    {"id", "Attribute ID", 0, 1},        {"flags", "Flags (pre-failure: bit 0)", 1, 2},
    {"value", "Normalized value", 3, 1}, {"worst", "Worst value", 4, 1},
    {"raw", "Raw value", 5, 6},          {"reserved", "Reserved", 11, 1},
};
constexpr Field kSmartData[] = {
    {"revision", "Data structure revision", 0, 2},
    {"offline_status", "Off-line data collection status", 362, 1},
    {"self_test_status", "Self-test execution status", 363, 1, 4, 4},
    {"self_test_remaining", "Self-test percent remaining, in tens", 363, 1, 0, 4},
    {"offline_seconds", "Total time to complete off-line data collection, seconds", 364, 2},
    {"offline_capability", "Off-line data collection capability", 367, 1},
    {"smart_capability", "SMART capability", 368, 2},
    {"error_logging", "Error logging capability", 370, 1},
    {"short_test_minutes", "Short self-test polling time, minutes", 372, 1},
    {"extended_test_minutes", "Extended self-test polling time, minutes", 373, 1},
};

// SMART READ THRESHOLDS: entries of the same size, by attribute ID.
constexpr Field kThreshold[] = {{"id", "Attribute ID", 0, 1}, {"threshold", "Attribute threshold", 1, 1}};

// A self-test log: its entries in each sector, the index of the newest
// (counted from 1, 0 for none) in its first sector, and the width of an
// entry's failing LBA (the one field the two logs lay out apart).
struct SelfTestLog {
    Field index;
    Entries entries;
    Field lba;
};
constexpr SelfTestLog kSmartSelfTestLog{
    {"index", "Self-test index", 508, 1}, {2, 24, 21}, {"lba", "Failing LBA", 5, 4, 0, 0, Format::Lba}};
constexpr SelfTestLog kExtSelfTestLog{
    {"index", "Self-test descriptor index", 2, 2}, {4, 26, 19}, {"lba", "Failing LBA", 5, 6, 0, 0, Format::Lba}};

// The count of errors of the SMART summary error log (01h) and of the
// extended comprehensive error log (03h); the GPL directory's page count of
// the extended self-test log (07h).
constexpr Field kSummaryErrorCount{"error_count", "Error count", 452, 2};
constexpr Field kExtErrorCount{"device_error_count", "Device error count", 500, 2};
constexpr Field kExtSelfTestPages{"pages_07", "Number of log pages at log address 07h", word(0x07), 2};

// Device statistics: a page's number in its header, then one 8-byte
// statistic per row of kStatistics, its flags in the top bits.
constexpr Field kStatisticsPage{"page", "Page number", 2, 1};
constexpr Field kStatistic[] = {
    {"supported", "Device statistic supported", 0, 8, 63, 1},
    {"valid", "Valid value", 0, 8, 62, 1},
    {"value", "Value", 0, 8, 0, 48},
};

// SATA phy event counters (log 11h): after a 4-byte header, counters of an
// identifier word (its length in words in bits 12 to 14) and a value.
constexpr uint16_t kPhyEventsFirst = 4, kPhyEventsEnd = 510;
constexpr Field kPhyEvent[] = {{"id", "Phy event counter identifier", 0, 2, 0, 12},
                               {"words", "Length of the value, in words", 0, 2, 12, 3}};

struct Named {
    uint16_t id;
    const char* name;
};

// Attribute names of the IDs that drives agree on; any other id keeps its
// number (its meaning is the maker's).
constexpr Named kAttributeNames[] = {
    {1, "Raw_Read_Error_Rate"},
    {2, "Throughput_Performance"},
    {3, "Spin_Up_Time"},
    {4, "Start_Stop_Count"},
    {5, "Reallocated_Sector_Ct"},
    {7, "Seek_Error_Rate"},
    {8, "Seek_Time_Performance"},
    {9, "Power_On_Hours"},
    {10, "Spin_Retry_Count"},
    {11, "Calibration_Retry_Count"},
    {12, "Power_Cycle_Count"},
    {13, "Read_Soft_Error_Rate"},
    {183, "Runtime_Bad_Block"},
    {184, "End-to-End_Error"},
    {187, "Reported_Uncorrect"},
    {188, "Command_Timeout"},
    {189, "High_Fly_Writes"},
    {190, "Airflow_Temperature_Cel"},
    {191, "G-Sense_Error_Rate"},
    {192, "Power-Off_Retract_Count"},
    {193, "Load_Cycle_Count"},
    {194, "Temperature_Celsius"},
    {195, "Hardware_ECC_Recovered"},
    {196, "Reallocated_Event_Count"},
    {197, "Current_Pending_Sector"},
    {198, "Offline_Uncorrectable"},
    {199, "UDMA_CRC_Error_Count"},
    {200, "Multi_Zone_Error_Rate"},
    {220, "Disk_Shift"},
    {222, "Loaded_Hours"},
    {223, "Load_Retry_Count"},
    {224, "Load_Friction"},
    {226, "Load-in_Time"},
    {240, "Head_Flying_Hours"},
    {241, "Total_LBAs_Written"},
    {242, "Total_LBAs_Read"},
    {254, "Free_Fall_Sensor"},
};

constexpr Named kPhyEvents[] = {
    {0x001, "Command failed and ICRC error bit set to one in Error register"},
    {0x002, "R_ERR response for data FIS"},
    {0x003, "R_ERR response for device-to-host data FIS"},
    {0x004, "R_ERR response for host-to-device data FIS"},
    {0x005, "R_ERR response for non-data FIS"},
    {0x006, "R_ERR response for device-to-host non-data FIS"},
    {0x007, "R_ERR response for host-to-device non-data FIS"},
    {0x008, "Device-to-host non-data FIS retries"},
    {0x009, "Transitions from drive PHYRDY to drive PHYRDYn"},
    {0x00a, "Signature device-to-host register FISes sent due to a COMRESET"},
    {0x00b, "CRC errors within a host-to-device FIS"},
    {0x00d, "Non-CRC errors within a host-to-device FIS"},
    {0x00f, "R_ERR response for host-to-device data FIS due to CRC errors"},
    {0x010, "R_ERR response for host-to-device data FIS due to non-CRC errors"},
    {0x012, "R_ERR response for host-to-device non-data FIS due to CRC errors"},
    {0x013, "R_ERR response for host-to-device non-data FIS due to non-CRC errors"},
};

// A self-test status code (log entry, SMART data byte 363).
constexpr const char* kSelfTestStatuses[] = {"completed without error",
                                             "aborted by the host",
                                             "interrupted by a host reset",
                                             "fatal or unknown error: could not complete",
                                             "completed with an unknown failing element",
                                             "failed in its electrical element",
                                             "failed in its servo or seek element",
                                             "failed in its read element",
                                             "failed: handling damage",
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             "in progress"};

constexpr const char* kMajorVersions[] = {nullptr,       nullptr,       nullptr,       nullptr,    "ATA/ATAPI-4",
                                          "ATA/ATAPI-5", "ATA/ATAPI-6", "ATA/ATAPI-7", "ATA8-ACS", "ACS-2",
                                          "ACS-3",       "ACS-4",       "ACS-5"};

constexpr size_t kSector = 512;

std::string name_of(std::span<const Named> names, uint16_t id, const std::string& otherwise) {
    for (auto& n : names)
        if (n.id == id) return n.name;
    return otherwise;
}

// One field of `data` (a sector, or an entry of it); 0 past its end.
uint64_t value(std::span<const uint8_t> data, const Field& f) {
    const FieldValues v = read_fields({&f, 1}, data, ByteOrder::Little);
    return v.empty() ? 0 : v[0].value;
}
std::span<const uint8_t> sector(const uint8_t* p) { return {p, kSector}; }
uint64_t value(const FieldValues& fv, FieldKey key) { return field(fv, key).value_or(0); }
std::string text(const uint8_t* p, const TextField& f) { return ata_string(p + f.offset, f.len); }

// A block that can be decoded: read whole and of its size.
const Block* usable(const DriveLog& log, BlockKind kind, uint8_t page = 0, uint16_t log_page = 0) {
    const Block* b = log.find(kind, page, log_page);
    return b && !b->damaged && !b->unread && b->bytes.size() >= kSector ? b : nullptr;
}

// Sectors of a general-purpose log by page number, from all its blocks.
std::map<uint16_t, const uint8_t*> gpl_pages(const DriveLog& log, uint8_t address) {
    std::map<uint16_t, const uint8_t*> out;
    for (auto& b : log.blocks)
        if (b.kind == BlockKind::AtaGplLog && b.page == address && !b.damaged)
            for (size_t i = 0; i + kSector <= b.bytes.size(); i += kSector)
                out.emplace(static_cast<uint16_t>(b.log_page + i / kSector), &b.bytes[i]);
    return out;
}

class Decoder {
public:
    explicit Decoder(const DriveLog& log) : log_(log) {}

    AtaInfo run() {
        identify();
        attributes();
        self_test_log();
        statistics();
        phy_events();
        smart_status();
        error_count();
        return std::move(a_);
    }

private:
    void checksum(const std::string& what, const uint8_t* p) {
        uint8_t sum = 0;
        for (size_t i = 0; i < kSector; ++i) sum = static_cast<uint8_t>(sum + p[i]);
        if (sum)
            a_.findings.push_back(
                finding(Rule::AtaChecksum, what + ": the checksum does not match (the values are used)"));
    }

    void identify() {
        const Block* b = usable(log_, BlockKind::AtaIdentify);
        const std::string& code = log_.device_code;
        if (!b) {  // the identity lines alone: model (40) and firmware (8)
            const std::string_view c = code;
            a_.model = trim(c.substr(0, 40));
            a_.firmware = c.size() > 40 ? trim(c.substr(40, 8)) : "";
            a_.serial = trim(log_.serial);
            return;
        }
        const uint8_t* id = b->bytes.data();
        const FieldValues& f = a_.identify = read_fields(kIdentify, b->bytes, ByteOrder::Little);
        if (value(f, {kIdentify, "signature"}) == 0xa5) checksum("IDENTIFY DEVICE", id);
        a_.serial = text(id, kSerial);
        a_.firmware = text(id, kFirmware);
        a_.model = text(id, kModel);
        // A word of feature bits counts when its top bits are 01b.
        auto valid = [&](FieldKey key) { return (value(f, key) & 0xc000) == 0x4000; };
        a_.sectors = valid({kIdentify, "supported_83"}) && (value(f, {kIdentify, "supported_83"}) & 0x0400)
                         ? value(f, {kIdentify, "sectors_48"})
                         : value(f, {kIdentify, "sectors_28"});
        if (valid({kIdentify, "sector_size"}) && (value(f, {kIdentify, "sector_size"}) & 0x1000))
            a_.logical_sector_size = static_cast<unsigned>(value(f, {kIdentify, "logical_sector_words"})) * 2;
        if (auto rpm = value(f, {kIdentify, "rotation_rate"})) a_.rotation_rate = static_cast<unsigned>(rpm);
        const uint64_t major = value(f, {kIdentify, "major_version"});
        if (major && major != 0xffff)
            for (size_t bit = std::size(kMajorVersions); bit-- > 0;)
                if ((major >> bit & 1) && kMajorVersions[bit]) {
                    a_.ata_version = kMajorVersions[bit];
                    break;
                }
        a_.gpl = (valid({kIdentify, "supported_84"}) && (value(f, {kIdentify, "supported_84"}) & 0x20)) ||
                 (valid({kIdentify, "enabled_87"}) && (value(f, {kIdentify, "enabled_87"}) & 0x20));
        a_.smart_supported = valid({kIdentify, "supported_83"}) && (value(f, {kIdentify, "supported_82"}) & 1);
        a_.smart_enabled = valid({kIdentify, "supported_83"}) && (value(f, {kIdentify, "enabled_85"}) & 1);
        // The identity lines must name the drive IDENTIFY describes. IDENTIFY
        // pads a short serial number with leading blanks, and the collector
        // writes it as it came: compare without the padding.
        if (!trim(code).starts_with(a_.model) || !trim(log_.serial).starts_with(a_.serial))
            a_.findings.push_back(finding(Rule::IdentityMismatch));
    }

    void attributes() {
        const Block* data = usable(log_, BlockKind::AtaSmartData);
        const Block* thr = usable(log_, BlockKind::AtaSmartThresholds);
        if (!data) return;
        a_.smart_data_read = true;
        checksum("SMART READ DATA", data->bytes.data());
        if (thr) checksum("SMART READ THRESHOLDS", thr->bytes.data());
        a_.smart_data = read_fields(kSmartData, data->bytes, ByteOrder::Little);
        a_.self_test_status = static_cast<unsigned>(value(a_.smart_data, {kSmartData, "self_test_status"}));
        a_.self_test_remaining = static_cast<unsigned>(value(a_.smart_data, {kSmartData, "self_test_remaining"})) * 10u;
        // The thresholds by attribute ID (the last entry of an ID counts).
        std::array<std::optional<uint8_t>, 256> thresholds{};
        for (size_t k = 0; thr && k < kAttributeEntries.count; ++k) {
            const auto t = read_fields(kThreshold, {kAttributeEntries.at(thr->bytes.data(), k), 2}, ByteOrder::Little);
            thresholds[value(t, {kThreshold, "id"})] = static_cast<uint8_t>(value(t, {kThreshold, "threshold"}));
        }
        for (size_t i = 0; i < kAttributeEntries.count; ++i) {
            const uint8_t* e = kAttributeEntries.at(data->bytes.data(), i);
            const FieldValues f = read_fields(kAttribute, {e, kAttributeEntries.size}, ByteOrder::Little);
            AtaAttribute at;
            at.id = static_cast<uint8_t>(value(f, {kAttribute, "id"}));
            if (!at.id) continue;
            std::copy(e, e + at.entry.size(), at.entry.begin());
            at.flags = static_cast<uint16_t>(value(f, {kAttribute, "flags"}));
            at.prefailure = at.flags & 1;
            at.value = static_cast<uint8_t>(value(f, {kAttribute, "value"}));
            at.worst = static_cast<uint8_t>(value(f, {kAttribute, "worst"}));
            at.raw = value(f, {kAttribute, "raw"});
            at.name = name_of(kAttributeNames, at.id, std::to_string(at.id));
            at.threshold = thresholds[at.id];
            if (at.threshold && *at.threshold) {
                if (at.value <= *at.threshold)
                    at.failing = "now";
                else if (at.worst <= *at.threshold)
                    at.failing = "past";
            }
            a_.attributes.push_back(std::move(at));
        }
    }

    // Newest first, from the extended self-test log when there is one, else
    // from the SMART self-test log. An entry of zeros ends the log.
    void self_test_log() {
        auto ext = gpl_pages(log_, 0x07);
        auto add = [&](const SelfTestLog& l, const uint8_t* e) {
            if (!e[0] && !e[1] && !e[2] && !e[3]) return false;
            FieldValues f = read_fields(kAtaSelfTest, {e, l.entries.size}, ByteOrder::Little);
            f.push_back({&l.lba, value({e, l.entries.size}, l.lba)});
            a_.self_test_log.push_back(std::move(f));
            return true;
        };
        if (auto first = ext.find(0); first != ext.end()) {
            a_.self_test_log_read = true;
            const SelfTestLog& l = kExtSelfTestLog;
            size_t pages = ext.rbegin()->first + 1u;
            if (const Block* dir = usable(log_, BlockKind::AtaGplLog, 0x00, 0))
                pages = std::max<size_t>(pages, value(dir->bytes, kExtSelfTestPages));
            const size_t slots = pages * l.entries.count, index = value(sector(first->second), l.index);
            for (size_t k = 0; index && index <= slots && k < slots; ++k) {
                const size_t n = (index - 1 + slots - k) % slots;
                auto page = ext.find(static_cast<uint16_t>(n / l.entries.count));
                if (page == ext.end() || !add(l, l.entries.at(page->second, n % l.entries.count))) break;
            }
        } else if (const Block* b = usable(log_, BlockKind::AtaSmartLog, 0x06)) {
            const SelfTestLog& l = kSmartSelfTestLog;
            a_.self_test_log_read = true;
            checksum("SMART self-test log", b->bytes.data());
            const size_t slots = l.entries.count, index = value(b->bytes, l.index);
            for (size_t k = 0; index && index <= slots && k < slots; ++k)
                if (!add(l, l.entries.at(b->bytes.data(), (index - 1 + slots - k) % slots))) break;
        }
    }

    void statistics() {
        for (auto& [page, p] : gpl_pages(log_, 0x04)) {
            // The list of pages, or a sector that is not the page it should be.
            if (page == 0 || value(sector(p), kStatisticsPage) != page) continue;
            for (auto& s : kAtaStatistics) {
                if (s.page != page) continue;
                const FieldValues f = read_fields(kStatistic, {p + s.offset, 8}, ByteOrder::Little);
                if (!value(f, {kStatistic, "supported"})) continue;
                const uint64_t v = value(f, {kStatistic, "value"});
                a_.statistics.push_back(
                    {s.page, s.offset, s.key, s.name,
                     s.is_signed ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<int8_t>(v & 0xff))) : v,
                     value(f, {kStatistic, "valid"}) != 0});
            }
        }
    }

    void phy_events() {
        auto pages = gpl_pages(log_, 0x11);
        auto p = pages.find(0);
        if (p == pages.end()) return;
        checksum("SATA phy event counters", p->second);
        for (size_t o = kPhyEventsFirst; o + 2 <= kPhyEventsEnd;) {
            const FieldValues f = read_fields(kPhyEvent, {p->second + o, 2}, ByteOrder::Little);
            const size_t len = 2 * value(f, {kPhyEvent, "words"});
            if (!len || o + 2 + len > kPhyEventsEnd) break;
            AtaPhyEvent e;
            e.id = static_cast<uint16_t>(value(f, {kPhyEvent, "id"}));
            e.value = le_value(p->second + o + 2, len);
            e.name = name_of(kPhyEvents, e.id, "Phy event " + hex(e.id, 3));
            a_.phy_events.push_back(std::move(e));
            o += 2 + len;
        }
    }

    void smart_status() {
        const Block* s = log_.find(BlockKind::AtaSmartStatus);
        if (!s || s->damaged || s->text.empty()) return;
        if (s->text.starts_with("passed"))
            a_.smart_passed = true;
        else if (s->text.starts_with("threshold exceeded"))
            a_.smart_passed = false;
        else
            a_.findings.push_back(
                finding(Rule::AtaSmartStatus, "SMART RETURN STATUS gave no known answer: " + s->text));
    }

    void error_count() {
        if (auto p = gpl_pages(log_, 0x03); p.count(0)) {
            checksum("extended comprehensive error log", p[0]);
            a_.errors_logged = value(sector(p[0]), kExtErrorCount);
        } else if (const Block* e = usable(log_, BlockKind::AtaSmartLog, 0x01)) {
            checksum("SMART summary error log", e->bytes.data());
            a_.errors_logged = value(e->bytes, kSummaryErrorCount);
        }
    }

    const DriveLog& log_;
    AtaInfo a_;
};

}  // namespace

// Each attribute's raw value read by the format that the drive database
// (or, without one, the built-in defaults) names for this model and
// firmware; the database's name for it where it gives one.
void apply_drivedb(AtaInfo& a, const DriveDb* db) {
    static const DriveDb builtin = DriveDb::builtin();
    const DriveDb& use = db ? *db : builtin;
    if (!use.source.empty() && use.error.empty()) a.database = use.source;
    if (!use.error.empty()) a.database_note = "the drive database could not be read: " + use.error;
    if (!use.skipped.empty())
        a.database_note = std::to_string(use.skipped.size()) + " entries of the drive database skipped, the first (" +
                          use.skipped.front().family + ", line " + std::to_string(use.skipped.front().line) +
                          "): " + use.skipped.front().reason;
    const DriveSettings& s = use.lookup(a.model, a.firmware);
    if (s.entry) {
        a.family = s.family;
        // One line: the database breaks its warnings where its source does.
        a.database_warning = trim(s.warning);
        std::replace(a.database_warning.begin(), a.database_warning.end(), '\n', ' ');
    }
    for (auto& x : a.attributes) {
        const AttributeFormat& f = s.attributes[x.id];
        const AttributeValue v = decode_attribute(x.entry, f);
        if (!f.name.empty()) x.name = f.name;
        x.format = f.spelling.empty() ? format_name(f.format) : f.spelling;
        x.raw_text = v.text;
        x.raw_value = v.value;
        x.unit = v.unit;
    }
}

AtaInfo decode_ata(const DriveLog& log, const DriveDb* db) {
    AtaInfo a = Decoder(log).run();
    apply_drivedb(a, db);
    return a;
}

std::string self_test_status_text(unsigned code) { return word(kSelfTestStatuses, code); }

const AtaStatistic* statistic(const AtaInfo& a, StatisticKey key) {
    for (auto& s : a.statistics)
        if (s.key == key.row->key && s.valid) return &s;
    return nullptr;
}

const AtaAttribute* attribute(const AtaInfo& a, uint8_t id) {
    for (auto& x : a.attributes)
        if (x.id == id) return &x;
    return nullptr;
}

}  // namespace rpt
