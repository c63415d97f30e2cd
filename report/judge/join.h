// The controller's view joined with the drives' own logs: each drive the
// controller lists, by its target, with the drive log at that target,
// confirmed by serial number or SAS address (page 18h).
#pragma once
#include <map>
#include <set>
#include <string>

#include "disk.h"
#include "model.h"

namespace rpt {

// The disk joined gets the controller's view, the controller's findings
// about it (`fs` by target) and the controller's media error count as a
// counter. A listed drive with no drive log gets a row of its own, of the
// controller's view alone. Findings about the arrays and the adapter stay
// with the collection. Returns the drive log names of the rows it added.
std::set<std::string> join_controller(Collection& c, const Controller& ctl, Findings fs,
                                      const std::map<std::string, Attached>& attached);

}  // namespace rpt
