// Inside the controller log readers: one reader per kind of log, each
// returning what it met (controller.cpp sorts the records to their
// controllers).
#pragma once
#include <string_view>
#include <vector>

#include "cli_text.h"
#include "controller.h"

namespace rpt {

std::vector<ControllerProblem> read_drive_list(std::string_view text, cli::Reader& r, std::vector<PhysicalDrive>& out);
// The virtual drive, members and configuration logs: virtual drives with
// the drive blocks listed under them. `spans_first`: the configuration
// log's layout, a span's heading before the virtual drive it repeats.
std::vector<ControllerProblem> read_virtual_drives(std::string_view text, cli::Reader& r,
                                                   std::vector<VirtualDrive>& out, bool spans_first = false);
// Adapters by the adapter number of their block.
std::vector<ControllerProblem> read_adapters(std::string_view text, cli::Reader& r,
                                             std::vector<std::pair<unsigned, AdapterInfo>>& out);
std::vector<ControllerProblem> read_events(std::string_view text, cli::Reader& r, std::vector<ControllerEvent>& out);

}  // namespace rpt
