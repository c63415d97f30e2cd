#!/usr/bin/env bash
# Builds both programs and runs every test: the normal build (64-bit and
# 32-bit, unit and end-to-end tests) and the sanitizer build (address and
# undefined behaviour, 64-bit). Run as root from the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLOGDUMP_SANITIZE=ON -DLOGDUMP_BUILD32=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# logdump-report: its two libFuzzer targets, about 20 seconds each.
report/fuzz/run.sh 20 build-fuzz-report
