#!/usr/bin/env bash
# The sata-health system collected with "logdump64 -e", then judged by
# logdump-report with the test drive database, and without any: each
# drive's verdict and the finding that makes it; the healthy drives alone
# exit with status 0. Usage: sata_health.sh REPORT E2E_COLLECT SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/scenario.sh" sata_health "$@"
collect_scenario sata-health -e
s=0
"$report" --json --drivedb "$src/report/tests/data/drivedb_test.txt" "$logs" > "$w/db.json" || s=$?
[ "$s" = 2 ] || fail "with the test database: status $s, not 2"
s=0
"$report" --json --drivedb /dev/null "$logs" > /dev/null 2>&1 || s=$?
[ "$s" = 3 ] || fail "a drive database that cannot be read: status $s, not 3"
# With no database the installed one (or the defaults) reads the minutes.
s=0
"$report" --json "$logs" > "$w/none.json" || s=$?
python3 - "$w" <<'PY' || fail "see above"
import json, sys
w = sys.argv[1]
def disks(name):
    return {d["file"]: d for d in json.load(open(f"{w}/{name}.json"))["disks"]}
def codes(d):
    return [f["severity"] + " " + f["code"] for f in d["findings"]]
db, none = disks("db"), disks("none")
# file: verdict, a finding it must have (with the test database)
want = {
    "MA0000.log": ("OK", "INFO ata-database-warning"),
    "MA0001.log": ("OK", "INFO ata-raw-packed"),
    "MA0002.log": ("FAIL", "FAIL ata-pending"),
    "MA0003.log": ("WARN", "WARN duplicate-serial"),
    "MA0004.log": ("WARN", "WARN duplicate-serial"),
    "MA0005.log": ("OK", "INFO selftest-execution"),
}
bad = []
for f, (verdict, code) in want.items():
    d = db[f]
    if d["verdict"] != verdict or code not in codes(d):
        bad.append(f"{f}: {d['verdict']} {codes(d)}, want {verdict} with {code}")
m = db["MA0000.log"]
if m["power_on_hours"] != 50000 or m["ata"]["family"] != "Corvane Tundra":
    bad.append(f"MA0000.log by the database: {m['power_on_hours']} hours, family {m['ata']['family']}")
if db["MA0005.log"]["ata"]["self_test_execution"]["percent_remaining"] != 70:
    bad.append("MA0005.log: no 70% remaining")
n = none["MA0000.log"]
if n["power_on_hours"] is not None or "INFO ata-power-on-unit" not in codes(n):
    bad.append(f"MA0000.log without its entry: {n['power_on_hours']} hours, {codes(n)}")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
# The healthy drives alone: status 0.
mkdir "$w/healthy"
cp "$logs/logdperr.txt" "$logs/MA0000.log" "$logs/MA0001.log" "$logs/MA0005.log" "$w/healthy/"
s=0
"$report" --drivedb "$src/report/tests/data/drivedb_test.txt" "$w/healthy" > "$w/healthy.txt" || s=$?
[ "$s" = 0 ] || fail "healthy SATA drives: status $s: $(cat "$w/healthy.txt")"
echo "sata_health: each drive's verdict as the database and the plausibility rules give it"
