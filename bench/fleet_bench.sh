#!/usr/bin/env bash
# Times the fleet playbook over N simulated hosts (default 50) against one
# host, in two modes, and prints each ratio against its goal:
#
#   computing: each host a full run of one controller with one SAS disk,
#     whose processes share this machine's processors with Ansible (goal:
#     N hosts within 3x the time of one);
#   waiting: the same hosts, but each run waits FLEET_BENCH_WAIT seconds
#     (default 100) on its controller (the simulator's delay statement on
#     the disk's INQUIRY), as a host's run does, so that the difference is
#     what the fleet run itself costs (goal: N hosts within 1.5x one).
#     With the role's look at a running program every 60 s, such a run
#     (about 110 s) is seen to end at the second look; a host that the
#     fleet run delays by more than 10 s is seen a look later.
#
# The hosts are made as the fleet test makes them (fleet/tests/hosts.sh):
# each with its own vendor directory and namespace. Every run uses
# fleet/ansible.cfg and the role's defaults (a look at each running program
# every logdump_poll_interval seconds) and writes the records and the
# report, as a real run does. Besides the elapsed times, each mode prints
# the processor time of the control machine (ansible-playbook, its workers
# and the report: all that the run waited for, less the modules run on the
# hosts) and of the modules run on the hosts, per host added to the run;
# here the hosts are this machine too, which a real fleet's are not.
#
# Usage (as root): bench/fleet_bench.sh [BUILD_DIR [HOSTS]]
# FLEET_BENCH_MODES: the modes to run (default "computing waiting").
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
hosts=${2:-50}
wait_s=${FLEET_BENCH_WAIT:-100}
modes=${FLEET_BENCH_MODES:-computing waiting}
fleet=$(cd "$(dirname "$0")/../fleet" && pwd)
[ "$(id -u)" = 0 ] || { echo "fleet_bench: must run as root (the hosts' namespaces)" >&2; exit 2; }
for f in logdump64 raidcli_sim libraidstor_sim64.so; do
  [ -e "$build/$f" ] || { echo "fleet_bench: $build/$f not built" >&2; exit 2; }
done
root=$(mktemp -d /var/tmp/logdump-fleet-bench.XXXXXX)
trap '[ -n "${BENCH_KEEP:-}" ] || rm -rf "$root"' EXIT
fail() { echo "fleet_bench: FAIL: $*" >&2; exit 1; }
shopt -s nullglob
# shellcheck source=fleet/tests/hosts.sh
. "$fleet/tests/hosts.sh"
host_cpu=yes

# seconds < TEXT: the sum of the shell's "times" figures (0m1.230000s).
seconds() {
  awk '{ for (i = 1; i <= NF; i++) { split($i, p, "m"); s += p[1] * 60 + p[2] } } END { printf "%.2f\n", s }'
}

# run LABEL [ansible-playbook arguments]: prints the elapsed seconds, the
# processor seconds of all that the run waited for, and those of the
# modules run on the hosts.
run() {
  local label=$1 t0 t1
  shift
  mkdir -p "$case_dir/out-$label"
  rm -f "$case_dir"/*/cpu.txt
  t0=$(date +%s.%N)
  run_playbook "$case_dir/$label.log" 0 "$case_dir/out-$label" "$@"
  t1=$(date +%s.%N)
  # Not in a pipeline or a $(...): those are new processes, with no
  # children of their own yet.
  times > "$case_dir/times.txt"
  printf '%s %s %s\n' "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')" \
    "$(tail -1 "$case_dir/times.txt" | seconds)" "$(cat /dev/null "$case_dir"/*/cpu.txt | seconds)"
}

# mode NAME GOAL SCENARIO-EXTRA: the mode's hosts, its two runs, its lines.
mode() {
  local name=$1 goal=$2 extra=$3 r one_s one_cpu one_hosts many_s many_cpu many_hosts
  case_dir=$root/$name
  mkdir -p "$case_dir"
  fleet_inventory "$case_dir/out"
  for i in $(seq -w 1 "$hosts"); do
    make_host "h$i" 64 "$extra" yes $((wait_s + 600))
  done
  printf '  children:\n    one:\n      hosts:\n        h%s:\n' "$(seq -w 1 "$hosts" | head -1)" >> "$case_dir/inventory.yml"
  echo "fleet_bench: $name: load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
  r=$(run one -e logdump_fleet_group=one)
  read -r one_s one_cpu one_hosts <<< "$r"
  r=$(run many)
  read -r many_s many_cpu many_hosts <<< "$r"
  echo "fleet_bench: $name: load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  local archives=("$case_dir/out-many"/*.tar.gz)
  [ "${#archives[@]}" = "$hosts" ] || fail "$name: not every host's archive was fetched"
  awk -v name="$name" -v n="$hosts" -v goal="$goal" -v a="$one_s" -v b="$many_s" \
      -v ac="$one_cpu" -v ah="$one_hosts" -v bc="$many_cpu" -v bh="$many_hosts" 'BEGIN {
    r = b / a
    printf "fleet_bench: %s: 1 host %.1f s, %d hosts %.1f s: ratio %.2f (goal: at most %s) %s\n", \
      name, a, n, b, r, goal, (r <= goal ? "met" : "MISSED")
    printf "fleet_bench: %s: processor time of the control machine: 1 host %.1f s, %d hosts %.1f s (%.2f s per host added); of the modules on the hosts: %.1f s, %.1f s (%.2f s per host added)\n", \
      name, ac - ah, n, bc - bh, ((bc - bh) - (ac - ah)) / (n - 1), ah, bh, (bh - ah) / (n - 1)
  }'
}

((hosts > 1)) || { echo "fleet_bench: HOSTS must be 2 or more" >&2; exit 2; }
for m in $modes; do
  case $m in
  computing) mode computing 3 "" ;;
  waiting)
    echo "fleet_bench: waiting: each run waits $wait_s s on its controller"
    mode waiting 1.5 "delay 0 0 inquiry ms $((wait_s * 1000))"
    ;;
  *) echo "fleet_bench: unknown mode $m (computing, waiting)" >&2; exit 2 ;;
  esac
done
