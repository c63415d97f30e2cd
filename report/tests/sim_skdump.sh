#!/usr/bin/env bash
# The SATA drives of the simulated system against skdump: logdump64 -e
# collects sim/scenarios/mixed.scn (report/tests/collect.sh), and the report's
# skdump comparison reads its SATA drive logs besides the test data.
#
#   report/tests/sim_skdump.sh REPORT_UNIT LOGDUMP64 RAIDCLI_SIM LIBRAIDSTOR_SIM64 SLEEPSHIM64 SOURCE_DIR
#
# Exit status 77 (skipped) when not root (the namespace needs it) or before
# the simulator has that system.
set -euo pipefail
unit=$1 logdump=$2 cli=$3 lib=$4 shim_so=$5
src=$(cd "$6" && pwd)
fail() { echo "sim_skdump: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "sim_skdump: SKIPPED: needs root for a private mount namespace"; exit 77; }
[ -e "$src/sim/scenarios/mixed.scn" ] || { echo "sim_skdump: SKIPPED: no simulated system with SATA drives yet"; exit 77; }
w=$(mktemp -d /var/tmp/report-skdump.XXXXXX)
trap 'rm -rf "$w"' EXIT
"$(dirname "$0")/collect.sh" "$w" "$logdump" "$cli" "$lib" "$shim_so" "$src/sim/scenarios/mixed.scn" -e ||
  fail "logdump64 -e on the mixed system: $(tail -5 "$w/console.txt")"
sata=$(grep -l '^<ATA IDENTIFY DEVICE>' "$w"/otmp/TMP/KESTRA/MA*.log | wc -l)
[ "$sata" -ge 4 ] || fail "$sata SATA drive logs in the collection, 4 expected"
REPORT_SATA_LOGS=$w/otmp/TMP/KESTRA "$unit" --gtest_filter='Skdump.*' > "$w/unit.txt" 2>&1 ||
  { cat "$w/unit.txt"; fail "the report and skdump disagree"; }
grep 'drives,' "$w/unit.txt"
