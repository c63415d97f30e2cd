// ldd's dependency list: every line with a '/' names a file that must
// exist. The reader must take any text, however long its lines.
#include <unistd.h>

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
    int missing = missing_dependencies(fp);
    fclose(fp);
    // At most one missing file per line that holds a '/'.
    int lines = 0;
    bool slash = false;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '/') slash = true;
        if (data[i] == '\n' || i + 1 == size) {
            lines += slash;
            slash = false;
        }
    }
    FUZZ_CHECK(missing >= 0 && missing <= lines);
    return 0;
}
