// Reader of a drive log file (MAccdd.log): identity lines, log-page blocks
// and internal-log sections. It takes the whole file as bytes in memory (a
// mapped file, an archive entry or a fuzzer's input) and never trusts them:
// every deviation from the writer's format becomes a finding of the disk.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "finding.h"

namespace rpt {

struct PageBlock {
    std::string tag;              // the two characters of "<PageNN>" as written
    std::vector<uint8_t> bytes;   // the dumped page, header included
    bool damaged = false;         // a line of the block could not be read
};

struct SectionBlock {
    std::string name;             // header line without the angle brackets
    int type = 0;                 // section type code (1, 2, 4, 8)
    uint64_t length = 0;          // from the section's own length field
    uint64_t present = 0;         // bytes found in the file
};

struct DriveLog {
    bool identity = false;
    std::string device_code;      // vendor (8), product (16), revision (4)
    std::string serial;
    std::vector<PageBlock> pages;
    std::vector<SectionBlock> sections;
    Findings findings;
};

DriveLog read_drive_log(std::string_view text);

// One hex dump line (" %02x" per byte, at most 16): the byte count, or -1
// when the line is not of that shape.
int parse_hex_line(std::string_view line, uint8_t* out);

}  // namespace rpt
