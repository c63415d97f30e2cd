#!/usr/bin/env bash
# Demonstration (as root, from a clone of the repository): installs what is
# missing, builds only what the demo needs into build-demo/ (logdump64, the
# simulated vendor CLI and storage library, and logdump-report; no tests),
# and runs logdump64 without arguments against the simulated components,
# driven by sim/scenarios/demo.scn. The tool's own console output is shown as
# it is; afterwards the log directory is listed and logdump-report's text
# report of it is shown.
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

# The diagnosis of the same log directory.
echo
echo "demo: $report $logdir"
echo
rstatus=0
"$report" "$logdir" || rstatus=$?
echo
echo "demo: logdump-report ended with status $rstatus (0 all OK, 1 WARN or UNKNOWN, 2 FAIL, 3 unreadable input)"
((rstatus <= 2)) || exit 1
exit "$status"
