// The report of one or more hosts as one JSON document, and its text forms.
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "input.h"

namespace rpt {

// Exit statuses of logdump-report.
enum Status { kAllOk = 0, kAnyWarn = 1, kAnyFail = 2, kUnreadable = 3 };

// Files older than the error log by more than this many seconds are left
// from an earlier run. The error log is truncated when a run starts, but
// every record it gets moves its time on, so the margin applies only when
// it holds records.
constexpr long kStaleSlackSeconds = 600;

nlohmann::json build_report(const std::vector<Host>& hosts);

// One line per disk, the findings, the error log.
std::string render_text(const nlohmann::json& report);

// The disk whose serial number or file name (or host/file) is `key`, or null.
const nlohmann::json* find_disk(const nlohmann::json& report, const std::string& key);

// Every decoded page, parameter and section of one disk.
std::string render_disk(const nlohmann::json& disk);

}  // namespace rpt
