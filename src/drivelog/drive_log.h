// The drive log files "MA%02x%02x.log" in the log directory: the one open
// while a drive is collected, its path, the room it may take, and its repair
// after a failed write. Below every collector that writes into it; the
// driver opens and closes it.
#pragma once

#include <cstddef>
#include <cstdio>

// The drive log being written, null between drives. The collectors only
// write to it.
extern FILE* fpLog;

// The drive log path of a device, "%s/MA%02x%02x.log" in the log directory;
// false when it does not fit the buffer.
bool drive_log_path(char* buf, size_t size, int iCtrl, int iTgtId);

// Cuts a regular file back to its last complete line (a file without any
// line ends empty). False when the file could not be read or cut.
bool keep_whole_lines(const char* path);

// ---- space reserve of the log directory ----
// Characters of the hex dump of so many bytes.
unsigned long long hex_text_size(unsigned long long bytes);
// True when `need` more bytes leave the reserve free (5% of the log
// directory's file system, at most 1 GiB). Otherwise reports the drive log
// `path` and marks the run: every later drive log is skipped.
bool space_for(const char* path, unsigned long long need);
bool space_exhausted();
void space_reset();  // at the start of a drive scan
