// Health of one disk: the figures the report shows and the findings that
// give its verdict, judged against one table of thresholds.
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model.h"

namespace rpt {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// A measure gives an INFO at or above `info`, a WARN at or above `warn` and
// a FAIL at or above `fail`. This table holds every threshold of the report.
struct Threshold {
    const char* code;
    const char* measure;
    int64_t info;
    int64_t warn;
    int64_t fail;
};

std::span<const Threshold> thresholds();

// A finding when `value` reaches a limit of the row `code`, its limits
// taken relative to `base` (the reference temperature).
void judge(Findings& f, const char* code, int64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter = {}, int64_t base = 0);

// Sets a counter of the disk (per phy when `phy` is given).
void set_counter(Disk& d, const char* name, uint64_t value, std::optional<unsigned> phy = {});

// A self-test's outcome from its result code, the same for both protocols
// but for the last code of a failure (SCSI 7, ATA 8).
SelfTest::Outcome self_test_outcome(unsigned code, unsigned last_failure);

// The rules both protocols share.
void judge_temperature(Disk& d, const std::string& page);
void judge_self_tests(Disk& d, const std::string& page);
void judge_endurance(Disk& d, uint64_t percent, const std::string& page, std::optional<uint64_t> parameter);

// The figures and findings of a SAS disk from its decoded pages and
// blocks; true when any of them tells about the disk's health.
bool assess_scsi(Disk& d, const DriveLog& log);

// The same for a SATA drive (ata.cpp).
bool assess_ata(Disk& d, const DriveLog& log);

// A disk from the text of its drive log.
Disk build_disk(const std::string& host, const std::string& file, std::string_view text);

}  // namespace rpt
