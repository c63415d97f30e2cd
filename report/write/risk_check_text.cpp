// The result of --risk-check for people.
#include <cstdio>

#include "risk_check.h"
#include "text.h"

namespace rpt {
namespace {

std::string percent(uint64_t part, uint64_t whole) {
    if (!whole) return "-";
    char s[16];
    snprintf(s, sizeof s, "%.2f%%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return s;
}

}  // namespace

std::string render_risk_check(const RiskCheck& c, const std::string& file) {
    char line[160];
    std::string t = file + ": " + std::to_string(c.rows) + " rows, " + std::to_string(c.drives) + " drives, " +
                    std::to_string(c.failed) + " failed, " + std::to_string(c.malformed) + " malformed rows\n";
    snprintf(line, sizeof line, "%-9s %10s %8s %13s %18s\n", "BAND", "DRIVES", "FAILED", "FAILED SHARE",
             "SHARE OF FAILURES");
    t += line;
    for (size_t b = 0; b < c.bands.size(); ++b) {
        const auto& x = c.bands[b];
        snprintf(line, sizeof line, "%-9s %10llu %8llu %13s %18s\n", band_name(static_cast<RiskBand>(b)),
                 static_cast<unsigned long long>(x.drives), static_cast<unsigned long long>(x.failed),
                 percent(x.failed, x.drives).c_str(), percent(x.failed, c.failed).c_str());
        t += line;
    }
    const RiskCheck::Flagged f = flagged(c);
    const uint64_t working = c.drives - c.failed;
    t += "recall: " + percent(f.failed, c.failed) + " of the failed drives were elevated or worse (" +
         std::to_string(f.failed) + " of " + std::to_string(c.failed) + ")\n";
    t += "working drives flagged elevated or worse: " + percent(f.working, working) + " (" + std::to_string(f.working) +
         " of " + std::to_string(working) + ")\n";
    for (auto& m : c.malformed_lines) t += "malformed: line " + std::to_string(m.line) + ": " + m.reason + "\n";
    if (c.malformed > c.malformed_lines.size())
        t += "malformed: " + std::to_string(c.malformed - c.malformed_lines.size()) + " more rows not listed\n";
    return t;
}

}  // namespace rpt
