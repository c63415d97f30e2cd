#!/usr/bin/env bash
# Builds both programs and runs every test: the normal build (64-bit and
# 32-bit, unit and end-to-end tests) and the sanitizer build (address and
# undefined behaviour, 64-bit). Run as root from the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Every tracked C/C++ file as clang-format writes it.
scripts/check_format.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOGDUMP_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLOGDUMP_SANITIZE=ON -DLOGDUMP_BUILD32=OFF -DLOGDUMP_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The builds packagers make: Release, and Debian's own flags (build type
# None, as debhelper configures it). In Release the whole tree (tests,
# benchmarks and logdump-report too) must build without any warning; both
# programs must come out hardened and portable in both.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLOGDUMP_WERROR=ON >/dev/null
cmake --build build-release -j "$jobs"
cmake -S . -B build-debflags -DCMAKE_BUILD_TYPE=None -DLOGDUMP_WERROR=ON \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
for b in build-release build-debflags; do
  cmake --build "$b" -j "$jobs" --target logdump64 logdump
  tests/hardening/check_elf.sh "$b/logdump64" "$b/logdump"
  tests/portable/check_portable.sh "$b/logdump64" "$b/logdump"
done

# logdump-report: its libFuzzer targets, about 20 seconds each.
report/fuzz/run.sh 20 build-fuzz-report

# Fuzz targets of every reader of outside data, about a minute in all.
scripts/fuzz.sh

# Memcheck: the end-to-end cases of the 64-bit program again under valgrind
# (any error or definite leak fails the case).
E2E_VALGRIND=1 ctest --test-dir build --output-on-failure -j "$jobs" -R '^e2e\..*/logdump64$'
