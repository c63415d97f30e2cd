#!/usr/bin/env bash
# Speed and memory of logdump-report over a fleet's archives: 2,000 hosts of
# 50 SAS disks with two collections each (100,000 disks), one .tar.gz per
# host and collection as the fleet run names them (<host>-<date>.tar.gz),
# so that the report judges each host's newest collection and follows its
# disks back to the first. Goals: the text in under 3 s with a peak
# resident set under 300 MB, the JSON and --drive-stats in under 5 s. The
# same figures (no goals) come first for the first 200 hosts (10,000
# disks); the large fleet is left out, with a line that says so, when its
# peak, grown from the smaller fleet's, would take more than three
# quarters of the memory available. cat of the same archives is timed in
# the same run.
#
#   bench/fleet_report_bench.sh [BUILD_DIR]     (default: build)
#
# Each archive holds what a full run of the fleet role leaves: the drive
# logs (report_gen host: invented models and firmware, a serial of its own
# per disk, in the second collection a few disks in a hundred replaced or
# swapped with a neighbour, a hot spare gone on one host in twenty), the
# seven controller logs that the simulated CLI writes of the same disks in
# four RAID-6s (bench/controller_logs.sh), an empty error log, console.txt
# and run.json. The fleet is made once, in about six minutes on 2 processors,
# and kept in BUILD_DIR/bench/fleet-<hosts>x<disks> (about 80 MB) until
# report_gen, the simulated CLI or the controller logs' script change.
# BENCH_RUNS: timed runs of each command, the fastest counts and the
# slowest is shown beside it (default 3). FLEET_HOSTS, FLEET_DISKS and
# FLEET_SMALL_HOSTS change the fleet (for trying the script; the goals are
# those of the default fleet).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${BENCH_RUNS:-3}
hosts=${FLEET_HOSTS:-2000} disks=${FLEET_DISKS:-50} small=${FLEET_SMALL_HOSTS:-200}
me=fleet_report_bench.sh
report=""
for p in "$build/logdump-report" "$build/report/logdump-report"; do
  [ -x "$p" ] && { report=$p; break; }
