// --risk-check: the risk bands held against labelled field data. A file in
// the public drive-stats layout (a header naming `date`, `serial_number`,
// `model`, `capacity_bytes`, `failure`, then any `smart_N_raw` and
// `smart_N_normalized`, and the columns below; plain or gzip) is read in one
// pass, its memory bounded by the number of drives. Each drive gets the
// band of its last row (by date, then by place in the file) through the
// risk function, and a drive with `failure` 1 in any row counts as failed.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "csv.h"
#include "risk.h"

namespace rpt {

// The columns of the layout that give a signal or a figure: the SMART raw
// values of the public layout, and the SAS and controller counts that this
// program's own files add (in any order, beside columns it does not read).
// A SMART raw value is taken whole as a count, so it must fit in the
// attribute's 48 bits; the file names no drive database, and the public
// layout writes these four attributes as plain counts.
struct StatsColumn {
    const char* name;
    std::optional<Signal> signal;  // none: read and checked, no signal (power-on hours, non-medium errors)
    unsigned bits;                 // the widest value it may hold
};
std::span<const StatsColumn> drive_stats_columns();

struct RiskCheck {
    struct Band {
        uint64_t drives = 0, failed = 0;
    };
    struct Flagged {  // drives of band elevated or worse
        uint64_t failed = 0, working = 0;
    };
    struct Malformed {
        uint64_t line = 0;
        std::string reason;
    };
    static constexpr size_t kMalformedShown = 100;

    uint64_t rows = 0;  // data rows, malformed ones included
    uint64_t drives = 0, failed = 0;
    std::array<Band, static_cast<size_t>(RiskBand::kCount)> bands{};
    // Of the failed drives, the share with a band of elevated or worse; of
    // the working drives, the same share. None without such drives.
    std::optional<double> recall, flagged_working;
    uint64_t malformed = 0;
    std::vector<Malformed> malformed_lines;  // the first kMalformedShown
    std::string error;                       // the file could not be read: no result
};

// Reads a file, plain or gzip.
RiskCheck risk_check(const std::string& path);
// Reads a stream; `longest` bounds a record (tests and fuzzing).
RiskCheck risk_check(ByteSource source, size_t longest = CsvReader::kLongestRecord);

// The failed and the working drives of band elevated or worse.
RiskCheck::Flagged flagged(const RiskCheck& c);

// Exit status: 0, 1 with malformed rows, 3 when the file could not be read.
int risk_check_status(const RiskCheck& c);

}  // namespace rpt
