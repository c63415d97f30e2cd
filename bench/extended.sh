#!/usr/bin/env bash
# The extended collection (-e) on a large mixed system: 2 controllers, each
# with 120 SAS disks (the captured log pages, three subpages and a grown
# defect list) and 120 SATA drives (the simulator's generated IDENTIFY,
# SMART data and logs). Times logdump64 and takes its peak memory under
# /usr/bin/time -v, once with -e and once without, in the same run.
#
#   bench/extended.sh [BUILD_DIR]     (default: build)
#
# Both runs are drive-log runs into a temporary directory (-o), so that the
# vendor CLI's controller logs do not weigh in; each includes the one-second
# pause after the drive logs. BENCH_KEEP=1 keeps the directory (named at the
# end) to look at the drive logs.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
. bench/sim_bench.sh
sim_bench_setup extended.sh "${1:-build}"

# The scenario: ids 0..119 SAS, 120..239 SATA on each controller.
scn=$work/extended.scn
{
  for c in 0 1; do
    echo "controller $c"
    for ((id = 0; id < 120; id++)); do
      echo "device $c $id sas vendor ACMEDRV product DK600SA0006 rev 0004"
      echo "captured-pages $c $id"
      echo "subpage $c $id 0x0d 0x01 \"4d 01 00 0c 00 00 01 08 00 24 2e 12 2a 1e 00 00\""
      echo "subpage $c $id 0x0e 0x01 \"4e 01 00 0c 00 00 03 02 00 42 00 01 03 02 00 10\""
      echo "subpage $c $id 0x15 0x01 \"55 01 00 18 00 00 03 04 00 00 00 01 00 01 03 0c 00 00 52 08 00 00 00 00 00 12 34 56\""
      echo "defects $c $id $((id % 7))"
    done
    for ((id = 120; id < 240; id++)); do
      echo "device $c $id sata model \"OKAPI ZX2000-1TB\" firmware ZX01"
    done
  done
} > "$scn"
export LOGDUMP_SIM_SCENARIO=$scn

# One run: seconds, peak resident set in kB, drive logs written, bytes.
run() {
  local name=$1; shift
  mkdir "$work/$name"
  sim_bench_run extended.sh "$work/$name" -o "$work/$name" "$@"
  local secs rss errors
  secs=$(sim_bench_secs "$work/$name")
  rss=$(sim_bench_rss "$work/$name")
  errors=$(grep -c '\[31m' "$work/$name.console" || true)
  printf '%-12s %7.2f s  %8d kB peak  %4d drive logs  %10d bytes  %d errors\n' "$name" "$secs" "$rss" \
    "$(ls "$work/$name" | wc -l)" "$(cat "$work/$name"/* | wc -c)" "$errors"
  eval "${name}_secs=$secs ${name}_rss=$rss"
}

echo "240 SAS disks and 240 SATA drives on 2 controllers (logdump64 -o DIR [-e])"
run classic
run extended -e
# The price of -e against the classic run of the same system, in the same
# run of this script (so the same machine load).
awk -v s1="$classic_secs" -v s2="$extended_secs" -v m1="$classic_rss" -v m2="$extended_rss" \
  'BEGIN { printf "extended / classic: %.2fx time, %.2fx peak memory\n", s2 / s1, m2 / m1 }'
[ -z "${BENCH_KEEP:-}" ] || echo "kept: $work"
