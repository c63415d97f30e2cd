// The web page of a report: summary, disk table, two bar charts (inline
// SVG), the findings of every disk and the error log, rendered from the
// same typed report as the text and the JSON document.
#include "html.h"

#include "fleet_section.h"
#include "history.h"
#include "html_parts.h"
#include "layout.h"
#include "rules.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <tuple>

namespace rpt {

// C0 controls other than whitespace are not allowed in HTML and could hide
// parts of a line.
std::string html::esc(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 16);
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\t':
        case '\n':
        case '\r': out += c; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                out += "&#xFFFD;";
            else
                out += c;
        }
    }
    return out;
}

std::string html::level(const std::string& v) {
    if (v == "OK") return "ok";
    if (v == "INFO") return "info";
    if (v == "WARN") return "warn";
    if (v == "FAIL") return "fail";
    return "unknown";
}

std::string html::disk_id(size_t collection, size_t disk) {
    return "disk-" + std::to_string(collection) + "-" + std::to_string(disk);
}

std::string html::controller_id(size_t collection, unsigned controller) {
    return "controller-" + std::to_string(collection) + "-" + std::to_string(controller);
}

namespace {

// ---------------------------------------------------------------- writing

using html::esc;
using html::level;

std::string fmt(double v) {
    char b[32];
    snprintf(b, sizeof b, "%.0f", v);
    return b;
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
.badge { display: inline-block; padding: 1px 8px; border-radius: 10px; color: #fff; font-weight: bold;)"
                     R"( font-size: 12px; }
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
tr.r-imminent td.risk, tr.r-high td.risk { color: var(--fail); font-weight: bold; }
tr.r-elevated td.risk { color: var(--warn); font-weight: bold; }
p.risk { margin: 4px 0; }
.charts { display: flex; flex-wrap: wrap; gap: 24px; }
.chart { flex: 1 1 520px; min-width: 0; margin: 0; }
.chart svg { width: 100%; height: auto; }
ul.findings { margin: 0; padding-left: 0; list-style: none; }
ul.findings li { padding: 2px 0; }
.growth { display: flex; flex-wrap: wrap; gap: 16px; margin: 4px 0; }
.growth figure { margin: 0; font-size: 12px; } .growth svg { width: 160px; height: 40px; display: block; }
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

std::string finding_list(const std::vector<const Finding*>& findings) {
    std::string out = "<ul class=\"findings\">\n";
    for (const Finding* f : findings) {
        const Finding& x = *f;
        const std::string sev = severity_name(x.severity);
        out += "<li class=\"sev-" + level(sev) + "\"><span class=\"sev sev-" + level(sev) + "\">" + esc(sev) +
               "</span> <code>" + esc(x.code()) + "</code> " + esc(x.text) + "</li>\n";
    }
    return out + "</ul>\n";
}

struct DiskRef {
    const Disk* d;
    std::string label;  // file, with the host in front in a fleet view
    std::string id;     // of its entry among the findings
    const Collection* c;
    size_t collection;  // c's index in the report
};

std::string summary(const Report& r, bool fleet) {
    std::string out = "<p class=\"summary\">" + std::to_string(r.disks) + " disk(s): ";
    const std::pair<size_t, const char*> counts[] = {
        {r.ok, "OK"}, {r.warn, "WARN"}, {r.fail, "FAIL"}, {r.unknown, "UNKNOWN"}};
    for (auto& [n, name] : counts)
        out += "<span class=\"badge b-" + level(name) + "\">" + std::to_string(n) + " " + name + "</span> ";
    out += "</p>\n";
    // Where each host's logs came from, and what was found about the
    // directory as a whole (no error log, files left from an earlier run).
    for (const Collection& c : r.collections) {
        out +=
            "<p class=\"muted\">" + (fleet ? "<b>" + esc(c.host) + "</b>: " : std::string()) + esc(c.source) + "</p>\n";
        if (c.run) out += "<p class=\"muted\">Run: " + esc(run_summary(*c.run)) + "</p>\n";
        if (!c.findings.empty()) {
            // In the order found (a disk's entry lists its findings by weight).
            std::vector<const Finding*> found;
            for (const Finding& f : c.findings) found.push_back(&f);
            out += finding_list(found);
        }
    }
    return out;
}

// A cell of the disks table by its column's value and class; a drive log
// links to the disk's entry, even for a drive that left none.
std::string disk_cell(DiskColumn c, const DiskRef& ref) {
    const DiskColumnDef& def = disk_column(c);
    const Disk& d = *ref.d;
    if (c == DiskColumn::File)
        return "<td><a href=\"#" + ref.id + "\">" + (d.logged ? esc(d.file) : "<i>none</i>") + "</a></td>";
    const ColumnValue v = def.value(d);
    const std::string shown_value = std::holds_alternative<std::string>(v)
                                        ? esc(std::get<std::string>(v))
                                        : shown(std::get<std::optional<int64_t>>(v), kMissingHtml);
    return (def.html_class ? std::string("<td class=\"") + def.html_class + "\">" : std::string("<td>")) + shown_value +
           "</td>";
}

std::string disk_table(const std::vector<DiskRef>& disks, bool fleet) {
    std::vector<DiskColumn> columns;
    for (DiskColumn c : html_columns())
        if (c != DiskColumn::Host || fleet) columns.push_back(c);
    std::string out = "<table class=\"disks\">\n<thead><tr>";
    for (DiskColumn c : columns) out += std::string("<th>") + disk_column(c).html + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const DiskRef& ref : disks) {
        out +=
            "<tr class=\"disk v-" + level(verdict_name(ref.d->verdict)) + " r-" + band_name(ref.d->risk.band) + "\">";
        for (DiskColumn c : columns) out += disk_cell(c, ref);
        out += "</tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

// Horizontal bars, one row per disk, in a fixed coordinate system that the
// browser scales to the column width.
struct Bar {
    std::string label;
    double value = 0;            // bar length in chart units (0..1)
    std::string caption;         // text after the bar
    std::string cls;             // fill colour class
    std::optional<double> mark;  // a tick (0..1), e.g. the reference temperature
    std::string tip;             // tooltip
};

std::string svg_bars(const std::string& title, const std::vector<Bar>& bars) {
    const int row = 20, top = 8, label_w = 190, bar_w = 380, width = 700;
    int height = top * 2 + row * static_cast<int>(std::max<size_t>(bars.size(), 1));
    std::string out = "<figure class=\"chart\"><figcaption><b>" + esc(title) + "</b></figcaption>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(width) + " " +
           std::to_string(height) + "\" role=\"img\" aria-label=\"" + esc(title) +
           "\" font-size=\"12\" "
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

std::string temperature_chart(const std::vector<DiskRef>& disks) {
    double top = 60;  // the scale reaches at least 60 degC so that cool disks look cool
    for (const DiskRef& r : disks)
        for (auto v : {r.d->temperature, r.d->reference_temperature})
            if (v) top = std::max(top, static_cast<double>(*v) + 5);
    std::vector<Bar> bars;
    for (const DiskRef& r : disks) {
        Bar b;
        b.label = r.label;
        const auto& t = r.d->temperature;
        const auto& ref = r.d->reference_temperature;
        b.value = t ? static_cast<double>(*t) / top : 0;
        // The bar takes the colour of the disk's own temperature finding, so
        // that the chart and the findings agree; above the reference is a
        // failure in any case.
        b.cls = !t ? "none" : ref && *t > *ref ? "fail" : "ok";
        for (const Finding& f : r.d->findings)
            if (t && (f.rule == Rule::Temperature || f.rule == Rule::TemperatureAbsolute) && b.cls != "fail") {
                const std::string sev = level(severity_name(f.severity));
                if (sev == "warn" || sev == "fail") b.cls = sev;
            }
        b.caption = t ? std::to_string(*t) + " \u00b0C" : "no reading";
        if (ref) {
            b.mark = static_cast<double>(*ref) / top;
            b.caption += " (reference " + std::to_string(*ref) + " \u00b0C)";
        }
        b.tip = r.label + ": " + b.caption;
        bars.push_back(b);
    }
    return svg_bars("Temperature (dashed: reference temperature)", bars);
}

// Error counters, grouped as the engineer thinks of them (the registry's
// chart groups); phy counters are added over the disk's phys for the chart
// only.
constexpr ChartGroup kGroups[] = {ChartGroup::Medium, ChartGroup::Other, ChartGroup::SelfTest, ChartGroup::Link};

double group_sum(const Disk& d, ChartGroup g) {
    double s = 0;
    for (const CounterValue& c : d.counters)
        if (counter_def(c.id).chart == g) s += static_cast<double>(c.value);
    return s;
}

std::string error_chart(const std::vector<DiskRef>& disks) {
    std::vector<double> totals;
    double top = 0;
    for (const DiskRef& r : disks) {
        double sum = 0;
        for (ChartGroup g : kGroups) sum += group_sum(*r.d, g);
        totals.push_back(sum);
        top = std::max(top, sum);
    }
    // Counts range from one uncorrected read to millions of phy errors: a
    // logarithmic scale keeps both visible.
    double scale = std::log10(1 + std::max(top, 9.0));
    std::vector<Bar> bars;
    for (size_t i = 0; i < disks.size(); ++i) {
        Bar b;
        b.label = disks[i].label;
        b.value = std::log10(1 + totals[i]) / scale;
        std::string parts;
        for (ChartGroup g : kGroups)
            if (double s = group_sum(*disks[i].d, g); s > 0)
                parts += std::string(parts.empty() ? "" : ", ") + chart_group_name(g) + " " + fmt(s);
        const Severity v = disks[i].d->verdict;
        b.cls = totals[i] == 0 ? "none" : v == Severity::Fail ? "fail" : v == Severity::Warn ? "warn" : "ok";
        b.caption = totals[i] == 0 ? "0" : fmt(totals[i]) + " (" + parts + ")";
        b.tip = disks[i].label + ": " + b.caption;
        bars.push_back(b);
    }
    return svg_bars("Error counts (logarithmic scale)", bars);
}

// A small line per counter that grew across the disk's collections, oldest
// on the left, each point at the collection's time.
std::string growth_lines(const Disk& d) {
    std::string out;
    for (const Growth& g : d.growth_since_first()) {
        if (g.to <= g.from || d.history.size() < 2) continue;
        const double t0 = double(d.history.back().collected),
                     span = std::max(1.0, double(d.history.front().collected) - t0);
        const double lo = double(g.from < g.to ? g.from : g.to), range = std::max(1.0, double(g.to) - lo);
        std::string points;
        for (size_t i = d.history.size(); i-- > 0;)
            for (const CounterValue& c : d.counters_at(i))
                if (c.id == g.counter && c.phy == g.phy)
                    points += fmt(4 + 152 * (double(d.history[i].collected) - t0) / span) + "," +
                              fmt(36 - 32 * std::clamp((double(c.value) - lo) / range, 0.0, 1.0)) + " ";
        out +=
            "<figure><svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 160 40\" role=\"img\"><polyline "
            "points=\"" +
            points + "\" fill=\"none\" stroke=\"#c62828\" stroke-width=\"2\"/></svg><figcaption>" + esc(g.key()) +
            ": " + std::to_string(g.from) + " &rarr; " + std::to_string(g.to) + " in " + esc(short_number(g.days)) +
            " days</figcaption></figure>\n";
    }
    return out.empty() ? out : "<div class=\"growth\">\n" + out + "</div>\n";
}

std::string findings(const std::vector<DiskRef>& disks) {
    std::string out;
    for (const DiskRef& r : disks) {
        const Disk& d = *r.d;
        const std::string v = verdict_name(d.verdict);
        out += "<section class=\"disk\" id=\"" + r.id + "\"><h3><span class=\"badge b-" + level(v) + "\">" + esc(v) +
               "</span> " + esc(r.label) + " &mdash; " + esc(d.vendor) + " " + esc(d.product) + ", serial " +
               esc(d.serial) + " <span class=\"muted\">(" + protocol_name(d.protocol) + ", controller " +
               shown(d.controller, kMissingText) + ", device " + shown(d.device, kMissingText) + ")</span></h3>\n";
        out += "<p class=\"risk\"><b>Risk: " + std::string(band_name(d.risk.band)) + ".</b> " + esc(d.risk.statement) +
               "</p>\n";
        out += html::disk_view(*r.c, r.collection, d);
        out += d.findings.empty() ? "<p class=\"muted\">No findings.</p>\n" : finding_list(by_weight(d.findings));
        out += growth_lines(d);
        out += "</section>\n";
    }
    return out;
}

std::string error_log(const Report& r, bool fleet) {
    std::string rows;
    for (const Collection& c : r.collections)
        for (const ErrRecord& e : c.errors) {
            rows += "<tr class=\"error\">";
            if (fleet) rows += "<td>" + esc(c.host) + "</td>";
            rows += "<td>" + esc(record_name(e.kind)) + "</td><td class=\"record\">" + esc(e.text) + "</td><td>" +
                    esc(decoded_text(e.detail)) + "</td></tr>\n";
        }
    if (rows.empty()) return "<p class=\"muted\">The error log holds no record.</p>\n";
    std::string out = "<table class=\"errors\">\n<thead><tr>";
    if (fleet) out += "<th>Host</th>";
    out += "<th>Kind</th><th>Record</th><th>Decoded</th></tr></thead>\n<tbody>\n";
    return out + rows + "</tbody>\n</table>\n";
}

}  // namespace

std::string render_html(const Report& r) {
    const bool fleet = r.collections.size() > 1;
    std::vector<DiskRef> disks;
    for (size_t ci = 0; ci < r.collections.size(); ++ci) {
        const Collection& c = r.collections[ci];
        for (size_t di = 0; di < c.disks.size(); ++di) {
            const Disk& d = c.disks[di];
            // A drive that left no drive log is named by its place.
            std::string label = d.logged ? d.file
                                         : "ctl " + (d.controller ? std::to_string(*d.controller) : "?") + " target " +
                                               (d.device ? std::to_string(*d.device) : "?") + " (no log)";
            disks.push_back({&d, fleet ? d.host + ": " + label : label, html::disk_id(ci, di), &c, ci});
        }
    }
    // The riskiest first: by verdict, then by band, then those whose count grew.
    std::stable_sort(disks.begin(), disks.end(), [](auto& a, auto& b) { return riskier(*a.d, *b.d); });

    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Disk health report</title>\n<style>" +
        std::string(kStyle) + html::kControllerStyle + "</style>\n</head>\n<body>\n<h1>Disk health report</h1>\n";
    out += summary(r, fleet);
    out += "<h2>Disks</h2>\n" + disk_table(disks, fleet);
    out += html::controllers(r, fleet);
    if (auto view = fleet_view(r)) out += fleet_html(*view, r.turnover);
    out += "<h2>Charts</h2>\n<div class=\"charts\">\n" + temperature_chart(disks) + error_chart(disks) + "</div>\n";
    out += "<h2>Findings</h2>\n" + findings(disks);
    out += "<h2>Error log</h2>\n" + error_log(r, fleet);
    out += "<p class=\"muted\">Written by logdump-report; exit status " + std::to_string(r.exit_status) +
           ".</p>\n</body>\n</html>\n";
    return out;
}

}  // namespace rpt
