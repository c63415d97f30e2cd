// The statements about what the controller itself reports: its virtual
// drives (vd), its view of each drive (pd), its own counts (adapter) and its
// dated events (event). They change only the CLI's text, and "pd ...
// answers no" the library's answers too.
#include <time.h>

#include <cctype>
#include <cstdio>
#include <sstream>

#include "parser.h"
#include "util.h"

namespace sim {

namespace {

bool yes_no(const std::string& v, const char* key) {
    if (v != "yes" && v != "no") fail(std::string(key) + " must be yes or no");
    return v == "yes";
}

bool present_absent(const std::string& v, const char* key) {
    if (v != "present" && v != "absent") fail(std::string(key) + " must be present or absent");
    return v == "present";
}

// The word of a list that equals v, ignoring case; refuses any other.
const char* one_of(const std::string& v, std::span<const char* const> words, const char* what) {
    std::string all;
    for (const char* w : words) {
        if (lower(v) == lower(w)) return w;
        all += (all.empty() ? "" : ", ") + std::string(w);
    }
    fail(std::string(what) + " must be one of " + all);
}

// ---------------------------------------------------------------- vd

const char* const kVirtualDriveStates[] = {"Optimal", "Partially Degraded", "Degraded", "Offline"};
const char* const kWritePolicies[] = {"WriteBack", "WriteThrough"};

const Key<VirtualDrive> kVirtualDriveKeys[] = {
    {"drives",
     [](VirtualDrive& vd, const std::string& v) {
         std::istringstream in(v);
         for (std::string id; in >> id;) vd.members.push_back(device_id(id));
     },
     true},
    {"raid",
     [](VirtualDrive& vd, const std::string& v) {
         vd.level = parse_as<unsigned>(v, 0, 60, "raid level");
         if (vd.level != 0 && vd.level != 1 && vd.level != 5 && vd.level != 6 && vd.level != 10 && vd.level != 50 &&
             vd.level != 60)
             fail("raid level must be 0, 1, 5, 6, 10, 50 or 60");
     }},
    {"spans", [](VirtualDrive& vd, const std::string& v) { vd.spans = parse_as<unsigned>(v, 1, 8, "spans"); }},
    {"state", [](VirtualDrive& vd,
                 const std::string& v) { vd.state = one_of(v, kVirtualDriveStates, "a virtual drive state"); }},
    {"name", [](VirtualDrive& vd, const std::string& v) { vd.name = v; }},
    {"cache", [](VirtualDrive& vd,
                 const std::string& v) { vd.writeBack = one_of(v, kWritePolicies, "cache") == kWritePolicies[0]; }},
    {"cache-now",
     [](VirtualDrive& vd, const std::string& v) {
         vd.writeBackNow = one_of(v, kWritePolicies, "cache-now") == kWritePolicies[0];
     }},
    {"bad-blocks", [](VirtualDrive& vd, const std::string& v) { vd.badBlocks = yes_no(v, "bad-blocks"); }},
};

// ---------------------------------------------------------------- pd

// The firmware states a drive may be set to, and how the CLI prints each.
struct DriveState {
    const char* word;
    const char* printed;
};
const DriveState kDriveStates[] = {
    {"Online", "Online, Spun Up"},
    {"Offline", "Offline"},
    {"Failed", "Failed"},
    {"Rebuild", "Rebuild"},
    {"Copyback", "Copyback"},
    {"Hotspare", "Hotspare, Spun Up"},
    {"JBOD", "JBOD"},
    {"Unconfigured(good)", "Unconfigured(good), Spun Up"},
    {"Unconfigured(bad)", "Unconfigured(bad)"},
    {"Missing", "Missing"},
};

std::string drive_state(const std::string& v) {
    std::string all;
    for (const auto& s : kDriveStates) {
        if (lower(v) == lower(s.word)) return s.printed;
        all += (all.empty() ? "" : ", ") + std::string(s.word);
    }
    fail("a drive state must be one of " + all);
}

std::string speed(const std::string& v, const char* key) {
    if (v.empty() || v.size() > 16) fail(std::string(key) + " must be 1 to 16 characters (e.g. 6.0Gb/s)");
    return v;
}

const Key<DriveView> kDriveViewKeys[] = {
    {"state", [](DriveView& d, const std::string& v) { d.state = drive_state(v); }},
    {"progress", [](DriveView& d, const std::string& v) { d.progress = parse_as<unsigned>(v, 0, 100, "progress"); }},
    {"foreign", [](DriveView& d, const std::string& v) { d.foreign = yes_no(v, "foreign"); }},
    {"media-errors",
     [](DriveView& d, const std::string& v) {
         d.mediaErrors = parse_as<uint64_t>(v, 0, 0xFFFFFFFFLL, "media-errors");
     }},
    {"other-errors",
     [](DriveView& d, const std::string& v) {
         d.otherErrors = parse_as<uint64_t>(v, 0, 0xFFFFFFFFLL, "other-errors");
     }},
    {"predictive-failures",
     [](DriveView& d, const std::string& v) {
         d.predictiveFailures = parse_as<uint64_t>(v, 0, 0xFFFFFFFFLL, "predictive-failures");
     }},
    {"smart-alert", [](DriveView& d, const std::string& v) { d.smartAlert = yes_no(v, "smart-alert"); }},
    {"device-speed", [](DriveView& d, const std::string& v) { d.deviceSpeed = speed(v, "device-speed"); }},
    {"link-speed", [](DriveView& d, const std::string& v) { d.linkSpeed = speed(v, "link-speed"); }},
    {"temperature",
     [](DriveView& d, const std::string& v) { d.temperature = parse_as<int>(v, -40, 150, "temperature"); }},
    {"enclosure", [](DriveView& d, const std::string& v) { d.enclosure = parse_as<unsigned>(v, 0, 255, "enclosure"); }},
    {"slot", [](DriveView& d, const std::string& v) { d.slot = parse_as<unsigned>(v, 0, 65535, "slot"); }},
    {"answers", [](DriveView& d, const std::string& v) { d.answers = yes_no(v, "answers"); }},
    {"listed", [](DriveView& d, const std::string& v) { d.listed = yes_no(v, "listed"); }},
    {"vanished", [](DriveView& d, const std::string& v) { d.vanished = yes_no(v, "vanished"); }},
};

// ---------------------------------------------------------------- adapter

const Key<AdapterView> kAdapterKeys[] = {
    {"memory-correctable",
     [](AdapterView& a, const std::string& v) {
         a.memoryCorrectable = parse_as<uint64_t>(v, 0, 0xFFFFFFFFLL, "memory-correctable");
     }},
    {"memory-uncorrectable",
     [](AdapterView& a, const std::string& v) {
         a.memoryUncorrectable = parse_as<uint64_t>(v, 0, 0xFFFFFFFFLL, "memory-uncorrectable");
     }},
    {"bbu", [](AdapterView& a, const std::string& v) { a.bbu = present_absent(v, "bbu"); }},
    {"alarm", [](AdapterView& a, const std::string& v) { a.alarm = present_absent(v, "alarm"); }},
    {"degraded", [](AdapterView& a, const std::string& v) { a.degraded = parse_as<unsigned>(v, 0, 255, "degraded"); }},
    {"offline", [](AdapterView& a, const std::string& v) { a.offline = parse_as<unsigned>(v, 0, 255, "offline"); }},
    {"critical-disks",
     [](AdapterView& a, const std::string& v) { a.critical = parse_as<unsigned>(v, 0, 255, "critical-disks"); }},
    {"failed-disks",
     [](AdapterView& a, const std::string& v) { a.failed = parse_as<unsigned>(v, 0, 255, "failed-disks"); }},
};

// ---------------------------------------------------------------- event

// "YYYY-MM-DD hh:mm:ss" (or with a T between), as seconds since 1970.
int64_t event_time(const std::string& v) {
    struct tm tm {};
    char sep = 0;
    int used = 0;
    if (sscanf(v.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &sep, &tm.tm_hour,
               &tm.tm_min, &tm.tm_sec, &used) != 7 ||
        static_cast<size_t>(used) != v.size() || (sep != ' ' && sep != 'T') || tm.tm_year < 1990 || tm.tm_year > 2099 ||
        tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 59)
        fail("bad time '" + v + "' (YYYY-MM-DD hh:mm:ss)");
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&tm));
}

