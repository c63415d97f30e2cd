// Inside the controller log readers: one reader per kind of log, each
// returning what it met (controller.cpp sorts the records to their
// controllers).
#pragma once
#include <optional>
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

// The drive blocks' reading, which the virtual drives' member blocks share:
// a line applied to the open block (a field, which may open the next
// block, or a rebuild's progress); whether a line is a drive block's
// field; the vendor, product, revision and serial from the inquiry data.
bool drive_line(cli::Blocks<PhysicalDrive>& drives, cli::Reader& r, const cli::Line& l);
bool drive_field(const cli::Line& l);
void split_inquiry(PhysicalDrive& d);
// A number of a place (disk group, span, arm, virtual drive): at most 65535.
inline std::optional<unsigned> place_number(std::string_view v) {
    auto n = cli::decimal(v);
    return n && *n <= 0xFFFF ? std::optional<unsigned>(static_cast<unsigned>(*n)) : std::nullopt;
}
// The state a virtual drive's word names (Other for none).
VirtualDriveState virtual_drive_state_of(std::string_view word);

}  // namespace rpt
