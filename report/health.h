// Health of one disk: the figures the report shows and the findings that
// give its verdict, judged against one table of thresholds.
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "drivelog.h"
#include "pages.h"

namespace rpt {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// A measure is judged WARN at or above `warn` and FAIL at or above `fail`.
struct Threshold {
    const char* code;
    const char* measure;
    int64_t warn;
    int64_t fail;
};

std::span<const Threshold> thresholds();

// The counters of the report, in this order, each null when its page or
// parameter is absent.
constexpr const char* kCounterKeys[] = {
    "read_uncorrected", "write_uncorrected", "verify_uncorrected", "non_medium",
    "selftest_failures", "bms_medium_errors", "bms_reassigns", "phy_invalid_dword",
    "phy_disparity", "phy_loss_of_sync", "phy_reset_problem"};
constexpr size_t kCounters = std::size(kCounterKeys);

struct Health {
    std::optional<int64_t> temperature, reference_temperature, power_on_hours;
    std::optional<uint64_t> counters[kCounters];
    Findings findings;
};

// `pages` are the decoded pages of `log.pages`, index for index.
Health assess(const DriveLog& log, const std::vector<Page>& pages);

}  // namespace rpt
