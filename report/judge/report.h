// The report of one or more hosts, built once as typed structures (model.h),
// and its three renderings: JSON, text and the web page (html.h).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "input.h"
#include "model.h"

namespace rpt {

// Files older than the error log by more than this many seconds are left
// from an earlier run. The error log is truncated when a run starts, but
// every record it gets moves its time on, so the margin applies only when
// it holds records.
constexpr long kStaleSlackSeconds = 600;

class DriveDb;

// `db` reads SATA drives' attributes; null: the built-in defaults.
Report build_report(const std::vector<Host>& hosts, const DriveDb* db = nullptr);

// The disks whose serial number or file name (or host/file) is `key`.
std::vector<const Disk*> find_disks(const Report& report, const std::string& key);
// The first of them, or null.
const Disk* find_disk(const Report& report, const std::string& key);

// Findings first (FAIL, WARN, UNKNOWN, INFO), then one line per disk, then
// the error log.
std::string render_text(const Report& report);

// Every decoded page, parameter, attribute and section of one disk.
std::string render_disk(const Disk& disk);

// The JSON document of the report, written to `f` as it is made; one
// disk's object.
void write_json(const Report& report, FILE* f);
std::string json_text(const Disk& disk);

// An error-log record's detail in one line for people: its summary, else
// "key value, ..." ("" when it has none).
std::string decoded_text(const RecordDetail& detail);

// The fields of an error-log record's detail as one JSON object on one line,
// "null" when it has none.
std::string detail_json(const RecordDetail& detail);

// The findings of every collection and disk in the order people read them:
// by severity (FAIL first), then host, controller and device.
struct FindingRef {
    const Collection* collection;
    const Disk* disk;  // null for a finding about the collection
    const Finding* finding;
};
std::vector<FindingRef> sorted_findings(const Report& report);

}  // namespace rpt
