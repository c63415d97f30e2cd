// The one hex-dump writer of the drive log files: bytes in order, 16 to a
// line, each as " %02x", every line (the last, shorter one too) ended by
// CR LF; no bytes give no line. Flushing is the caller's choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Returns true when every byte reached the stream without a write error.
bool hex_dump(FILE* fp, const uint8_t* data, size_t len);

// How whole lines are converted. hex_dump takes the fastest that the
// processor has, found once at the first dump; every method gives the same
// bytes, and the tests and the fuzz target hold each against the others.
enum class HexLines {
    table,  // a table of the 256 ready-made " xx" forms: any processor
    ssse3,  // 16 bytes per step in vector registers: x86 with SSSE3
};
bool hex_lines_available(HexLines how);
// hex_dump with a given method, which must be available.
bool hex_dump_with(HexLines how, FILE* fp, const uint8_t* data, size_t len);
