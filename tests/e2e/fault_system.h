// The system of the fault matrix: one controller with two disks of the
// internal-log family, and the model of one disk's part of a run in which
// one of its commands fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e::faults {

inline const std::string P02 = "02 00 00 04 00 00 01 07";
inline const std::string P0D = "0d 00 00 08 00 00 02 02 00 1e 00 00";
struct DeclaredPage {
    unsigned code;
    std::string hex;
};
// Page 00 as the simulated drive generates it from the declared pages.
inline const std::vector<DeclaredPage> kPages = {{0x00, "00 00 00 02 02 0d"}, {0x02, P02}, {0x0d, P0D}};
// The lengths of the four internal-log sections of each disk.
inline const std::vector<size_t> kSectionLens = {20, 3, 16, 40};

Disk disk(int id);
std::string base_scenario();

enum class Cmd { None, Inquiry, PdInfo, LogSense, Internal };

struct DiskFault {
    Cmd cmd = Cmd::None;
    int index = 0;  // which request of that class for this disk, 0-based (two per page or section)
    unsigned rc = 0;
    Bytes sense;
};

struct DiskPart {
    std::string console;
    std::string records;
    std::optional<std::string> log;  // nullopt: no file
};

// Disk `id`'s console lines, error-log records and drive log with fault f.
DiskPart disk_part(int id, const DiskFault& f);

}  // namespace e2e::faults
