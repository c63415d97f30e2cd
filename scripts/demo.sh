#!/usr/bin/env bash
# Demonstration (as root, from a clone of the repository): installs what is
# missing, builds only what the demo needs into build-demo/ (logdump64, the
# simulated vendor CLI and storage library, and logdump-report; no tests),
# and runs logdump64 without arguments against the simulated components,
# driven by sim/scenarios/demo.scn. The tool's own console output is shown as
# it is; afterwards the log directory is listed and logdump-report's text
# report of it is shown.
#
# Then a second system, sim/scenarios/degraded.scn, whose arrays lost their
# redundancy (a RAID-1 with an offline member, a RAID-5 rebuilding), is
# collected the same way and its report shown: the controller's view of its
# arrays and drives. logdump64 writes only to /o_tmp/TMP/KESTRA, so this run
# has a mount namespace of its own with an empty /o_tmp (root, as the rest):
# its logs do not mix with the first system's, and are kept with their
# times in build-demo/demo/degraded/.
#
#   scripts/demo.sh                    set up, build into build-demo/, run
#   scripts/demo.sh --prebuilt DIR     run the programs of the build in DIR (no set-up, no build)
#
# Every program is taken from the one build directory, and the demo fails
# when one is missing: the report is never left out unseen.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bdir=build-demo
if [ "${1:-}" = --prebuilt ]; then
  bdir=${2:?usage: scripts/demo.sh [--prebuilt BUILD_DIR]}
else
  scripts/setup.sh

  # The build's own output goes to a log, shown only when the build fails.
  jobs=$(nproc)
  mkdir -p "$bdir"
  buildlog="$bdir/build.log"
  echo "demo: building logdump64, the simulated vendor components and logdump-report into $bdir/ (log: $buildlog)"
  build_demo() {
    cmake -S . -B "$bdir" -DLOGDUMP_TESTS=OFF -DLOGDUMP_BUILD32=OFF || return
    cmake --build "$bdir" -j "$jobs" --target logdump64 raidcli_sim raidstor_sim64 logdump-report
  }
  if ! build_demo >"$buildlog" 2>&1; then
    echo "demo: the build failed; its log follows" >&2
    cat "$buildlog" >&2
    exit 1
  fi
fi
bdir=$(cd "$bdir" && pwd)
report=$bdir/report/logdump-report
for p in "$bdir/logdump64" "$bdir/raidcli_sim" "$bdir/libraidstor_sim64.so" "$report"; do
  [ -x "$p" ] || { echo "demo: $p is missing from the build" >&2; exit 1; }
done

# The working directory: the tool takes both vendor components from it.
demo="$bdir/demo"
mkdir -p "$demo"
cp -f "$bdir/raidcli_sim" "$demo/RaidCli64"
cp -f "$bdir/libraidstor_sim64.so" "$demo/libraidstor.so.2.52-0"
chmod 0755 "$demo/RaidCli64" "$demo/libraidstor.so.2.52-0"

logdir=/o_tmp/TMP/KESTRA
mkdir -p "$logdir"

trace="$demo/sim-trace.txt"
: > "$trace"

echo
echo "demo: running $bdir/logdump64 in $demo"
echo "demo: simulated controllers and disks from sim/scenarios/demo.scn"
echo
status=0
(
  cd "$demo"
  LOGDUMP_SIM_SCENARIO="$repo/sim/scenarios/demo.scn" LOGDUMP_SIM_TRACE="$trace" "$bdir/logdump64"
) || status=$?

echo
echo "demo: logdump64 ended with status $status"
echo "demo: the logs are in $logdir:"
ls -l "$logdir"
if [ -s "$logdir/logdperr.txt" ]; then
  echo
  echo "demo: the error log $logdir/logdperr.txt holds the failures the scenario injected:"
  cat "$logdir/logdperr.txt"
fi
echo
echo "demo: every call the simulator received is in $trace"

# The report of a log directory, shown with its status; SAY names the status.
show_report() {
  local dir=$1 say=$2 s=0
  echo
  echo "demo: $report $dir"
  echo
  "$report" "$dir" || s=$?
  echo
  echo "demo: logdump-report $say $s$3"
  ((s <= 2)) || exit 1
}

# The diagnosis of the same log directory.
show_report "$logdir" "ended with status" " (0 all OK, 1 WARN or UNKNOWN, 2 FAIL, 3 unreadable input)"

# The second system: arrays that lost their redundancy.
degraded="$demo/degraded"
rm -rf "$degraded"
mkdir -p "$degraded"
dtrace="$demo/sim-trace-degraded.txt"
: > "$dtrace"
echo
echo "demo: a second system, whose arrays lost their redundancy: sim/scenarios/degraded.scn"
echo "demo: running $bdir/logdump64 in $demo, with a /o_tmp of its own"
echo
dstatus=0
unshare -m /bin/sh -c 'mount --make-rprivate / && mount -t tmpfs tmpfs /o_tmp && mkdir -p /o_tmp/TMP/KESTRA &&
  cd "$1" || exit 125
  s=0
  LOGDUMP_SIM_SCENARIO="$2" LOGDUMP_SIM_TRACE="$3" "$4" || s=$?
  cp -a /o_tmp/TMP/KESTRA/. "$5/" || exit 125
  exit "$s"' sh "$demo" "$repo/sim/scenarios/degraded.scn" "$dtrace" "$bdir/logdump64" "$degraded" || dstatus=$?
if ((dstatus == 125)); then
  echo "demo: the second system needs a mount namespace of its own (root, unshare): it could not be run" >&2
  exit 1
fi
echo
echo "demo: logdump64 ended with status $dstatus; the logs are kept in $degraded:"
ls -l "$degraded"
show_report "$degraded" "on the degraded system ended with status" " (2: the arrays' FAIL)"
((status != 0)) || status=$dstatus
exit "$status"
