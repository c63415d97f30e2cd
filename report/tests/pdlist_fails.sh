#!/usr/bin/env bash
# The system whose drive list fails to save, collected by logdump64, then
# judged by logdump-report: every member still has a row, from the members
# listing (source Controller_0_ldpdinfo.log): the Online member that
# predicts its own failure FAILs on its own disk and its Optimal RAID-1
# WARNs that its redundancy is at risk; the failed member that left no drive
# log FAILs on a row of the controller's view alone. Its metrics hold both.
# Usage: pdlist_fails.sh REPORT E2E_COLLECT SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/scenario.sh" pdlist_fails "$@"
collect_scenario pdlist-fails
s=0
"$report" --json --metrics "$w/m.prom" "$logs" > "$w/report.json" || s=$?
[ "$s" = 2 ] || fail "status $s, not 2"
for l in 'logdump_physical_drive_predictive_failures{host="KESTRA",controller="0",enclosure="252",slot="1",target="1",serial="S0M000001K"} 120' \
  'logdump_physical_drive_state{host="KESTRA",controller="0",enclosure="252",slot="4",target="4",serial="S0M000004K",state="Failed"} 1'; do
  grep -qxF "$l" "$w/m.prom" || fail "no $l in the metrics"
done
python3 - "$w/report.json" <<'PY' || fail "see above"
import json, sys
r = json.load(open(sys.argv[1]))
disks = {d["device"]: d for d in r["disks"]}
def codes(d, severity):
    return {f["code"] for f in d["findings"] if f["severity"] == severity and f["kind"] == "controller"}
bad = []
drives = r["controllers"][0]["physical_drives"]
if sorted(p["target"] for p in drives) != [0, 1, 2, 3, 4] or {p["source"] for p in drives} != {"Controller_0_ldpdinfo.log"}:
    bad.append(f"the members are not the drives, each from the members listing: {drives}")
one = disks.get(1)
if not one or one["verdict"] != "FAIL" or not one["logged"] or \
        not {"drive-predictive-failure", "drive-smart-alert", "drive-media-errors"} <= codes(one, "FAIL"):
    bad.append(f"target 1, predicting its failure, does not FAIL on its disk: {one and one['findings']}")
risk = [f for f in r["hosts"][0]["findings"] if f["code"] == "virtual-drive-at-risk" and f["severity"] == "WARN"
        and "member 252:1 (target 1, serial S0M000001K) fails" in f["text"]]
if not risk:
    bad.append("no WARN that virtual drive 0's redundancy is at risk")
four = disks.get(4)
if not four or four["logged"] or four["verdict"] != "FAIL" or "drive-state" not in codes(four, "FAIL") or \
        not any(f["code"] == "drive-log-missing" for f in four["findings"]):
    bad.append(f"target 4, failed and silent, has no FAIL row of the controller's view: {four}")
if 5 in disks and disks[5]["controller_view"] is not None:
    bad.append("the hot spare only the failed drive list names has a controller view")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
echo "pdlist_fails: every member judged from the members listing; the failing one FAILs, its array is at risk"
