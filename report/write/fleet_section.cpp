#include "fleet_section.h"

#include <cctype>
#include <cstdio>

#include "html_parts.h"
#include "text_parts.h"

namespace rpt {

const char* const kBaseRates =
    "annual replacement 1-4% in service, rising with age (Schroeder and Gibson, FAST 2007); annualised failure "
    "1.3-1.7% fleet-wide, 0.2% to over 6% by model (Backblaze Drive Stats)";

namespace {

constexpr Severity kVerdicts[] = {Severity::Info, Severity::Warn, Severity::Fail, Severity::Unknown};
constexpr const char* kVerdictKeys[] = {"ok", "warn", "fail", "unknown"};  // in the order of kVerdicts

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string percent(double v) {
    char b[32];
    snprintf(b, sizeof b, v >= 10 ? "%.1f%%" : "%.2f%%", v);
    return b;
}

std::string rate_text(const FleetModel& m) {
    if (!m.rate) return std::string(kMissingText);
    return percent(m.rate->percent) + " (" + percent(m.rate->interval.low) + "-" + percent(m.rate->interval.high) + ")";
}

std::string years_text(double y) {
    char b[32];
    snprintf(b, sizeof b, "%.1f", y);
    return b;
}

// The rows of each table, with its heading first: one set of cells that the
// text and the web page both lay out.
using Rows = std::vector<std::vector<std::string>>;

Rows model_rows(const FleetView& v) {
    Rows rows{{"MODEL", "FIRMWARE", "DRIVES", "OK", "WARN", "FAIL", "UNKNOWN"}};
    for (size_t b = 0; b < static_cast<size_t>(RiskBand::kCount); ++b)
        rows[0].push_back("RISK " + upper(band_name(static_cast<RiskBand>(b))));
    for (const char* h : {"REPLACED", "DRIVE-YEARS", "ANNUAL RATE (95%)"}) rows[0].push_back(h);
    for (const FleetModel& m : v.models) {
        auto& r = rows.emplace_back(std::vector<std::string>{m.model, m.firmware, std::to_string(m.drives)});
        for (Severity s : kVerdicts) r.push_back(std::to_string(m.verdicts[static_cast<size_t>(s)]));
        for (uint64_t n : m.bands) r.push_back(std::to_string(n));
        r.push_back(std::to_string(m.exposure.replacements));
        r.push_back(years_text(m.exposure.drive_years));
        r.push_back(rate_text(m));
    }
    return rows;
}

Rows host_rows(const FleetView& v) {
    Rows rows{{"HOST", "VERDICT", "OK", "WARN", "FAIL", "UNKNOWN", "COLLECTED", "COMPLETE"}};
    for (const FleetHost& h : v.hosts) {
        auto& r = rows.emplace_back(std::vector<std::string>{h.host, verdict_name(h.worst)});
        for (Severity s : kVerdicts) r.push_back(std::to_string(h.verdicts[static_cast<size_t>(s)]));
        r.push_back(h.last ? utc(h.last, "%Y-%m-%d %H:%M") : std::string(kMissingText));
        r.push_back(h.complete ? "yes" : "no");
    }
    return rows;
}

Rows riskiest_rows(const FleetView& v) {
    Rows rows{{"HOST", "PLACE", "SERIAL", "VERDICT", "RISK", "GREW"}};
    for (size_t i = 0; i < v.riskiest.size() && i < kRiskiestShown; ++i) {
        const Disk& d = *v.riskiest[i];
        rows.push_back({d.host, disk_place(d), d.serial.empty() ? std::string(kMissingText) : d.serial,
                        verdict_name(d.verdict), band_name(d.risk.band), d.risk.grew ? "yes" : "no"});
    }
    return rows;
}

Rows turn_rows(const Turnover& t) {
    Rows rows{{"HOST", "SERIAL", "MODEL", "LEFT", "WAS IN", "BETWEEN", "NOW"}};
    for (const Turn& x : t.turns)
        rows.push_back({x.host, x.serial, x.model, turn_name(x.kind), disk_place(x.controller, x.device),
                        utc(x.last_seen, "%Y-%m-%d") + " and " + utc(x.next_collection, "%Y-%m-%d"),
                        x.kind == Turn::Kind::Replaced ? "serial " + x.successor
                        : x.kind == Turn::Kind::Moved  ? disk_place(x.to_controller, x.to_device)
                                                       : std::string(kMissingText)});
    return rows;
}

std::string html_table(const Rows& rows) {
    std::string out = "<table>\n<tr>";
    for (auto& h : rows[0]) out += "<th>" + html::esc(h) + "</th>";
    out += "</tr>\n";
    for (size_t i = 1; i < rows.size(); ++i) {
        out += "<tr>";
        for (auto& c : rows[i]) out += "<td>" + html::esc(c) + "</td>";
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

std::string shown_of(const FleetView& v) {
    return v.riskiest.size() > kRiskiestShown
               ? " (" + std::to_string(kRiskiestShown) + " of " + std::to_string(v.riskiest.size()) + ")"
               : "";
}

}  // namespace

std::string fleet_text(const FleetView& v, const Turnover& t) {
    std::string out = "\nFleet: " + std::to_string(v.hosts.size()) + " hosts, " + std::to_string(v.riskiest.size()) +
                      " disks, " + std::to_string(t.turns.size()) + " left their slots between collections\n";
    out +=
        "  Models (base rates of the field: " + std::string(kBaseRates) + "):\n" + format_table(model_rows(v), "    ");
    out += "  Hosts:\n" + format_table(host_rows(v), "    ");
    out += "  Riskiest disks" + shown_of(v) + ":\n" + format_table(riskiest_rows(v), "    ");
    if (!t.turns.empty()) out += "  Drives that left their slots:\n" + format_table(turn_rows(t), "    ");
    return out;
}

std::string fleet_html(const FleetView& v, const Turnover& t) {
    std::string out = "<h2>Fleet</h2>\n<p>" + std::to_string(v.hosts.size()) +
                      " hosts; base rates of the field: " + html::esc(kBaseRates) + ".</p>\n<h3>Models</h3>\n" +
                      html_table(model_rows(v));
    out += "<h3>Hosts</h3>\n" + html_table(host_rows(v));
    out += "<h3>Riskiest disks" + html::esc(shown_of(v)) + "</h3>\n" + html_table(riskiest_rows(v));
    if (!t.turns.empty()) out += "<h3>Drives that left their slots</h3>\n" + html_table(turn_rows(t));
    return out;
}

namespace {

using json::iso_time;

void verdicts_json(json::Writer& w, const std::array<uint64_t, 4>& n) {
    w.key("verdicts").open('{');
    for (size_t i = 0; i < std::size(kVerdicts); ++i) w.key(kVerdictKeys[i]).num(n[static_cast<size_t>(kVerdicts[i])]);
    w.close('}');
}

void model_json(json::Writer& w, const FleetModel& m) {
    w.open('{').key("model").str(m.model).key("firmware").str(m.firmware).key("drives").num(m.drives);
    verdicts_json(w, m.verdicts);
    w.key("bands").open('{');
    for (size_t b = 0; b < m.bands.size(); ++b) w.key(band_name(static_cast<RiskBand>(b))).num(m.bands[b]);
    w.close('}').key("replacements").num(m.exposure.replacements).key("drive_years").real(m.exposure.drive_years);
    w.key("annual_rate");
    if (m.rate) {
        w.open('{').key("percent").real(m.rate->percent).key("low").real(m.rate->interval.low);
        w.key("high").real(m.rate->interval.high).key("confidence").real(0.95).close('}');
    } else {
        w.null();
    }
    w.close('}');
}

void host_json(json::Writer& w, const FleetHost& h) {
    w.open('{').key("host").str(h.host).key("verdict").str(verdict_name(h.worst));
    verdicts_json(w, h.verdicts);
    w.key("collected");
    if (h.last)
        w.str(iso_time(h.last));
    else
        w.null();
    w.key("complete").flag(h.complete).close('}');
}

void riskiest_json(json::Writer& w, const Disk& d) {
    w.open('{').key("host").str(d.host).key("controller").opt(d.controller).key("device").opt(d.device);
    w.key("serial")
        .opt_str(d.serial)
        .key("verdict")
        .str(verdict_name(d.verdict))
        .key("band")
        .str(band_name(d.risk.band));
    w.key("grew").flag(d.risk.grew.has_value()).close('}');
}

void turn_json(json::Writer& w, const Turn& x) {
    w.open('{').key("kind").str(turn_name(x.kind)).key("host").str(x.host).key("serial").str(x.serial);
    w.key("model").str(x.model).key("firmware").str(x.firmware).key("controller").opt(x.controller);
    w.key("device").opt(x.device).key("to_controller").opt(x.to_controller).key("to_device").opt(x.to_device);
    w.key("successor").opt_str(x.successor).key("last_seen").str(iso_time(x.last_seen));
    w.key("next_collection").str(iso_time(x.next_collection)).close('}');
}

}  // namespace

void fleet_json(json::Writer& w, const FleetView& v, const Turnover& t) {
    w.open('{').key("base_rates").str(kBaseRates).key("models").open('[');
    for (const FleetModel& m : v.models) model_json(w, m);
    w.close(']').key("hosts").open('[');
    for (const FleetHost& h : v.hosts) host_json(w, h);
    w.close(']').key("riskiest").open('[');
    for (const Disk* d : v.riskiest) riskiest_json(w, *d);
    w.close(']').key("turnover").open('[');
    for (const Turn& x : t.turns) turn_json(w, x);
    w.close(']').close('}');
}

}  // namespace rpt
