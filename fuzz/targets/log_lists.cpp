// The readers of lists that a drive answers with: the SMART and
// general-purpose log directories, the device statistics page list, the
// newest-entry page of the self-test and error logs, IDENTIFY's strings and
// its logging bit, and the list of log pages and subpages of a SAS disk.
// The first byte says how many of the bytes after it arrived; the bytes
// beyond must never be read.
#include <algorithm>
#include <cstring>

#include "SasLog01.h"
#include "ata_logs.h"
#include "common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    constexpr size_t kPage = 512;
    const U32 got = static_cast<U32>(std::min<size_t>({size - 1, kPage, static_cast<size_t>(data[0]) * 4}));
    U8 page[kPage];
    memset(page, 0xAA, sizeof page);  // never arrived: a reader that looks here reads 0xAA
    memcpy(page, data + 1, got);

    for (unsigned address = 0; address < 256; ++address) {
        const U16 pages = ata_log_pages(page, got, static_cast<U8>(address));
        const size_t at = 2 * address;
        const U16 want =
            address == 0 ? 0 : static_cast<U16>((at < got ? page[at] : 0) | (at + 1 < got ? page[at + 1] : 0) << 8);
        FUZZ_CHECK(pages == want);
    }

    U8 listed[kPage];
    const size_t n = ata_statistics_pages(page, got, listed, sizeof listed);
    FUZZ_CHECK(n <= 255 && (got <= 9 || n <= got - 9));
    for (size_t k = 0; k < n; ++k) FUZZ_CHECK(listed[k] != 0);

    for (unsigned perPage : {1u, 4u, 19u}) {
        const U16 newest = ata_newest_page(page, got, perPage);
        FUZZ_CHECK(newest <= 0xFFFE / perPage);
        if (got <= 2) FUZZ_CHECK(newest == 0);
    }

    char code[64], serial[32];
    ata_identity(page, got, code, serial);
    FUZZ_CHECK(strlen(code) <= 48 && strlen(serial) <= 20);
    for (size_t k = strlen(code); k < sizeof code; ++k) FUZZ_CHECK(code[k] == '\0');
    // Nothing is taken from a field that did not arrive: the serial begins
    // at byte 20, the firmware at 46, and word 84 ends at byte 169.
    if (got <= 20) FUZZ_CHECK(serial[0] == '\0');
    if (got <= 46) FUZZ_CHECK(code[0] == '\0');
    if (got <= 2 * 84 + 1) FUZZ_CHECK(!ata_feature_supported(page, got, ATA_FEATURE_GPL));

    LogSubpage pairs[LOG_SUBPAGE_TABLE_SIZE];
    const size_t m = subpage_list(page, got, pairs, LOG_SUBPAGE_TABLE_SIZE);
    FUZZ_CHECK(m == 0 || (got >= 6 && m <= (got - 4) / 2));
    for (size_t k = 0; k < m; ++k)
        FUZZ_CHECK(pairs[k].page <= 0x3F && pairs[k].subpage != 0x00 && pairs[k].subpage != 0xFF);
    return 0;
}
