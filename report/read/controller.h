// The controller's own view, read from the seven logs the vendor CLI writes
// per controller: the adapter (adpallinfo), its virtual drives (ldinfo)
// with their members (ldpdinfo), its physical drives (pdlist), its event
// log (Flashrom), the configuration that repeats them (cfgdsply) and the
// firmware's terminal log (fwtermlog, only noted with its size).
//
// The readers take the CLI's text as it comes: leading blanks, CR LF,
// missing and extra fields, field names of older CLI versions, blocks per
// adapter. A field the CLI leaves out stays unset; nothing is guessed.
//
// Drives are listed by three logs (the drive list, and under their virtual
// drives the members and configuration logs) and virtual drives by three
// (the virtual drive, members and configuration logs). Each log's listing is
// kept as read; put_together makes one row of each drive and virtual drive
// of them, whichever logs were saved.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "boxed.h"
#include "input.h"

namespace rpt {

enum class ControllerLog : uint8_t {
    TermLog,        // Controller_N_fwtermlog.log
    Configuration,  // Controller_N_cfgdsply.log
    Adapter,        // Controller_N_adpallinfo.log
    Drives,         // Controller_N_pdlist.log
    VirtualDrives,  // Controller_N_ldinfo.log
    Members,        // Controller_N_ldpdinfo.log
    Events,         // controller_N_Flashrom.log
};

// What a reader met that keeps part of a file from being read. `code`:
//   unrecognised  the file is not the CLI's text of its kind (line: the first
//                 line that is not; 0 for an empty file)
//   bad-value     a field the reader knows holds a value not of its form
//   not-text      a line holds control characters (binary data)
//   cli-exit      the CLI's closing "Exit Code" is not 0x00
//   truncated     the listing announces more virtual drives, spans or drives
//                 than follow (line: the announcing line)
struct ControllerProblem {
    std::string code;
    std::string file;
    size_t line = 0;
    std::string text;
};

// A drive's firmware state, from the first word of "Firmware state".
enum class DriveState : uint8_t {
    Unknown,  // not given
    Online,
    Hotspare,
    Jbod,
    UnconfiguredGood,
    Rebuild,
    Copyback,
    Failed,
    Offline,
    UnconfiguredBad,
    Missing,
    Other,  // a state of no other name; `firmware_state` holds it
};
const char* drive_state_name(DriveState s);

struct PhysicalDrive {
    unsigned adapter = 0;
    size_t line = 0;     // of the block's first field
    std::string source;  // the log it comes from (the first that lists it): its file name
    std::optional<unsigned> enclosure, slot, device_id;
    std::optional<unsigned> disk_group, span, arm;  // its place in a virtual drive
    std::optional<uint64_t> media_errors, other_errors, predictive_failures;
    std::string pd_type;
    std::string raw_size;                 // "558.912 GB", as printed
    std::optional<uint64_t> raw_sectors;  // none where the CLI gives no real capacity (0, all ones)
    std::string firmware_state;           // as printed: "Online, Spun Up"
    DriveState state = DriveState::Unknown;
    std::optional<unsigned> progress;     // of a rebuild or copyback, in percent
    std::vector<uint64_t> sas_addresses;  // in the order printed, zeros included
    std::string inquiry;                  // as printed
    std::string vendor, product, revision, serial;
    std::string foreign_state;  // "None", "Foreign"
    std::string device_speed, link_speed;
    std::optional<double> device_gbps, link_gbps;
    std::string media_type;
    std::optional<int> temperature;  // degrees Celsius
    std::optional<bool> smart_alert;
};

enum class VirtualDriveState : uint8_t { Unknown, Optimal, PartiallyDegraded, Degraded, Offline, Other };
const char* virtual_drive_state_name(VirtualDriveState s);

struct VirtualDrive {
    unsigned adapter = 0;
    size_t line = 0;
    std::string source;  // the log it comes from (the first that lists it): its file name
    std::optional<unsigned> id, target;
    std::string name;
    std::optional<unsigned> primary, secondary, qualifier;
    std::string raid_level;  // "RAID 1", "RAID 10", ...; "" when not given
    std::string size;
    std::string state;  // as printed
    VirtualDriveState state_kind = VirtualDriveState::Unknown;
    std::optional<unsigned> drives, span_depth;
    bool drives_per_span = false;              // `drives` counts those of one span ("Number Of Drives per span")
    std::string cache_default, cache_current;  // as printed
    std::optional<bool> bad_blocks;
    // From the members log, else the configuration log, in the order
    // listed; an arm the listing leaves empty is an entry that names no
    // drive, only its place (empty_slot).
    std::vector<PhysicalDrive> members;
};

struct AdapterInfo {
    bool read = false;  // its log was read
    std::string product, serial, package, firmware;
    std::optional<unsigned> virtual_drives, degraded, offline;
    std::optional<unsigned> physical_devices, disks, critical_disks, failed_disks;
    std::optional<uint64_t> memory_correctable, memory_uncorrectable;
    std::optional<bool> bbu_present, alarm_present;
    std::string current_time;      // the controller's clock when the log was taken, as printed
    std::optional<int64_t> clock;  // the same in seconds since 1970 (the controller's time zone)
};

// Sense data of an "Unexpected sense" event: the command and what the drive
// said, with their names from the report's sense table.
struct EventSense {
    std::vector<uint8_t> cdb;
    std::optional<uint8_t> opcode;
    std::string operation;
    std::optional<uint64_t> lba;  // of a command that addresses blocks
    std::optional<uint8_t> key, asc, ascq;
    std::string key_name, asc_name;
};

struct ControllerEvent {
    unsigned adapter = 0;
    size_t line = 0;
    std::optional<uint32_t> seq;
    std::string time_text;
    std::optional<int64_t> time;           // seconds since 1970 on the controller's clock
    std::optional<uint64_t> boot_seconds;  // "Boot + N seconds": before the clock was set
    std::optional<uint32_t> code;
    std::optional<int> cls;  // -2 debug .. 4 dead
    std::string locale, description, data;
    // The drive the event is about: from its data, else from "PD 05(e0x06/s1)".
    std::optional<unsigned> device_id, enclosure, slot;
    Boxed<EventSense> sense;  // few events carry it, and a log holds thousands
};
// "debug", "progress", "info", "warning", "critical", "fatal", "dead"; "" for others.
const char* event_class_name(int cls);

// A controller log found, with its size.
struct ControllerFile {
    ControllerLog kind;
    std::string name;
    size_t size = 0;
    bool read = false;  // its contents were at hand
};

// Two logs that give one drive or virtual drive another state or count: the
// first log's (drive list, virtual drive log, members log, configuration
// log) holds.
struct Disagreement {
    std::optional<unsigned> target;  // of a drive
    std::string text;                // "drive 32:4 (target 14) is Offline in the drive list, Online in the ..."
};

// Each log's own listing, as read.
struct Listings {
    std::vector<PhysicalDrive> drives;  // the drive list
    std::vector<VirtualDrive> virtual_drives, members, configuration;
};

struct Controller {
    unsigned index = 0;
    std::vector<ControllerFile> files;
    AdapterInfo adapter;
    // Put together from the listings (put_together): each virtual drive
    // once, with its members; each drive once, the drive list's first, then
    // those only the members or the configuration log list.
    std::vector<VirtualDrive> virtual_drives;
    std::vector<PhysicalDrive> physical_drives;
    std::vector<Disagreement> disagreements;
    std::vector<ControllerEvent> events;
    Listings listed;
    std::vector<ControllerProblem> problems;
};

// The kind and controller index of a controller log's file name, or none.
std::optional<std::pair<ControllerLog, unsigned>> controller_log(std::string_view name);

// Reads every controller log among the files into one Controller per
// controller index, in index order, each put together. A file's blocks for
// another adapter ("Adapter #1" inside Controller_0_pdlist.log) go to that
// adapter.
std::vector<Controller> read_controllers(std::span<const InputFile> files);

// The same reading on `helpers` threads while this one does `beside`, then
// on this one too: a host's drive logs are judged while its controller logs
// are read, and no processor waits while a log is left to read. What a
// reader threw (out of memory) is thrown here, once `beside` is done.
std::vector<Controller> read_controllers(std::span<const InputFile> files, unsigned helpers,
                                         const std::function<void()>& beside);

// The drives and virtual drives of controller `c` from its listings. A drive
// is one row by its device id (else enclosure and slot), a virtual drive by
// its number: a field one log leaves out is taken from the next, and where
// two give another state or count the first holds (a Disagreement).
// Drives come from the drive list, then the members log, then the
// configuration log; virtual drives from the virtual drive log, then the
// members log, then the configuration log, their members from the members
// log, else the configuration log.
void put_together(Controller& c);

// What findings call a log: "drive list", "members log", ...
const char* log_title(ControllerLog kind);

// Whether a virtual drive's member is this entry of the drive list: by
// target, else by enclosure and slot.
bool same_drive(const PhysicalDrive& member, const PhysicalDrive& listed);
// A virtual drive's member as the drive list gives it; null when the list
// does not hold it.
const PhysicalDrive* listed_drive(const Controller& c, const PhysicalDrive& member);

// A state by the name the CLI's newer texts give it, so that older
// spellings ("Hot Spare") name the same state; a state of no known name as
// printed, without what the CLI adds after a comma; "" when the CLI gave none.
std::string state_label(const PhysicalDrive& d);
std::string state_label(const VirtualDrive& v);

// A log of this kind was found for controller `c` and read.
bool has_log(const Controller& c, ControllerLog kind);

// "32:4": a drive's enclosure and slot, "?" for one not given.
std::string drive_place(const PhysicalDrive& d);

// Whether a member entry names no drive: an empty block of the listing
// (no device id, enclosure, slot, inquiry, SAS address or state), or an
// arm its span needs that no block fills.
bool empty_slot(const PhysicalDrive& m);
// Such an entry as findings and tables name it: "span 1, arm 0: no drive
// (disk group 0)".
std::string empty_slot_text(const PhysicalDrive& m);

// How findings name a drive, "32:4 (target 14, serial Z1X2Y3W4)", and a
// virtual drive, "virtual drive 0 (RAID 1)".
std::string drive_name(const PhysicalDrive& d);
std::string virtual_drive_name(const VirtualDrive& vd);

// A drive's state by its name ("Offline"), as printed for one of no other
// name, "" when not given.
std::string drive_state_text(const PhysicalDrive& d);

// One log's text, into the controllers by index (a file's own index first).
void read_controller_log(ControllerLog kind, std::string_view text, const std::string& file, unsigned index,
                         std::map<unsigned, Controller>& into);

}  // namespace rpt