// "K/ASC/ASCQ" in hex, as the event's description prints it.
std::array<uint8_t, 3> sense_codes(const std::string& v) {
    unsigned k = 0, asc = 0, ascq = 0;
    int used = 0;
    if (sscanf(v.c_str(), "%2x/%2x/%2x%n", &k, &asc, &ascq, &used) != 3 || static_cast<size_t>(used) != v.size() ||
        k > 0x0F)
        fail("bad sense '" + v + "' (K/ASC/ASCQ in hex, e.g. 3/11/00)");
    return {static_cast<uint8_t>(k), static_cast<uint8_t>(asc), static_cast<uint8_t>(ascq)};
}

const Key<ControllerEvent> kEventKeys[] = {
    {"text", [](ControllerEvent& e, const std::string& v) { e.text = v; }},
    {"code",
     [](ControllerEvent& e, const std::string& v) { e.code = parse_as<unsigned>(v, 0, 0xFFFFFFFFLL, "event code"); }},
    {"class", [](ControllerEvent& e, const std::string& v) { e.cls = parse_as<int>(v, -2, 4, "event class"); }},
    {"locale", [](ControllerEvent& e, const std::string& v) { e.locale = v; }},
    {"pd", [](ControllerEvent& e, const std::string& v) { e.device = device_id(v); }},
    {"cdb",
     [](ControllerEvent& e, const std::string& v) {
         e.cdb = parse_hex(v);
         if (e.cdb.size() != 6 && e.cdb.size() != 10 && e.cdb.size() != 12 && e.cdb.size() != 16)
             fail("a CDB holds 6, 10, 12 or 16 bytes");
     }},
    {"sense", [](ControllerEvent& e, const std::string& v) { e.sense = sense_codes(v); }},
    {"repeat", [](ControllerEvent& e, const std::string& v) { e.repeat = parse_as<unsigned>(v, 1, 100000, "repeat"); }},
    {"every", [](ControllerEvent& e, const std::string& v) { e.every = parse_as<unsigned>(v, 0, 31536000, "every"); }},
};

