#!/usr/bin/env bash
# What the failure risk adds to the report of 200 disks: two collections of
# one host, 30 days apart, made by report_gen (the second counts more
# uncorrected read errors on every tenth disk, so that growth is judged
# too); risk_bench builds their report and judges the risk of every disk,
# the fastest of the runs. Goal: under 5 ms.
#
#   bench/risk_bench.sh [BUILD_DIR]     (default: build)
#
# BENCH_DIR names the parent of the generated directories (default
# /var/tmp); BENCH_RUNS the timed runs, the fastest counts (default 3, at
# least 5 here: the times are short).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${BENCH_RUNS:-3}
((runs >= 5)) || runs=5
gen=$build/bench/report_gen bench=$build/bench/risk_bench
for p in "$gen" "$bench"; do
  [ -x "$p" ] || { echo "risk_bench.sh: $p not built (--target $(basename "$p"))" >&2; exit 2; }
done
work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/risk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

disks=200
mkdir -p "$work/before/host" "$work/now/host"
"$gen" "$work/before/host" $disks 0 4 0
"$gen" "$work/now/host" $disks 0 4 1
touch -d '30 days ago' "$work/before/host"/*
read -r risk build n grew < <("$bench" "$runs" "$work/before/host" "$work/now/host")
awk -v r="$risk" -v b="$build" -v n="$n" -v g="$grew" -v runs="$runs" 'BEGIN {
  printf "failure risk of %d disks (%d with a count that grew), fastest of %d runs:\n", n, g, runs
  printf "  risk of every disk          %8.3f ms  (%.4f of building the report, %.1f ms) goal: under 5 ms: %s\n", r, r / b, b, (r < 5 ? "met" : "MISSED")
}'
