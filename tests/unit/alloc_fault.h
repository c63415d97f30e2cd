// Allocations that fail on demand. The unit tests are linked with malloc and
// calloc wrapped (-Wl,--wrap), so a test can make the next allocation of one
// size fail in the code under test, which calls the libc functions as ever.
#pragma once

#include <cstddef>

namespace allocfault {

// The nth malloc or calloc (1: the next) of exactly `bytes` bytes returns
// null.
void fail_next(size_t bytes, unsigned nth = 1);
// Whether that allocation has been asked for since.
bool failed();
void clear();

}  // namespace allocfault
