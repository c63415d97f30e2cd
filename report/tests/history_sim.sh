#!/usr/bin/env bash
# The health scenario collected three times, a month apart, its counters
# raised in between (tests/data/health_month2.scn and health_month3.scn are
# added to sim/scenarios/health.scn): the report's history of two and of
# three collections, as the fleet names them (<host>-<date>).
#
#   report/tests/history_sim.sh REPORT E2E_COLLECT SOURCE_DIR
#
# Exit status 77 (skipped) when not root (the namespace needs it).
set -euo pipefail
report=$1 collect=$2
src=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "history_sim: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "history_sim: SKIPPED: needs root for a private mount namespace"; exit 77; }
w=$(mktemp -d /var/tmp/report-history.XXXXXX)
trap 'rm -rf "$w"' EXIT

# collect N DAY [ADDED-STATEMENTS]: the collection as health-DAY, its files
# of noon that day.
collect() {
  mkdir -p "$w/scn$1"
  cp -r "$src/sim/scenarios/." "$w/scn$1/"
  [ -z "${3:-}" ] || cat "$here/data/$3" >> "$w/scn$1/health.scn"
  "$collect" "$w/run$1" "$w/scn$1/health.scn" ||
    fail "collection $1: $(tail -5 "$w/run$1/console.txt")"
  mv "$w/run$1/otmp/TMP/KESTRA" "$w/health-$2"
  find "$w/health-$2" -exec touch -d "$2 12:00" {} +
}
collect 1 2026-10-01
collect 2 2026-10-31 health_month2.scn
collect 3 2026-11-30 health_month3.scn

s=0
"$report" --json "$w/health-2026-10-01" "$w/health-2026-10-31" > "$w/two.json" || s=$?
[ "$s" -le 2 ] || fail "two collections: status $s"
s=0
"$report" --json --html "$w/three.html" --metrics "$w/three.prom" --drive-stats "$w/three.csv" "$w/health-2026-10-31" "$w/health-2026-11-30" "$w/health-2026-10-01" \
  > "$w/three.json" || s=$?
[ "$s" -le 2 ] || fail "three collections: status $s"
grep -q '<polyline' "$w/three.html" || fail "no line of the growth in the web page"
# The metrics: promtool accepts them; the disk whose read errors grew fastest
# FAILs, with its growth.
promtool check metrics < "$w/three.prom" || fail "promtool refuses the metrics of three collections"
grep -Eq '^logdump_disk_verdict\{host="health",.*serial="S0M1H000000000000006",verdict="FAIL"\} 1$' "$w/three.prom" &&
  grep -Eq '^logdump_disk_growth_per_second\{host="health",.*serial="S0M1H000000000000006".*,counter="read_uncorrected"\} [0-9.e-]+$' \
    "$w/three.prom" || fail "no FAIL or growth of S0M1H000000000000006 in the metrics: $(cat "$w/three.prom")"
python3 - "$w" <<'PY' || fail "see above"
import json, sys
w = sys.argv[1]
errors = []
# collections, serial: (history days, growth of read_uncorrected "from>to" between the two newest and
# across all, the growth finding's severity or None)
rows = {
    "two": {"S0M1H000000000000006": (["2026-10-31", "2026-10-01"], "5>9", "5>9", "WARN"),
            "S0M1H000000000000001": (["2026-10-31", "2026-10-01"], "0>0", "0>0", None)},
    "three": {"S0M1H000000000000006": (["2026-11-30", "2026-10-31", "2026-10-01"], "9>30", "5>30", "FAIL"),
              "S0M1H000000000000001": (["2026-11-30", "2026-10-31", "2026-10-01"], "0>1", "0>1", "WARN"),
              "DC600H00000000000002": (["2026-11-30", "2026-10-31", "2026-10-01"], "0>0", "0>0", None)},
}
for name, disks in rows.items():
    j = json.load(open(f"{w}/{name}.json"))
    if [h["host"] for h in j["hosts"]] != ["health"] or len(j["disks"]) != 7:
        errors.append(f"{name}: hosts {[h['host'] for h in j['hosts']]}, {len(j['disks'])} disks")
    for d in j["disks"]:
        if d["serial"] not in disks:
            continue
        days, growth, across, severity = disks[d["serial"]]
        got = [h["collected"][:10] for h in d["history"]]
        change = lambda g: f"{g['read_uncorrected']['from']}>{g['read_uncorrected']['to']}" if "read_uncorrected" in g else ""
        found = [f for f in d["findings"] if f["code"] == "counter-growth"]
        if got != days or change(d["growth"]) != growth or change(d["growth_all"]) != across or \
                [f["severity"] for f in found] != ([severity] if severity else []):
            errors.append(f"{name} {d['serial']}: history {got}, growth {d['growth']}, across {d['growth_all']}, {found}")
        if d["growth"]["read_uncorrected"]["days"] not in (30, 31):
            errors.append(f"{name} {d['serial']}: {d['growth']}")
for e in errors:
    print("history_sim:", e)
sys.exit(1 if errors else 0)
PY
# The drive-stats file: read by Python's csv module, its own columns as the
# man page lists them, one row per disk and collection in order; read back
# by --risk-check, every drive in the band of its last row.
s=0
"$report" --risk-check "$w/three.csv" --json > "$w/check.json" || s=$?
[ "$s" = 0 ] || fail "--risk-check of the drive-stats file: status $s"
python3 - "$w" "$src/man/logdump-report.1" <<'PY' || fail "see above"
import csv, json, re, sys
w, man = sys.argv[1], open(sys.argv[2]).read()
section = man[man.index(".SS The drive\\-stats file"):man.index(".SH READING")]
listed = re.findall(r"^\.TP\n\.I (\w+)$", section, re.M)
rows = list(csv.DictReader(open(f"{w}/three.csv", newline="")))
header = list(rows[0].keys())
fixed = ["date", "serial_number", "model", "capacity_bytes", "failure"]
smart = [c for c in header if re.fullmatch(r"smart_\d+_(normalized|raw)", c)]
errors = []
if header[:5] != fixed or header[5 + len(smart):] != listed:
    errors.append(f"columns {header}, the man page lists {listed}")
keys = [(r["date"], r["host"], r["serial_number"]) for r in rows]
if keys != sorted(keys) or len(rows) != 21 or {r["date"] for r in rows} != {"2026-10-01", "2026-10-31", "2026-11-30"}:
    errors.append(f"rows {keys}")
if any(r["failure"] != "0" for r in rows) or any(r["verdict"] not in ("OK", "WARN", "FAIL", "UNKNOWN") for r in rows):
    errors.append("failure or verdict")
last = {r["serial_number"]: r["risk_band"] for r in rows}
bands = {b: 0 for b in ("unknown", "base", "elevated", "high", "imminent")}
for b in last.values():
    bands[b] += 1
check = json.load(open(f"{w}/check.json"))
got = {b["band"]: b["drives"] for b in check["bands"]}
if got != bands or check["rows"] != 21 or check["malformed"]["rows"] != 0:
    errors.append(f"--risk-check bands {got}, the file's {bands}; {check}")
for e in errors:
    print("history_sim:", e)
sys.exit(1 if errors else 0)
PY
echo "history_sim: OK (the health scenario over two and three collections)"
