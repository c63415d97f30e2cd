// The hex-dump writer, with each line method this processor has and as a run
// chooses, against a plain reference: printf(" %02x") per byte, CR LF after
// every 16th and after the last.
#include "hexdump.h"
#include "common.h"

namespace {

std::string dumped(const uint8_t* data, size_t size, const HexLines* how) {
    char* text = nullptr;
    size_t len = 0;
    FILE* fp = open_memstream(&text, &len);
    FUZZ_CHECK(fp != nullptr);
    FUZZ_CHECK(how != nullptr ? hex_dump_with(*how, fp, data, size) : hex_dump(fp, data, size));
    fclose(fp);
    std::string s(text, len);
    free(text);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string want;
    char b[8];
    for (size_t i = 0; i < size; ++i) {
        snprintf(b, sizeof b, " %02x", data[i]);
        want += b;
        if (i % 16 == 15 || i + 1 == size) want += "\r\n";
    }
    FUZZ_CHECK(dumped(data, size, nullptr) == want);
    for (HexLines how : {HexLines::table, HexLines::ssse3})
        if (hex_lines_available(how)) FUZZ_CHECK(dumped(data, size, &how) == want);
    return 0;
}
