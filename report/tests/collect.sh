#!/usr/bin/env bash
# A collection of a simulated system for the report's tests: logdump64 runs
# against the simulated CLI and library, driven by SCENARIO, in a private
# mount namespace with its own /tmp and /o_tmp (so needs root).
#
#   report/tests/collect.sh WORK LOGDUMP64 RAIDCLI_SIM LIBRAIDSTOR_SIM64 SLEEPSHIM64 SCENARIO [ARG...]
#
# WORK is a fresh directory outside /tmp. The scenario's folder is copied
# beside it (its page files are named relative to it); the log directory is
# WORK/otmp/TMP/KESTRA and the console output WORK/console.txt. The exit
# status is the tool's. ARGs go to logdump64 (none: a full run, with the
# error log).
set -euo pipefail
w=$1 logdump=$2 cli=$3 lib=$4 shim_so=$5 scenario=$6
shift 6
mkdir -p "$w/work" "$w/tmp" "$w/otmp/TMP/KESTRA" "$w/scenarios"
chmod 1777 "$w/tmp"
cp "$logdump" "$w/work/logdump64"
cp "$cli" "$w/work/RaidCli64"
cp "$lib" "$w/work/libraidstor.so.2.52-0"
cp -r "$(dirname "$scenario")"/. "$w/scenarios/"
# The tests' sleep shim, when built, spares the run its one-second pauses.
shim=""
if [ -e "$shim_so" ]; then
  cp "$shim_so" "$w/libsleepshim64.so"
  shim=$w/libsleepshim64.so
fi
# In a sanitizer build the preloaded shim comes before the sanitizer's runtime.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" unshare -m /bin/sh -c '
  w=$1 shim=$2 scenario=$3; shift 3
  mount --make-rprivate / && mount --bind "$w/tmp" /tmp && mount --bind "$w/otmp" /o_tmp &&
  cd "$w/work" && LOGDUMP_SIM_SCENARIO="$w/scenarios/$scenario" LD_PRELOAD="$shim" ./logdump64 "$@"' \
  sh "$w" "$shim" "$(basename "$scenario")" "$@" > "$w/console.txt" 2>&1
