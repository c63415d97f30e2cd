// The fields of the SCSI log pages that the judges read (pages.cpp holds
// the other pages' tables): defined here, once for the whole program, so
// that a judge reaches a field by a key checked against its table
// (FieldKey, pages.h) and shows its words from the same table.
#pragma once
#include "pages.h"

namespace rpt {

inline constexpr const char* kSelfTestCodes[] = {
    "default",          "background short",   "background extended", nullptr, "aborted background",
    "foreground short", "foreground extended"};
inline constexpr const char* kSelfTestResults[] = {
    "completed without error",
    "aborted by SEND DIAGNOSTIC",
    "aborted other than by SEND DIAGNOSTIC",
    "unknown error, unable to complete",
    "self test completed with failure in test segment (which one unknown)",
    "first segment in self test failed",
    "second segment in self test failed",
    "another segment in self test failed",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "self test in progress"};
inline constexpr Field kSelfTestResult[] = {
    {"code", "Self-test code", 0, 1, 5, 3, Format::Word, kSelfTestCodes},
    {"result", "Self-test result", 0, 1, 0, 4, Format::Word, kSelfTestResults},
    {"number", "Self-test number", 1, 1},
    {"power_on_hours", "Accumulated power-on hours", 2, 2},
    {"first_failure", "Address of first failure", 4, 8, 0, 0, Format::Lba},
    {"sense_key", "Sense key", 12, 1, 0, 4, Format::Hex},
    {"asc", "Additional sense code", 13, 1, 0, 0, Format::Hex},
    {"ascq", "Additional sense code qualifier", 14, 1, 0, 0, Format::Hex},
};

inline constexpr const char* kScanStatuses[] = {
    "no background scans active",
    "background medium scan is active",
    "background pre-scan is active",
    "background scan halted due to fatal error",
    "background scan halted due to a vendor specific pattern of error",
    "background scan halted due to medium formatted without P-List",
    "background scan halted - vendor specific cause",
    "background scan halted due to temperature out of range",
    "background scan enabled, none active (waiting for BMS interval timer to expire)",
    "background scan halted - scan results list full",
    "background scan halted - pre-scan time limit timer expired"};
inline constexpr const char* kReassignStatuses[] = {
    nullptr,
    "Reassignment pending receipt of Reassign or Write command",
    "Logical block successfully reassigned by device server",
    nullptr,
    "Reassignment by device server failed",
    "Logical block recovered by device server via rewrite",
    "Logical block reassigned by application client, has valid data",
    "Logical block reassigned by application client, contains no valid data",
    "Logical block unsuccessfully reassigned by application client"};
inline constexpr Field kScanStatus[] = {
    {"power_on_minutes", "Accumulated power-on minutes", 0, 4},
    {"status", "Background scan status", 5, 1, 0, 0, Format::Word, kScanStatuses},
    {"scans", "Number of background scans performed", 6, 2},
    {"progress", "Background scan progress", 8, 2, 0, 0, Format::Percent},
    {"medium_scans", "Number of background medium scans performed", 10, 2},
};
inline constexpr Field kScanEntry[] = {
    {"power_on_minutes", "Accumulated power-on minutes", 0, 4},
    {"reassign_status", "Reassign status", 4, 1, 4, 4, Format::Word, kReassignStatuses},
    {"sense_key", "Sense key", 4, 1, 0, 4, Format::Hex},
    {"asc", "Additional sense code", 5, 1, 0, 0, Format::Hex},
    {"ascq", "Additional sense code qualifier", 6, 1, 0, 0, Format::Hex},
    {"lba", "Logical block address", 12, 8, 0, 0, Format::Lba},
};

inline constexpr Field kPendingDefect[] = {
    {"power_on_hours", "Accumulated power-on hours", 0, 4},
    {"lba", "Logical block address", 4, 8, 0, 0, Format::Lba},
};

inline constexpr Field kException[] = {
    {"asc", "Informational exception additional sense code", 0, 1, 0, 0, Format::Hex},
    {"ascq", "Informational exception additional sense code qualifier", 1, 1, 0, 0, Format::Hex},
    {"temperature", "Most recent temperature reading", 2, 1, 0, 0, Format::Celsius},
};

inline constexpr const char* kDeviceTypes[] = {"no device attached", "SAS or SATA device", "expander device",
                                               "expander device (fanout)"};
inline constexpr const char* kReasons[] = {"unknown",
                                           "power on",
                                           "hard reset",
                                           "SMP phy control function",
                                           "loss of dword synchronization",
                                           "mux mix up",
                                           "I_T nexus loss timeout for STP/SATA",
                                           "break timeout timer expired",
                                           "phy test function stopped",
                                           "expander device reduced functionality"};
inline constexpr const char* kLinkRateWords[] = {"phy enabled; unknown rate",
                                                 "phy disabled",
                                                 "phy enabled; speed negotiation failed",
                                                 "phy enabled; SATA spinup hold state",
                                                 "phy enabled; port selector",
                                                 "phy enabled; reset in progress",
                                                 "phy enabled; unsupported phy attached",
                                                 nullptr,
                                                 "1.5 Gbit/s",
                                                 "3 Gbit/s",
                                                 "6 Gbit/s",
                                                 "12 Gbit/s",
                                                 "22.5 Gbit/s"};
inline constexpr Field kPhy[] = {
    {"phy", "Phy identifier", 1, 1},
    {"attached_device_type", "Attached device type", 4, 1, 4, 3, Format::Word, kDeviceTypes},
    {"attached_reason", "Attached reason", 4, 1, 0, 4, Format::Word, kReasons},
    {"reason", "Reason", 5, 1, 4, 4, Format::Word, kReasons},
    {"link_rate", "Negotiated logical link rate", 5, 1, 0, 4, Format::Word, kLinkRateWords},
    {"sas_address", "SAS address", 8, 8, 0, 0, Format::Address},
    {"attached_sas_address", "Attached SAS address", 16, 8, 0, 0, Format::Address},
    {"attached_phy", "Attached phy identifier", 24, 1},
    {"invalid_dword", "Invalid dword count", 32, 4},
    {"disparity", "Running disparity error count", 36, 4},
    {"loss_of_sync", "Loss of dword synchronization count", 40, 4},
    {"reset_problem", "Phy reset problem count", 44, 4},
};

// Words of the SAS phy fields, for the judges and the renderers.
inline constexpr std::span<const char*const> kLinkRates = kLinkRateWords, kAttachedDeviceTypes = kDeviceTypes,
                                             kPhyReasons = kReasons;

}  // namespace rpt
