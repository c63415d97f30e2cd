// A collection's controller logs: which file is which, each read by its
// reader, the records sorted to their controllers, and each controller's
// drives and virtual drives put together from the logs that list them.
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <exception>
#include <thread>
#include <type_traits>

#include "cli_text.h"
#include "controller.h"
#include "controller_read.h"
#include "helpers.h"
#include "textmatch.h"

namespace rpt {
namespace {

struct LogName {
    ControllerLog kind;
    const char* pattern;  // in lower case; the name is compared in lower case
    const char* title;    // what findings call it
};
constexpr LogName kLogNames[] = {
    {ControllerLog::TermLog, "controller_%u_fwtermlog.log", "terminal log"},
    {ControllerLog::Configuration, "controller_%u_cfgdsply.log", "configuration log"},
    {ControllerLog::Adapter, "controller_%u_adpallinfo.log", "adapter log"},
    {ControllerLog::Drives, "controller_%u_pdlist.log", "drive list"},
    {ControllerLog::VirtualDrives, "controller_%u_ldinfo.log", "virtual drive log"},
    {ControllerLog::Members, "controller_%u_ldpdinfo.log", "members log"},
    {ControllerLog::Events, "controller_%u_flashrom.log", "event log"},
};

Controller& controller(std::map<unsigned, Controller>& into, unsigned index) {
    Controller& c = into[index];
    c.index = index;
    return c;
}

// Records to the controller of their adapter; the whole list at once when
// it is all of one adapter and that controller has none yet (the usual
// case, and thousands of events).
template <class T, class List>
void sort_to(std::map<unsigned, Controller>& into, List list, std::vector<T>&& records) {
    const bool one =
        std::all_of(records.begin(), records.end(), [&](const T& x) { return x.adapter == records.front().adapter; });
    if (!records.empty() && one && list(controller(into, records.front().adapter)).empty()) {
        list(controller(into, records.front().adapter)) = std::move(records);
        return;
    }
    for (auto& x : records) list(controller(into, x.adapter)).push_back(std::move(x));
}

std::vector<VirtualDrive>& listing_of(Listings& l, ControllerLog kind) {
    return kind == ControllerLog::VirtualDrives ? l.virtual_drives
           : kind == ControllerLog::Members     ? l.members
                                                : l.configuration;
}

// ---------------------------------------------------------------- putting the listings together

template <class V>
bool unset(const std::optional<V>& v) {
    return !v;
}
bool unset(const std::string& v) { return v.empty(); }
template <class V>
bool unset(const std::vector<V>& v) {
    return v.empty();
}

// The fields First, More... of `from` where `to` lacks First (the others
// belong with it: a state with its words, a size with its sectors).
template <auto First, auto... More>
void take(cli::owner_t<First>& to, const cli::owner_t<First>& from) {
    if (!unset(to.*First) || unset(from.*First)) return;
    to.*First = from.*First;
    ((to.*More = from.*More), ...);
}

using D = PhysicalDrive;
constexpr void (*kDriveFields[])(D&, const D&) = {
    take<&D::enclosure>,
    take<&D::slot>,
    take<&D::device_id>,
    take<&D::disk_group, &D::span, &D::arm>,
    take<&D::media_errors>,
    take<&D::other_errors>,
    take<&D::predictive_failures>,
    take<&D::pd_type>,
    take<&D::raw_size, &D::raw_sectors>,
    take<&D::firmware_state, &D::state, &D::progress>,
    take<&D::sas_addresses>,
    take<&D::inquiry, &D::vendor, &D::product, &D::revision, &D::serial>,
    take<&D::foreign_state>,
    take<&D::device_speed, &D::device_gbps>,
    take<&D::link_speed, &D::link_gbps>,
    take<&D::media_type>,
    take<&D::temperature>,
    take<&D::smart_alert>,
};

using V = VirtualDrive;
constexpr void (*kVirtualDriveFields[])(V&, const V&) = {
    take<&V::target>,
    take<&V::name>,
    take<&V::primary, &V::secondary, &V::qualifier, &V::raid_level>,
    take<&V::size>,
    take<&V::state, &V::state_kind>,
    take<&V::drives, &V::drives_per_span>,
    take<&V::span_depth>,
    take<&V::cache_default>,
    take<&V::cache_current>,
    take<&V::bad_blocks>,
    take<&V::members>,
};

template <auto M>
std::string count_of(const PhysicalDrive& d) {
    return d.*M ? std::to_string(*(d.*M)) : "";
}

// What two logs may give otherwise, compared where both give it: the state
// (`what` null) and the counts.
template <class T>
struct Compared {
    const char* what;
    std::string (*value)(const T&);  // "" when not given
};
constexpr Compared<PhysicalDrive> kDriveCompared[] = {
    {nullptr, [](const PhysicalDrive& d) { return state_label(d); }},
    {"media error count", count_of<&D::media_errors>},
    {"other error count", count_of<&D::other_errors>},
    {"predictive failure count", count_of<&D::predictive_failures>},
};
constexpr Compared<VirtualDrive> kVirtualDriveCompared[] = {
    {nullptr, [](const VirtualDrive& v) { return state_label(v); }},
};

// One row being put together: the entry and, for each compared value, the
// log that gave it.
template <class T, size_t N>
struct Row {
    T entry;
    std::array<ControllerLog, N> from{};
};

// Adds `x`, listed by log `kind`, to the rows: a new row, or the fields the
// row lacks, and a disagreement where both give a compared value.
template <class T, size_t N>
void add_to(std::vector<Row<T, N>>& rows, const T& x, ControllerLog kind,
            std::type_identity_t<bool (*)(const T&, const T&)> same,
            std::type_identity_t<std::span<void (*const)(T&, const T&)>> fields, const Compared<T> (&compared)[N],
            std::type_identity_t<std::string (*)(const T&)> subject, std::optional<unsigned> target,
            std::vector<Disagreement>& out) {
    auto row = std::find_if(rows.begin(), rows.end(), [&](const Row<T, N>& r) { return same(r.entry, x); });
    if (row == rows.end()) {
        rows.push_back({x, {}});
        rows.back().from.fill(kind);
        return;
    }
    for (size_t i = 0; i < N; ++i) {
        const std::string kept = compared[i].value(row->entry), other = compared[i].value(x);
        if (kept.empty()) row->from[i] = kind;
        if (kept.empty() || other.empty() || kept == other) continue;
        const std::string in =
            " in the " + std::string(log_title(row->from[i])) + ", " + other + " in the " + log_title(kind);
        out.push_back({target, compared[i].what ? subject(row->entry) + ": " + compared[i].what + " " + kept + in
                                                : subject(row->entry) + " is " + kept + in});
    }
    for (auto take_field : fields) take_field(row->entry, x);
}

// One drive in two logs: the same device id, else (where either lacks it)
// the same enclosure and slot.
bool same_row(const PhysicalDrive& a, const PhysicalDrive& b) {
    if (a.device_id && b.device_id) return a.device_id == b.device_id;
    return a.enclosure && a.slot && a.enclosure == b.enclosure && a.slot == b.slot;
}
bool same_number(const VirtualDrive& a, const VirtualDrive& b) { return a.id && a.id == b.id; }

std::string drive_subject(const PhysicalDrive& d) { return "drive " + drive_name(d); }
std::string virtual_drive_subject(const VirtualDrive& v) {
    return "virtual drive " + (v.id ? std::to_string(*v.id) : std::string("?"));
}

}  // namespace

const char* log_title(ControllerLog kind) {
    for (const auto& n : kLogNames)
        if (n.kind == kind) return n.title;
    return "";
}

void put_together(Controller& c) {
    c.disagreements.clear();
    constexpr ControllerLog kListings[] = {ControllerLog::VirtualDrives, ControllerLog::Members,
                                           ControllerLog::Configuration};
    std::vector<Row<VirtualDrive, std::size(kVirtualDriveCompared)>> vds;
    std::vector<Row<PhysicalDrive, std::size(kDriveCompared)>> drives;
    for (const auto& d : c.listed.drives)
        add_to(drives, d, ControllerLog::Drives, same_row, kDriveFields, kDriveCompared, drive_subject, d.device_id,
               c.disagreements);
    for (ControllerLog kind : kListings)
        for (const auto& vd : listing_of(c.listed, kind)) {
            add_to(vds, vd, kind, same_number, kVirtualDriveFields, kVirtualDriveCompared, virtual_drive_subject,
                   std::nullopt, c.disagreements);
            for (const auto& m : vd.members)
                if (!empty_slot(m))
                    add_to(drives, m, kind, same_row, kDriveFields, kDriveCompared, drive_subject, m.device_id,
                           c.disagreements);
        }
    c.virtual_drives.clear();
    for (auto& r : vds) c.virtual_drives.push_back(std::move(r.entry));
    c.physical_drives.clear();
    for (auto& r : drives) c.physical_drives.push_back(std::move(r.entry));
}

std::optional<std::pair<ControllerLog, unsigned>> controller_log(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const auto& n : kLogNames) {
        Caps caps;
        if (!match(n.pattern, lower, caps) || caps[0].size() > 5) continue;
        return std::make_pair(n.kind, static_cast<unsigned>(std::stoul(std::string(caps[0]))));
    }
    return std::nullopt;
}

