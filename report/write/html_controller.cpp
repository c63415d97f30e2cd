// The RAID controllers on the web page: a panel per controller with its
// adapter, its virtual drives and their members, the drives in no virtual
// drive and a timeline of its warning-and-worse events; and the few lines of
// a disk's entry that give its controller view.
#include <algorithm>
#include <array>

#include "controller_judge.h"
#include "helpers.h"
#include "history.h"
#include "html_parts.h"

namespace rpt::html {
namespace {

// A state as printed, in the colour of its weight; a state that is well
// keeps the text's colour, so that only what needs a look stands out.
std::string state_text(const std::string& text, std::optional<Severity> weight) {
    if (text.empty()) return std::string(kMissingHtml);
    if (!weight) return esc(text);
    return "<span class=\"st st-" + level(severity_name(*weight)) + "\">" + esc(text) + "</span>";
}

std::string drive_state(const PhysicalDrive& d) {
    std::string s = state_text(d.firmware_state, state_severity(d.state));
    return d.progress ? s + " (" + std::to_string(*d.progress) + "%)" : s;
}

// The drive the controller lists at `target`, as a link to the entry of the
// disk it was joined with where there is one.
std::string linked(const Collection& c, size_t ci, unsigned ctl, const std::optional<unsigned>& target,
                   const std::string& text) {
    if (target)
        for (size_t di = 0; di < c.disks.size(); ++di) {
            const Disk& d = c.disks[di];
            if (d.view && d.controller == ctl && d.device == target)
                return "<a href=\"#" + disk_id(ci, di) + "\">" + text + "</a>";
        }
    return text;
}

std::string heading(const Controller& ctl, const Collection& c, bool fleet) {
    const AdapterInfo& a = ctl.adapter;
    std::string out = "<h3>" + (fleet ? esc(c.host) + ": " : std::string()) + "Controller " +
                      std::to_string(ctl.index) + (a.product.empty() ? "" : " &mdash; " + esc(a.product)) + "</h3>\n";
    if (!a.read) return out + "<p class=\"muted\">Its adapter log was not read.</p>\n";
    std::string facts;
    auto add = [&](const char* name, const std::string& v) {
        if (!v.empty()) facts += std::string(facts.empty() ? "" : ", ") + name + " " + esc(v);
    };
    add("serial", a.serial);
    add("firmware", a.firmware);
    add("package", a.package);
    add("clock", a.current_time);
    return out + (facts.empty() ? "" : "<p class=\"muted\">" + facts + "</p>\n");
}

std::string virtual_drives(const Controller& ctl, const Collection& c, size_t ci) {
    if (ctl.virtual_drives.empty()) return "<p class=\"muted\">No virtual drive listed.</p>\n";
    std::string out =
        "<table class=\"virtual-drives\">\n<thead><tr><th>Virtual drive</th><th>Name</th><th>RAID level</th>"
        "<th>Size</th><th>State</th><th>Cache policy</th><th>Members (enclosure:slot, target, state)</th></tr>"
        "</thead>\n<tbody>\n";
    for (const VirtualDrive& vd : ctl.virtual_drives) {
        const auto weight = state_severity(vd.state_kind);
        out += "<tr class=\"vd" + (weight ? " v-" + level(severity_name(*weight)) : std::string()) +
               "\"><td class=\"num\">" + shown(vd.id, kMissingHtml) + "</td><td>" + esc(vd.name) + "</td><td>" +
               esc(vd.raid_level) + "</td><td class=\"num\">" + esc(vd.size) + "</td><td>" +
               state_text(vd.state, weight) + "</td><td>" + esc(vd.cache_current);
        if (!vd.cache_default.empty() && vd.cache_default != vd.cache_current)
            out += " <span class=\"muted\">(default " + esc(vd.cache_default) + ")</span>";
        out += "</td><td><ul class=\"members\">";
        for (const PhysicalDrive& m : vd.members) {
            if (empty_slot(m)) {
                out += "<li>" + esc(empty_slot_text(m)) + "</li>";
                continue;
            }
            const PhysicalDrive* d = listed_drive(ctl, m);
            const PhysicalDrive& stated = d && d->state != DriveState::Unknown ? *d : m;
            const auto target = d && d->device_id ? d->device_id : m.device_id;
            out += "<li>" + linked(c, ci, ctl.index, target, drive_place(d ? *d : m)) + ", target " +
                   shown(target, kMissingPart) + ", " +
                   (stated.state == DriveState::Unknown ? std::string("no state given") : drive_state(stated)) +
                   "</li>";
        }
        out += "</ul></td></tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

std::string spare_drives(const Controller& ctl, const Collection& c, size_t ci) {
    std::string rows;
    for (const PhysicalDrive& d : ctl.physical_drives) {
        const bool member = std::any_of(ctl.virtual_drives.begin(), ctl.virtual_drives.end(), [&](auto& vd) {
            return std::any_of(vd.members.begin(), vd.members.end(), [&](auto& m) { return same_drive(m, d); });
        });
        if (member) continue;
        rows += "<tr><td>" + linked(c, ci, ctl.index, d.device_id, drive_place(d)) + "</td><td class=\"num\">" +
                shown(d.device_id, kMissingPart) + "</td><td>" + drive_state(d) + "</td><td>" + esc(d.pd_type) +
                "</td><td>" + esc(trim(d.vendor + " " + d.product)) + "</td><td class=\"mono\">" + esc(d.serial) +
                "</td></tr>\n";
    }
    if (rows.empty()) return "";
    return "<h4>Drives in no virtual drive</h4>\n<table class=\"spare-drives\">\n<thead><tr><th>Enclosure:slot</th>"
           "<th>Target</th><th>State</th><th>Type</th><th>Drive</th><th>Serial</th></tr></thead>\n<tbody>\n" +
           rows + "</tbody>\n</table>\n";
}

// ---------------------------------------------------------------- timeline

// The plot's columns are its pixels at the page's full width; each holds at
// most one mark per class, so that 10,000 events stay a page of a few
// thousand marks.
constexpr int kWidth = 1000, kLeft = 70, kRight = 20, kLane = 18, kTop = 4;
constexpr int kColumns = kWidth - kLeft - kRight;
constexpr int kLanes = 4;  // warning, critical, fatal, dead
constexpr const char* kClassFill[kLanes] = {"#b26a00", "#c62828", "#7f0000", "#000"};
// Events dated only by the time since boot, listed at most this many.
constexpr size_t kUndatedListed = 50;

int lane(int cls) { return std::min(cls, kLanes) - 1; }

// One event for a tooltip or a list: time, class, code, text, drive.
std::string event_line(const ControllerEvent& e) {
    const char* name = event_class_name(*e.cls);
    std::string s = e.time_text + " \u00b7 " + (*name ? name : "class") + " (" + std::to_string(*e.cls) + ")";
    if (e.code) s += " \u00b7 code 0x" + hex(*e.code, 8);
    s += " \u00b7 " + e.description;
    if (e.enclosure || e.slot)
        s += " \u00b7 drive " + shown(e.enclosure, kMissingPart) + ":" + shown(e.slot, kMissingPart) +
             (e.device_id ? ", target " + shown(e.device_id, kMissingPart) : "");
    else if (e.device_id)
        s += " \u00b7 target " + shown(e.device_id, kMissingPart);
    return s;
}

struct Mark {
    const ControllerEvent *first = nullptr, *last = nullptr;  // by time
    size_t count = 0;
};

std::string axis_label(double x, int64_t t, bool short_span, const char* anchor) {
    return "<text x=\"" + std::to_string(static_cast<int>(x)) + "\" y=\"" + std::to_string(kTop + kLanes * kLane + 16) +
           "\" text-anchor=\"" + anchor + "\">" +
           esc(utc(static_cast<time_t>(t), short_span ? "%m-%d %H:%M" : "%Y-%m-%d")) + "</text>";
}

// The events on a time axis, one lane per class; `marks` says how many were drawn.
std::string plot(const std::vector<const ControllerEvent*>& dated, size_t& marks) {
    int64_t lo = *dated.front()->time, hi = lo;
    for (auto* e : dated) lo = std::min(lo, *e->time), hi = std::max(hi, *e->time);
    // In doubles: a time read from a damaged log may be anything.
    const double span = std::max(1.0, double(hi) - double(lo));
    std::vector<std::array<Mark, kLanes>> columns(kColumns);
    for (auto* e : dated) {
        const auto col = static_cast<size_t>((double(*e->time) - double(lo)) / span * (kColumns - 1));
        Mark& m = columns[std::min<size_t>(col, kColumns - 1)][lane(*e->cls)];
        if (!m.first || *e->time < *m.first->time) m.first = e;
        if (!m.last || *e->time >= *m.last->time) m.last = e;
        ++m.count;
    }
    const int height = kTop + kLanes * kLane + 22;
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                      std::to_string(height) +
                      "\" role=\"img\" aria-label=\"Event timeline\" font-size=\"11\" "
                      "font-family=\"DejaVu Sans, sans-serif\">\n";
    for (int l = 0; l < kLanes; ++l) {
        const int y = kTop + l * kLane;
        out += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + std::to_string(y + 13) +
               "\" text-anchor=\"end\" fill=\"" + kClassFill[l] + "\">" + event_class_name(l + 1) + "</text>";
        out += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kWidth - kRight) + "\" y1=\"" +
               std::to_string(y + kLane / 2) + "\" y2=\"" + std::to_string(y + kLane / 2) + "\" stroke=\"#eceff3\"/>\n";
    }
    const int base = kTop + kLanes * kLane;
    out += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(kWidth - kRight) + "\" y1=\"" +
           std::to_string(base) + "\" y2=\"" + std::to_string(base) + "\" stroke=\"#57606a\"/>\n";
    const bool short_span = span <= 2 * 86400;
    out += axis_label(kLeft, lo, short_span, "start");
    if (hi > lo) {
        out += axis_label(kLeft + kColumns / 2.0, lo + (hi - lo) / 2, short_span, "middle");
        out += axis_label(kWidth - kRight, hi, short_span, "end");
    }
    out += "\n";
    for (int col = 0; col < kColumns; ++col)
        for (int l = 0; l < kLanes; ++l) {
            const Mark& m = columns[col][l];
            if (!m.count) continue;
            ++marks;
            std::string tip = m.count == 1 ? event_line(*m.first)
                                           : std::to_string(m.count) + " events from " + m.first->time_text + " to " +
                                                 m.last->time_text + "; the first and the last:\n" +
                                                 event_line(*m.first) + "\n" + event_line(*m.last);
            out += "<rect x=\"" + std::to_string(kLeft + col) + "\" y=\"" + std::to_string(kTop + l * kLane + 2) +
                   "\" width=\"2\" height=\"" + std::to_string(kLane - 4) + "\" fill=\"" + kClassFill[l] +
                   "\"><title>" + esc(tip) + "</title></rect>\n";
        }
    return out + "</svg>\n";
}

std::string timeline(const Controller& ctl) {
    std::vector<const ControllerEvent*> dated, undated;
    for (const ControllerEvent& e : ctl.events)
        if (e.cls && *e.cls >= 1) (e.time ? dated : undated).push_back(&e);
    if (dated.empty() && undated.empty())
        return ctl.events.empty() ? "" : "<p class=\"muted\">No warning or worse event in the event log.</p>\n";
    std::string out = "<figure class=\"timeline\"><figcaption><b>Warning and worse events</b>";
    if (!dated.empty()) {
        size_t marks = 0;
        const std::string svg = plot(dated, marks);
        out += " on the controller's clock: " + std::to_string(dated.size()) + " drawn as " + std::to_string(marks) +
               " mark(s)";
        if (marks < dated.size())
            out += " (" + std::to_string(dated.size() - marks) +
                   " merged into the mark of an event of the same class at the same point; its tooltip counts them)";
        out += "</figcaption>\n" + svg;
    } else {
        out += "</figcaption>\n";
    }
    if (!undated.empty()) {
        out += "<p>" + std::to_string(undated.size()) +
               " dated only by the time since the controller booted, so not on the axis:</p>\n<ul class=\"undated\">\n";
        for (size_t i = 0; i < undated.size() && i < kUndatedListed; ++i)
            out += "<li>" + esc(event_line(*undated[i])) + "</li>\n";
        if (undated.size() > kUndatedListed)
            out += "<li class=\"muted\">and " + std::to_string(undated.size() - kUndatedListed) + " more</li>\n";
        out += "</ul>\n";
    }
    return out + "</figure>\n";
}

}  // namespace

const char* const kControllerStyle = R"(
section.controller { margin: 8px 0 20px; }
section.controller h4 { font-size: 13px; margin: 10px 0 4px; }
ul.members { margin: 0; padding-left: 0; list-style: none; }
.st { font-weight: bold; } .st-info { color: var(--info); } .st-warn { color: var(--warn); }
.st-fail { color: var(--fail); } .st-unknown { color: var(--unknown); }
figure.timeline { margin: 10px 0 0; } figure.timeline svg { width: 100%; height: auto; display: block; }
ul.undated { margin: 0; font-family: "DejaVu Sans Mono", monospace; font-size: 12px; }
p.view { margin: 2px 0 6px; }
@media print { section.controller { break-inside: avoid; } }
)";

std::string controllers(const Report& r, bool fleet) {
    std::string out;
    for (size_t ci = 0; ci < r.collections.size(); ++ci) {
        const Collection& c = r.collections[ci];
        for (const Controller& ctl : c.controllers) {
            out += "<section class=\"controller\" id=\"" + controller_id(ci, ctl.index) + "\">\n";
            out += heading(ctl, c, fleet) + virtual_drives(ctl, c, ci) + spare_drives(ctl, c, ci) + timeline(ctl);
            out += "</section>\n";
        }
    }
    return out.empty() ? out : "<h2>Controllers</h2>\n" + out;
}

std::string disk_view(const Collection& c, size_t ci, const Disk& d) {
    if (!d.view || !d.controller) return "";
    const PhysicalDrive& pd = *d.view->drive;
    std::string out = "<p class=\"view\"><a href=\"#" + controller_id(ci, *d.controller) + "\">Controller " +
                      std::to_string(*d.controller) + "</a>: " + esc(drive_place(pd)) + ", " + drive_state(pd);
    std::string counts;
    auto count = [&](const char* name, const std::string& v) {
        if (!v.empty()) counts += (counts.empty() ? "; " : ", ") + (name + (" " + v));
    };
    count("media errors", shown(pd.media_errors, ""));
    count("other errors", shown(pd.other_errors, ""));
    count("predictive failures", shown(pd.predictive_failures, ""));
    if (pd.smart_alert) count("S.M.A.R.T alert", *pd.smart_alert ? "yes" : "no");
    out += counts;
    const Controller* ctl = nullptr;
    for (const Controller& x : c.controllers)
        if (x.index == *d.controller) ctl = &x;
    for (unsigned id : d.view->virtual_drives) {
        out += "; virtual drive " + std::to_string(id);
        if (ctl)
            for (const VirtualDrive& vd : ctl->virtual_drives)
                if (vd.id == id)
                    out += " (" + esc(vd.raid_level) + (vd.raid_level.empty() ? "" : ", ") +
                           state_text(vd.state, state_severity(vd.state_kind)) + ")";
    }
    const size_t worse = std::count_if(d.view->events.begin(), d.view->events.end(),
                                       [](const ControllerEvent* e) { return e->cls && *e->cls >= 1; });
    out += "; " + std::to_string(d.view->events.size()) + " event(s), " + std::to_string(worse) +
           " of them warning or worse.";
    if (!pd.source.empty()) out += " Listed in " + esc(pd.source) + ".";
    if (!d.logged) out += " It left no drive log: this entry is the controller's view alone.";
    return out + "</p>\n";
}

}  // namespace rpt::html
