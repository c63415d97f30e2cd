// pwd's output: the working directory is the whole text less one final
// newline, refused (never cut) when empty or from 256 characters on.
#include <cstring>

#include "Kestra02.h"
#include "common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string keep;
    FILE* fp = input_stream(data, size, keep);
    FUZZ_CHECK(fp != nullptr);
    char out[256];
    memset(out, 'x', sizeof out);
    bool ok = read_working_directory(fp, out);
    fclose(fp);

    size_t len = size;
    if (len > 0 && data[len - 1] == '\n') --len;
    // No name at all is no directory either.
    FUZZ_CHECK(ok == (len > 0 && len < 256));
    FUZZ_CHECK(out[255] == '\0');
    if (ok)
        FUZZ_CHECK(memcmp(out, data, len) == 0 && out[len] == '\0');
    else
        FUZZ_CHECK(out[0] == '\0');
    return 0;
}