namespace {

// What one log holds, read but not yet sorted to its controllers: reading
// touches nothing shared, so the logs of a collection are read at once.
struct LogRead {
    std::vector<VirtualDrive> virtual_drives;
    std::vector<std::pair<unsigned, AdapterInfo>> adapters;
    std::vector<PhysicalDrive> drives;
    std::vector<ControllerEvent> events;
    std::vector<ControllerProblem> problems;
};

LogRead read_log(ControllerLog kind, std::string_view text, const std::string& file, unsigned index) {
    cli::Reader r(file, index);
    LogRead out;
    switch (kind) {
    case ControllerLog::TermLog: break;  // only its presence and size count
    case ControllerLog::Configuration:
    case ControllerLog::VirtualDrives:
    case ControllerLog::Members:
        out.problems = read_virtual_drives(text, r, out.virtual_drives, kind == ControllerLog::Configuration);
        for (auto& vd : out.virtual_drives) {
            vd.source = file;
            for (auto& m : vd.members) m.source = file;
        }
        break;
    case ControllerLog::Adapter: out.problems = read_adapters(text, r, out.adapters); break;
    case ControllerLog::Drives:
        out.problems = read_drive_list(text, r, out.drives);
        for (auto& d : out.drives) d.source = file;
        break;
    case ControllerLog::Events: out.problems = read_events(text, r, out.events); break;
    }
    return out;
}

// A log's records into the controllers by index, in the order of the logs.
void sort_log(ControllerLog kind, LogRead&& log, unsigned index, std::map<unsigned, Controller>& into) {
    for (auto& vd : log.virtual_drives) listing_of(controller(into, vd.adapter).listed, kind).push_back(std::move(vd));
    for (auto& [adapter, info] : log.adapters) controller(into, adapter).adapter = std::move(info);
    sort_to(
        into, [](Controller & c) -> auto& { return c.listed.drives; }, std::move(log.drives));
    sort_to(
        into, [](Controller & c) -> auto& { return c.events; }, std::move(log.events));
    auto& own = controller(into, index).problems;
    own.insert(own.end(), log.problems.begin(), log.problems.end());
}

}  // namespace

