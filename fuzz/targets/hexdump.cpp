// The hex-dump writer against a plain reference: printf(" %02x") per byte,
// CR LF after every 16th and after the last.
#include "common.h"
#include "hexdump.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = nullptr;
    size_t len = 0;
    FILE* fp = open_memstream(&text, &len);
    FUZZ_CHECK(fp != nullptr);
    FUZZ_CHECK(hex_dump(fp, data, size));
    fclose(fp);

    std::string want;
    char b[8];
    for (size_t i = 0; i < size; ++i) {
        snprintf(b, sizeof b, " %02x", data[i]);
        want += b;
        if (i % 16 == 15 || i + 1 == size) want += "\r\n";
    }
    FUZZ_CHECK(std::string(text, len) == want);
    free(text);
    return 0;
}
