// The text that the simulated RAID CLI prints for each of its commands.
#pragma once

#include <string>

#include "common/scenario.h"

namespace sim::cli {

// Lines before and after the controller count line of "-adpcount".
std::string adpcount_head();
std::string exit_code_line();

std::string fwtermlog(const Scenario& sc, unsigned ctrl);
std::string cfgdsply(const Scenario& sc, unsigned ctrl);
std::string adpallinfo(const Scenario& sc, unsigned ctrl);
std::string pdlist(const Scenario& sc, unsigned ctrl);
std::string ldinfo(const Scenario& sc, unsigned ctrl);
std::string ldpdinfo(const Scenario& sc, unsigned ctrl);
std::string eventlog(const Scenario& sc, unsigned ctrl);

}  // namespace sim::cli
