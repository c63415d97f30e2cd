// The identity strings out of 96 INQUIRY bytes, and the model test that
// reads the device code.
#include <algorithm>
#include <cstring>

#include "Kestra02.h"
#include "common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte says how many of the 96 bytes arrived.
    if (size == 0) return 0;
    const U32 got = data[0] % 97;
    U8 inq[96];
    memset(inq, 0xAA, sizeof inq);  // bytes that did not arrive must not be read
    memcpy(inq, data + 1, std::min<size_t>(size - 1, got));
    char code[64];
    char serial[32];
    memset(code, 'x', sizeof code);
    memset(serial, 'x', sizeof serial);
    inquiry_identity(inq, got, code, serial);

    // Each field up to its first zero byte or the end of what arrived, and
    // zeros behind it.
    auto field = [&](size_t at, size_t n) {
        size_t len = 0;
        while (len < n && at + len < got && inq[at + len] != 0) ++len;
        return len;
    };
    size_t codeLen = field(8, 28);
    size_t serialLen = field(36, 20);
    FUZZ_CHECK(memcmp(code, inq + 8, codeLen) == 0 && serialLen <= 20);
    FUZZ_CHECK(memcmp(serial, inq + 36, serialLen) == 0);
    for (size_t k = codeLen; k < sizeof code; ++k) FUZZ_CHECK(code[k] == '\0');
    for (size_t k = serialLen; k < sizeof serial; ++k) FUZZ_CHECK(serial[k] == '\0');

    bool family = false;
    for (const char* m : {"KZA4036TX", "KZA4072TX", "KZA4144TX", "KZB3036TX", "KZB3072TX"})
        family = family || strstr(code, m) != nullptr;
    FUZZ_CHECK((Chk_RQ50_HDD(code) == 0) == family);
    return 0;
}
