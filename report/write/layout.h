// What every rendering of the report takes from one place: the columns of
// a disk (JSON, the text's table and the web page's), the order of
// findings, and the run's record in words. A missing value's word per
// output is in helpers.h (kMissingText, ...), a disk's place in model.h.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "model.h"

namespace rpt {

// ---------------------------------------------------------------- disk columns

// The columns of a disk, in the order of the JSON document's disk objects.
enum class DiskColumn : uint8_t {
    Host,
    File,
    Controller,
    Device,
    Protocol,
    Vendor,
    Product,
    Revision,
    Serial,
    Verdict,
    Risk,
    Temperature,
    ReferenceTemperature,
    PowerOnHours,
    FindingCount,
    kCount
};

// A column's value: text, or a number that may not have been read.
using ColumnValue = std::variant<std::string, std::optional<int64_t>>;

struct DiskColumnDef {
    DiskColumn column;
    const char* key;         // in the JSON document; null: not there
    const char* text;        // heading of the text's disks table; null: not there
    const char* html;        // heading of the web page's disks table; null: not there
    const char* html_class;  // of its cells on the web page; null for none
    ColumnValue (*value)(const Disk&);
    const char* unit = "";                            // after a number in the text
    std::string (*text_cell)(const Disk&) = nullptr;  // the text's own cell, where it differs
};

std::span<const DiskColumnDef> disk_columns();  // in the order of DiskColumn
const DiskColumnDef& disk_column(DiskColumn c);
// The columns of the text's and the web page's tables, in their order.
std::span<const DiskColumn> text_columns();
std::span<const DiskColumn> html_columns();

// A cell of the text's table (kMissingText for a number not read).
std::string text_cell(DiskColumn c, const Disk& d);

// ---------------------------------------------------------------- findings

// A disk's or a collection's findings in the order people read them: by
// weight, FAIL first, and as found within one.
std::vector<const Finding*> by_weight(const Findings& findings);

// The findings of every collection and disk in the order people read them:
// by weight, then host (in input order), a host's own before its disks',
// disks by controller and device.
struct FindingRef {
    const Collection* collection;
    const Disk* disk;  // null for a finding about the collection
    const Finding* finding;
};
std::vector<FindingRef> sorted_findings(const Report& report);

// ---------------------------------------------------------------- words

// The run's record in one line for people: program, version and width,
// arguments, exit status, times.
std::string run_summary(const RunFacts& r);

}  // namespace rpt
