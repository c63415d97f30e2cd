// The fleet section of the text, the JSON document and the web page: per
// model and firmware (its drives, verdicts, bands and observed replacement
// rate beside the field's base rates), per host, the disks riskiest first
// and the drives that left their slots.
#pragma once
#include <string>

#include "fleet.h"
#include "json_writer.h"

namespace rpt {

// The field's published base rates that a fleet's own rate is set beside.
extern const char* const kBaseRates;

// At most this many of the riskiest disks in the text and the web page;
// JSON lists all.
constexpr size_t kRiskiestShown = 50;

std::string fleet_text(const FleetView& v, const Turnover& t);
void fleet_json(json::Writer& w, const FleetView& v, const Turnover& t);
std::string fleet_html(const FleetView& v, const Turnover& t);

}  // namespace rpt
