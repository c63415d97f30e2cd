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
build=$(cd "$build" && pwd)
for f in logdump64 libraidstor_sim64.so raidcli_sim; do
  [ -e "$build/$f" ] || { echo "peak_memory.sh: $build/$f not built" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "peak_memory.sh: /usr/bin/time missing (Debian package time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The vendor components are taken from the working directory, under the
# 64-bit build's default names.
cp "$build/raidcli_sim" "$work/RaidCli64"
cp "$build/libraidstor_sim64.so" "$work/libraidstor.so.2.52-0"
mkdir "$work/logs"
if ((keep == 0)); then
  for c in 0 1; do
    for ((id = 0; id < 32; id++)); do
      ln -s /dev/null "$(printf '%s/logs/MA%02x%02x.log' "$work" "$c" "$id")"
    done
  done
fi

export LOGDUMP_SIM_SCENARIO=$src/sim/scenarios/big.scn
cd "$work"
start=$(date +%s)
/usr/bin/time -v -o "$work/time.txt" "$build/logdump64" -o "$work/logs" > "$work/console.txt" 2>&1 || {
  echo "peak_memory.sh: logdump64 failed; its console:" >&2
  tail -20 "$work/console.txt" >&2
  exit 1
}
end=$(date +%s)
disks=$(grep -c 'HardDisk Log saving' "$work/console.txt" || true)
errors=$(grep -c 'Error' "$work/console.txt" || true)
rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
echo "disks dumped: $disks (errors reported: $errors), $((end - start)) s"
echo "maximum resident set size: $rss kB ($((rss / 1024)) MiB); the pass-through buffer is 16,777,311 bytes (16.0 MiB)"
