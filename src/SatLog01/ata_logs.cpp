#include "ata_logs.h"

#include <cstring>
#include <initializer_list>

namespace {

// Byte `at` of what arrived, 0 beyond it.
U8 byte_at(const U8* p, U32 got, size_t at) { return at < got ? p[at] : 0; }

// A little-endian ATA word.
U16 word_at(const U8* p, U32 got, size_t word) {
    return static_cast<U16>(byte_at(p, got, 2 * word) | byte_at(p, got, 2 * word + 1) << 8);
}

// Copies an ATA string of `words` words from word `first` on, pairs put
// right, up to its first zero byte and the end of what arrived.
size_t copy_ata_string(char* dst, const U8* id, U32 got, size_t first, size_t words) {
    size_t n = 0;
    for (size_t k = 0; k < 2 * words; ++k) {
        // Within a word the high byte comes first.
        const size_t at = 2 * first + (k ^ 1u);
        if (at >= got || id[at] == 0) break;
        dst[n++] = static_cast<char>(id[at]);
    }
    return n;
}

constexpr size_t kSerialWord = 10, kSerialWords = 10;
constexpr size_t kFirmwareWord = 23, kFirmwareWords = 4;
constexpr size_t kModelWord = 27, kModelWords = 20;
constexpr size_t kFeaturesSupported = 84, kFeaturesDefault = 87;

bool valid_word(U16 w) { return (w & 0xC000u) == 0x4000u; }

constexpr size_t kStatisticsCount = 8;
constexpr size_t kStatisticsList = 9;
constexpr size_t kNewestIndex = 2;

}  // namespace

void ata_identity(const U8* id, U32 got, char (&devCode)[64], char (&serial)[32]) {
    memset(devCode, 0, sizeof devCode);
    memset(serial, 0, sizeof serial);
    const size_t model = copy_ata_string(devCode, id, got, kModelWord, kModelWords);
    copy_ata_string(devCode + model, id, got, kFirmwareWord, kFirmwareWords);
    copy_ata_string(serial, id, got, kSerialWord, kSerialWords);
}

bool ata_feature_supported(const U8* id, U32 got, U16 bit) {
    for (size_t w : {kFeaturesSupported, kFeaturesDefault}) {
        const U16 v = word_at(id, got, w);
        if (valid_word(v) && (v & bit) != 0) return true;
    }
    return false;
}

U16 ata_log_pages(const U8* dir, U32 got, U8 address) {
    // Word 0 is the version of the directory, not a log.
    return address == 0 ? 0 : word_at(dir, got, address);
}

size_t ata_statistics_pages(const U8* page0, U32 got, U8* out, size_t room) {
    const size_t listed = byte_at(page0, got, kStatisticsCount);
    size_t n = 0;
    for (size_t k = 0; k < listed && n < room; ++k) {
        const size_t at = kStatisticsList + k;
        if (at >= got) break;
        if (page0[at] != 0) out[n++] = page0[at];
    }
    return n;
}

U16 ata_newest_page(const U8* page0, U32 got, unsigned perPage) {
    const U16 index = word_at(page0, got, kNewestIndex / 2);
    if (index == 0 || perPage == 0) return 0;
    return static_cast<U16>((index - 1u) / perPage);
}