void read_controller_log(ControllerLog kind, std::string_view text, const std::string& file, unsigned index,
                         std::map<unsigned, Controller>& into) {
    sort_log(kind, read_log(kind, text, file, index), index, into);
}

bool same_drive(const PhysicalDrive& m, const PhysicalDrive& d) {
    return m.device_id ? d.device_id == m.device_id : m.enclosure && d.enclosure == m.enclosure && d.slot == m.slot;
}

const PhysicalDrive* listed_drive(const Controller& c, const PhysicalDrive& m) {
    for (auto& d : c.physical_drives)
        if (same_drive(m, d)) return &d;
    return nullptr;
}

bool has_log(const Controller& c, ControllerLog kind) {
    return std::any_of(c.files.begin(), c.files.end(),
                       [&](const ControllerFile& f) { return f.kind == kind && f.read; });
}

std::string state_label(const PhysicalDrive& d) {
    if (d.state == DriveState::Unknown) return "";
    return d.state == DriveState::Other ? trim(d.firmware_state.substr(0, d.firmware_state.find(',')))
                                        : drive_state_name(d.state);
}

std::string state_label(const VirtualDrive& v) {
    if (v.state_kind == VirtualDriveState::Unknown) return "";
    return v.state_kind == VirtualDriveState::Other ? trim(v.state) : virtual_drive_state_name(v.state_kind);
}

