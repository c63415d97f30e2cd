// The controller count line of the CLI's output: the search for
// "Controller Count: " in pieces of at most 63 characters, and the number.
#include <cerrno>
#include <climits>
#include <cstring>

#include "Kestra02.h"
#include "common.h"

namespace {

// Plain reading of the same rule: strtoll's decimal, clamped to int.
int reference_count(const char* text) {
    errno = 0;
    long long v = strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quiet_console();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string keep;
    FILE* fp = input_stream(data, size, keep);
    FUZZ_CHECK(fp != nullptr);
    int count = -7;
    bool found = find_controller_count(fp, &count);
    fclose(fp);
    if (!found) FUZZ_CHECK(count == -7);

    std::string text(reinterpret_cast<const char*>(data), size);  // up to a NUL, as a C string
    FUZZ_CHECK(convert_count(text.c_str()) == reference_count(text.c_str()));
    return 0;
}