// Built by appending: GCC 12 at -O3 over the portable build's GCC 10 headers
// warns falsely (array-bounds) on "literal" + std::string&& + "literal".
std::string with_number(const char* before, unsigned n, const char* after) {
    std::string s(before);
    s += std::to_string(n);
    s += after;
    return s;
}

}  // namespace

void read_virtual_drive(ParseState& ps, const Tokens& t, const Statement& st) {
    const unsigned c = ctrl_index(t[1]);
    VirtualDrive vd;
    vd.id = parse_as<unsigned>(t[2], 0, 63, "virtual drive id");
    vd.spans = 0;  // none given: what the level needs
    read_keys<VirtualDrive>(vd, t, 3, kVirtualDriveKeys, st, "vd ");
    if (vd.spans == 0) vd.spans = vd.level >= 10 ? 2 : 1;
    if (vd.members.empty()) fail("a virtual drive has at least one drive");
    if ((vd.level >= 10) != (vd.spans > 1)) fail("RAID 10, 50 and 60 span two or more spans, the others one");
    if (vd.members.size() % vd.spans != 0) fail("the drives do not divide into the spans");
    for (uint16_t id : vd.members) {
        const Device* d = ps.sc.device(c, id);
        if (d == nullptr || d->kind == DeviceKind::Enclosure || d->kind == DeviceKind::Silent)
            fail(with_number("drive ", id, " is not a disk declared before this line"));
    }
    Controller& ctrl = ensure_controller(ps, c);
    for (const auto& other : ctrl.virtualDrives)
        if (other.id == vd.id) fail(with_number("virtual drive ", vd.id, " declared twice"));
    ctrl.virtualDrives.push_back(std::move(vd));
}

void read_drive_view(ParseState& ps, const Tokens& t, const Statement& st) {
    Device& d = existing_device(ps, t[1], t[2]);
    if (d.kind == DeviceKind::Enclosure || d.kind == DeviceKind::Silent) fail("pd is for a disk");
    read_keys<DriveView>(d.view, t, 3, kDriveViewKeys, st, "pd ");
    if (d.view.progress && d.view.state != "Rebuild" && d.view.state != "Copyback")
        fail("progress is for a drive in Rebuild or Copyback");
    if (!d.view.listed) d.view.answers = false;  // a drive pulled from its slot answers nothing
}

void read_adapter(ParseState& ps, const Tokens& t, const Statement& st) {
    read_keys<AdapterView>(ensure_controller(ps, ctrl_index(t[1])).adapter, t, 2, kAdapterKeys, st, "adapter ");
}

void read_event(ParseState& ps, const Tokens& t, const Statement& st) {
    const unsigned c = ctrl_index(t[1]);
    ControllerEvent e;
    e.time = event_time(t[2]);
    read_keys<ControllerEvent>(e, t, 3, kEventKeys, st, "event ");
    if (e.device && ps.sc.device(c, *e.device) == nullptr)
        fail("drive " + std::to_string(*e.device) + " is not declared before this line");
    if (e.sense.has_value() != !e.cdb.empty()) fail("cdb and sense go together");
    if (e.sense && !e.device) fail("a sense event names its drive (pd ID)");
    if (e.sense && e.code == 0) e.code = 0x71;  // Unexpected sense
    if (e.text.empty() && !e.sense) fail("missing text; usage: " + std::string(st.usage));
    ensure_controller(ps, c).events.push_back(std::move(e));
}

}  // namespace sim
