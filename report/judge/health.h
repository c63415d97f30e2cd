// Health of one disk: the figures the report shows and the findings that
// give its verdict, judged against one table of thresholds.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model.h"
#include "rules.h"

namespace rpt {

class DriveDb;

// Sets a counter of the disk (per phy when `phy` is given).
void set_counter(Disk& d, Counter c, uint64_t value, std::optional<unsigned> phy = {});

// Sets a counter and judges its value against the counter's row of the
// thresholds table, when it has one; `text` says what the value is.
void count(Disk& d, Counter c, uint64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter = {}, std::optional<unsigned> phy = {});

// A self-test's outcome from its result code, the same for both protocols
// but for the last code of a failure (SCSI 7, ATA 8).
SelfTest::Outcome self_test_outcome(unsigned code, unsigned last_failure);

// The rules both protocols share.
void judge_temperature(Disk& d, const std::string& page);
// The newest self-test that has ended (newest first): it decides, a running
// test is no result. Null when there is none.
const SelfTest* newest_ended(const std::vector<SelfTest>& tests);

// `log_read`: a self-test log was read; without one no failure count is known.
void judge_self_tests(Disk& d, const std::string& page, bool log_read = true);
void judge_endurance(Disk& d, uint64_t percent, const std::string& page, std::optional<uint64_t> parameter);

// The figures and findings of a SAS disk from its decoded pages and
// blocks; true when any of them tells about the disk's health.
bool assess_scsi(Disk& d, const DriveLog& log);

// The same for a SATA drive from its decoded blocks, `d.ata` (ata.cpp).
bool judge_ata(Disk& d);

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
