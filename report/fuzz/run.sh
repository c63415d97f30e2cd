#!/usr/bin/env bash
# Builds the report's libFuzzer targets with clang (address and
# undefined-behaviour sanitizers) and runs each for a bounded time from a
# copy of its seed corpus. Usage: report/fuzz/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
here=$(dirname "$0")
seconds=${1:-20}
out=$(realpath -m "${2:-$here/../../build-fuzz-report}")
cd "$here"
mkdir -p "$out/obj"
flags=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined)
# Each stage of the report is a folder of its headers.
stages=(base read decode judge write)
for s in "${stages[@]}"; do flags+=(-I"../$s"); done
# Every source of the report but its main(), compiled once for all targets.
common=()
for s in "${stages[@]}"; do
  for f in ../$s/*.cpp; do
    o="$out/obj/$s-$(basename "${f%.cpp}").o"
    # Kept from an earlier run when newer than its source and every header.
    if [ ! "$o" -nt "$f" ] || [ -n "$(find .. -path ../tests -prune -o -name '*.h' -newer "$o" -print)" ]; then
      clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -c "$f" -o "$o"
    fi
    common+=("$o")
  done
done
link() { clang++ "${flags[@]}" -fsanitize=fuzzer "$@" "${common[@]}" -lsgutils2 -larchive; }
targets=(drivelog errlog metrics drivedb run_facts drive_stats)
for t in "${targets[@]}"; do link "fuzz_$t.cpp" -o "$out/fuzz_$t"; done
# One target per controller log reader: its corpus is corpus/controller_NAME.
controller_logs=(pdlist:Drives ldinfo:VirtualDrives ldpdinfo:Members cfgdsply:Configuration adpallinfo:Adapter
                 flashrom:Events)
for l in "${controller_logs[@]}"; do
  link -DCONTROLLER_LOG="${l#*:}" fuzz_controller.cpp -o "$out/fuzz_controller_${l%%:*}"
  targets+=("controller_${l%%:*}")
done
for t in "${targets[@]}"; do
  work=$(mktemp -d)
  cp corpus/$t/* "$work/"
  # The drive database's seeds include the test database itself.
  [ $t != drivedb ] || cp ../tests/data/drivedb_test.txt "$work/"
  echo "fuzz: $t for $seconds s"
  "$out/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=1 "$work" 2>&1 | tail -n 12
  rm -rf "$work"
done
