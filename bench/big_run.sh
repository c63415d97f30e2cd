#!/usr/bin/env bash
# One run of a collector program against the simulated controllers of
# sim/scenarios/big.scn (2 controllers x 32 SAS disks, each with four
# internal-log sections of 16,777,218 bytes), under /usr/bin/time, with the
# simulated CLI and library of BUILD_DIR. Used by bench/peak_memory.sh and
# bench/run.sh.
#
#   bench/big_run.sh PROGRAM BUILD_DIR
#
# Prints one line: the elapsed seconds, the processor seconds (user and
# system), the maximum resident set in kB, the drive logs saved and the
# errors reported. The run writes about 13 GB of drive logs into a temporary
# directory under BENCH_DIR (default /var/tmp), removed afterwards: the tool
# replaces a link where a drive log goes by a file of its own, so the logs
# cannot be sent to /dev/null.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
(($# == 2)) || { echo "usage: $0 PROGRAM BUILD_DIR" >&2; exit 2; }
program=$(realpath "$1")
build=$(cd "$2" && pwd)
for f in "$program" "$build/libraidstor_sim64.so" "$build/raidcli_sim"; do
  [ -e "$f" ] || { echo "big_run.sh: $f not built" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "big_run.sh: /usr/bin/time missing (Debian package time)" >&2; exit 2; }

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/logdump-big.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The vendor components are taken from the working directory, under the
# 64-bit build's default names.
cp "$build/raidcli_sim" "$work/RaidCli64"
cp "$build/libraidstor_sim64.so" "$work/libraidstor.so.2.52-0"
mkdir "$work/logs"

cd "$work"
LOGDUMP_SIM_SCENARIO=$src/sim/scenarios/big.scn /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" \
  "$program" -o "$work/logs" > "$work/console.txt" 2>&1 || {
  echo "big_run.sh: $program failed; its console:" >&2
  tail -20 "$work/console.txt" >&2
  exit 1
}
disks=$(grep -c 'HardDisk Log saving' "$work/console.txt" || true)
errors=$(grep -c 'Error' "$work/console.txt" || true)
read -r elapsed user sys rss < "$work/time.txt"
echo "$elapsed $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') $rss $disks $errors"
