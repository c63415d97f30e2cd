#include "rules.h"

#include <array>

#include "helpers.h"

namespace rpt {
namespace {

using S = Severity;

constexpr Weight fixed(Severity s) { return {s, {}, {}}; }
constexpr Weight fixed(Severity s, Severity other) { return {s, other, {}}; }
constexpr Weight limited(Limit l) { return {S::Info, {}, l}; }
constexpr Weight limited(Limit l, Severity other) { return {other, other, l}; }

constexpr Kind kHealth = Kind::Health, kCollection = Kind::Collection, kController = Kind::Controller;

// The catalogue, in the order of Rule.
constexpr RuleDef kRules[] = {
    {Rule::EmptyFile, "empty-file", kCollection, fixed(S::Warn), "the drive log is empty"},
    {Rule::Identity, "identity", kCollection, fixed(S::Warn),
     "the identity lines (device code, serial number) are missing or damaged"},
    {Rule::JunkLine, "junk-line", kCollection, fixed(S::Warn),
     "a line the collector does not write: empty, not a hex dump line, an unknown block, or a short line inside "
     "a block"},
    {Rule::TornLine, "torn-line", kCollection, fixed(S::Warn),
     "the last line has no line end: the file was cut while it was written"},
    {Rule::LineEnds, "line-ends", kCollection, fixed(S::Warn), "lines end in LF alone instead of CR LF"},
    {Rule::BlockText, "block-text", kCollection, fixed(S::Warn),
     "the text line of a block (RETURN STATUS, grown defects) is not one the collector writes"},
    {Rule::BlockLength, "block-length", kCollection, fixed(S::Warn),
     "an ATA block or the grown defect header is not of its size"},
    {Rule::BlockUnread, "block-unread", kCollection, fixed(S::Warn),
     "a block has no bytes: the drive did not answer (a SMART or GPL log the error log records the drive rejected "
     "is that record's finding alone, one log per rejection)"},
    {Rule::PageUnread, "page-unread", kCollection, fixed(S::Warn),
     "a page has no bytes: the drive did not answer (a page the error log records the drive rejected, ILLEGAL "
     "REQUEST, is that record's finding alone)"},
    {Rule::PageLength, "page-length", kCollection, fixed(S::Warn),
     "a page is shorter than its header, or its length field disagrees with the bytes present"},
    {Rule::PageCode, "page-code", kCollection, fixed(S::Warn),
     "a block holds another page or subpage than its tag names"},
    {Rule::ParamLength, "param-length", kCollection, fixed(S::Warn),
     "a parameter or a phy descriptor runs past the end of its page"},
    {Rule::ParamWidth, "param-width", kCollection, fixed(S::Warn), "a counter parameter not of 1 to 8 bytes"},
    {Rule::SectionLength, "section-length", kCollection, fixed(S::Warn),
     "an internal-log section has no length field, or holds more bytes than it gives"},
    {Rule::SectionCut, "section-cut", kCollection, fixed(S::Warn), "an internal-log section is cut short"},

    {Rule::NoHealth, "no-health", kHealth, fixed(S::Unknown),
     "no health page or block was read whole: the disk's health cannot be judged"},
    {Rule::Temperature, "temperature", kHealth, limited(Limit::Temperature),
     "the temperature against the disk's reference"},
    {Rule::TemperatureAbsolute, "temperature-absolute", kHealth, limited(Limit::TemperatureAbsolute),
     "the temperature of a disk that gives no reference"},
    {Rule::PowerOnHours, "power-on-hours", kHealth, limited(Limit::PowerOnHours), "the hours powered on"},
    {Rule::SsdEndurance, "ssd-endurance", kHealth, limited(Limit::SsdEndurance),
     "the percentage used endurance indicator"},
    {Rule::SelfTest, "selftest", kHealth, fixed(S::Fail), "the newest self-test that has ended failed"},
    {Rule::SelfTestOlder, "selftest-older", kHealth, fixed(S::Warn), "an older self-test failed"},
    {Rule::SelfTestIncomplete, "selftest-incomplete", kHealth, fixed(S::Warn), "a self-test could not complete"},
    {Rule::SelfTestExecution, "selftest-execution", kHealth, fixed(S::Info),
     "a SATA drive's self-test is in progress, was aborted by the host or interrupted by a reset (SMART data)"},

    {Rule::Exception, "exception", kHealth, fixed(S::Warn, S::Fail),
     "an informational exception (2Fh) other than 00h/00h; FAIL for a failure prediction (ASC 5Dh)"},
    {Rule::ExceptionTest, "exception-test", kHealth, fixed(S::Info),
     "informational exception 5Dh/FFh: the drive's test trigger, nothing predicted"},
    {Rule::StartStop, "start-stop", kHealth, limited(Limit::StartStop),
     "start-stop cycles against the specified lifetime"},
    {Rule::LoadUnload, "load-unload", kHealth, limited(Limit::LoadUnload),
     "load-unload cycles against the specified lifetime"},
    {Rule::ReadUncorrected, "read-uncorrected", kHealth, limited(Limit::ReadUncorrected), "uncorrected read errors"},
    {Rule::WriteUncorrected, "write-uncorrected", kHealth, limited(Limit::WriteUncorrected),
     "uncorrected write errors"},
    {Rule::VerifyUncorrected, "verify-uncorrected", kHealth, limited(Limit::VerifyUncorrected),
     "uncorrected verify errors"},
    {Rule::NonMedium, "non-medium", kHealth, limited(Limit::NonMedium, S::Info),
     "non-medium errors per 1000 power-on hours; INFO when there are no power-on hours to judge their rate"},
    {Rule::BmsStatus, "bms-status", kHealth, fixed(S::Warn),
     "the background scan halted on a fatal error, on a vendor pattern of errors or on temperature"},
    {Rule::BmsMedium, "bms-medium", kHealth, limited(Limit::BmsMedium),
     "medium and hardware errors found by the background scan"},
    {Rule::BmsReassign, "bms-reassign", kHealth, limited(Limit::BmsReassign),
     "blocks reassigned after the background scan"},
    {Rule::BmsRecovered, "bms-recovered", kHealth, fixed(S::Info),
     "recovered errors found by the background scan, with their LBAs"},
    {Rule::ReassignPending, "reassign-pending", kHealth, fixed(S::Warn),
     "blocks waiting to be reassigned (reassign status 1)"},
    {Rule::ReassignFailed, "reassign-failed", kHealth, fixed(S::Fail),
     "blocks the drive or the host failed to reassign (reassign status 4 or 8)"},
    {Rule::Rewritten, "rewritten", kHealth, fixed(S::Info),
     "blocks recovered by rewriting in place (reassign status 5)"},
    {Rule::ReassignLostData, "reassign-lost-data", kHealth, fixed(S::Warn),
     "blocks reassigned without valid data: their data was lost (reassign status 7)"},
    {Rule::PendingDefects, "pending-defects", kHealth, limited(Limit::PendingDefects),
     "pending defects, with their LBAs"},
    {Rule::GrownDefects, "grown-defects", kHealth, limited(Limit::GrownDefects), "grown defects"},
    {Rule::GrownDefectsFormat, "grown-defects-format", kCollection, fixed(S::Info),
     "the grown defect list is in a vendor format: no count"},
    {Rule::PhyDisabled, "phy-disabled", kHealth, fixed(S::Warn), "a phy is disabled"},
    {Rule::PhyNegotiationFailed, "phy-negotiation-failed", kHealth, fixed(S::Warn), "a phy's speed negotiation failed"},
    {Rule::PhySlow, "phy-slow", kHealth, fixed(S::Warn), "a phy runs slower than the fastest phy of the disk"},
    {Rule::PhyInvalidDword, "phy-invalid-dword", kHealth, limited(Limit::PhyInvalidDword), "invalid dwords of a phy"},
    {Rule::PhyDisparity, "phy-disparity", kHealth, limited(Limit::PhyDisparity), "running disparity errors of a phy"},
    {Rule::PhyLossOfSync, "phy-loss-of-sync", kHealth, limited(Limit::PhyLossOfSync),
     "losses of dword synchronization of a phy"},
    {Rule::PhyResetProblem, "phy-reset-problem", kHealth, limited(Limit::PhyResetProblem),
     "phy reset problems of a phy"},

    {Rule::AtaChecksum, "ata-checksum", kCollection, fixed(S::Info),
     "a sector's checksum does not match (its values are used)"},
    {Rule::IdentityMismatch, "identity-mismatch", kCollection, fixed(S::Warn),
     "the identity lines do not name the drive that IDENTIFY DEVICE describes"},
    {Rule::AtaSmartStatus, "ata-smart-status", kCollection, fixed(S::Warn), "SMART RETURN STATUS gave no known answer"},
    {Rule::AtaSmartFailed, "ata-smart-failed", kHealth, fixed(S::Fail),
     "SMART RETURN STATUS: threshold exceeded, the drive predicts its failure"},
    {Rule::AtaPrefailThreshold, "ata-prefail-threshold", kHealth, fixed(S::Fail),
     "a pre-failure attribute is at or below its non-zero threshold"},
    {Rule::AtaThreshold, "ata-threshold", kHealth, fixed(S::Warn),
     "an old-age attribute is at or below its threshold, or an attribute was in the past (its worst value)"},
    {Rule::AtaRawPacked, "ata-raw-packed", kHealth, fixed(S::Info),
     "a sector count (attribute 5, 197 or 198) larger than the drive: its raw value holds other data, not counted"},
    {Rule::AtaPowerOnUnit, "ata-power-on-unit", kHealth, fixed(S::Info),
     "attribute 9 reads more than 100000 hours: a unit unknown for this drive, no power-on hours"},
    {Rule::AtaDatabaseWarning, "ata-database-warning", kHealth, fixed(S::Info),
     "the drive database's warning for this drive's model or firmware"},
    {Rule::AtaReallocated, "ata-reallocated", kHealth, limited(Limit::AtaReallocated),
     "reallocated sectors (attribute 5)"},
    {Rule::AtaReportedUncorrect, "ata-reported-uncorrect", kHealth, limited(Limit::AtaReportedUncorrect),
     "uncorrectable errors reported to the host (attribute 187)"},
    {Rule::AtaPending, "ata-pending", kHealth, limited(Limit::AtaPending),
     "sectors pending reallocation (attribute 197)"},
    {Rule::AtaOfflineUncorrectable, "ata-offline-uncorrectable", kHealth, limited(Limit::AtaOfflineUncorrectable),
     "sectors found uncorrectable off-line (attribute 198)"},
    {Rule::AtaCrc, "ata-crc", kHealth, limited(Limit::AtaCrc), "interface CRC errors (attribute 199)"},
    {Rule::AtaErrorsLogged, "ata-errors-logged", kHealth, fixed(S::Info), "the drive's error log counts errors"},

    {Rule::CommandMediumError, "command-medium-error", kHealth, fixed(S::Warn),
     "a command failed on the medium: sense key 3 (MEDIUM ERROR); SATA: UNC or IDNF"},
    {Rule::CommandHardwareError, "command-hardware-error", kHealth, fixed(S::Fail),
     "a command failed with sense key 4 (HARDWARE ERROR)"},
    {Rule::CommandLinkError, "command-link-error", kHealth, fixed(S::Warn),
     "a SATA command failed with an interface CRC error (ICRC)"},
    {Rule::CommandRejected, "command-rejected", kCollection, fixed(S::Info),
     "the drive does not support a command: sense key 5 (ILLEGAL REQUEST); SATA: ABRT alone"},
    {Rule::CommandError, "command-error", kCollection, fixed(S::Warn),
     "a command failed otherwise: the log is incomplete"},
    {Rule::ErrlogFileWriteError, "errlog-file_write_error", kCollection, fixed(S::Warn),
     "a write to the drive log failed; it is cut"},
    {Rule::ErrlogInconsistentAnswer, "errlog-inconsistent_answer", kCollection, fixed(S::Warn),
     "the drive answered a page inconsistently; the page in the file is not to be trusted"},
    {Rule::ErrlogShortTransfer, "errlog-short_transfer", kCollection, fixed(S::Warn),
     "the drive sent fewer bytes than asked; the file holds a short block"},
    {Rule::ErrlogLengthCapped, "errlog-length_capped", kCollection, fixed(S::Info),
     "a block was longer than the collector could ask for and was read in part"},
    {Rule::ErrlogSpaceReserveSkipped, "errlog-space_reserve_skipped", kCollection, fixed(S::Warn),
     "the drive log was not written, to keep the disk's space reserve free"},
    {Rule::ErrlogSpaceReserve, "errlog-space_reserve", kCollection, fixed(S::Warn),
     "the drive log is short: a part was not written to keep the space reserve free"},
    {Rule::ErrlogFileInterrupted, "errlog-file_interrupted", kCollection, fixed(S::Warn),
     "the run was interrupted while the drive log was written; it is cut"},

    {Rule::ErrlogFileOpenError, "errlog-file_open_error", kCollection, fixed(S::Warn), "a file could not be opened"},
    {Rule::ErrlogControllerNotFound, "errlog-controller_not_found", kCollection, fixed(S::Warn),
     "the vendor CLI reported no controller"},
    {Rule::ErrlogMemoryAllocationError, "errlog-memory_allocation_error", kCollection, fixed(S::Warn),
     "the collector ran out of memory"},
    {Rule::ErrlogLddError, "errlog-ldd_error", kCollection, fixed(S::Warn),
     "the storage library's dependencies could not be listed"},
    {Rule::ErrlogBindFileOpenError, "errlog-bind_file_open_error", kCollection, fixed(S::Warn),
     "the list of the library's dependencies could not be opened"},
    {Rule::ErrlogBindFileNotFound, "errlog-bind_file_not_found", kCollection, fixed(S::Warn),
     "a dependency of the storage library is missing"},
    {Rule::ErrlogLibraryLoadError, "errlog-library_load_error", kCollection, fixed(S::Warn),
     "the storage library could not be loaded: no drive logs"},
    {Rule::ErrlogControllerInfoError, "errlog-controller_info_error", kCollection, fixed(S::Warn),
     "a controller's information could not be read"},
    {Rule::ErrlogPhysicalInfoError, "errlog-physical_info_error", kCollection, fixed(S::Warn),
     "a drive's information could not be read"},
    {Rule::ErrlogEmptyLog, "errlog-empty_log", kCollection, fixed(S::Warn), "a controller log came out empty"},
    {Rule::ErrlogControllerCountTooLarge, "errlog-controller_count_too_large", kCollection, fixed(S::Warn),
     "the vendor CLI reported more controllers than the collector reads"},
    {Rule::ErrlogTimeLimitExceeded, "errlog-time_limit_exceeded", kCollection, fixed(S::Warn),
     "a command ran past its time limit"},
    {Rule::ErrlogCliFailure, "errlog-cli_failure", kCollection, fixed(S::Warn),
     "the vendor CLI failed to save a controller log"},
    {Rule::ErrlogUnrecognised, "errlog-unrecognised", kCollection, fixed(S::Info),
     "a line of the error log that is no record the collector writes"},

    {Rule::Unreadable, "unreadable", kCollection, fixed(S::Fail),
     "an input could not be read (missing, not a directory or archive, damaged archive)"},
    {Rule::NoErrorLog, "no-error-log", kCollection, fixed(S::Info),
     "no error log: the run was started with arguments, or this is not a whole log directory"},
    {Rule::EmptyInput, "empty-input", kCollection, fixed(S::Warn),
     "neither drive logs nor an error log: not a log directory"},
    {Rule::StaleFile, "stale-file", kCollection, fixed(S::Warn),
     "a file older than the run's start (run.json), else than the error log: left from an earlier run"},
    {Rule::ControllerDriveMismatch, "controller-drive-mismatch", kController, fixed(S::Info),
     "the controller lists another serial number (or, without one, SAS address) at a drive log's target: the two are "
     "not "
     "joined"},
    {Rule::DriveLogMissing, "drive-log-missing", kCollection, fixed(S::Unknown),
     "the controller lists a drive the run collects, but there is no drive log of it: its own health is unknown"},
    {Rule::DuplicateSerial, "duplicate-serial", kCollection, fixed(S::Warn),
     "two disks of one collection give the same serial number"},
    {Rule::RunRecordUnreadable, "run-record-unreadable", kCollection, fixed(S::Info),
     "run.json, the fleet role's record of the run, cannot be read"},
    {Rule::ConsoleError, "console-error", kCollection, fixed(S::Warn),
     "the run printed a line in red (console.txt) that the error log does not hold"},

    {Rule::CounterGrowth, "counter-growth", kHealth, limited(Limit::CounterGrowth),
     "a count of defects or uncorrected errors grew between the two newest collections"},
    {Rule::CounterWentDown, "counter-went-down", kHealth, fixed(S::Info),
     "a counter is lower than in the collection before: it was reset"},
    {Rule::DiskGone, "disk-gone", kHealth, fixed(S::Warn),
     "a disk of the host's previous collection is in no newest collection, and no new disk took its slot"},
    {Rule::DiskReplaced, "disk-replaced", kHealth, fixed(S::Info),
     "a new serial number in the slot of a disk that is gone"},

    {Rule::ControllerLogUnrecognised, "controller-log-unrecognised", kController, fixed(S::Info),
     "a line of a controller log that is not the vendor CLI's text of its kind, a value not of its form, binary "
     "data, or an exit code other than 0x00"},
    {Rule::ControllerLogTruncated, "controller-log-truncated", kController, fixed(S::Info),
     "a controller log announces more virtual drives, disk groups or drives of a span than follow: it was cut short; "
     "what it holds is judged, nothing made up for the rest"},
    {Rule::ControllerMismatch, "controller-mismatch", kController, fixed(S::Info),
     "the adapter's counts of degraded or offline virtual drives or of critical or failed disks disagree with the "
     "virtual drives and the drive list, or two logs give a drive or a virtual drive another state or count (the drive "
     "list's holds, then the virtual drive log's, the members log's, the configuration log's)"},
    {Rule::VirtualDriveState, "virtual-drive-state", kController, fixed(S::Warn, S::Fail),
     "a virtual drive not Optimal (Partially Degraded, or another state, quoted); FAIL for Degraded or Offline, naming "
     "the members not Online (an arm no drive fills as \"span S, arm A: no drive\")"},
    {Rule::VirtualDriveBadBlocks, "virtual-drive-bad-blocks", kController, fixed(S::Warn),
     "the controller says bad blocks exist on a virtual drive"},
    {Rule::VirtualDriveWriteThrough, "virtual-drive-write-through", kController, fixed(S::Warn),
     "a virtual drive writes through where its default is write back: the controller turned its write cache off"},
    {Rule::VirtualDriveAtRisk, "virtual-drive-at-risk", kController, fixed(S::Warn),
     "an Optimal virtual drive has a member that the rules FAIL: its redundancy is at risk (RAID 0: its data), the "
     "member named"},
    {Rule::DriveState, "drive-state", kController, fixed(S::Warn, S::Fail),
     "a drive rebuilding or copying back (with its progress), or in a state of no other name; FAIL for Failed, "
     "Offline, Unconfigured(bad) and Missing"},
    {Rule::DriveForeign, "drive-foreign", kController, fixed(S::Warn), "a drive holds a foreign configuration"},
    {Rule::DrivePredictiveFailure, "drive-predictive-failure", kController, fixed(S::Fail),
     "the drive predicts its own failure: the controller counts predictive failures of it"},
    {Rule::DriveSmartAlert, "drive-smart-alert", kController, fixed(S::Fail),
     "the drive has flagged a S.M.A.R.T alert to the controller"},
    {Rule::DriveMediaErrors, "drive-media-errors", kController, limited(Limit::DriveMediaErrors),
     "the controller's media error count of a drive"},
    {Rule::DriveOtherErrors, "drive-other-errors", kController, limited(Limit::DriveOtherErrors, S::Info),
     "the controller's other error count of a drive; INFO where three or more drives of the controller show the same "
     "count (drive-other-errors-shared)"},
    {Rule::DriveOtherErrorsShared, "drive-other-errors-shared", kController, fixed(S::Warn),
     "three or more drives of one controller show the same other error count: one cause rather than the drives, "
     "usually a link, expander, backplane or controller reset; the drives and the count named"},
    {Rule::DriveLinkSlow, "drive-link-slow", kController, fixed(S::Info),
     "a drive's link runs slower than the drive can"},
    {Rule::MemoryUncorrectable, "memory-uncorrectable", kController, fixed(S::Fail),
     "the controller's memory had uncorrectable errors"},
    {Rule::MemoryCorrectable, "memory-correctable", kController, fixed(S::Info),
     "the controller's memory had correctable errors"},
    {Rule::ControllerEvent, "controller-event", kController, fixed(S::Warn, S::Fail),
     "warning, critical, fatal or dead events of one kind (on one drive) within 30 days before the controller's clock "
     "(else the collection), with count, first and last time; FAIL for fatal and dead"},
    {Rule::ControllerEventOld, "controller-event-old", kController, fixed(S::Info),
     "warning and worse events of one kind (on one drive) older than 30 days"},
    {Rule::ControllerStateChanged, "controller-state-changed", kController, fixed(S::Info),
     "a virtual drive's or a drive's state differs from the collection before (\"was Optimal, now Degraded\")"},
};

// The thresholds of the report: one table, also printed in logdump-report(1).
constexpr Threshold kThresholds[] = {
    {Limit::Temperature,
     "temperature minus the reference temperature (page 0Dh; ATA: the specified maximum), degrees C", kNever, -10, 0},
    {Limit::TemperatureAbsolute, "temperature when the disk gives no reference, degrees C", kNever, 55, 65},
    {Limit::PowerOnHours, "hours powered on (page 15h; ATA attribute 9 or device statistics)", 43800, kNever, kNever},
    {Limit::StartStop, "start-stop cycles, percent of the specified lifetime (page 0Eh)", kNever, 80, 100},
    {Limit::LoadUnload, "load-unload cycles, percent of the specified lifetime (page 0Eh)", kNever, 80, 100},
    {Limit::ReadUncorrected, "uncorrected read errors (page 03h)", kNever, 1, 10},
    {Limit::WriteUncorrected, "uncorrected write errors (page 02h)", kNever, 1, 10},
    {Limit::VerifyUncorrected, "uncorrected verify errors (page 05h)", kNever, 1, 10},
    {Limit::NonMedium, "non-medium errors per 1000 power-on hours, at least 1000 hours counted (page 06h)", kNever, 50,
     kNever},
    {Limit::BmsMedium, "medium and hardware errors found by the background scan (page 15h)", kNever, 1, 50},
    {Limit::BmsReassign, "blocks reassigned after the background scan, by the drive or the host (page 15h)", kNever, 10,
     100},
    {Limit::PendingDefects, "pending defects (page 15h/01h)", kNever, 1, kNever},
    {Limit::GrownDefects, "grown defects (READ DEFECT DATA)", kNever, 1, 100},
    {Limit::SsdEndurance, "percentage used endurance indicator (page 11h; ATA device statistics)", kNever, 90, 100},
    {Limit::PhyInvalidDword, "invalid dwords of one phy (page 18h)", kNever, 100, kNever},
    {Limit::PhyDisparity, "running disparity errors of one phy (page 18h)", kNever, 100, kNever},
    {Limit::PhyLossOfSync, "losses of dword synchronization of one phy (page 18h)", kNever, 10, kNever},
    {Limit::PhyResetProblem, "phy reset problems of one phy (page 18h)", kNever, 1, kNever},
    {Limit::AtaReallocated, "reallocated sectors (ATA attribute 5)", kNever, 1, 100},
    {Limit::AtaReportedUncorrect, "uncorrectable errors reported to the host (ATA attribute 187)", kNever, 1, 100},
    {Limit::AtaPending, "sectors pending reallocation (ATA attribute 197)", kNever, 1, 100},
    {Limit::AtaOfflineUncorrectable, "sectors found uncorrectable off-line (ATA attribute 198)", kNever, 1, 100},
    {Limit::AtaCrc, "interface CRC errors: cable or backplane (ATA attribute 199)", kNever, 1, kNever},
    {Limit::CounterGrowth, "growth of a count of defects or uncorrected errors between the two newest collections",
     kNever, 1, 10},
    {Limit::DriveMediaErrors,
     "media errors the controller counts of a drive (drive list, members or configuration log)", kNever, 1, 100},
    {Limit::DriveOtherErrors,
     "other errors the controller counts of a drive (drive list, members or configuration log)", 1, 100, kNever},
};

// Both tables are indexed by their enumerations: each row must stand in
// its enumerator's place, and every limit must weigh exactly one rule.
static_assert(indexed_by(kRules, &RuleDef::rule) && indexed_by(kThresholds, &Threshold::limit),
              "a row of the rules or thresholds table stands out of its enumerator's place");

constexpr auto kRuleOfLimit = [] {
    std::array<Rule, static_cast<size_t>(Limit::kCount)> out{};
    std::array<int, static_cast<size_t>(Limit::kCount)> uses{};
    for (auto& r : kRules)
        if (r.weight.limit) {
            out[static_cast<size_t>(*r.weight.limit)] = r.rule;
            ++uses[static_cast<size_t>(*r.weight.limit)];
        }
    for (int n : uses)
        if (n != 1) throw "a limit weighs no rule, or more than one";
    return out;
}();

}  // namespace

std::span<const RuleDef> rules() { return kRules; }
const RuleDef& rule_def(Rule r) { return kRules[static_cast<size_t>(r)]; }

const char* Finding::code() const { return rule_def(rule).code; }
Kind Finding::kind() const { return rule_def(rule).kind; }

std::string weight_text(const Weight& w) {
    std::string s = w.limit ? "limit" : severity_name(w.usual);
    return w.other ? s + ", " + severity_name(*w.other) : s;
}

std::span<const Threshold> thresholds() { return kThresholds; }
const Threshold& threshold(Limit l) { return kThresholds[static_cast<size_t>(l)]; }
Rule rule_of(Limit l) { return kRuleOfLimit[static_cast<size_t>(l)]; }

Finding finding(Rule rule, Case c) { return finding(rule, "", c); }

Finding finding(Rule rule, std::string text, Case c) {
    const Weight& w = rule_def(rule).weight;
    if (text.empty()) text = rule_def(rule).doc;
    return {c == Case::Other && w.other ? *w.other : w.usual, rule, std::move(text), {}, {}, {}, {}, {}, {}};
}

Finding finding(Rule rule, std::string text, std::string page, std::optional<uint64_t> parameter, Case c) {
    Finding f = finding(rule, std::move(text), c);
    f.page = std::move(page);
    f.parameter = parameter;
    return f;
}

void judge(Findings& f, Limit limit, int64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter, int64_t base) {
    const Threshold& t = threshold(limit);
    auto reached = [&](int64_t l) { return l != kNever && value - base >= l; };
    const Severity s = reached(t.fail) ? S::Fail : reached(t.warn) ? S::Warn : reached(t.info) ? S::Info : S::Unknown;
    if (s == S::Unknown) return;
    Finding x = finding(rule_of(limit), text, page, parameter);
    x.severity = s;
    x.value = value;
    x.threshold = base + (s == S::Fail ? t.fail : s == S::Warn ? t.warn : t.info);
    f.push_back(std::move(x));
}

}  // namespace rpt
