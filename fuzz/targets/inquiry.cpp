// The identity strings out of 96 INQUIRY bytes, and the model test that
// reads the device code.
#include <cstring>

#include "common.h"
#include "Kestra02.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    U8 inq[96] = {};
    memcpy(inq, data, size < sizeof inq ? size : sizeof inq);
    char code[64];
    char serial[32];
    memset(code, 'x', sizeof code);
    memset(serial, 'x', sizeof serial);
    inquiry_identity(inq, code, serial);

    // Each field up to its first zero byte, and zeros behind it.
    size_t codeLen = strnlen(reinterpret_cast<const char*>(inq + 8), 28);
    size_t serialLen = strnlen(reinterpret_cast<const char*>(inq + 36), 20);
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
