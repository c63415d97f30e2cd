// The rules both protocols share: the figures the report shows and the
// findings that give a disk's verdict, judged against one table of
// thresholds. The SAS rules are in scsi_judge.h, the SATA rules in
// ata_judge.h.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model.h"
#include "rules.h"

namespace rpt {

// A count as a value of the thresholds table, which has no larger one.
int64_t clamp64(uint64_t v);

// Sets a counter of the disk (per phy when `phy` is given).
void set_counter(Disk& d, Counter c, uint64_t value, std::optional<unsigned> phy = {});

// Sets a counter and judges its value against the counter's row of the
// thresholds table, when it has one; `text` says what the value is.
void count(Disk& d, Counter c, uint64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter = {}, std::optional<unsigned> phy = {});

// A self-test's outcome from its result code, the same for both protocols
// but for the last code of a failure (SCSI 7, ATA 8).
SelfTest::Outcome self_test_outcome(unsigned code, unsigned last_failure);

void judge_temperature(Disk& d, const std::string& page);
// The newest self-test that has ended (newest first): it decides, a running
// test is no result. Null when there is none.
const SelfTest* newest_ended(const std::vector<SelfTest>& tests);

// `log_read`: a self-test log was read; without one no failure count is known.
void judge_self_tests(Disk& d, const std::string& page, bool log_read = true);
void judge_endurance(Disk& d, uint64_t percent, const std::string& page, std::optional<uint64_t> parameter);

}  // namespace rpt
