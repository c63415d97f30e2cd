// The report as metrics for Prometheus (--metrics): the text exposition
// format that node_exporter's textfile collector reads.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace rpt {

// The metric families, in the order they are written.
enum class Metric : uint8_t {
    ReportSuccess,
    CollectionTimestamp,
    DiskInfo,
    DiskVerdict,
    DiskRisk,
    DiskSmartPassed,
    AtaAttribute,
    DiskTemperature,
    DiskPowerOn,
    DiskCounter,  // one family per health counter
    DiskGrowth,
    FindingCounts,
    VirtualDriveState,
    PhysicalDriveState,
    PhysicalDriveMediaErrors,
    PhysicalDriveOtherErrors,
    PhysicalDrivePredictiveFailures,
    PhysicalDriveSmartAlert,
    ControllerMemoryErrors,
    ControllerEvents,
    kCount
};

enum class MetricType : uint8_t { Gauge };
const char* metric_type_name(MetricType t);  // as a TYPE line writes it

struct MetricFamilyDef {
    Metric id;
    const char* name;  // DiskCounter: the prefix of each counter's stable name
    std::string help;  // DiskCounter: what each counter counts
    // Its own labels, after those of the disk, host or controller a sample
    // is about, in the order they are written.
    std::vector<const char*> labels;
    MetricType type = MetricType::Gauge;
};

std::span<const MetricFamilyDef> metric_families();  // in the order of Metric
const MetricFamilyDef& metric_family(Metric m);

// Every family of the report, each with its HELP and TYPE lines: the
// report's own success, the time of each host's newest collection and, for
// each disk of it, the verdict, failure risk, temperature, power-on time, health counters
// and findings by severity; for each RAID controller, its virtual drives'
// and drives' states, the drives' error counts, its memory errors and its
// recent events by class. Samples carry no timestamp (the textfile
// collector refuses them).
// `file` (the metrics file's base name) labels the report's own series, so
// that two reports in one textfile directory never give the same series.
std::string render_metrics(const Report& report, const std::string& file = "");

// A label value as the format writes it between double quotes: backslash,
// double quote and line feed escaped, bytes that are not UTF-8 as U+FFFD
// (the format is UTF-8, and one bad byte makes the whole file unreadable).
std::string label_value(std::string_view s);

// Writes `text` to `path` so that a reader sees the old file or the whole
// new one, never a part: a temporary file in the same directory (its name
// does not end in .prom), flushed to disk, readable by all, then renamed over
// `path`. Returns "" or what failed.
std::string write_atomically(const std::string& path, std::string_view text);

}  // namespace rpt
