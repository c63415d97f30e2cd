// Readers of what a SATA drive answers: its identity strings, whether it
// keeps general-purpose logs, the log directories and the first page of the
// logs that point to others. Pure functions over the bytes that arrived;
// bytes beyond `got` count as absent, never as data.
#pragma once

#include <cstddef>

#include "types.h"

// Device code and serial number of an IDENTIFY DEVICE answer: the model
// (words 27..46) followed by the firmware revision (words 23..26), and the
// serial number (words 10..19). ATA keeps two characters a word, the first
// in the high byte: each pair is put right. Each field keeps its padding
// blanks and is cut at its first zero byte and at the end of what arrived.
void ata_identity(const U8* id, U32 got, char (&devCode)[64], char (&serial)[32]);

// The bits of IDENTIFY word 84 (repeated in word 87) that say which logs
// the drive keeps.
inline constexpr U16 ATA_FEATURE_SMART_ERROR_LOG = 1u << 0;  // SMART error logging: SMART log 01h
inline constexpr U16 ATA_FEATURE_SMART_SELF_TEST = 1u << 1;  // SMART self-test: SMART log 06h
inline constexpr U16 ATA_FEATURE_GPL = 1u << 5;              // the general-purpose logging feature set

// True when IDENTIFY says the feature of `bit` is supported: set in word 84
// or in word 87, in a word that marks itself valid (bit 14 set, bit 15
// clear).
bool ata_feature_supported(const U8* id, U32 got, U16 bit);

// Pages of log `address` in a log directory (SMART READ LOG 00h and READ
// LOG EXT 00h have the same form: word N holds the pages of log N); 0 when
// the log is not listed.
U16 ata_log_pages(const U8* dir, U32 got, U8 address);

// The pages that page 0 of the device statistics log (04h) lists (their
// count in byte 8, the page numbers from byte 9 on), page 0 itself left
// out, in list order, at most `room`. Returns how many were stored.
size_t ata_statistics_pages(const U8* page0, U32 got, U8* out, size_t room);

// The page of a log that holds its newest entry, from page 0: the 1-based
// index of the newest entry in bytes 2..3 (0: no entry) and the entries a
// page holds (19 self-test descriptors, 4 error data structures). 0 when
// there is none or page 0 holds it.
U16 ata_newest_page(const U8* page0, U32 got, unsigned perPage);
