// The report of one or more hosts, built once as typed structures
// (model.h); the writers (write/) render it.
#pragma once
#include <string>
#include <vector>

#include "fleet.h"
#include "input.h"
#include "model.h"

namespace rpt {

// Files older than the error log by more than this many seconds are left
// from an earlier run. The error log is truncated when a run starts, but
// every record it gets moves its time on, so the margin applies only when
// it holds records.
constexpr long kStaleSlackSeconds = 600;

class DriveDb;

// `db` reads SATA drives' attributes; null: the built-in defaults. With
// `days`, every disk of every collection as a row of the drive-stats file.
Report build_report(const std::vector<Host>& hosts, const DriveDb* db = nullptr, std::vector<DiskDay>* days = nullptr);

// The disks whose serial number or file name (or host/file) is `key`.
std::vector<const Disk*> find_disks(const Report& report, const std::string& key);

}  // namespace rpt
