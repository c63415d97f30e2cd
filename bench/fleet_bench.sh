#!/usr/bin/env bash
# Times the fleet playbook over N simulated hosts (default 50) against one
# host, and prints the ratio (goal: N hosts within 3x the time of one).
# The hosts are made as the fleet test makes them (fleet/tests/hosts.sh):
# each with its own vendor directory and namespace, a full run of one
# controller with one SAS disk. Both runs use fleet/ansible.cfg and the
# role's defaults (a look at each running program every 15 s), and write
# the records and the report, as a real run does.
#
# Usage (as root): bench/fleet_bench.sh [BUILD_DIR [HOSTS]]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
hosts=${2:-50}
fleet=$(cd "$(dirname "$0")/../fleet" && pwd)
[ "$(id -u)" = 0 ] || { echo "fleet_bench: must run as root (the hosts' namespaces)" >&2; exit 2; }
for f in logdump64 raidcli_sim libraidstor_sim64.so; do
  [ -e "$build/$f" ] || { echo "fleet_bench: $build/$f not built" >&2; exit 2; }
done
case_dir=$(mktemp -d /var/tmp/logdump-fleet-bench.XXXXXX)
trap '[ -n "${BENCH_KEEP:-}" ] || rm -rf "$case_dir"' EXIT
fail() { echo "fleet_bench: FAIL: $*" >&2; exit 1; }
# shellcheck source=fleet/tests/hosts.sh
. "$fleet/tests/hosts.sh"

fleet_inventory "$case_dir/out"
for i in $(seq -w 1 "$hosts"); do
  make_host "h$i" 64 "" yes
done
printf '  children:\n    one:\n      hosts:\n        h%s:\n' "$(seq -w 1 "$hosts" | head -1)" >> "$case_dir/inventory.yml"

# run LABEL [ansible-playbook arguments]: prints the elapsed seconds.
run() {
  local label=$1 t0 t1
  shift
  mkdir -p "$case_dir/out-$label"
  t0=$(date +%s.%N)
  run_playbook "$case_dir/$label.log" 0 "$case_dir/out-$label" "$@"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f\n", b - a }'
}

echo "fleet_bench: load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
one=$(run one -e logdump_fleet_group=one)
many=$(run many)
echo "fleet_bench: load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$(ls "$case_dir/out-many"/*.tar.gz | wc -l)" = "$hosts" ] || fail "not every host's archive was fetched"
ratio=$(awk -v a="$one" -v b="$many" 'BEGIN { printf "%.2f", b / a }')
printf 'fleet_bench: 1 host %.1f s, %d hosts %.1f s: ratio %s (goal: at most 3)\n' "$one" "$hosts" "$many" "$ratio"
