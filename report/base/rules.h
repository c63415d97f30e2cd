// The rules catalogue: one row per finding code (its kind, its weight and
// one line of documentation), and the thresholds table that weighs the
// rules judged against a limit. Every finding is made from its row;
// logdump-report(1) prints both tables, and a test holds them to the code.
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "finding.h"

namespace rpt {

enum class Rule : uint8_t {
    // Reading a drive log and its pages.
    EmptyFile,
    Identity,
    JunkLine,
    TornLine,
    LineEnds,
    BlockText,
    BlockLength,
    BlockUnread,
    PageUnread,
    PageLength,
    PageCode,
    ParamLength,
    ParamWidth,
    SectionLength,
    SectionCut,
    // What a disk says about its health, both protocols.
    NoHealth,
    Temperature,
    TemperatureAbsolute,
    PowerOnHours,
    SsdEndurance,
    SelfTest,
    SelfTestOlder,
    SelfTestIncomplete,
    SelfTestExecution,
    // SAS disks.
    Exception,
    ExceptionTest,
    StartStop,
    LoadUnload,
    ReadUncorrected,
    WriteUncorrected,
    VerifyUncorrected,
    NonMedium,
    BmsStatus,
    BmsMedium,
    BmsReassign,
    BmsRecovered,
    ReassignPending,
    ReassignFailed,
    Rewritten,
    ReassignLostData,
    PendingDefects,
    GrownDefects,
    GrownDefectsFormat,
    PhyDisabled,
    PhyNegotiationFailed,
    PhySlow,
    PhyInvalidDword,
    PhyDisparity,
    PhyLossOfSync,
    PhyResetProblem,
    // SATA drives.
    AtaChecksum,
    IdentityMismatch,
    AtaSmartStatus,
    AtaSmartFailed,
    AtaPrefailThreshold,
    AtaThreshold,
    AtaRawPacked,
    AtaPowerOnUnit,
    AtaDatabaseWarning,
    AtaReallocated,
    AtaReportedUncorrect,
    AtaPending,
    AtaOfflineUncorrectable,
    AtaCrc,
    AtaErrorsLogged,
    // The error log's records of a disk.
    CommandMediumError,
    CommandHardwareError,
    CommandLinkError,
    CommandRejected,
    CommandError,
    ErrlogFileWriteError,
    ErrlogInconsistentAnswer,
    ErrlogShortTransfer,
    ErrlogLengthCapped,
    ErrlogSpaceReserveSkipped,
    ErrlogSpaceReserve,
    ErrlogFileInterrupted,
    // The error log's records of the collection.
    ErrlogFileOpenError,
    ErrlogControllerNotFound,
    ErrlogMemoryAllocationError,
    ErrlogLddError,
    ErrlogBindFileOpenError,
    ErrlogBindFileNotFound,
    ErrlogLibraryLoadError,
    ErrlogControllerInfoError,
    ErrlogPhysicalInfoError,
    ErrlogEmptyLog,
    ErrlogControllerCountTooLarge,
    ErrlogTimeLimitExceeded,
    ErrlogCliFailure,
    ErrlogUnrecognised,
    // A collection as a whole.
    Unreadable,
    NoErrorLog,
    EmptyInput,
    StaleFile,
    ControllerDriveMismatch,
    DriveLogMissing,
    DuplicateSerial,
    RunRecordUnreadable,
    ConsoleError,
    // History across collections.
    CounterGrowth,
    CounterWentDown,
    DiskGone,
    DiskReplaced,
    // The controller's view.
    ControllerLogUnrecognised,
    ControllerLogTruncated,
    ControllerMismatch,
    VirtualDriveState,
    VirtualDriveBadBlocks,
    VirtualDriveWriteThrough,
    VirtualDriveAtRisk,
    DriveState,
    DriveForeign,
    DrivePredictiveFailure,
    DriveSmartAlert,
    DriveMediaErrors,
    DriveOtherErrors,
    DriveOtherErrorsShared,
    DriveLinkSlow,
    MemoryUncorrectable,
    MemoryCorrectable,
    ControllerEvent,
    ControllerEventOld,
    ControllerStateChanged,
    kCount
};

// The rows of the thresholds table, in its order.
enum class Limit : uint8_t {
    Temperature,
    TemperatureAbsolute,
    PowerOnHours,
    StartStop,
    LoadUnload,
    ReadUncorrected,
    WriteUncorrected,
    VerifyUncorrected,
    NonMedium,
    BmsMedium,
    BmsReassign,
    PendingDefects,
    GrownDefects,
    SsdEndurance,
    PhyInvalidDword,
    PhyDisparity,
    PhyLossOfSync,
    PhyResetProblem,
    AtaReallocated,
    AtaReportedUncorrect,
    AtaPending,
    AtaOfflineUncorrectable,
    AtaCrc,
    CounterGrowth,
    DriveMediaErrors,
    DriveOtherErrors,
    kCount
};

// How heavy a rule's findings are: one severity, a second one for the
// case its documentation names, or by its row of the thresholds table
// (with, as the second, the weight of the case that has no value to judge).
struct Weight {
    Severity usual = Severity::Info;
    std::optional<Severity> other;
    std::optional<Limit> limit;
};

struct RuleDef {
    Rule rule;
    const char* code;  // the stable identifier of its findings
    Kind kind;
    Weight weight;
    const char* doc;  // one line for logdump-report(1)
};

std::span<const RuleDef> rules();
const RuleDef& rule_def(Rule r);

// The weight as logdump-report(1) prints it: "WARN", "WARN, FAIL",
// "limit", "limit, INFO".
std::string weight_text(const Weight& w);

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// A measure gives an INFO at or above `info`, a WARN at or above `warn` and
// a FAIL at or above `fail`. This table holds every threshold of the report.
struct Threshold {
    Limit limit;
    const char* measure;
    int64_t info;
    int64_t warn;
    int64_t fail;
};

std::span<const Threshold> thresholds();
const Threshold& threshold(Limit l);
Rule rule_of(Limit l);

// Which of a rule's weights a finding takes.
enum class Case : uint8_t { Usual, Other };

// A finding of `rule`, about `page` (and `parameter`) when they are given.
// Without a text (or with "") it says what the rule's description says.
Finding finding(Rule rule, Case c = Case::Usual);
Finding finding(Rule rule, std::string text, Case c = Case::Usual);
Finding finding(Rule rule, std::string text, std::string page, std::optional<uint64_t> parameter = {},
                Case c = Case::Usual);

// A finding of the limit's rule when `value` reaches one of its limits,
// taken relative to `base` (the reference temperature).
void judge(Findings& f, Limit limit, int64_t value, const std::string& text, const std::string& page,
           std::optional<uint64_t> parameter = {}, int64_t base = 0);

}  // namespace rpt
