#!/usr/bin/env bash
# The system in older firmware's text (sim/scenarios/old-firmware.scn: most
# variants of "cli text"), collected by logdump64, then judged by
# logdump-report: nothing of the text is unrecognised; the pulled member of
# the RAID-10 is "span 1, arm 1: no drive"; the ten drives with one other
# error count make one WARN, each drive's own an INFO; the member that
# predicts its failure FAILs and its array is at risk; the failed SATA
# drive whose details the controller lost FAILs with no capacity; the JBOD
# drive is OK. Usage: old_firmware.sh REPORT E2E_COLLECT SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/scenario.sh" old_firmware "$@"
collect_scenario old-firmware
head -1 "$logs/Controller_0_pdlist.log" | grep -q '^\[root@localhost ~\]# ' || fail "the drive list does not start with the echoed command"
s=0
"$report" --json "$logs" > "$w/report.json" || s=$?
[ "$s" = 2 ] || fail "status $s, not 2"
python3 - "$w/report.json" <<'PY' || fail "see above"
import json, sys
r = json.load(open(sys.argv[1]))
host = r["hosts"][0]["findings"]
disks = {d["device"]: d for d in r["disks"]}
def host_has(code, severity, text):
    return any(f["code"] == code and f["severity"] == severity and text in f["text"] for f in host)
bad = []
unread = [f["text"] for f in host if f["code"] in ("controller-log-unrecognised", "controller-log-truncated")]
if unread:
    bad.append(f"the older text is not read whole: {unread}")
if not host_has("virtual-drive-state", "FAIL", "virtual drive 0 (RAID 10) is Degraded; members not Online: span 1, arm 1: no drive (disk group 0)"):
    bad.append("the RAID-10's pulled member is not \"span 1, arm 1: no drive\"")
if not host_has("drive-other-errors-shared", "WARN", "10 drives show the same other error count 212"):
    bad.append("no one finding of the ten drives' other errors")
own = [f["severity"] for t in range(4, 14) for f in disks[t]["findings"] if f["code"] == "drive-other-errors"]
if own != ["INFO"] * 10:
    bad.append(f"the ten drives' own other error findings are not INFO each: {own}")
if disks[14]["verdict"] != "FAIL" or not host_has("virtual-drive-at-risk", "WARN", "member 252:14 (target 14"):
    bad.append("the member predicting its failure does not FAIL with its array at risk")
sixteen = [p for p in r["controllers"][0]["physical_drives"] if p["target"] == 16]
if disks[16]["verdict"] != "FAIL" or not sixteen or sixteen[0]["raw_sectors"] is not None or \
        sixteen[0]["raw_size"] != "0 KB" or sixteen[0]["vendor"] != "ATA" or sixteen[0]["serial"] != "ZX0F00000016":
    bad.append(f"the failed SATA drive is not a FAIL with no capacity and its inquiry read: {sixteen}")
if disks[18]["verdict"] != "OK":
    bad.append(f"the JBOD drive is not OK: {disks[18]['findings']}")
if r["controllers"][0]["virtual_drives"][0]["size"] != "1144651MB":
    bad.append(f"the older size is not read as printed: {r['controllers'][0]['virtual_drives'][0]}")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
echo "old_firmware: the older text read whole; no drive, one cause, a predicted failure, a lost drive and JBOD judged"
