#!/usr/bin/env bash
# Speed and memory of logdump-report on a large fleet: a generated log
# directory of 200 drive logs, 50 of them with four internal-log sections of
# 16,777,218 bytes (about 10.5 GB of text), summarised against cat of the
# whole directory (target: under a tenth of cat's time); then the peak
# memory of the same directory with sections of 1 MiB, to show that it does
# not grow with the section size. Last, the controller logs of 4
# controllers x 240 drives with 10,000 events each (bench/controller_logs.sh)
# join the directory: the report's time with them against without, and the
# time of reading them alone (controller_read_bench); reading and judging
# them should add under 100 ms.
#
#   bench/report_bench.sh [BUILD_DIR]     (default: build)
#
# BENCH_DIR names the parent of the generated directories (default
# /var/tmp: on disk, as /dev/shm would hold 10 GB in memory). When it has
# not room enough, fewer disks get sections and the script says so.
# BENCH_RUNS: timed runs of each command, the fastest counts (default 3).
# Both commands are timed with the directory in the page cache (a first,
# untimed cat loads it), so the disk does not decide the result.
#
# Last, what the field's drive database adds to such a run: loading
# BENCH_DRIVEDB (default Debian's /usr/share/smartmontools/drivedb.h) and
# looking up 200 disks of distinct models, half of them in it
# (drivedb_bench; target: under 50 ms). Then what the failure risk adds to
# the report of 200 disks (bench/risk_bench.sh; goal: under 5 ms) and
# bench/risk_check_bench.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${BENCH_RUNS:-3}
. bench/fastest.sh
report=$(report_program "$build") || exit 2
gen=$build/bench/report_gen
[ -x "$gen" ] || { echo "report_bench.sh: $gen not built (cmake --build $build --target report_gen)" >&2; exit 2; }
dbbench=$build/bench/drivedb_bench
[ -x "$dbbench" ] || { echo "report_bench.sh: $dbbench not built (cmake --build $build --target drivedb_bench)" >&2; exit 2; }
drivedb=${BENCH_DRIVEDB:-/usr/share/smartmontools/drivedb.h}
ctl_read=$build/bench/controller_read_bench
[ -x "$ctl_read" ] || { echo "report_bench.sh: $ctl_read not built (--target controller_read_bench)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "report_bench.sh: /usr/bin/time missing (Debian package time)" >&2; exit 2; }

disks=200 family=50 big=16777218 small=1048579
work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/report-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A section of LEN bytes is LEN/16 lines of 50 characters; a disk without
# sections is about 3 kB.
text_of() { echo $(( ($1 + 15) / 16 * 50 + 40 )); }
per_family=$((4 * $(text_of $big)))
need=$((family * per_family + disks * 4096 + family * 4 * $(text_of $small)))
avail=$(df -B1 --output=avail "$work" | tail -1)
if ((need + need / 10 > avail)); then
  family=$(( (avail * 9 / 10 - disks * 4096) / (per_family + 4 * $(text_of $small)) ))
  ((family > 0)) || { echo "report_bench.sh: no room in $work for even one disk with sections" >&2; exit 2; }
  echo "report_bench.sh: $((avail / 1000000)) MB free in $(dirname "$work"): only $family disks get sections (50 asked)"
fi

mkdir "$work/big" "$work/small"
echo "generating $disks drive logs, $family with four sections of $big bytes ..."
"$gen" "$work/big" $disks $family $big
"$gen" "$work/small" $disks $family $small
bytes=$(du -sb "$work/big" | cut -f1)

cat_dir() { cat "$1"/* ; }

cat_dir "$work/big" > /dev/null  # into the page cache
t_cat=$(fastest cat_dir "$work/big")
t_text=$(fastest "$report" "$work/big")
t_json=$(fastest "$report" --json "$work/big")

peak() {
  local s=0
  /usr/bin/time -v -o "$work/time.txt" "$report" --json "$1" > /dev/null || s=$?
  ((s <= 2)) || { echo "report_bench.sh: logdump-report on $1 ended with $s" >&2; exit 1; }
  awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt"
}
rss_big=$(peak "$work/big")
rss_small=$(peak "$work/small")

# The same directory with the controller logs, in the same run.
bench/controller_logs.sh "$build" "$work/big"
ctl_bytes=$(cat "$work"/big/[Cc]ontroller_* | wc -c)
t_text_ctl=$(fastest "$report" "$work/big")
read -r t_read t_read_cpu ctl_n ctl_drives ctl_vds ctl_events ctl_problems < <("$ctl_read" "$work/big" "$runs")

awk -v b="$bytes" -v c="$t_cat" -v t="$t_text" -v j="$t_json" -v rb="$rss_big" -v rs="$rss_small" \
    -v d=$disks -v f=$family -v runs="$runs" -v tc="$t_text_ctl" -v tr="$t_read" -v tp="$t_read_cpu" -v cb="$ctl_bytes" \
    -v cn="$ctl_n" -v cd="$ctl_drives" -v cv="$ctl_vds" -v ce="$ctl_events" -v cp="$ctl_problems" 'BEGIN {
  printf "%d drive logs, %d with four 16 MiB sections: %.2f GB of text; fastest of %d runs, page cache warm\n", d, f, b / 1e9, runs
  printf "  cat of the directory        %8d ms\n", c
  printf "  logdump-report (text)       %8d ms  (%.3f of cat) %s\n", t, t / c, (t * 10 < c ? "met" : "MISSED")
  printf "  logdump-report --json       %8d ms  (%.3f of cat) %s\n", j, j / c, (j * 10 < c ? "met" : "MISSED")
  printf "peak resident set of logdump-report --json:\n"
  printf "  sections of 16,777,218 bytes %6d kB\n  sections of  1,048,579 bytes %6d kB\n", rb, rs
  printf "with the controller logs of %d controllers (%.1f MB: %d drives, %d virtual drives, %d events, %d problems):\n", cn, cb / 1e6, cd, cv, ce, cp
  printf "  logdump-report (text)       %8d ms  (%+d ms on top)\n", tc, tc - t
  printf "  reading them alone          %8d ms  (processor %d ms) %s\n", tr, tp, (tr < 100 ? "(goal with judging: under 100 ms on top)" : "MISSED: over 100 ms before any judging")
}'

# The drive database: load and 200 lookups, the fastest of the runs.
if [ -r "$drivedb" ]; then
  db=$("$dbbench" "$drivedb" $disks $((runs > 5 ? runs : 5)))
  read -r db_load db_match db_matched <<< "$db"
  awk -v l="$db_load" -v m="$db_match" -v n="$db_matched" -v d=$disks -v t="$t_text" -v f="$drivedb" 'BEGIN {
  printf "drive database %s, loaded and looked up for %d disks of distinct models (%d in it):\n", f, d, n
  printf "  load %.1f ms + lookups %.1f ms = %.1f ms  (%.3f of the text run) %s\n", l, m, l + m, (l + m) / t, (l + m < 50 ? "met" : "MISSED")
}'
else
  echo "drive database: $drivedb missing (Debian package smartmontools): not measured"
fi

# The failure risk of 200 disks (goal: under 5 ms).
bench/risk_bench.sh "$build"

# Last, --risk-check on a generated drive-stats file of 1 million rows
# (goal: under 2 s).
bench/risk_check_bench.sh "$build"
