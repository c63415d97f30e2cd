#!/usr/bin/env bash
# Writes the controller logs of a large server into DIR through the
# simulated CLI, as logdump saves them: 4 controllers x 240 SAS drives, in
# 60 RAID-5s of four drives each (two degraded, a drive offline, one
# rebuilding), and 10,000 events per controller besides those of its start
# (4,000 unrecovered-read sense events on 40 drives, 6,000 patrol-read
# progress events). Given a SCENARIO, writes instead the logs of each
# controller that it declares (bench/fleet_report_bench.sh).
#
#   bench/controller_logs.sh BUILD_DIR DIR [SCENARIO]
set -euo pipefail
build=$1 dir=$2
cli=$build/raidcli_sim
[ -x "$cli" ] || { echo "controller_logs.sh: $cli not built (cmake --build $build --target raidcli_sim)" >&2; exit 2; }

# save_logs SCENARIO: the seven logs of each of its controllers, as
# logdump saves them.
save_logs() {
  local c
  while read -r c; do
    LOGDUMP_SIM_SCENARIO=$1 save_controller "$c"
  done < <(awk '$1 == "controller" { print $2 }' "$1")
}
save_controller() {
  local c=$1
  "$cli" -fwtermlog -dsply -a"$c" > "$dir/Controller_${c}_fwtermlog.log"
  "$cli" -cfgdsply -a"$c" > "$dir/Controller_${c}_cfgdsply.log"
  "$cli" -adpallinfo -a"$c" > "$dir/Controller_${c}_adpallinfo.log"
  "$cli" -pdlist -a"$c" > "$dir/Controller_${c}_pdlist.log"
  "$cli" -ldinfo -Lall -a"$c" > "$dir/Controller_${c}_ldinfo.log"
  "$cli" -ldpdinfo -a"$c" > "$dir/Controller_${c}_ldpdinfo.log"
  "$cli" -adpeventlog -getevents -f "$dir/controller_${c}_Flashrom.log" -a"$c" > /dev/null
}

if [ -n "${3:-}" ]; then
  save_logs "$3"
  exit 0
fi
scenario=$dir/.controllers.scn
for c in 0 1 2 3; do
  echo "controller $c"
  for ((id = 0; id < 240; id++)); do echo "device $c $id sas"; done
  for ((v = 0; v < 60; v++)); do
    state=Optimal
    ((v < 2)) && state=Degraded
    echo "vd $c $v raid 5 drives \"$((4 * v)) $((4 * v + 1)) $((4 * v + 2)) $((4 * v + 3))\" state $state"
  done
  echo "pd $c 1 state Offline media-errors 22 predictive-failures 1"
  echo "pd $c 6 state Rebuild progress 37"
  for ((d = 0; d < 40; d++)); do
    echo "event $c 2024-06-01T00:00:00 pd $d cdb \"28 00 0a 1b 2c 30 00 00 08 00\" sense 3/11/00 repeat 100 every 600"
  done
  echo "event $c 2024-05-01T00:00:00 pd 0 class -1 text \"Patrol Read progress on {pd} is 50%\" repeat 6000 every 300"
done > "$scenario"
save_logs "$scenario"
rm -f "$scenario"
