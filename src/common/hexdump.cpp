// The hex dump of raw drive data. A 16 MiB internal-log section becomes about
// 50 MB of text, so whole lines are built into a block of many lines and
// written with one fwrite per block, never formatted byte by byte. The lines
// are converted 16 bytes at a time in vector registers where the processor
// can (SSSE3, asked of the processor at run time: the program must also run
// on old servers whose processors lack it), else from a table of the 256
// ready-made forms.
#include "hexdump.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <tmmintrin.h>
#define LOGDUMP_HEX_SSSE3 1
#else
#define LOGDUMP_HEX_SSSE3 0
#endif

namespace {

constexpr size_t kBytesPerLine = 16;
constexpr size_t kCharsPerByte = 3;                                  // " xx"
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

// One line of n bytes (1 to 16) from the table, with its CR LF. Writes one
// character past the line end (the pad of the last form).
inline char* put_bytes(char* out, const uint8_t* data, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        memcpy(out, kForms[data[k]].data(), 4);
        out += kCharsPerByte;
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// Converts `lines` whole lines of 16 bytes; returns the end of the text.
using LinesFn = char* (*)(char* out, const uint8_t* data, size_t lines);

char* lines_table(char* out, const uint8_t* data, size_t lines) {
    for (size_t l = 0; l < lines; ++l) out = put_bytes(out, data + l * kBytesPerLine, kBytesPerLine);
    return out;
}

#if LOGDUMP_HEX_SSSE3
bool cpu_has_ssse3() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_SSSE3) != 0;
}

// A line in three stores of 16 characters. The 16 bytes are split into high
// and low nibbles, each nibble becomes its digit with one shuffle through the
// 16 digits, and the digits are interleaved into pairs: `first` holds the 16
// characters of bytes 0-7, `second` those of bytes 8-15. One shuffle per
// store and source then puts each pair behind its blank; an index of -1
// gives a zero byte, which the OR with the blanks fills.
__attribute__((target("ssse3"))) char* lines_ssse3(char* out, const uint8_t* data, size_t lines) {
    constexpr char z = -1;
    const __m128i digits =
        _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
    const __m128i nibble = _mm_set1_epi8(0x0F);
    // Characters 0-15: blank, byte 0, blank, byte 1, ... byte 4, blank.
    const __m128i from_first0 = _mm_setr_epi8(z, 0, 1, z, 2, 3, z, 4, 5, z, 6, 7, z, 8, 9, z);
    const __m128i blanks0 = _mm_setr_epi8(' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ');
    // Characters 16-31: byte 5, blank, byte 6, ... byte 9, blank, the high
    // digit of byte 10.
    const __m128i from_first1 = _mm_setr_epi8(10, 11, z, 12, 13, z, 14, 15, z, z, z, z, z, z, z, z);
    const __m128i from_second1 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, 0, 1, z, 2, 3, z, 4);
    const __m128i blanks1 = _mm_setr_epi8(0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0);
    // Characters 32-47: the low digit of byte 10, blank, byte 11, ... byte 15.
    const __m128i from_second2 = _mm_setr_epi8(5, z, 6, 7, z, 8, 9, z, 10, 11, z, 12, 13, z, 14, 15);
    const __m128i blanks2 = _mm_setr_epi8(0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0);
    for (size_t l = 0; l < lines; ++l) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + l * kBytesPerLine));
        const __m128i high = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble));
        const __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(bytes, nibble));
        const __m128i first = _mm_unpacklo_epi8(high, low);
        const __m128i second = _mm_unpackhi_epi8(high, low);
        const __m128i c0 = _mm_or_si128(_mm_shuffle_epi8(first, from_first0), blanks0);
        const __m128i c1 = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(first, from_first1), _mm_shuffle_epi8(second, from_second1)), blanks1);
        const __m128i c2 = _mm_or_si128(_mm_shuffle_epi8(second, from_second2), blanks2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), c0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), c1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), c2);
        memcpy(out + 48, "\r\n", 2);
        out += kCharsPerLine;
    }
    return out;
}
#endif

}  // namespace

bool hex_lines_available(HexLines how) {
    switch (how) {
    case HexLines::table: return true;
    case HexLines::ssse3: {
#if LOGDUMP_HEX_SSSE3
        static const bool has = cpu_has_ssse3();
        return has;
#else
        return false;
#endif
    }
    }
    return false;
}

bool hex_dump_with(HexLines how, FILE* fp, const uint8_t* data, size_t len) {
    LinesFn put_lines = lines_table;
#if LOGDUMP_HEX_SSSE3
    if (how == HexLines::ssse3 && hex_lines_available(how)) put_lines = lines_ssse3;
#else
    (void)how;
#endif
    // One spare character for the pad of the table's last form.
    char block[kLinesPerBlock * kCharsPerLine + 1];
    size_t done = 0;
    while (done < len) {
        const size_t lines = std::min((len - done) / kBytesPerLine, kLinesPerBlock);
        char* out = put_lines(block, data + done, lines);
        done += lines * kBytesPerLine;
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

bool hex_dump(FILE* fp, const uint8_t* data, size_t len) {
    static const HexLines best = hex_lines_available(HexLines::ssse3) ? HexLines::ssse3 : HexLines::table;
    return hex_dump_with(best, fp, data, len);
}
