// The web page of a report: summary, disk table, two bar charts (inline
// SVG), the findings of every disk and the error log. It reads only the JSON
// document, so the page always shows what --json shows.
#include "html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <string_view>

using nlohmann::json;

namespace {

// ---------------------------------------------------------------- reading
// The document comes from our own program, but a page must never fail to
// render because one field is missing or of another type.

const json& field(const json& obj, const char* key) {
    static const json none;
    if (!obj.is_object()) return none;
    auto it = obj.find(key);
    return it == obj.end() ? none : *it;
}

const json& list(const json& obj, const char* key) {
    static const json empty = json::array();
    const json& v = field(obj, key);
    return v.is_array() ? v : empty;
}

std::string text(const json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_null()) return "";
    return v.dump();
}

std::string text(const json& obj, const char* key) { return text(field(obj, key)); }

// A count or a temperature for the charts; nullopt when not a number.
std::optional<double> number(const json& obj, const char* key) {
    const json& v = field(obj, key);
    if (!v.is_number()) return std::nullopt;
    return v.get<double>();
}

// A counter for the error chart: absent or negative counts nothing.
double count(const json& counters, const char* key) { return std::max(0.0, number(counters, key).value_or(0)); }

// ---------------------------------------------------------------- writing

// Text for an element or an attribute value. C0 controls other than
// whitespace are not allowed in HTML and could hide parts of a line.
std::string esc(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 16);
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\t': case '\n': case '\r': out += c; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) out += "&#xFFFD;";
            else out += c;
        }
    }
    return out;
}

// Class suffix of a verdict or severity; anything unexpected is "unknown",
// so the class attribute never carries input text.
std::string level(const std::string& v) {
    if (v == "OK") return "ok";
    if (v == "INFO") return "info";
    if (v == "WARN") return "warn";
    if (v == "FAIL") return "fail";
    return "unknown";
}

std::string fmt(double v) {
    char b[32];
    snprintf(b, sizeof b, "%.0f", v);
    return b;
}

// Shown for a value that is null: the disk did not report it.
constexpr const char* kNone = "&ndash;";

std::string cell(const json& disk, const char* key, const char* cls = nullptr) {
    std::string open = cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    const json& v = field(disk, key);
    return open + (v.is_null() ? std::string(kNone) : esc(text(v))) + "</td>";
}

const char* kStyle = R"(
:root { --ok:#1e7d32; --warn:#b26a00; --fail:#c62828; --info:#1565c0; --unknown:#616161; --line:#d0d4d9; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Segoe UI", Arial, sans-serif; font-size: 14px; color: #1b1f23;
       margin: 0 auto; padding: 16px 24px; max-width: 1320px; line-height: 1.35; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 24px 0 8px; border-bottom: 2px solid var(--line); padding-bottom: 3px; }
