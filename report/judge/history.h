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

// A time in UTC, by a strftime format ("%Y-%m-%d": the day).
std::string utc(time_t t, const char* format);

// A number of days or a rate without needless decimals: "31", "2.5".
std::string short_number(double v);

}  // namespace rpt
