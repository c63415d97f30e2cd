#!/usr/bin/env bash
# Speed of logdump-report's history: 200 disks over 12 collections of the
# same host (<host>-<date> directories a month apart, every tenth disk
# counting more uncorrected read errors each month), against cat of the
# newest collection's directory once, both timed in the same run with the
# page cache warm (target: under cat's time).
#
#   bench/history_bench.sh [BUILD_DIR]     (default: build)
#
# The collections are of the shape of report_bench.sh's: 50 of the 200
# drive logs carry four internal-log sections of 16,777,218 bytes (about
# 10.5 GB of text). Those 50 files are generated once and linked into every
# collection (their time is before the first collection's, so each
# collection's date is that of its own files; no collection has an error
# log, so none of them counts as left from an earlier run); the other 150
# are generated per collection by report_gen with the month as its ROUND.
# The report reads every file of every collection just the same.
# BENCH_DIR names the parent of the generated directories (default
# /var/tmp, about 11 GB); BENCH_RUNS the timed runs of each command, the
# fastest counts (default 3); SECTION_LEN the sections' size.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${BENCH_RUNS:-3}
len=${SECTION_LEN:-16777218}
. bench/fastest.sh
report=$(report_program "$build") || exit 2
gen=$build/bench/report_gen
[ -x "$gen" ] || { echo "history_bench.sh: $gen not built (cmake --build $build --target report_gen)" >&2; exit 2; }

disks=200 family=50 months=12
work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/history-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "generating $family drive logs with four sections of $len bytes, then $months collections of $disks ..."
mkdir "$work/family"
"$gen" "$work/family" $family $family "$len"
touch -d "2025-12-01 12:00" "$work/family"/*
dirs=()
for ((m = 0; m < months; m++)); do
  day=$(date -u -d "2026-01-01 + $((30 * m)) days" +%Y-%m-%d)
  d=$work/bench01-$day
  mkdir "$d"
  "$gen" "$d" $disks 0 4 $m
  rm "$d/logdperr.txt"
  touch -d "$day 12:00" "$d"/*
  for f in "$work/family"/MA*.log; do ln -f "$f" "$d/"; done
  dirs+=("$d")
done
newest=${dirs[-1]}
# Every tenth disk that is not one of the linked ones grows each month.
expect=0
for ((i = family; i < disks; i++)); do ((i % 10)) || expect=$((expect + 1)); done

cat_dir() { cat "$1"/*; }

# Every collection into the page cache: the linked files once.
cat_dir "$newest" > /dev/null
"$report" "${dirs[@]}" > /dev/null || true
t_cat=$(fastest cat_dir "$newest")
t_text=$(fastest "$report" "${dirs[@]}")
t_json=$(fastest "$report" --json "${dirs[@]}")
# The history is there: the disks that grew are found.
grown=$("$report" "${dirs[@]}" | grep -c 'counter-growth' || true)
((grown == expect)) || { echo "history_bench.sh: $grown growth findings, $expect expected" >&2; exit 1; }

awk -v c="$t_cat" -v t="$t_text" -v j="$t_json" -v d=$disks -v m=$months -v runs="$runs" \
    -v b="$(du -sb "$newest" | cut -f1)" 'BEGIN {
  printf "history of %d disks over %d collections (%.2f GB of text each); fastest of %d runs, page cache warm\n", d, m, b / 1e9, runs
  printf "  cat of the newest collection  %8d ms\n", c
  printf "  logdump-report (text)         %8d ms  (%.3f of cat) %s\n", t, t / c, (t < c ? "met" : "MISSED")
  printf "  logdump-report --json         %8d ms  (%.3f of cat) %s\n", j, j / c, (j < c ? "met" : "MISSED")
}'
