#!/usr/bin/env bash
# The degraded system collected by logdump64, then judged by logdump-report
# from the controller's logs and the drives' own: the FAIL on the degraded
# RAID-1 names its offline member by enclosure:slot and serial, and so does
# the FAIL on that drive's row, which wrote no drive log (its own health is
# unknown); the rebuilding drive's WARN goes to its own disk. Its metrics
# give the series the man page's alert rules fire on (alert_rules.sh).
# Usage: degraded.sh REPORT E2E_COLLECT SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/scenario.sh" degraded "$@"
collect_scenario degraded
s=0
"$report" --json --metrics "$w/m.prom" "$logs" > "$w/report.json" || s=$?
[ "$s" = 2 ] || fail "status $s, not 2"
for l in 'logdump_virtual_drive_state{host="KESTRA",controller="0",virtual_drive="0",raid_level="RAID 1",state="Degraded"} 1' \
  'logdump_physical_drive_state{host="KESTRA",controller="0",enclosure="252",slot="1",target="1",serial="S0M000001K",state="Offline"} 1' \
  'logdump_physical_drive_media_errors{host="KESTRA",controller="0",enclosure="252",slot="1",target="1",serial="S0M000001K"} 22'; do
  grep -qxF "$l" "$w/m.prom" || fail "no $l in the metrics"
done
if command -v promtool > /dev/null; then
  promtool check metrics < "$w/m.prom" > "$w/promtool.txt" 2>&1 || fail "promtool refuses the metrics: $(cat "$w/promtool.txt")"
fi
python3 - "$w/report.json" <<'PY' || fail "see above"
import json, sys
r = json.load(open(sys.argv[1]))
host = [f for f in r["hosts"][0]["findings"] if f["code"] == "virtual-drive-state" and f["severity"] == "FAIL"]
named = [f for f in host if "252:1 (target 1, serial S0M000001K) Offline" in f["text"]]
row = [d for d in r["disks"] if d["device"] == 1]
offline = [f for d in row for f in d["findings"] if f["code"] == "drive-state" and f["severity"] == "FAIL"
           and "252:1 (target 1, serial S0M000001K) is Offline" in f["text"]]
disk = [d for d in r["disks"] if d["device"] == 4]
bad = []
if not named:
    bad.append(f"no FAIL naming the offline member: {host}")
if not offline:
    bad.append(f"no FAIL on the row of the offline drive: {row}")
elif row[0]["verdict"] != "FAIL" or not any(f["code"] == "drive-log-missing" for f in row[0]["findings"]):
    bad.append(f"the offline drive's row is not FAIL with its own health unknown: {row}")
if len(disk) != 1 or disk[0]["verdict"] != "WARN" or not any(
        f["code"] == "drive-state" and f["kind"] == "controller" for f in disk[0]["findings"]):
    bad.append(f"target 4 (rebuilding) has no controller finding of its own: {disk}")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
echo "degraded: the array's FAIL names its offline member; the rebuilding drive's WARN is on its disk; the metrics hold both"
