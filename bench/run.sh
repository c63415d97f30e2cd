#!/usr/bin/env bash
# Times the drive logs' hex dump of one 16 MiB internal-log section against
# cat of the same text (what writing that much text costs at all), with the
# processor's fastest line method and with the table method every processor
# has, in rounds that take turns on the same bytes; and once against od (the
# same lines, without CR), which also checks the text. Given the build of a
# previous version too, it then times whole runs of sim/scenarios/big.scn
# (bench/big_run.sh) of both programs, taking turns, with the peak memory of
# each.
#
#   bench/run.sh [BUILD_DIR [PREVIOUS_BUILD_DIR]]
#                (default: build; needs its hexdump_bench, and for the whole
#                runs logdump64, raidcli_sim and libraidstor_sim64.so; of the
#                previous build only logdump64)
#
# BENCH_RUNS sets the number of rounds of the dump (default 11), BIG_RUNS
# those of the whole runs (default 3). On a shared machine the times of one
# round vary widely: the figures are the medians of the rounds, the ratios
# the medians of each round's own ratio, both for the elapsed time and for
# the processor time (the work alone, without the waits for a processor),
# and the load average is printed beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
previous=${2:-}
bench=$build/bench/hexdump_bench
[ -x "$bench" ] || { echo "run.sh: $bench not built (cmake --build $build --target hexdump_bench)" >&2; exit 2; }
[ -z "$previous" ] || [ -x "$previous/logdump64" ] || { echo "run.sh: $previous/logdump64 not built" >&2; exit 2; }
runs=${BENCH_RUNS:-11}
big_runs=${BIG_RUNS:-3}

# Memory-backed, so that the disk does not decide the result.
work=$(mktemp -d /dev/shm/logdump-bench.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" make "$work/section.bin"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Each line: elapsed and processor microseconds, and the method, of the best
# method's dump, of cat, of the table's dump, and of both dumps into
# /dev/null (the conversion alone, the writing free).
: > "$work/rounds"
for ((i = 0; i < runs; i++)); do
  {
    "$bench" dump "$work/section.bin" "$work/ours.txt"
    "$bench" cat "$work/ours.txt" "$work/cat.txt"
    "$bench" dump "$work/section.bin" "$work/table.txt" table
    "$bench" dump "$work/section.bin" /dev/null
    "$bench" dump "$work/section.bin" /dev/null table
  } | paste -sd' ' >> "$work/rounds"
done
t0=$EPOCHREALTIME
od -An -v -tx1 -w16 "$work/section.bin" > "$work/od.txt"
t1=$EPOCHREALTIME
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# Both methods give the same text, and it is od's but for the CR at each
# line end.
if ! cmp -s "$work/ours.txt" "$work/table.txt"; then
  echo "run.sh: the two line methods give different text" >&2
  exit 1
fi
if ! tr -d '\r' < "$work/ours.txt" | cmp -s - "$work/od.txt"; then
  echo "run.sh: the hex dump differs from od's" >&2
  exit 1
fi

echo "16 MiB section (16,777,218 bytes) -> $(stat -c %s "$work/ours.txt") bytes of text; $runs rounds"
echo "load average before: $load_before, after: $load_after ($(nproc) processors)"
awk -v t0="$t0" -v t1="$t1" '
  function median(a, n,    i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  { n++; m = $3
    bw[n] = $1; bc[n] = $2; cw[n] = $4; cc[n] = $5; tw[n] = $7; tc[n] = $8
    rbw[n] = $1 / $4; rbc[n] = $2 / $5; rtw[n] = $7 / $4; rtc[n] = $8 / $5
    nb[n] = $11; nt[n] = $14 }
  END {
    printf "median ms, elapsed / processor:\n"
    printf "  hex_dump (%s)  %7.1f / %6.1f\n", m, median(bw, n) / 1000, median(bc, n) / 1000
    printf "  hex_dump (table)  %7.1f / %6.1f\n", median(tw, n) / 1000, median(tc, n) / 1000
    printf "  cat               %7.1f / %6.1f\n", median(cw, n) / 1000, median(cc, n) / 1000
    printf "  od                %7.1f (one run)\n", (t1 - t0) * 1000
    printf "the conversion alone (into /dev/null), processor: %s %.1f, table %.1f\n", m, median(nb, n) / 1000, median(nt, n) / 1000
    e = median(rbw, n); c = median(rbc, n)
    printf "hex_dump (%s) / cat: elapsed %.2fx, processor %.2fx (target: at most 1.2x) %s\n",
           m, e, c, (e <= 1.2 && c <= 1.2 ? "met" : "MISSED")
    printf "hex_dump (table) / cat: elapsed %.2fx, processor %.2fx\n", median(rtw, n), median(rtc, n)
  }' "$work/rounds"

[ -n "$previous" ] || exit 0
# Whole runs, this build's program and the previous one in turns (the order
# swapped every round), both with this build's simulated components. Each
# line: the program, then bench/big_run.sh's elapsed and processor seconds,
# peak kB, drive logs and errors.
: > "$work/big"
for ((i = 0; i < big_runs; i++)); do
  order=("$build" "$previous")
  ((i % 2 == 0)) || order=("$previous" "$build")
  for b in "${order[@]}"; do
    echo "$([ "$b" = "$build" ] && echo this || echo previous) $(bench/big_run.sh "$b/logdump64" "$build")" >> "$work/big"
  done
done
echo "load average after the whole runs: $(cut -d' ' -f1-3 /proc/loadavg)"
awk '
  function median(a, n,    i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  { k = $1; n[k]++; e[k, n[k]] = $2; c[k, n[k]] = $3; m[k, n[k]] = $4; d[k] = $5; x[k] = $6 }
  END {
    printf "sim/scenarios/big.scn, whole run (drive logs written and removed), %d rounds, median:\n", n["this"]
    for (q = 1; q <= 2; q++) {
      k = q == 1 ? "this" : "previous"
      for (i = 1; i <= n[k]; i++) { ae[i] = e[k, i]; ac[i] = c[k, i]; am[i] = m[k, i] }
      me[k] = median(ae, n[k]); mc[k] = median(ac, n[k]); mm = median(am, n[k])
      printf "  %-8s elapsed %6.1f s, processor %6.1f s, peak %6.1f MiB; %d drive logs, %d errors\n",
             k, me[k], mc[k], mm / 1024, d[k], x[k]
    }
    printf "this / previous: elapsed %.2fx, processor %.2fx\n", me["this"] / me["previous"], mc["this"] / mc["previous"]
  }' "$work/big"