std::string drive_place(const PhysicalDrive& d) {
    return shown(d.enclosure, kMissingPart) + ":" + shown(d.slot, kMissingPart);
}

bool empty_slot(const PhysicalDrive& m) {
    return !m.device_id && !m.enclosure && !m.slot && m.inquiry.empty() && m.sas_addresses.empty() &&
           m.firmware_state.empty();
}

std::string empty_slot_text(const PhysicalDrive& m) {
    return "span " + shown(m.span, kMissingPart) + ", arm " + shown(m.arm, kMissingPart) + ": no drive" +
           (m.disk_group ? " (disk group " + std::to_string(*m.disk_group) + ")" : "");
}

std::string drive_name(const PhysicalDrive& d) {
    std::string s = drive_place(d) + " (target " + shown(d.device_id, kMissingPart);
    return d.serial.empty() ? s + ")" : s + ", serial " + d.serial + ")";
}

std::string virtual_drive_name(const VirtualDrive& vd) {
    return "virtual drive " + shown(vd.id, kMissingPart) + (vd.raid_level.empty() ? "" : " (" + vd.raid_level + ")");
}

std::string drive_state_text(const PhysicalDrive& d) {
    switch (d.state) {
    case DriveState::Unknown: return "";
    case DriveState::Other: return d.firmware_state;
    default: return drive_state_name(d.state);
    }
}

namespace {

// A host's controller logs as jobs that any thread may take, largest
// first: the last to end is a small one.
class SharedReading {
public:
    explicit SharedReading(std::span<const InputFile> files) {
        for (const InputFile& f : files) {
            auto log = controller_log(f.name);
            if (!log) continue;
            const auto [kind, index] = *log;
            controller(into_, index).files.push_back({kind, f.name, f.data.size(), f.loaded});
            if (f.loaded) jobs_.push_back({&f, kind, index});
        }
        read_.resize(jobs_.size());
        order_.resize(jobs_.size());
        for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
        std::stable_sort(order_.begin(), order_.end(),
                         [&](size_t a, size_t b) { return jobs_[a].file->data.size() > jobs_[b].file->data.size(); });
    }

    bool any() const { return !jobs_.empty(); }

    // Reads logs until none is left unstarted; on any thread, at once.
    void help() noexcept {
        for (size_t i; !failed_ && (i = next_++) < jobs_.size();) {
            const Job& j = jobs_[order_[i]];
            try {
                read_[order_[i]] = read_log(j.kind, j.file->data, j.file->name, j.index);
            } catch (...) {
                if (!failed_.exchange(true)) error_ = std::current_exception();
            }
        }
    }

    // Once every help() has returned.
    std::vector<Controller> take() {
        if (failed_) std::rethrow_exception(error_);
        for (size_t i = 0; i < jobs_.size(); ++i) sort_log(jobs_[i].kind, std::move(read_[i]), jobs_[i].index, into_);
        std::vector<Controller> out;
        for (auto& [index, c] : into_) {
            put_together(c);
            c.listed = {};  // all in the rows now; a fleet keeps thousands of controllers
            out.push_back(std::move(c));
        }
        return out;
    }

private:
    struct Job {
        const InputFile* file;
        ControllerLog kind;
        unsigned index;
    };
    std::map<unsigned, Controller> into_;
    std::vector<Job> jobs_;
    std::vector<size_t> order_;
    std::vector<LogRead> read_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> failed_{false};
    std::exception_ptr error_;  // the first a reader met
};

}  // namespace

std::vector<Controller> read_controllers(std::span<const InputFile> files, unsigned helpers,
                                         const std::function<void()>& beside) {
    SharedReading reading(files);
    {
        std::vector<std::jthread> readers;  // joined when done, or when `beside` throws
        for (unsigned t = 0; reading.any() && t < helpers; ++t) readers.emplace_back([&] { reading.help(); });
        if (beside) beside();
        reading.help();
    }
    return reading.take();
}

// On as many threads as the processors allow: a host's logs are
// megabytes, thousands of drives and events.
std::vector<Controller> read_controllers(std::span<const InputFile> files) {
    const unsigned processors = std::thread::hardware_concurrency();
    return read_controllers(files, processors > 0 ? processors - 1 : 0, {});
}

}  // namespace rpt
