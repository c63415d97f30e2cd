#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, with clang) and runs each for a few seconds
# from its committed seed corpus. A crash, an overrun, undefined behaviour, a
# leak, a failed check or an input that takes over 10 s fails the script.
# Usage: scripts/fuzz.sh [seconds per target, default 6]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-6}
build=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

summary="$build/summary.txt"
: > "$summary"
failed=0
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  work="$build/run/$name"
  rm -rf "$work" && mkdir -p "$work/corpus"
  # New inputs go to the work corpus; the committed seeds are only read.
  if "$build/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" > "$work/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    printf '%-15s %9s executions  ok\n' "$name" "$runs" | tee -a "$summary"
  else
    failed=1
    printf '%-15s FAILED (see %s)\n' "$name" "$work/log" | tee -a "$summary"
    grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$work/log" | head -5 || true
  fi
done
exit "$failed"
