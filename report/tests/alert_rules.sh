#!/usr/bin/env bash
# The alerting rules of logdump-report(1), taken from the man page as a
# reader would copy them, under `promtool test rules`: each alert fires on
# the series the metrics give a failing disk, a degraded array and its
# offline member, and stays silent on a healthy disk, an Optimal array and
# drives Online or rebuilding (promtool expects exactly the alerts listed).
# Usage: alert_rules.sh SOURCE_DIR
set -euo pipefail
src=$1
fail() { echo "alert_rules: FAILED: $*" >&2; exit 1; }
command -v promtool > /dev/null || { echo "alert_rules: promtool not installed" >&2; exit 77; }
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT

# The example after "Alerting rules", groff's escapes undone.
awk '/^Alerting rules for Prometheus/ { on = 1 } on && /^\.EE/ { exit } on == 2 { print } on && /^\.EX/ { on = 2 }' \
  "$src/man/logdump-report.1" | sed -e 's/\\-/-/g' -e 's/\\e/\\/g' > "$w/rules.yml"
[ -s "$w/rules.yml" ] || fail "no alerting rules in the man page"
promtool check rules "$w/rules.yml" > "$w/check.txt" 2>&1 || fail "promtool refuses the rules: $(cat "$w/check.txt")"

disk='host="srv01",controller="0",target="3",serial="S3"'
ok='host="srv01",controller="0",target="4",serial="S4"'
ctl='host="srv01",controller="0"'
offline='host="srv01",controller="0",enclosure="252",slot="1",target="1",serial="S0M000001K"'
cat > "$w/test.yml" <<YML
rule_files: [rules.yml]
evaluation_interval: 1m
tests:
  - interval: 1m
    input_series:
      - series: 'logdump_disk_info{$disk,model="ACME DH4000SA-1000",firmware="AC01",protocol="ATA",family=""}'
        values: '1x5'
      - series: 'logdump_disk_verdict{$disk,verdict="FAIL"}'
        values: '1x5'
      - series: 'logdump_disk_verdict{$disk,verdict="OK"}'
        values: '0x5'
      - series: 'logdump_disk_info{$ok,model="ACME DH4000SA-1000",firmware="AC01",protocol="ATA",family=""}'
        values: '1x5'
      - series: 'logdump_disk_verdict{$ok,verdict="FAIL"}'
        values: '0x5'
      - series: 'logdump_disk_growth_per_second{$disk,counter="ata_pending_sectors"}'
        values: '0.0001x5'
      - series: 'logdump_virtual_drive_state{$ctl,virtual_drive="0",raid_level="RAID 1",state="Degraded"}'
        values: '1x5'
      - series: 'logdump_virtual_drive_state{$ctl,virtual_drive="1",raid_level="RAID 5",state="Optimal"}'
        values: '1x5'
      - series: 'logdump_physical_drive_state{$offline,state="Offline"}'
        values: '1x5'
      - series: 'logdump_physical_drive_state{$ctl,enclosure="252",slot="0",target="0",serial="S0M000000K",state="Online"}'
        values: '1x5'
      - series: 'logdump_physical_drive_state{$ctl,enclosure="252",slot="4",target="4",serial="S0M000004K",state="Rebuild"}'
        values: '1x5'
    alert_rule_test:
      - eval_time: 2m
        alertname: DiskFails
        exp_alerts:
          - exp_labels: {$(echo "$disk" | sed 's/=/: /g'), model: "ACME DH4000SA-1000", verdict: "FAIL"}
            exp_annotations:
              summary: "srv01 controller 0 target 3, ACME DH4000SA-1000 serial S3: FAIL"
      - eval_time: 2m
        alertname: PendingSectorsGrow
        exp_alerts:
          - exp_labels: {$(echo "$disk" | sed 's/=/: /g'), counter: "ata_pending_sectors"}
            exp_annotations:
              summary: "srv01 serial S3: 259.2 more pending sectors per 30 days"
      - eval_time: 2m
        alertname: VirtualDriveNotOptimal
        exp_alerts:
          - exp_labels: {$(echo "$ctl" | sed 's/=/: /g'), virtual_drive: "0", raid_level: "RAID 1", state: "Degraded"}
            exp_annotations:
              summary: "srv01 controller 0 virtual drive 0 (RAID 1): Degraded"
      - eval_time: 2m
        alertname: DriveFailedOrOffline
        exp_alerts:
          - exp_labels: {$(echo "$offline" | sed 's/=/: /g'), state: "Offline"}
            exp_annotations:
              summary: "srv01 controller 0 drive 252:1 target 1 serial S0M000001K: Offline"
YML
(cd "$w" && promtool test rules test.yml) > "$w/test.txt" 2>&1 || fail "$(cat "$w/test.txt")"
echo "alert_rules: the man page's rules fire on a failing disk, a degraded array and an offline drive, and only there"
