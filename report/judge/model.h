// The report as typed structures, built once from the inputs; the JSON
// document, the text and the web page are rendered from them.
//
//   Report
//     Collection (one log directory or archive: host, time, source)
//       Disk (one drive log: identity, figures, counters, findings, decode)
//       ErrRecord (the error log's records)
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "ata_decode.h"
#include "boxed.h"
#include "controller.h"
#include "counters.h"
#include "drivelog.h"
#include "errlog.h"
#include "finding.h"
#include "helpers.h"
#include "pages.h"
#include "risk_types.h"
#include "run_facts.h"
#include "scsi_decode.h"

namespace rpt {

// A health counter's value (counters.h), for one phy when `phy` is set.
struct CounterValue {
    Counter id{};
    uint64_t value = 0;
    std::optional<unsigned> phy;
};

// A self-test of either protocol, as its log gives it.
struct SelfTest {
    enum class Outcome : uint8_t { Passed, Failed, Incomplete, Aborted, Running, Other };
    unsigned slot = 0;         // 1 = the newest
    std::string type, status;  // words
    unsigned status_code = 0;
    Outcome outcome = Outcome::Other;
    std::optional<unsigned> remaining_percent;  // ATA: of a running test
    std::optional<unsigned> segment;            // SCSI: self-test number
    std::optional<uint64_t> hours, lba;         // lba: none when all ones
    std::optional<uint8_t> sense_key, asc, ascq;
};

// One collection of a disk, as its history lists it. The newest entry's
// counters are usually the disk's own, not kept twice (Disk::counters_at);
// not where a serial listed twice in the collection gave another disk's.
struct HistoryEntry {
    time_t collected = 0;
    std::string host;
    std::optional<unsigned> controller, device;
    std::vector<CounterValue> counters;
    bool own = false;  // the counters are the disk's own: `counters` empty
};

// The change of one counter between two collections of a disk; `to` may be
// below `from` (a counter that was reset).
struct Growth {
    Counter counter{};
    std::optional<unsigned> phy;  // of a per-phy counter
    uint64_t from = 0, to = 0;
    double days = 0;
    std::optional<double> per_30_days;  // none when both have the same time

    int64_t change() const { return static_cast<int64_t>(to - from); }
    std::string key() const { return counter_key(counter, phy); }
};

// The RAID controller's view of a disk: its entry in the controller's drive
// list, the virtual drives it is a member of, and the events about it.
// The entry and the events are the controller's own
// (Collection::controllers), not copies: a log holds tens of thousands of
// events, most of them about some drive, and a fleet's drive lists hold
// every disk of it.
struct ControllerView {
    const PhysicalDrive* drive = nullptr;        // never null once joined
    std::vector<unsigned> virtual_drives;        // their ids, in the controller's order
    std::vector<const ControllerEvent*> events;  // in the event log's order
};

struct Disk {
    std::string host, file;  // file: "" for a drive that left no drive log
    std::optional<unsigned> controller, device;
    Protocol protocol = Protocol::Scsi;
    std::string vendor, product, revision, serial;
    Severity verdict = Severity::Info;  // its worst finding, set once the report is built
    Risk risk;                          // beside the verdict, never changing it; set with it
    std::optional<int64_t> temperature, reference_temperature, power_on_hours;
    std::vector<CounterValue> counters;
    std::vector<Phy> phys;
    std::vector<SelfTest> self_tests;  // newest first, used slots only
    Boxed<AtaInfo> ata;                // a SATA drive's: most disks of a fleet have none
    Findings findings;
    std::vector<PageRecord> pages;
    std::vector<SectionBlock> sections;
    // For a disk found in more than one collection (history.h): those
    // collections, newest first; every counter's change between the two
    // newest (`growth`) and from the oldest to the newest (growth_since_first;
    // `growth_all` is kept only where the oldest is not the second newest:
    // a fleet collected twice would hold every list twice).
    std::vector<HistoryEntry> history;
    std::vector<Growth> growth, growth_all;
    // Where a controller's drive list names the disk (joined by target,
    // confirmed by serial). A drive it lists that left no drive log is a disk
    // of the controller's view alone: `logged` false, no file.
    std::optional<ControllerView> view;
    bool logged = true;

    std::optional<uint64_t> counter(Counter c) const;  // of the disk as a whole, not of a phy
    const std::vector<Growth>& growth_since_first() const { return history.size() > 2 ? growth_all : growth; }
    const std::vector<CounterValue>& counters_at(size_t i) const {
        return history[i].own ? counters : history[i].counters;
    }
};

// Where a disk is: "controller 0 device 3", kMissingText for a number not
// read (the web page's labels are shorter: html.cpp).
std::string disk_place(const Disk& d);
std::string disk_place(std::optional<unsigned> controller, std::optional<unsigned> device);

// Moved, never copied: its disks' controller views point into its
// controllers' events.
struct Collection {
    Collection() = default;
    Collection(Collection&&) = default;
    Collection& operator=(Collection&&) = default;
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;

    std::string host, source;
    std::optional<time_t> collected;  // the error log's time, else the newest drive log's
    time_t newest = 0;                // the newest time of its files: its date in a history
    Findings findings;                // about the directory as a whole
    std::vector<Disk> disks;
    std::vector<ErrRecord> errors;
    std::optional<RunFacts> run;          // the run's own record, where the fleet role wrote one
    std::vector<Controller> controllers;  // the RAID controllers' own logs, by index
};

// An input that could not be read at all: no history, no fleet figures, and
// the report's status says so.
inline bool unreadable(const Collection& c) {
    for (const auto& f : c.findings)
        if (f.rule == Rule::Unreadable) return true;
    return false;
}

// A drive that left its slot between two collections of a host.
struct Turn {
    enum class Kind : uint8_t {
        Replaced,  // another serial, new to the host, took its slot
        Moved,     // still on the host, in another slot
        Removed,   // gone, and no new serial in its slot
    };
    Kind kind = Kind::Removed;
    std::string host, serial, model, firmware;
    std::optional<unsigned> controller, device;        // its slot before
    std::optional<unsigned> to_controller, to_device;  // Moved: its slot after
    std::string successor;                             // Replaced: the serial in its slot after
    time_t last_seen = 0, next_collection = 0;
};

// The watch of one model and firmware: drive-years between collections, and
// the replacements among them.
struct Exposure {
    std::string model, firmware;
    double drive_years = 0;
    uint64_t replacements = 0;
};

struct Turnover {
    std::vector<Turn> turns;         // by host, then time, then serial
    std::vector<Exposure> exposure;  // by model, then firmware
};

// Exit statuses of logdump-report.
enum Status { kAllOk = 0, kAnyWarn = 1, kAnyFail = 2, kUnreadable = 3 };

struct Report {
    std::vector<Collection> collections;
    size_t disks = 0, ok = 0, warn = 0, fail = 0, unknown = 0;
    int exit_status = kAllOk;
    Turnover turnover;  // of the hosts with two collections or more (fleet.h)
};

}  // namespace rpt