done
gen=$build/bench/report_gen cli=$build/raidcli_sim
[ -n "$report" ] || { echo "$me: logdump-report not built in $build" >&2; exit 2; }
[ -x "$gen" ] || { echo "$me: $gen not built (cmake --build $build --target report_gen)" >&2; exit 2; }
[ -x "$cli" ] || { echo "$me: $cli not built (cmake --build $build --target raidcli_sim)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "$me: /usr/bin/time missing (Debian package time)" >&2; exit 2; }
((small <= hosts)) || small=$hosts
dates=(2026-01-12 2026-04-12)

# The fleet, made again when what makes it changed.
cache=$build/bench/fleet-${hosts}x${disks}
key="$(cksum < "$gen") $(cksum < "$cli") $(cksum < bench/controller_logs.sh) ${dates[*]}"
# archive HOST COLLECTION: one archive of the fleet into $new.
archive() {
  local h=$1 c=$2 s name start
  printf -v name 'node%04d-%s.tar.gz' $((h + 1)) "${dates[c]}"
  # The hosts' runs start 10 s apart from 02:00 UTC.
  start=$(($(date -u -d "${dates[c]} 02:00" +%s) + 10 * h))
  s=$new/stage.$h.$c
  mkdir -p "$s/KESTRA"
  "$gen" host "$s/KESTRA" "$h" "$c" "$disks" "$start" > "$s/scenario.scn"
  bench/controller_logs.sh "$build" "$s/KESTRA" "$s/scenario.scn"
  touch -d "@$((start + 6))" "$s/KESTRA"/*
  tar -czf "$new/$name" -C "$s" KESTRA
  rm -rf "$s"
}
if [ "$(cat "$cache/key" 2> /dev/null)" != "$key" ]; then
  new=$cache.new
  rm -rf "$cache" "$new"
  mkdir -p "$new"
  echo "$me: making the fleet of $hosts hosts x $disks disks, ${#dates[@]} collections each, into $cache (once) ..."
  t0=$(date +%s)
  pids=()
  for w in 0 1; do
    (for ((h = w; h < hosts; h += 2)); do
      for c in "${!dates[@]}"; do archive "$h" "$c"; done
    done) &
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || { echo "$me: making the fleet failed" >&2; exit 1; }; done
  echo "$key" > "$new/key"
  mv "$new" "$cache"
  echo "$me: made in $(($(date +%s) - t0)) s"
fi
all=("$cache"/node*.tar.gz)
((${#all[@]} == hosts * ${#dates[@]})) || { echo "$me: $cache holds ${#all[@]} archives" >&2; exit 1; }
# Sorted by name: the first hosts' archives come first.
few=("${all[@]:0:$((small * ${#dates[@]}))}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
drive_stats=no
"$report" --help 2>&1 | grep -q -- '--drive-stats' && drive_stats=yes

# timed CMD...: "best slowest peak" of $runs runs (ms, ms, kB); a report's
# status 1 or 2 (WARN, FAIL) is a normal result, any other ends the bench.
timed() {
  local best=0 worst=0 peak=0 e m s i t0 t1
  for ((i = 0; i < runs; i++)); do
    s=0
    t0=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$work/time" "$@" > /dev/null || s=$?
    t1=$EPOCHREALTIME
    ((s <= 2)) || { echo "$me: $* ended with $s" >&2; exit 1; }
    m=$(tail -1 "$work/time")
    e=$(((${t1/./} - ${t0/./}) / 1000))
    ((best == 0 || e < best)) && best=$e
    ((e > worst)) && worst=$e
    ((m > peak)) && peak=$m
  done
  echo "$best $worst $peak"
}

# fleet LABEL GOALS FILES...: the figures of one fleet; GOALS yes prints
# the goals and whether each is met.
fleet() {
  local label=$1 goals=$2 n bytes unpacked c t j d=""
  shift 2
  n=$(($# / ${#dates[@]}))
  bytes=$(cat "$@" | wc -c)  # and into the page cache
  unpacked=$(gzip -lq "$@" | awk '{ s += $2 } END { printf "%d", s }')
  c=$(timed cat "$@")
  t=$(timed "$report" "$@")
  j=$(timed "$report" --json "$@")
  [ "$drive_stats" = no ] || d=$(timed "$report" --drive-stats "$work/fleet.csv" "$@")
  peak_kb=$(echo "$t $j $d" | awk '{ for (i = 3; i <= NF; i += 3) if ($i > m) m = $i } END { print m + 0 }')
  awk -v label="$label" -v goals="$goals" -v hosts="$n" -v disks="$disks" -v files=$# -v b="$bytes" -v u="$unpacked" \
      -v c="$c" -v t="$t" -v j="$j" -v d="$d" -v runs="$runs" -v cpus="$(nproc)" 'BEGIN {
    split(c, C); split(t, T); split(j, J); split(d, D)
    n = hosts * disks
    printf "%s: %d hosts x %d SAS disks, 2 collections each (%d disks): %d archives, %.1f MB (%.2f GB unpacked)\n", \
      label, hosts, disks, n, files, b / 1e6, u / 1e9
    printf "  %d processors; fastest (and slowest) of %d runs, page cache warm\n", cpus, runs
    printf "  cat of the archives            %6d ms\n", C[1]
    line("logdump-report (text)", T, 3000, 300)
    line("logdump-report --json", J, 5000, 0)
    if (d == "") printf "  logdump-report --drive-stats   not available (logdump-report --help does not list it)\n"
    else line("logdump-report --drive-stats", D, 5000, 0)
  }
  function line(what, F, ms, mb,    g) {
    printf "  %-30s %6d ms (slowest %d)  peak %5.0f MB (%.1f kB a disk)", what, F[1], F[2], F[3] / 1024, F[3] / n
    if (goals == "yes") {
      g = F[1] < ms && (mb == 0 || F[3] / 1024 < mb)
      printf "  goal: under %.0f s%s: %s", ms / 1000, mb ? sprintf(" and %d MB", mb) : "", g ? "met" : "MISSED"
    }
    printf "\n"
  }'
}

echo "$me: load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
fleet "smaller fleet" no "${few[@]}"
# The large fleet only where its peak, as the smaller one's grows with the
# hosts, leaves this machine room to spare: others may share it.
need=$((peak_kb * hosts / small / 1024)) avail=$(($(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo) / 1024))
if ((need > avail * 3 / 4)); then
  echo "fleet: $hosts hosts x $disks disks not measured: about $need MB expected at the peak, $avail MB available"
else
  fleet "fleet" yes "${all[@]}"
fi
echo "$me: load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
