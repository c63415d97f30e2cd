// History across collections: the same disks collected again later. The
// newest collection of each host is the one judged; the older ones (of any
// host) give the disks their history, the growth of their counters and the
// findings of that growth, tell which disks are gone or replaced, and which
// virtual drives and drives the controller now gives another state.
#pragma once
#include <string>
#include <vector>

#include "model.h"

namespace rpt {

// Keeps in `collections` the inputs that could not be read and the newest
// collection of each host, in the order of their first input, and fills the
// history of their disks.
void apply_history(std::vector<Collection>& collections);

}  // namespace rpt
