// SATA drives: their blocks (IDENTIFY DEVICE, SMART data and thresholds,
// the RETURN STATUS line, the SMART and general-purpose logs) decoded from
// field tables by the generic reader of pages.h, little-endian; then judged
// (ata_judge.h), as a SAS disk's pages are decoded (scsi_decode.h) and then
// judged.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata_fields.h"
#include "ata_format.h"
#include "drivelog.h"
#include "pages.h"

namespace rpt {

struct AtaAttribute {
    uint8_t id = 0;
    std::string name;
    uint16_t flags = 0;
    bool prefailure = false;
    uint8_t value = 0, worst = 0;
    std::optional<uint8_t> threshold;
    uint64_t raw = 0;                 // the six raw bytes, little-endian
    std::string failing;              // "now", "past" or ""
    std::array<uint8_t, 12> entry{};  // the whole entry of the SMART data, as the drive gave it
    // The raw value read by the format the drive database names for it.
    std::string format;                 // "raw48", "min2hour", ...
    std::string raw_text;               // as the format shows it
    std::optional<uint64_t> raw_value;  // the number it stands for, in `unit`; none: not a number
    Unit unit = Unit::None;
};

struct AtaStatistic {
    uint8_t page = 0;
    uint16_t offset = 0;
    std::string key, name;
    uint64_t value = 0;
    bool valid = false;
};

struct AtaPhyEvent {
    uint16_t id = 0;
    std::string name;
    uint64_t value = 0;
};

// A SATA drive as its blocks give it (ata.h); its figures and findings are
// judged from it.
struct AtaInfo {
    std::string model, serial, firmware;
    // The drive database that named the attributes' formats; none: the
    // built-in defaults. Its family and warning for this drive, and what of
    // the database could not be used.
    std::optional<std::string> database;
    std::string family, database_warning, database_note;
    std::optional<uint64_t> sectors;  // user addressable logical sectors
    unsigned logical_sector_size = 512;
    std::optional<unsigned> rotation_rate;  // 1: solid state
    std::string ata_version;
    bool gpl = false, smart_supported = false, smart_enabled = false;
    std::optional<bool> smart_passed;
    // The SMART data's self-test execution status (byte 363): the status
    // of the last or running test, and its percent remaining.
    std::optional<unsigned> self_test_status, self_test_remaining;
    std::vector<AtaAttribute> attributes;
    std::optional<uint64_t> errors_logged;
    std::vector<AtaStatistic> statistics;
    std::vector<AtaPhyEvent> phy_events;
    // The fields of IDENTIFY DEVICE and of the SMART data besides the
    // attributes (the self-test execution status, ...), by their tables.
    FieldValues identify, smart_data;
    bool smart_data_read = false;  // the SMART data block was read whole
    // The self-test log's entries by their table, newest first: of the
    // extended log when there is one, else of the SMART log.
    std::vector<FieldValues> self_test_log;
    bool self_test_log_read = false;  // a self-test log was read (it may hold no entry)
    Findings findings;                // what reading the blocks found wrong
};

class DriveDb;

// `db` names each attribute's format and name; null: the built-in defaults.
AtaInfo decode_ata(const DriveLog& log, const DriveDb* db = nullptr);

// A self-test status code (log entry, SMART data byte 363) in words.
std::string self_test_status_text(unsigned code);

// A decoded field by its key, for the judge.
const AtaStatistic* statistic(const AtaInfo& a, StatisticKey key);  // only a valid one
const AtaAttribute* attribute(const AtaInfo& a, uint8_t id);

}  // namespace rpt
