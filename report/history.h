// History across collections: the same disks collected again later. The
// newest collection of each host is the one judged; the older ones (of any
// host) give the disks their history, the growth of their counters and the
// findings of that growth, and tell which disks are gone or replaced.
#pragma once
#include <string>
#include <vector>

#include "model.h"

namespace rpt {

// Keeps in `collections` the newest collection of each host, in the order
// of their first input, and fills the history of their disks.
void apply_history(std::vector<Collection>& collections);

// "2026-12-08": the day of a time, UTC.
std::string day_of(time_t t);

// A number of days or a rate without needless decimals: "31", "2.5".
std::string short_number(double v);

}  // namespace rpt
