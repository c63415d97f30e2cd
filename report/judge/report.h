// The report of one or more hosts, built once as typed structures
// (model.h); the writers (write/) render it.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fleet.h"
#include "input.h"
#include "model.h"

namespace rpt {

// Files older than the error log by more than this many seconds are left
// from an earlier run. The error log is truncated when a run starts, but
// every record it gets moves its time on, so the margin applies only when
// it holds records.
constexpr long kStaleSlackSeconds = 600;

class DriveDb;

// One input's collection, judged on its own: what the report needs of a
// host once its files are gone. `db` reads SATA drives' attributes; null:
// the built-in defaults. `helpers` threads read the controller logs while
// this one judges the drive logs (by default one fewer than the
// processors, at least one); a run that judges a host on every processor
// asks for none.
Collection collect(const Host& h, const DriveDb* db = nullptr, std::optional<unsigned> helpers = std::nullopt);

// The collections of a report's inputs, put in as each is judged (from
// several threads at once), keeping of each only what the report shows,
// so that memory grows with the disks and not with their logs: without
// `detail`, no disk's full decode of pages and sections, phys and
// self-tests (only --disk and JSON show them); and of a collection that a newer one of its host
// supersedes (the newer, and of equal times the first input, as the
// history takes them), only what the history and the fleet's figures
// read of it.
class Gathered {
public:
    Gathered(size_t inputs, bool detail) : all_(inputs), detail_(detail) {}
    void put(size_t input, Collection c);
    std::vector<Collection> take() { return std::move(all_); }

private:
    std::vector<Collection> all_;
    bool detail_;
    std::map<std::string, size_t> newest_;  // the input of each host's newest so far
    std::mutex lock_;
};

// The report of the collections, in input order. With `days`, every disk
// of every collection as a row of the drive-stats file.
Report build_report(std::vector<Collection> collections, std::vector<DiskDay>* days = nullptr);
Report build_report(const std::vector<Host>& hosts, const DriveDb* db = nullptr, std::vector<DiskDay>* days = nullptr);

// The disks whose serial number or file name (or host/file) is `key`.
std::vector<const Disk*> find_disks(const Report& report, const std::string& key);

}  // namespace rpt
