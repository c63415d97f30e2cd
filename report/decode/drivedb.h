// The field's drive database (smartmontools' drivedb.h, read as data): what
// each drive model's SMART attributes mean.
//
//   std::string path = pick_drivedb(option_value);     // --drivedb, else the newest installed file
//   DriveDb db = load_drivedb(path);                    // "" or a failure: the built-in defaults
//   const DriveSettings& s = db.lookup(model, firmware);
//   decode_attribute(entry, s.attributes[id]);
//
// The file is a C initializer of entries of five strings: family, model
// expression, firmware expression, warning, presets. The first entry (after
// an optional VERSION entry) holds the defaults of every drive; the first
// later entry whose expressions match the whole model and firmware
// (POSIX extended) adds its presets to them. An entry whose expression
// does not compile is skipped and listed; the rest of the file still counts.
#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ata_format.h"
#include "whole_match.h"

namespace rpt {

// The packaged database and the newer copy that update-smart-drivedb keeps.
inline const std::vector<std::string> kDriveDbPaths = {"/usr/share/smartmontools/drivedb.h",
                                                       "/var/lib/smartmontools/drivedb/drivedb.h"};

// The database to read: `given` (the --drivedb option) when set, else the
// most recently modified regular file of `candidates` (the later one on a
// tie), else "": none, the built-in defaults apply.
std::string pick_drivedb(const std::string& given, const std::vector<std::string>& candidates = kDriveDbPaths);

struct DriveEntry {
    size_t line = 0;  // of its opening brace
    std::string family, model, firmware, warning, presets_text;
    Presets presets;
    std::unique_ptr<WholeMatch> model_re, firmware_re;  // no firmware expression: any firmware
};

struct SkippedEntry {
    size_t line = 0;
    std::string family;
    std::string reason;  // "model expression: Unmatched [ ..."
};

// What applies to one drive: the defaults with the matching entry's presets.
struct DriveSettings {
    const DriveEntry* entry = nullptr;  // the matching entry; none: the defaults alone
    std::string family, warning;
    // By attribute id (index 0 unused). A name "" means no preset names the
    // attribute (the built-in defaults name none).
    std::vector<AttributeFormat> attributes = std::vector<AttributeFormat>(256);
    std::vector<std::string> firmware_bugs;
};

// A database without a source stands for none (ata.database: null); one
// with an error names the file that failed, and only the built-in defaults
// apply.
class DriveDb {
public:
    std::string source;                 // the file read; "" for the built-in defaults
    std::string error;                  // why it could not be read ("FILE:LINE: ..."); then the built-in defaults apply
    std::string version;                // the VERSION entry's text, if the file has one
    DriveEntry defaults;                // the file's first entry, or the built-in defaults
    std::vector<DriveEntry> entries;    // the drive entries, in file order
    std::vector<SkippedEntry> skipped;  // entries whose expressions do not compile
    size_t ignored = 0;                 // entries not about ATA drives: switched off ("$...") or USB bridges

    // Model and firmware as the drive reports them (blanks at either end
    // are dropped). The answer lives as long as the database, moved or not;
    // it is made once per matching entry, and the entry found once per
    // model and firmware (under a lock: hosts are judged side by side).
    const DriveSettings& lookup(std::string_view model, std::string_view firmware) const;

    // Presets not understood, in the defaults and the drive entries.
    size_t unknown_presets() const;

    // The built-in defaults alone, for when no file is read.
    static DriveDb builtin();

private:
    friend DriveDb parse_drivedb(std::string_view text, std::string source);
    void finish();                         // the defaults applied once, for every lookup
    std::unique_ptr<DriveSettings> base_;  // no entry matched; on the heap, as answers point to it
    mutable std::vector<std::unique_ptr<DriveSettings>> by_entry_;  // index of `entries`
    mutable std::unordered_map<std::string, const DriveSettings*> by_drive_;
    std::shared_ptr<std::mutex> lookup_lock_ = std::make_shared<std::mutex>();  // shared: the database moves
};

// The database of a file's text; `source` names it in messages.
DriveDb parse_drivedb(std::string_view text, std::string source);

// The database of a file; "" gives the built-in defaults. A file that
// cannot be read or parsed gives the built-in defaults with `error` set.
DriveDb load_drivedb(const std::string& path);

}  // namespace rpt
