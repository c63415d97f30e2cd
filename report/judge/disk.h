// One disk from the text of its drive log: decoded by its protocol
// (scsi_decode.h, ata_decode.h), then judged (scsi_judge.h, ata_judge.h)
// once, with what its collection attaches to it.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace rpt {

class DriveDb;

// What a collection knows of a disk besides its drive log: the error log's
// records that name it, and whether the drive log is left from an earlier
// run.
struct Attached {
    std::vector<const ErrRecord*> records;
    bool stale = false;
};

// A disk from the text of its drive log, judged once with what is attached
// to it (the verdict is set where the report is built, after its history).
// `db` reads a SATA drive's attributes (null: the built-in defaults).
Disk build_disk(const std::string& host, const std::string& file, std::string_view text, const Attached& attached = {},
                const DriveDb* db = nullptr);

}  // namespace rpt
