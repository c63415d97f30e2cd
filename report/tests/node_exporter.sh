#!/usr/bin/env bash
# The report's metrics through a real node_exporter: logdump64 collects the
# health system (sim/scenarios/health.scn) in a private mount namespace,
# logdump-report --metrics writes logdump.prom into a directory of its own,
# promtool checks it, and node_exporter, started on 127.0.0.1 at a free port
# with only its textfile collector on that directory, serves it: every
# disk's verdict must come back, with no scrape error. The exporter is
# stopped by its process id whatever the outcome.
#
#   report/tests/node_exporter.sh REPORT E2E_COLLECT SOURCE_DIR
#
# Exit status 77 (skipped) when not root (the namespace needs it).
set -euo pipefail
report=$1 collect=$2
src=$(cd "$3" && pwd)

skip() { echo "node_exporter: SKIPPED: $*"; exit 77; }
fail() { echo "node_exporter: FAILED: $*" >&2; exit 1; }

for p in "$report" "$collect"; do [ -e "$p" ] || fail "$p is not built"; done
[ "$(id -u)" = 0 ] || skip "needs root for a private mount namespace"
for p in promtool prometheus-node-exporter curl; do
  command -v "$p" > /dev/null || fail "$p is missing (scripts/setup.sh installs prometheus, prometheus-node-exporter, curl)"
done

w=$(mktemp -d /var/tmp/report-exporter.XXXXXX)
exporter=""
stop() {
  if [ -n "$exporter" ]; then
    kill "$exporter" 2> /dev/null || true
    wait "$exporter" 2> /dev/null || true
  fi
  rm -rf "$w"
}
trap stop EXIT

"$collect" "$w" "$src/sim/scenarios/health.scn" ||
  fail "logdump64 on the health system: $(tail -5 "$w/console.txt")"
mkdir "$w/textfile"
status=0
"$report" --metrics "$w/textfile/logdump.prom" "$w/otmp/TMP/KESTRA" > "$w/report.txt" 2>&1 || status=$?
[ "$status" = 2 ] || fail "logdump-report ended with $status, not 2 (some disk FAILs): $(cat "$w/report.txt")"
promtool check metrics < "$w/textfile/logdump.prom" > "$w/promtool.txt" 2>&1 ||
  fail "promtool refuses the metrics: $(cat "$w/promtool.txt")"
# A second report's file in the same directory: its own series, no collision.
mkdir "$w/empty"
"$report" --metrics "$w/textfile/other.prom" "$w/empty" > /dev/null 2>&1 || true

# A free port: the kernel picks one; should another program take it before
# the exporter does, the exporter fails and the next try picks again.
for try in 1 2 3; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$w/textfile" > "$w/exporter.log" 2>&1 &
  exporter=$!
  for _ in $(seq 50); do
    curl -sf --max-time 2 "http://127.0.0.1:$port/metrics" -o "$w/metrics.txt" && break
    kill -0 "$exporter" 2> /dev/null || break
    sleep 0.2
  done
  [ -s "$w/metrics.txt" ] && break
  kill "$exporter" 2> /dev/null || true
  wait "$exporter" 2> /dev/null || true
  exporter=""
done
[ -s "$w/metrics.txt" ] || fail "node_exporter did not answer: $(tail -5 "$w/exporter.log")"

grep -qx 'node_textfile_scrape_error 0' "$w/metrics.txt" ||
  fail "scrape error: $(grep -E 'node_textfile_scrape_error|level=error' "$w/metrics.txt" "$w/exporter.log")"
# The health system's disks by target: healthy, hot, predicted failure,
# failed self-tests, phy errors, read errors. The verdict is a state set:
# 1 for the disk's verdict, 0 for the other three.
expected=(OK FAIL FAIL FAIL WARN WARN)
for dev in "${!expected[@]}"; do
  line=$(grep "^logdump_disk_verdict{.*target=\"$dev\".*} 1\$" "$w/metrics.txt" || true)
  [ -n "$line" ] || fail "no verdict of target $dev served"
  case $line in *'verdict="'"${expected[$dev]}"'"'*) ;; *) fail "target $dev: $line, not ${expected[$dev]}" ;; esac
  case $line in *'host="KESTRA"'*'serial="'?*'"'*) ;; *) fail "labels missing: $line" ;; esac
  # (node_exporter serves the labels sorted by name.)
  grep "^logdump_disk_info{.*target=\"$dev\".*} 1\$" "$w/metrics.txt" | grep -q 'protocol="SCSI"' ||
    fail "no info series of target $dev"
done
[ "$(grep -c '^logdump_disk_verdict{' "$w/metrics.txt")" = "$((4 * $(grep -c '^logdump_disk_info{' "$w/metrics.txt")))" ] ||
  fail "not four verdict states per disk"
grep -qx 'logdump_report_success{file="logdump.prom"} 1' "$w/metrics.txt" || fail "the report's success is not served"
grep -qx 'logdump_report_success{file="other.prom"} 1' "$w/metrics.txt" ||
  fail "the second report's success is not served"
echo "node_exporter: served ${#expected[@]} disks' verdicts from port $port with no scrape error"
