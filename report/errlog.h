// Reader of the error log (logdperr.txt): every record recognised by its
// pattern, SCSI and SATA detail lines decoded, anything else kept as it
// stands.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "finding.h"

namespace rpt {

struct ErrRecord {
    std::string kind;                     // "unrecognised" when no pattern fits
    std::string text;                     // the record as it stands, line ends removed
    nlohmann::json decoded;               // null when there is nothing to decode
    std::string disk;                     // the drive log file the record names, if any
    std::optional<Finding> disk_finding;  // what the record means for that disk
};

std::vector<ErrRecord> read_error_log(std::string_view text);

// The rule of the finding a record of `kind` gives (its disk's, or the
// collection's when it names no drive log).
Rule record_rule(std::string_view kind);

// Drive log file name of a controller index and device id, as the collector
// names it.
std::string drive_log_name(unsigned controller, unsigned device);

}  // namespace rpt
