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

// A log's text of controller `ctrl` as the variants the scenario asks for
// print it ("cli text"); `command_line` is what the shell's echo shows.
std::string with_variants(const Scenario& sc, unsigned ctrl, std::string text, const std::string& command_line);

}  // namespace sim::cli