h3 { font-size: 14px; margin: 14px 0 4px; }
.muted { color: #57606a; }
.badge { display: inline-block; padding: 1px 8px; border-radius: 10px; color: #fff; font-weight: bold; font-size: 12px; }
.b-ok { background: var(--ok); } .b-warn { background: var(--warn); } .b-fail { background: var(--fail); }
.b-info { background: var(--info); } .b-unknown { background: var(--unknown); }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 4px 8px; border-bottom: 1px solid var(--line); vertical-align: top; }
th { background: #f2f4f7; font-size: 12px; text-transform: uppercase; letter-spacing: .03em; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.mono, code { font-family: "DejaVu Sans Mono", monospace; font-size: 12px; }
tr.v-fail td.verdict { color: var(--fail); font-weight: bold; }
tr.v-warn td.verdict { color: var(--warn); font-weight: bold; }
tr.v-ok td.verdict { color: var(--ok); font-weight: bold; }
tr.v-unknown td.verdict { color: var(--unknown); font-weight: bold; }
tr.v-fail { background: #fdecea; } tr.v-warn { background: #fff6e5; }
.charts { display: flex; flex-wrap: wrap; gap: 24px; }
.chart { flex: 1 1 520px; min-width: 0; margin: 0; }
.chart svg { width: 100%; height: auto; }
ul.findings { margin: 0; padding-left: 0; list-style: none; }
ul.findings li { padding: 2px 0; }
.sev { display: inline-block; min-width: 44px; font-weight: bold; font-size: 12px; }
.sev-info { color: var(--info); } .sev-warn { color: var(--warn); } .sev-fail { color: var(--fail); }
.sev-unknown { color: var(--unknown); }
td.record { white-space: pre-wrap; font-family: "DejaVu Sans Mono", monospace; font-size: 12px; }
@media print {
  body { font-size: 10pt; max-width: none; padding: 0; }
  h2 { break-after: avoid; }
  tr, .chart, section.disk { break-inside: avoid; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  .chart { flex-basis: 100%; }
}
)";

// ---------------------------------------------------------------- parts

std::string finding_list(const json& findings) {
    std::string out = "<ul class=\"findings\">\n";
    for (const json& x : findings) {
        std::string sev = text(x, "severity");
        out += "<li class=\"sev-" + level(sev) + "\"><span class=\"sev sev-" + level(sev) + "\">" + esc(sev) +
               "</span> <code>" + esc(text(x, "code")) + "</code> " + esc(text(x, "text")) + "</li>\n";
    }
    return out + "</ul>\n";
}

struct Disk {
    const json* j;
    std::string label;  // file, with the host in front in a fleet view
};

std::string summary(const json& report, bool fleet) {
    const json& s = field(report, "summary");
    std::string out = "<p class=\"summary\">" + esc(text(s, "disks")) + " disk(s): ";
    const char* keys[] = {"ok", "warn", "fail"};
    const char* names[] = {"OK", "WARN", "FAIL"};
    for (int i = 0; i < 3; ++i)
        out += std::string("<span class=\"badge b-") + keys[i] + "\">" + esc(text(s, keys[i])) + " " + names[i] +
               "</span> ";
    out += "</p>\n";
    // Where each host's logs came from, and what was found about the
    // directory as a whole (no error log, files left from an earlier run).
    for (const json& h : list(report, "hosts")) {
        out += "<p class=\"muted\">" + (fleet ? "<b>" + esc(text(h, "host")) + "</b>: " : std::string()) +
               esc(text(h, "source")) + "</p>\n";
        if (!list(h, "findings").empty()) out += finding_list(list(h, "findings"));
    }
    return out;
}

std::string disk_table(const std::vector<Disk>& disks, bool fleet) {
    std::string out = "<table class=\"disks\">\n<thead><tr>";
    if (fleet) out += "<th>Host</th>";
    out += "<th>File</th><th>Vendor</th><th>Product</th><th>Revision</th><th>Serial</th>"
           "<th>Temp. &deg;C</th><th>Ref. &deg;C</th><th>Power-on h</th><th>Findings</th><th>Verdict</th></tr></thead>\n"
           "<tbody>\n";
    for (const Disk& d : disks) {
        const json& j = *d.j;
        std::string v = text(j, "verdict");
        out += "<tr class=\"disk v-" + level(v) + "\">";
        if (fleet) out += cell(j, "host");
        out += cell(j, "file", "mono") + cell(j, "vendor") + cell(j, "product") + cell(j, "revision") +
               cell(j, "serial", "mono") + cell(j, "temperature", "num") + cell(j, "reference_temperature", "num") +
               cell(j, "power_on_hours", "num") + "<td class=\"num\">" +
               std::to_string(list(j, "findings").size()) + "</td><td class=\"verdict\">" + esc(v) + "</td></tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

// Horizontal bars, one row per disk, in a fixed coordinate system that the
// browser scales to the column width.
struct Bar {
    std::string label;
    double value = 0;           // bar length in chart units (0..1)
    std::string caption;        // text after the bar
    std::string cls;            // fill colour class
    std::optional<double> mark; // a tick (0..1), e.g. the reference temperature
    std::string tip;            // tooltip
};

std::string svg_bars(const std::string& title, const std::vector<Bar>& bars) {
    const int row = 20, top = 8, label_w = 190, bar_w = 380, width = 700;
    int height = top * 2 + row * static_cast<int>(std::max<size_t>(bars.size(), 1));
    std::string out = "<figure class=\"chart\"><figcaption><b>" + esc(title) + "</b></figcaption>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(width) + " " +
           std::to_string(height) + "\" role=\"img\" aria-label=\"" + esc(title) + "\" font-size=\"12\" "
           "font-family=\"DejaVu Sans, sans-serif\">\n";
    out += "<style>.f-ok{fill:#1e7d32}.f-warn{fill:#b26a00}.f-fail{fill:#c62828}.f-none{fill:#9e9e9e}</style>\n";
    int y = top;
    for (const Bar& b : bars) {
        double len = std::clamp(b.value, 0.0, 1.0) * bar_w;
        std::string ys = std::to_string(y);
        out += "<g><title>" + esc(b.tip) + "</title>";
        out += "<text x=\"" + std::to_string(label_w - 6) + "\" y=\"" + std::to_string(y + 14) +
               "\" text-anchor=\"end\">" + esc(b.label) + "</text>";
        out += "<rect x=\"" + std::to_string(label_w) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" + fmt(len) +
               "\" height=\"14\" class=\"f-" + b.cls + "\"/>";
        if (b.mark) {
            std::string mx = fmt(label_w + std::clamp(*b.mark, 0.0, 1.0) * bar_w);
            out += "<line x1=\"" + mx + "\" x2=\"" + mx + "\" y1=\"" + ys + "\" y2=\"" + std::to_string(y + row) +
                   "\" stroke=\"#000\" stroke-width=\"2\" stroke-dasharray=\"3,2\"/>";
        }
        double end = std::max(len, b.mark ? std::clamp(*b.mark, 0.0, 1.0) * bar_w : 0.0);
        out += "<text x=\"" + fmt(label_w + end + 6) + "\" y=\"" + std::to_string(y + 14) + "\">" + esc(b.caption) +
               "</text></g>\n";
        y += row;
    }
    if (bars.empty()) out += "<text x=\"10\" y=\"22\">no disks</text>\n";
    return out + "</svg></figure>\n";
}

std::string temperature_chart(const std::vector<Disk>& disks) {
    double top = 60;  // the scale reaches at least 60 degC so that cool disks look cool
    for (const Disk& d : disks)
        for (const char* k : {"temperature", "reference_temperature"})
            if (auto v = number(*d.j, k)) top = std::max(top, *v + 5);
    std::vector<Bar> bars;
    for (const Disk& d : disks) {
        Bar b;
        b.label = d.label;
        auto t = number(*d.j, "temperature");
        auto ref = number(*d.j, "reference_temperature");
        b.value = t ? *t / top : 0;
        // The bar takes the colour of the disk's own temperature finding, so
        // that the chart and the findings agree; above the reference is a
        // failure in any case.
        b.cls = !t ? "none" : ref && *t > *ref ? "fail" : "ok";
        for (const json& f : list(*d.j, "findings"))
            if (t && text(f, "code").rfind("temperature", 0) == 0 && b.cls != "fail") {
                std::string sev = level(text(f, "severity"));
                if (sev == "warn" || sev == "fail") b.cls = sev;
            }
        b.caption = t ? fmt(*t) + " \u00b0C" : "no reading";
        if (ref) {
            b.mark = *ref / top;
            b.caption += " (reference " + fmt(*ref) + " \u00b0C)";
        }
        b.tip = d.label + ": " + b.caption;
        bars.push_back(b);
    }
    return svg_bars("Temperature (dashed: reference temperature)", bars);
}

// Error counters, grouped as the engineer thinks of them.
struct Group {
    const char* name;
    std::vector<const char*> keys;
};
const Group kGroups[] = {
    {"medium", {"read_uncorrected", "write_uncorrected", "verify_uncorrected", "bms_medium_errors"}},
    {"other", {"non_medium", "bms_reassigns"}},
    {"self-test", {"selftest_failures"}},
    {"phy", {"phy_invalid_dword", "phy_disparity", "phy_loss_of_sync", "phy_reset_problem"}},
};

std::string error_chart(const std::vector<Disk>& disks) {
    std::vector<double> totals;
    double top = 0;
    for (const Disk& d : disks) {
        double sum = 0;
        const json& c = field(*d.j, "counters");
        for (const Group& g : kGroups)
            for (const char* k : g.keys) sum += count(c, k);
        totals.push_back(sum);
        top = std::max(top, sum);
    }
    // Counts range from one uncorrected read to millions of phy errors: a
    // logarithmic scale keeps both visible.
    double scale = std::log10(1 + std::max(top, 9.0));
    std::vector<Bar> bars;
    for (size_t i = 0; i < disks.size(); ++i) {
        const json& c = field(*disks[i].j, "counters");
        Bar b;
        b.label = disks[i].label;
        b.value = std::log10(1 + totals[i]) / scale;
        std::string parts;
        for (const Group& g : kGroups) {
            double s = 0;
            for (const char* k : g.keys) s += count(c, k);
            if (s > 0) parts += std::string(parts.empty() ? "" : ", ") + g.name + " " + fmt(s);
        }
        std::string v = text(*disks[i].j, "verdict");
        b.cls = totals[i] == 0 ? "none" : v == "FAIL" ? "fail" : v == "WARN" ? "warn" : "ok";
        b.caption = totals[i] == 0 ? "0" : fmt(totals[i]) + " (" + parts + ")";
        b.tip = disks[i].label + ": " + b.caption;
        bars.push_back(b);
    }
    return svg_bars("Error counts (logarithmic scale)", bars);
}

std::string findings(const std::vector<Disk>& disks) {
    std::string out;
    for (const Disk& d : disks) {
        const json& j = *d.j;
        std::string v = text(j, "verdict");
        out += "<section class=\"disk\"><h3><span class=\"badge b-" + level(v) + "\">" + esc(v) + "</span> " +
               esc(d.label) + " &mdash; " + esc(text(j, "vendor")) + " " + esc(text(j, "product")) + ", serial " +
               esc(text(j, "serial")) + " <span class=\"muted\">(controller " + esc(text(j, "controller")) +
               ", device " + esc(text(j, "device")) + ")</span></h3>\n";
        const json& f = list(j, "findings");
        out += f.empty() ? "<p class=\"muted\">No findings.</p>\n" : finding_list(f);
        out += "</section>\n";
    }
    return out;
}

std::string error_log(const json& report, bool fleet) {
    const json& errors = list(report, "errors");
    if (errors.empty()) return "<p class=\"muted\">The error log holds no record.</p>\n";
    std::string out = "<table class=\"errors\">\n<thead><tr>";
    if (fleet) out += "<th>Host</th>";
    out += "<th>Kind</th><th>Record</th><th>Decoded</th></tr></thead>\n<tbody>\n";
    for (const json& e : errors) {
        out += "<tr class=\"error\">";
        if (fleet) out += "<td>" + esc(text(e, "host")) + "</td>";
        out += "<td>" + esc(text(e, "kind")) + "</td><td class=\"record\">" + esc(text(e, "text")) + "</td><td>" +
               esc(text(e, "decoded")) + "</td></tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

}  // namespace

std::string render_html(const nlohmann::json& report) {
    std::vector<Disk> disks;
    std::set<std::string> hosts;
    for (const json& h : list(report, "hosts")) hosts.insert(text(h, "host"));
    for (const json& d : list(report, "disks")) hosts.insert(text(d, "host"));
    bool fleet = hosts.size() > 1;
    for (const json& d : list(report, "disks"))
        disks.push_back({&d, fleet ? text(d, "host") + ": " + text(d, "file") : text(d, "file")});

    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Disk health report</title>\n<style>" +
                      std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Disk health report</h1>\n";
    out += summary(report, fleet);
    out += "<h2>Disks</h2>\n" + disk_table(disks, fleet);
    out += "<h2>Charts</h2>\n<div class=\"charts\">\n" + temperature_chart(disks) + error_chart(disks) + "</div>\n";
    out += "<h2>Findings</h2>\n" + findings(disks);
    out += "<h2>Error log</h2>\n" + error_log(report, fleet);
    out += "<p class=\"muted\">Written by " + esc(text(report, "tool")) + "; exit status " +
           esc(text(report, "exit_status")) + ".</p>\n</body>\n</html>\n";
    return out;
}
