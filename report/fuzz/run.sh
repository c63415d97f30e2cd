#!/usr/bin/env bash
# Builds the report's libFuzzer targets with clang (address and
# undefined-behaviour sanitizers) and runs each for a bounded time from a
# copy of its seed corpus. Usage: report/fuzz/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
here=$(dirname "$0")
seconds=${1:-20}
out=$(realpath -m "${2:-$here/../../build-fuzz-report}")
cd "$here"
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I..)
# Every source of the report but its main().
common=()
for f in ../*.cpp; do [ "$f" = ../main.cpp ] || common+=("$f"); done
for t in drivelog errlog metrics drivedb; do
  clang++ "${flags[@]}" "fuzz_$t.cpp" "${common[@]}" -lsgutils2 -larchive -o "$out/fuzz_$t"
done
for t in drivelog errlog metrics drivedb; do
  work=$(mktemp -d)
  cp corpus/$t/* "$work/"
  # The drive database's seeds include the test database itself.
  [ $t != drivedb ] || cp ../tests/data/drivedb_test.txt "$work/"
  echo "fuzz: $t for $seconds s"
  "$out/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=1 "$work" 2>&1 | tail -n 12
  rm -rf "$work"
done
