// The scenario: which controllers and devices the simulator shows, what they
// answer and which calls fail or stall. Read from the text format described
// in sim/README.md (lexer.h cuts the lines, parser.cpp reads the statements).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

enum class DeviceKind { Sas, Sata, Enclosure, Silent };

struct LogPage {
    uint8_t code = 0;
    std::vector<uint8_t> bytes;  // the whole page, header included
    uint8_t subpage = 0;
};

// READ DEFECT DATA: the grown list's length, in the format the drive keeps
// (none given: the format asked for).
struct Defects {
    bool supported = true;  // false: ILLEGAL REQUEST
    uint32_t count = 0;
    std::optional<uint8_t> format;
};

// What a SATA drive answers beyond INQUIRY-style identity: IDENTIFY's
// strings (empty: product and rev), whether it keeps general-purpose logs,
// its SMART verdict and thresholds, and its logs by address (none declared:
// a generated set). Each log holds whole 512-byte pages (sectors).
struct AtaDrive {
    std::optional<std::array<uint8_t, 512>> identify;  // the whole answer, when declared
    std::string model, firmware;
    bool gpl = true;
    bool smartFailed = false;
    std::optional<std::array<uint8_t, 512>> thresholds;
    std::map<uint8_t, std::vector<uint8_t>> smartLogs;
    std::map<uint8_t, std::vector<uint8_t>> gplLogs;
};

// What the controller's own lists say of a drive (its drive list and the
// virtual drives' members); the defaults are a healthy online drive.
struct DriveView {
    std::string state = "Online, Spun Up";  // the firmware state as the CLI prints it
    std::optional<unsigned> progress;       // of a rebuild or copyback, in percent
    bool foreign = false;
    uint64_t mediaErrors = 0, otherErrors = 0, predictiveFailures = 0;
    bool smartAlert = false;
    std::string deviceSpeed, linkSpeed;  // empty: the protocol's
    std::optional<int> temperature;      // empty: one made from the id
    std::optional<unsigned> enclosure, slot;
    bool answers = true;    // false: listed by the controller, silent to the library (a failed drive)
    bool listed = true;     // false: pulled; no list shows it, its virtual drive an empty block at its arm
    bool vanished = false;  // the controller lost its details (a failed drive): no size, temperature, WWN
};

// An internal-log section: generated on request, never stored.
struct InternalSection {
    uint8_t type = 0;
    uint32_t len = 0;  // bytes in all, header included
};

// Byte i of an internal-log section of the given type and total length.
uint8_t internal_section_byte(uint8_t type, uint32_t len, uint32_t i);

struct Device {
    unsigned ctrl = 0;
    uint16_t id = 0;
    DeviceKind kind = DeviceKind::Sas;
    std::string vendor, product, rev, serial;
    uint8_t ptype = 0;
    uint8_t interface = 0;
    std::optional<int32_t> pdinfoError;
    uint64_t blocks = 0;         // medium size in 512-byte blocks
    std::vector<LogPage> pages;  // in declaration order
    std::vector<InternalSection> sections;
    std::optional<std::array<uint8_t, 512>> smart;
    std::vector<LogPage> subpages;  // subpage other than 0, in declaration order
    Defects defects;
    AtaDrive ata;
    DriveView view;

    // Whether the library hears the device at all.
    bool silent() const { return kind == DeviceKind::Silent || !view.answers; }

    const LogPage* page(uint8_t code) const;
    const LogPage* subpage(uint8_t code, uint8_t sub) const;
    const InternalSection* section(uint8_t type) const;
};

// What a device of each kind is until the keys of its statement say
// otherwise. The serial is made from the controller and the device id.
struct DeviceDefaults {
    const char* name;  // KIND in "device c id KIND"
    DeviceKind kind;
    const char* vendor;
    const char* product;
    const char* rev;
    const char* serial;  // printf format, given ctrl % 100 and the id
    uint8_t ptype;
    uint8_t interface;
    uint64_t blocks;
};

std::span<const DeviceDefaults> device_defaults();

// A device of the given kind at ctrl/id with its kind's defaults.
Device default_device(const DeviceDefaults& kind, unsigned ctrl, uint16_t id);

