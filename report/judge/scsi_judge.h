// A SAS disk judged from its decoded pages (scsi_decode.h): the
// informational exception, temperature, power-on time, cycle counts, error
// counters, self-tests, background scan, pending and grown defects, phys.
#pragma once
#include "model.h"
#include "scsi_decode.h"

namespace rpt {

// The figures and findings of the disk; true when any of them tells about
// its health.
bool judge_scsi(Disk& d, const ScsiInfo& s);

}  // namespace rpt
