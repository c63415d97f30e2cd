#!/usr/bin/env bash
# Demonstration (as root, from a clone of the repository): installs what is
# missing, builds only what the demo needs into build-demo/ (logdump64 and
# the simulated vendor CLI and storage library, no tests), and runs
# logdump64 without arguments against the simulated components, driven by
# sim/scenarios/demo.scn. The tool's own console output is shown as it is;
# afterwards the log directory is listed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/setup.sh

# The build's own output goes to a log, shown only when the build fails.
jobs=$(nproc)
bdir=build-demo
mkdir -p "$bdir"
buildlog="$bdir/build.log"
echo "demo: building logdump64 and the simulated vendor components into $bdir/ (log: $buildlog)"
build_demo() {
  cmake -S . -B "$bdir" -DLOGDUMP_TESTS=OFF -DLOGDUMP_BUILD32=OFF || return
  local targets=(logdump64 raidcli_sim raidstor_sim64) help
  help=$(cmake --build "$bdir" --target help) || return
  if grep -Eq '^(\.\.\. )?logdump-report(:| |$)' <<<"$help"; then targets+=(logdump-report); fi
  cmake --build "$bdir" -j "$jobs" --target "${targets[@]}"
}
if ! build_demo >"$buildlog" 2>&1; then
  echo "demo: the build failed; its log follows" >&2
  cat "$buildlog" >&2
  exit 1
fi

# The working directory: the tool takes both vendor components from it.
demo="$repo/$bdir/demo"
mkdir -p "$demo"
cp -f "$bdir/raidcli_sim" "$demo/RaidCli64"
cp -f "$bdir/libraidstor_sim64.so" "$demo/libraidstor.so.2.52-0"
chmod 0755 "$demo/RaidCli64" "$demo/libraidstor.so.2.52-0"

logdir=/o_tmp/TMP/KESTRA
mkdir -p "$logdir"

trace="$demo/sim-trace.txt"
: > "$trace"

echo
echo "demo: running $repo/$bdir/logdump64 in $demo"
echo "demo: simulated controllers and disks from sim/scenarios/demo.scn"
echo
status=0
(
  cd "$demo"
  LOGDUMP_SIM_SCENARIO="$repo/sim/scenarios/demo.scn" LOGDUMP_SIM_TRACE="$trace" "$repo/$bdir/logdump64"
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

# The diagnosis of the same log directory, when logdump-report is built
# (by the demo's build above, or else by the test command's).
report=""
for p in "$bdir/report/logdump-report" "$bdir/logdump-report" build/report/logdump-report build/logdump-report; do
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
