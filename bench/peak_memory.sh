#!/usr/bin/env bash
# Peak memory of a large drive-log run: logdump64 against the simulated
# controllers of sim/scenarios/big.scn (2 controllers x 32 SAS disks, each
# with four internal-log sections of 16,777,218 bytes), one run of
# bench/big_run.sh. Prints the maximum resident set size.
#
#   bench/peak_memory.sh [BUILD_DIR]    (default: build)
#
# The run writes about 13 GB of drive logs under BENCH_DIR (default
# /var/tmp), removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(bench/big_run.sh "$build/logdump64" "$build")
read -r elapsed cpu rss disks errors <<<"$out"
echo "disks dumped: $disks (errors reported: $errors), $elapsed s (processor $cpu s)"
echo "maximum resident set size: $rss kB ($((rss / 1024)) MiB); the pass-through buffer is 16,777,311 bytes (16.0 MiB)"
