// The hex dump of raw drive data. A 16 MiB internal-log section becomes about
// 50 MB of text, so the lines are built from a table of the 256 ready-made
// " xx" forms into a block of many lines and written with one fwrite per
// block, not formatted byte by byte.
#include "hexdump.h"

#include <array>
#include <cstring>

namespace {

constexpr size_t kBytesPerLine = 16;
constexpr size_t kCharsPerByte = 3;                                // " xx"
constexpr size_t kCharsPerLine = kBytesPerLine * kCharsPerByte + 2;  // + CR LF
// Lines per fwrite: large enough that the write calls cost nothing next to
// the conversion, small enough for the stack.
constexpr size_t kLinesPerBlock = 1024;

// Each form is padded to four characters so that it is copied with one
// 32-bit store; the pad is overwritten by the next form or the line end.
using Forms = std::array<std::array<char, 4>, 256>;

constexpr Forms make_forms() {
    constexpr char digits[] = "0123456789abcdef";
    Forms f{};
    for (size_t b = 0; b < 256; ++b) {
        f[b] = {' ', digits[b >> 4], digits[b & 0x0F], ' '};
    }
    return f;
}

constexpr Forms kForms = make_forms();

inline char* put_bytes(char* out, const uint8_t* data, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        memcpy(out, kForms[data[k]].data(), 4);
        out += kCharsPerByte;
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

}  // namespace

bool hex_dump(FILE* fp, const uint8_t* data, size_t len) {
    // One spare character for the pad of the last form of the block.
    char block[kLinesPerBlock * kCharsPerLine + 1];
    size_t done = 0;
    while (done < len) {
        char* out = block;
        size_t left = len - done;
        size_t lines = left / kBytesPerLine;
        if (lines > kLinesPerBlock) lines = kLinesPerBlock;
        for (size_t l = 0; l < lines; ++l) {
            out = put_bytes(out, data + done, kBytesPerLine);
            done += kBytesPerLine;
        }
        if (lines < kLinesPerBlock && done < len) {
            // The short last line, ended like every other.
            out = put_bytes(out, data + done, len - done);
            done = len;
        }
        const size_t n = static_cast<size_t>(out - block);
        if (fwrite(block, 1, n, fp) != n) return false;
    }
    return true;
}
