#!/usr/bin/env bash
# Peak memory of a large drive-log run: logdump64 against the simulated
# controllers of sim/scenarios/big.scn (2 controllers x 32 SAS disks, each
# with four internal-log sections of 16,777,218 bytes), under
# /usr/bin/time -v. Prints the maximum resident set size.
#
#   bench/peak_memory.sh [BUILD_DIR] [--keep]    (default: build)
#
# The run writes about 13 GB of drive logs. By default every drive log is a
# link to /dev/null, which changes nothing in the tool's own memory; with
# --keep the logs are really written (to a temporary directory on disk,
# removed afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=build
keep=0
for a in "$@"; do
  case "$a" in
    --keep) keep=1 ;;
    *) build=$a ;;
  esac
done
# The vendor components are taken from the working directory.
. bench/sim_bench.sh
sim_bench_setup peak_memory.sh "$build"
mkdir "$work/logs"
if ((keep == 0)); then
  for c in 0 1; do
    for ((id = 0; id < 32; id++)); do
      ln -s /dev/null "$(printf '%s/logs/MA%02x%02x.log' "$work" "$c" "$id")"
    done
  done
fi

export LOGDUMP_SIM_SCENARIO=$src/sim/scenarios/big.scn
start=$(date +%s)
sim_bench_run peak_memory.sh "$work/run" -o "$work/logs"
end=$(date +%s)
disks=$(grep -c 'HardDisk Log saving' "$work/run.console" || true)
errors=$(grep -c 'Error' "$work/run.console" || true)
rss=$(sim_bench_rss "$work/run")
echo "disks dumped: $disks (errors reported: $errors), $((end - start)) s"
echo "maximum resident set size: $rss kB ($((rss / 1024)) MiB); the pass-through buffer is 16,777,311 bytes (16.0 MiB)"
