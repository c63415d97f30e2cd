// Shared by the fuzz targets: quiet console, input as a stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// The tool's console messages would drown libFuzzer's report on stderr.
inline void quiet_console() {
    if (freopen("/dev/null", "w", stdout) == nullptr) abort();
}

// The input as a read-only stream; fmemopen wants at least one byte.
inline FILE* input_stream(const uint8_t* data, size_t size, std::string& keep) {
    keep.assign(reinterpret_cast<const char*>(data), size);
    if (keep.empty()) return fopen("/dev/null", "r");
    return fmemopen(keep.data(), keep.size(), "r");
}

#define FUZZ_CHECK(cond)                                                             \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                                 \
        }                                                                            \
    } while (0)
