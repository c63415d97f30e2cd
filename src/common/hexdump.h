// The one hex-dump writer of the drive log files: bytes in order, 16 to a
// line, each as " %02x", every line (the last, shorter one too) ended by
// CR LF; no bytes give no line. Flushing is the caller's choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Returns true when every byte reached the stream without a write error.
bool hex_dump(FILE* fp, const uint8_t* data, size_t len);
