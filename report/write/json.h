// The report as one JSON document (--json), written as it is made; its
// schema is in logdump-report(1), JSON.
#pragma once
#include <cstdio>
#include <string>

#include "model.h"

namespace rpt {

struct RiskCheck;

// The JSON document of the report, written to `f` as it is made.
void write_json(const Report& report, FILE* f);
// One disk's object (--disk with --json).
std::string json_text(const Disk& disk);
// The result of --risk-check as one JSON object.
void write_risk_check_json(const RiskCheck& c, FILE* f);

}  // namespace rpt
