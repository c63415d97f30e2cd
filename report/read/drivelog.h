// Reader of a drive log file (MAccdd.log): identity lines, blocks of bytes
// (log pages, subpages, the grown defect header, the ATA blocks of a SATA
// drive) and internal-log sections. It takes the whole file as bytes in
// memory (a mapped file, an archive entry or a fuzzer's input) and never
// trusts them: every deviation from the writer's format becomes a finding
// of the disk.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "finding.h"
#include "helpers.h"

namespace rpt {

enum class BlockKind : uint8_t {
    ScsiPage,            // <PageNN>, <SubpageNN.MM>
    GrownDefects,        // <Grown Defects>
    AtaIdentify,         // <ATA IDENTIFY DEVICE>
    AtaSmartData,        // <ATA SMART READ DATA>
    AtaSmartThresholds,  // <ATA SMART READ THRESHOLDS>
    AtaSmartStatus,      // <ATA SMART RETURN STATUS>, one text line
    AtaSmartLog,         // <ATA SMART LOG NN>
    AtaGplLog,           // <ATA GPL LOG NN PAGE NNNN>
};

struct Block {
    BlockKind kind = BlockKind::ScsiPage;
    std::string tag;             // the tag line without its angle brackets
    uint8_t page = 0;            // SCSI page code as listed, or ATA log address
    uint8_t subpage = 0;         // SCSI subpage (0 for a <PageNN> block)
    uint16_t log_page = 0;       // first page of an ATA GPL log block
    std::vector<uint8_t> bytes;  // the bytes dumped below the tag
    std::string text;            // the text line of a block that has one
    bool damaged = false;        // a line of the block could not be read, or its size is wrong
    bool unread = false;         // the tag stands alone: the command failed (no finding of the reader)
};

struct SectionBlock {
    std::string name;      // header line without the angle brackets
    int type = 0;          // section type code (1, 2, 4, 8)
    uint64_t length = 0;   // from the section's own length field
    uint64_t present = 0;  // bytes found in the file
};

struct DriveLog {
    bool identity = false;
    std::string device_code;  // SAS: vendor (8), product (16), revision (4); SATA: model (40), firmware (8)
    std::string serial;
    std::vector<Block> blocks;
    std::vector<SectionBlock> sections;
    Findings findings;

    bool ata() const;  // a SATA drive: it has ATA blocks
    const Block* find(BlockKind kind, uint8_t page = 0, uint16_t log_page = 0) const;
};

DriveLog read_drive_log(std::string_view text);

// How findings name a block: "page 0d", "subpage 15.01", "block <ATA SMART
// LOG 06>".
std::string block_name(const Block& b);

// The `page` of the finding of an ATA log block (SMART or GPL) that the
// drive did not answer.
inline constexpr const char* kAtaLog = "ATA log";

// One hex dump line (" %02x" per byte, at most 16): the byte count, or -1
// when the line is not of that shape.
int parse_hex_line(std::string_view line, uint8_t* out);

}  // namespace rpt
