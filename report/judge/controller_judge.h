// The controller's view judged: its virtual drives, its drives, the adapter
// and its event log, each finding made from its row of the rules table.
#pragma once
#include <ctime>
#include <optional>
#include <string>

#include "controller.h"
#include "finding.h"

namespace rpt {

// Events are judged by their age before the controller's clock when its
// adapter log gives it, else before `collected`: within this many days
// a warning or worse is a WARN (FAIL for fatal and dead), older an INFO.
constexpr int64_t kRecentEventDays = 30;

// The time controller `c`'s events are judged against: its adapter's clock
// when the adapter log gives it, else `collected`.
std::optional<int64_t> event_clock(const Controller& c, std::optional<time_t> collected);

// Whether event `e` is within kRecentEventDays before `now`. An event dated
// only by the time since boot, or with no clock to hold it against, cannot
// be shown old and counts as recent.
bool recent_event(const ControllerEvent& e, std::optional<int64_t> now);

// Drives of one controller with the same other error count that make one
// finding of the controller (drive-other-errors-shared).
constexpr size_t kSharedOtherErrors = 3;

// Every finding of controller `c`, each text starting "controller N: ".
Findings judge_controller(const Controller& c, std::optional<time_t> collected);

// The weight the rules give a state, for showing it: none for a state that
// is well (Optimal; Online, Hotspare, JBOD, Unconfigured(good)) or not given.
std::optional<Severity> state_severity(VirtualDriveState s);
std::optional<Severity> state_severity(DriveState s);

}  // namespace rpt
