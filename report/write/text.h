// The report as text: the summary, the findings by weight, one line per
// disk, the controllers, the run and the error log; and the full decode of
// one disk (--disk).
#pragma once
#include <string>

#include "model.h"

namespace rpt {

// Findings first (FAIL, WARN, UNKNOWN, INFO), then one line per disk, then
// the error log.
std::string render_text(const Report& report);

// Every decoded page, parameter, attribute and section of one disk.
std::string render_disk(const Disk& disk);

// An error-log record's detail in one line for people: its summary, else
// "key value, ..." ("" when it has none).
std::string decoded_text(const RecordDetail& detail);

struct RiskCheck;

// The result of --risk-check: per band the drives, the failed ones, their
// share and the share of all failures; the recall and the working drives
// flagged.
std::string render_risk_check(const RiskCheck& c, const std::string& file);

}  // namespace rpt
