// --drive-stats: every disk of every collection as a row of the public
// drive-stats layout (date, serial_number, model, capacity_bytes, failure,
// then smart_N_normalized and smart_N_raw of each SMART attribute met),
// then this program's own columns: the SAS and controller counts that
// --risk-check reads, and where and how each disk was judged.
#pragma once
#include <string>
#include <vector>

#include "fleet.h"

namespace rpt {

// The CSV text (RFC 4180, CR LF), rows by date, then host, then serial.
std::string render_drive_stats(const std::vector<DiskDay>& days);

// The names of the columns after the SMART attributes, in their order.
std::vector<std::string> drive_stats_own_columns();

}  // namespace rpt
