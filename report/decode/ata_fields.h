// The fields of a SATA drive's blocks that the judges read (ata_decode.cpp
// holds the other tables): defined here, once for the whole program, so
// that a judge reaches them by keys checked against their tables.
#pragma once
#include <cstdint>

#include "pages.h"

namespace rpt {

// An entry of a self-test log (SMART or extended): the fields both logs
// lay out alike; the failing LBA follows apart (ata_decode.cpp).
inline constexpr Field kAtaSelfTest[] = {
    {"type", "Self-test type", 0, 1},
    {"status", "Self-test execution status", 1, 1, 4, 4},
    {"remaining", "Percent remaining, in tens", 1, 1, 0, 4},
    {"hours", "Life timestamp, hours", 2, 2},
    {"checkpoint", "Checkpoint", 4, 1},
};
// Device statistics (log 04h): each statistic by its page and offset.
struct StatisticDef {
    uint8_t page;
    uint16_t offset;
    const char* key;
    const char* name;
    bool is_signed = false;  // one byte, two's complement (degrees)
};
inline constexpr StatisticDef kAtaStatistics[] = {
    {1, 0x08, "lifetime_power_on_resets", "Lifetime power-on resets"},
    {1, 0x10, "power_on_hours", "Power-on hours"},
    {1, 0x18, "logical_sectors_written", "Logical sectors written"},
    {1, 0x20, "write_commands", "Number of write commands"},
    {1, 0x28, "logical_sectors_read", "Logical sectors read"},
    {1, 0x30, "read_commands", "Number of read commands"},
    {1, 0x38, "date_and_time", "Date and time timestamp"},
    {1, 0x40, "pending_error_count", "Pending error count"},
    {1, 0x48, "workload_utilization", "Workload utilization"},
    {1, 0x50, "utilization_usage_rate", "Utilization usage rate"},
    {1, 0x58, "resource_availability", "Resource availability"},
    {1, 0x60, "random_write_resources_used", "Random write resources used"},
    {2, 0x08, "free_fall_events", "Number of free-fall events detected"},
    {2, 0x10, "overlimit_shock_events", "Overlimit shock events"},
    {3, 0x08, "spindle_motor_power_on_hours", "Spindle motor power-on hours"},
    {3, 0x10, "head_flying_hours", "Head flying hours"},
    {3, 0x18, "head_load_events", "Head load events"},
    {3, 0x20, "reallocated_logical_sectors", "Number of reallocated logical sectors"},
    {3, 0x28, "read_recovery_attempts", "Read recovery attempts"},
    {3, 0x30, "mechanical_start_failures", "Number of mechanical start failures"},
    {3, 0x38, "reallocation_candidates", "Number of reallocation candidate logical sectors"},
    {3, 0x40, "high_priority_unloads", "Number of high priority unload events"},
    {4, 0x08, "reported_uncorrectable_errors", "Number of reported uncorrectable errors"},
    {4, 0x10, "resets_during_commands", "Number of resets between command acceptance and command completion"},
    {4, 0x18, "physical_element_status_changed", "Physical element status changed"},
    {5, 0x08, "current_temperature", "Current temperature", true},
    {5, 0x10, "average_short_term_temperature", "Average short term temperature", true},
    {5, 0x18, "average_long_term_temperature", "Average long term temperature", true},
    {5, 0x20, "highest_temperature", "Highest temperature", true},
    {5, 0x28, "lowest_temperature", "Lowest temperature", true},
    {5, 0x30, "highest_average_short_term_temperature", "Highest average short term temperature", true},
    {5, 0x38, "lowest_average_short_term_temperature", "Lowest average short term temperature", true},
    {5, 0x40, "highest_average_long_term_temperature", "Highest average long term temperature", true},
    {5, 0x48, "lowest_average_long_term_temperature", "Lowest average long term temperature", true},
    {5, 0x50, "time_over_temperature", "Time in over-temperature"},
    {5, 0x58, "specified_maximum_temperature", "Specified maximum operating temperature", true},
    {5, 0x60, "time_under_temperature", "Time in under-temperature"},
    {5, 0x68, "specified_minimum_temperature", "Specified minimum operating temperature", true},
    {6, 0x08, "hardware_resets", "Number of hardware resets"},
    {6, 0x10, "asr_events", "Number of ASR events"},
    {6, 0x18, "interface_crc_errors", "Number of interface CRC errors"},
    {7, 0x08, "percentage_used_endurance", "Percentage used endurance indicator"},
};

using StatisticKey = TableKey<StatisticDef>;

}  // namespace rpt
