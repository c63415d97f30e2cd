#!/usr/bin/env bash
# Demonstration (as root, from a clone of the repository): installs what is
# missing, builds everything into build/, and runs logdump64 without
# arguments against the simulated vendor CLI and storage library, driven by
# sim/scenarios/demo.scn. The tool's own console output is shown as it is;
# afterwards the log directory is listed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build >/dev/null
cmake --build build -j "$jobs"

# The working directory: the tool takes both vendor components from it.
demo="$repo/build/demo"
mkdir -p "$demo"
cp -f build/raidcli_sim "$demo/RaidCli64"
cp -f build/libraidstor_sim64.so "$demo/libraidstor.so.2.52-0"
chmod 0755 "$demo/RaidCli64" "$demo/libraidstor.so.2.52-0"

logdir=/o_tmp/TMP/KESTRA
mkdir -p "$logdir"

trace="$demo/sim-trace.txt"
: > "$trace"

echo
echo "demo: running $repo/build/logdump64 in $demo"
echo "demo: simulated controllers and disks from sim/scenarios/demo.scn"
echo
status=0
(
  cd "$demo"
  LOGDUMP_SIM_SCENARIO="$repo/sim/scenarios/demo.scn" LOGDUMP_SIM_TRACE="$trace" "$repo/build/logdump64"
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

# The diagnosis of the same log directory, when logdump-report is built.
report=""
for p in build/logdump-report build/report/logdump-report; do
  [ -x "$p" ] && { report=$p; break; }
done
if [ -n "$report" ]; then
  echo
  echo "demo: $report $logdir"
  echo
  rstatus=0
  "$report" "$logdir" || rstatus=$?
  echo
  echo "demo: logdump-report ended with status $rstatus (0 all OK, 1 WARN, 2 FAIL, 3 unreadable input)"
fi
exit "$status"
