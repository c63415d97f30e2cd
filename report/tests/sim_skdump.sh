#!/usr/bin/env bash
# The SATA drives of the simulated system against skdump: logdump64 -e
# collects sim/scenarios/mixed.scn (through the end-to-end harness), and the report's
# skdump comparison reads its SATA drive logs besides the test data.
#
#   report/tests/sim_skdump.sh REPORT_UNIT E2E_COLLECT SOURCE_DIR
#
# Exit status 77 (skipped) when not root (the namespace needs it).
set -euo pipefail
unit=$1 collect=$2
src=$(cd "$3" && pwd)
fail() { echo "sim_skdump: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "sim_skdump: SKIPPED: needs root for a private mount namespace"; exit 77; }
w=$(mktemp -d /var/tmp/report-skdump.XXXXXX)
trap 'rm -rf "$w"' EXIT
"$collect" "$w" "$src/sim/scenarios/mixed.scn" -e ||
  fail "logdump64 -e on the mixed system: $(tail -5 "$w/console.txt")"
sata=$(grep -l '^<ATA IDENTIFY DEVICE>' "$w"/otmp/TMP/KESTRA/MA*.log | wc -l)
[ "$sata" -ge 4 ] || fail "$sata SATA drive logs in the collection, 4 expected"
REPORT_SATA_LOGS=$w/otmp/TMP/KESTRA "$unit" --gtest_filter='Skdump.*' > "$w/unit.txt" 2>&1 ||
  { cat "$w/unit.txt"; fail "the report and skdump disagree"; }
grep 'drives,' "$w/unit.txt"
