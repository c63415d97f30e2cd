// The supported-pages walk and the page lengths of one SAS disk, from the
// real page dumper against a drive that answers from the input.
#include "fake_drive.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = nullptr;
    size_t len = 0;
    fake_drive::begin(data, size, &text, &len);
    int rc = SASHddLogDumpauto(0, 5);
    FUZZ_CHECK(rc == DUMP_DONE || rc == DUMP_COMMAND_FAILED);
    // Two requests for the list, two for each listed page.
    FUZZ_CHECK(fake_drive::g_requests <= 2 + 2 * LOG_PAGE_TABLE_SIZE);
    static const char* const none[] = {"<Page00>"};
    fake_drive::end_and_check(&text, &len, none, true);
    return 0;
}
