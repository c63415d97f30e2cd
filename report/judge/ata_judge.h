// A SATA drive judged from its decoded blocks (ata_decode.h, `Disk::ata`):
// SMART status, attributes at their thresholds, the counting attributes,
// temperature, power-on time, device statistics, self-tests and the error
// count.
#pragma once
#include "model.h"

namespace rpt {

// The figures and findings of the drive; true when its SMART data or
// status was read.
bool judge_ata(Disk& d);

}  // namespace rpt
