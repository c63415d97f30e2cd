#!/usr/bin/env bash
# Times the drive logs' hex dump of one 16 MiB internal-log section against
# od (the same lines, without CR) and against cat of the same text (what
# writing that much text costs at all), in one run on the same bytes.
#
#   bench/run.sh [BUILD_DIR]     (default: build; needs its hexdump_bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench=$build/bench/hexdump_bench
[ -x "$bench" ] || { echo "run.sh: $bench not built (cmake --build $build --target hexdump_bench)" >&2; exit 2; }
runs=${BENCH_RUNS:-5}

# Memory-backed, so that the disk does not decide the result.
work=$(mktemp -d /dev/shm/logdump-bench.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" make "$work/section.bin"

ours() { "$bench" dump "$work/section.bin" "$work/ours.txt"; }
od_() { od -An -v -tx1 -w16 "$work/section.bin" > "$work/od.txt"; }
cat_() { cat "$work/ours.txt" > "$work/cat.txt"; }

# Fastest of $runs runs, in microseconds.
fastest() {
  local best=0 t0 t1 d
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    "$@"
    t1=$(date +%s%N)
    d=$(((t1 - t0) / 1000))
    if ((best == 0 || d < best)); then best=$d; fi
  done
  echo "$best"
}

t_ours=$(fastest ours)
t_od=$(fastest od_)
t_cat=$(fastest cat_)

# The same bytes, the same lines: only the line end differs.
if ! tr -d '\r' < "$work/ours.txt" | cmp -s - "$work/od.txt"; then
  echo "run.sh: the hex dump differs from od's" >&2
  exit 1
fi

size=$(stat -c %s "$work/ours.txt")
awk -v o="$t_ours" -v d="$t_od" -v c="$t_cat" -v s="$size" 'BEGIN {
  printf "16 MiB section (16,777,218 bytes) -> %d bytes of text, fastest of '"$runs"' runs\n", s
  printf "  hex_dump  %8.1f ms\n  od        %8.1f ms\n  cat       %8.1f ms\n", o / 1000, d / 1000, c / 1000
  r1 = d / o; r2 = o / c
  printf "od / hex_dump  = %5.1fx  (target: at least 10x) %s\n", r1, (r1 >= 10 ? "met" : "MISSED")
  printf "hex_dump / cat = %5.2fx  (target: at most 3x)   %s\n", r2, (r2 <= 3 ? "met" : "MISSED")
}'
