#!/usr/bin/env bash
# scripts/demo.sh on the programs of this build, in a private mount
# namespace (its own /tmp and /o_tmp): the demo must end with logdump-report's
# text report of the log directory it wrote, with the verdicts an engineer
# expects of sim/scenarios/demo.scn (controller 1's members judged without
# its drive list) and the RISK column, and then show the degraded system
# (sim/scenarios/degraded.scn): its RAID-1's FAIL naming the offline member.
#
#   report/tests/demo_test.sh SOURCE_DIR BUILD_DIR
#
# Exit status 77 (skipped) when not root (the namespace needs it).
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
[ "$(id -u)" = 0 ] || { echo "demo_test: SKIPPED: needs root for a private mount namespace"; exit 77; }
mkdir -p /o_tmp
out=$(mktemp /var/tmp/demo-test.XXXXXX)
trap 'rm -f "$out"' EXIT
status=0
unshare -m /bin/sh -c 'mount --make-rprivate / && mount -t tmpfs tmpfs /tmp && mount -t tmpfs tmpfs /o_tmp &&
  "$1/scripts/demo.sh" --prebuilt "$2"' sh "$src" "$build" > "$out" 2>&1 || status=$?
fail() { cat "$out"; echo "demo_test: FAILED: $*" >&2; exit 1; }
[ "$status" = 0 ] || fail "scripts/demo.sh ended with $status"
summary='logdump-report: 7 disk(s): 5 OK, 0 WARN, 1 FAIL, 1 UNKNOWN'
grep -qxF "$summary" "$out" || fail "the demo did not show the report's summary \"$summary\""
grep -q '^demo: logdump-report ended with status 2 ' "$out" || fail "the report's status is not 2 (a FAIL)"
# Every disk's failure risk in the disks table, beside its verdict.
grep -q '^  CTRL .* VERDICT  RISK$' "$out" || fail "the report's disks table has no RISK column beside VERDICT"
# Controller 1's drive list fails to save: its members come from its
# members listing, each with its state and serial.
member='      252:0  target 0  Online  S402B1C50000E713'
grep -qxF "$member" "$out" || fail "the report did not show controller 1's member \"$member\""
array='FAIL    degraded: virtual-drive-state: controller 0: virtual drive 0 (RAID 1) is Degraded; members not Online: 252:1 (target 1, serial S0M000001K) Offline'
grep -qxF "  $array" "$out" || fail "the degraded system's report did not show \"$array\""
grep -q '^demo: logdump-report on the degraded system ended with status 2 ' "$out" ||
  fail "the degraded system's report status is not 2 (a FAIL)"
echo "demo_test: the demo showed the report: $summary; and the degraded array's FAIL"
