// The internal-log section lengths (24 bits + 3) of one disk, from the real
// section reader against a drive that answers from the input.
#include "fake_drive.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = nullptr;
    size_t len = 0;
    fake_drive::begin(data, size, &text, &len);
    int rc = RQ50LogDump(0, 5);
    FUZZ_CHECK(rc == DUMP_DONE || rc == DUMP_COMMAND_FAILED);
    FUZZ_CHECK(fake_drive::g_requests <= 8);
    static const char* const headers[] = {"<Drive Status Log>", "<Drive Interna Log>", "<Command Log>",
                                          "<Controller Internal Information>"};
    fake_drive::end_and_check(&text, &len, headers, false);
    return 0;
}
