#include "alloc_fault.h"

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);

namespace {

size_t g_failAt = 0;
unsigned g_nth = 0;
bool g_failed = false;

bool fails(size_t bytes) {
    if (g_failAt == 0 || bytes != g_failAt || --g_nth > 0) return false;
    g_failAt = 0;
    g_failed = true;
    return true;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) { return fails(size) ? nullptr : __real_malloc(size); }
extern "C" void* __wrap_calloc(size_t count, size_t size) {
    return fails(count * size) ? nullptr : __real_calloc(count, size);
}

namespace allocfault {

void fail_next(size_t bytes, unsigned nth) {
    g_failAt = bytes;
    g_nth = nth;
    g_failed = false;
}
bool failed() { return g_failed; }
void clear() { fail_next(0); }

}  // namespace allocfault
