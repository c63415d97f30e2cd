// SATA drives: their blocks (IDENTIFY DEVICE, SMART data and thresholds,
// the RETURN STATUS line, the SMART and general-purpose logs) decoded from
// field tables by the generic reader of pages.h, little-endian; then judged
// (health.h, judge_ata), as SCSI pages are decoded and then assessed.
#pragma once
#include "drivelog.h"
#include "model.h"

namespace rpt {

class DriveDb;

// `db` names each attribute's format and name; null: the built-in defaults.
AtaInfo decode_ata(const DriveLog& log, const DriveDb* db = nullptr);

// A self-test status code (log entry, SMART data byte 363) in words.
std::string self_test_status_text(unsigned code);

// A decoded field by its key, for the judge.
const AtaStatistic* statistic(const AtaInfo& a, std::string_view key);  // only a valid one
const AtaAttribute* attribute(const AtaInfo& a, uint8_t id);

}  // namespace rpt