// A virtual drive declared by "vd": its members in arm order, span after
// span.
struct VirtualDrive {
    unsigned id = 0;
    unsigned level = 1;  // 0, 1, 5, 6, 10, 50, 60
    unsigned spans = 1;
    std::vector<uint16_t> members;
    std::string state = "Optimal";
    std::string name;  // empty: "VD<id>"
    bool writeBack = true, writeBackNow = true;
    bool badBlocks = false;
};

// The adapter's own counts and error counters. The device counts, when not
// given, follow from the states of the virtual and physical drives.
struct AdapterView {
    uint64_t memoryCorrectable = 0, memoryUncorrectable = 0;
    bool bbu = true, alarm = false;
    std::optional<unsigned> degraded, offline, critical, failed;
};

// A dated event of the controller's event log; with `sense`, an
// "Unexpected sense" event of the drive `device`.
struct ControllerEvent {
    int64_t time = 0;  // seconds since 1970 on the controller's clock
    unsigned code = 0;
    int cls = 0;
    std::string locale = "0x02";
    std::string text;  // "{pd}" stands for the drive's name
    std::optional<uint16_t> device;
    std::vector<uint8_t> cdb;
    std::optional<std::array<uint8_t, 3>> sense;  // key, ASC, ASCQ
    unsigned repeat = 1, every = 60;
};

struct Controller {
    unsigned index = 0;
    std::optional<unsigned> count;     // deviceIdCount when given
    std::optional<int32_t> infoError;  // controller information fails
    unsigned logicalDrives = 1;
    std::vector<VirtualDrive> virtualDrives;  // declared ones; none: the logicalDrives mirrors
    AdapterView adapter;
    std::vector<ControllerEvent> events;
};

enum class RuleAction { Fault, AtaError, Delay, Transfer };

constexpr int kAny = -1;

struct Rule {
    RuleAction action = RuleAction::Fault;
    int ctrl = 0;      // kAny for '*'
    int id = 0;        // kAny for '*'
    std::string what;  // canonical form ("logsense:0d", "mgmt:1/0", "stp", ...)
    unsigned nth = 0;  // 0: every time
    int32_t code = 0;  // fault
    std::vector<uint8_t> sense;
    uint8_t scsiStatus = 0x02;
    uint8_t ataError = 0, ataStatus = 0;
    unsigned ms = 0;
    // transfer: the answer cut to `bytes`; dataLen handed back as the bytes
    // sent; another page's bytes sent instead; the length taken from the
    // CDB's 24 bits alone.
    std::optional<uint32_t> bytes;
    bool setDataLen = false;
    std::optional<uint8_t> asPage;
    bool cdbLength = false;
    int line = 0;
};

struct CliRule {
    bool exit = false;  // exit with status, else sleep
    std::string cmd;    // lower case, without the dash
    int ctrl = kAny;
    int value = 0;  // exit status or milliseconds
};

// "cli text c|* VARIANT": the CLI prints its logs of controller c (kAny:
// every controller) as the variant says (cli/variants.h lists them).
struct CliText {
    int ctrl = kAny;
    std::string variant;
};

struct Scenario {
    std::map<unsigned, Controller> controllers;
    std::map<std::pair<unsigned, uint16_t>, Device> devices;
    std::vector<Rule> rules;
    std::optional<long> cliCount;
    std::vector<std::string> countLines;
    std::vector<CliRule> cliRules;
    std::vector<CliText> cliTexts;

    // Whether the CLI prints the logs of `ctrl` in `variant`.
    bool cli_text(unsigned ctrl, std::string_view variant) const;

    // One controller without devices.
    static Scenario standard();

    const Device* device(unsigned ctrl, uint16_t id) const;
    // The controller's deviceIdCount: its count, else highest declared id + 1.
    unsigned device_id_count(unsigned ctrl) const;
    // Devices of one controller in id order.
    std::vector<const Device*> devices_of(unsigned ctrl) const;
};

// Throws std::runtime_error("line N: ...") at the first statement it does
// not understand.
Scenario parse_scenario(const std::string& text, const std::string& base_dir);
Scenario read_scenario_file(const std::string& path);

// The captured LOG SENSE pages of real SAS disks.
const std::vector<LogPage>& captured_pages();

// Canonical form of a WHAT token; throws std::runtime_error when it is none.
std::string canonical_what(const std::string& token);

}  // namespace sim
