#!/usr/bin/env bash
# The report's golden outputs: the text, JSON, web page, metrics and
# drive-stats file of logdump-report over fixed inputs, compared byte for
# byte with the files of report/tests/golden/. With --update they are rewritten instead, after
# a change of output that was reviewed (git diff shows it).
#
#   report/tests/golden.sh [--update] BUILD_DIR
#   report/tests/golden.sh [--update] REPORT E2E_COLLECT SOURCE_DIR
#
# BUILD_DIR needs the targets logdump-report and e2e-collect built.
#
# The inputs, each judged by two runs of the report (the text with --html,
# --metrics and --drive-stats, then --json):
#   - every sim/scenarios/*.scn collected by logdump64 -e through the
#     end-to-end harness (big.scn with -n, a drive-log-only run: its
#     internal logs alone would be 13 GB); demo.scn also without -e
#     (demo-plain);
#   - history: health.scn collected twice, a month apart, its counters
#     raised in between (tests/data/health_month2.scn);
#   - fixtures: a directory of one drive log per page of tests/data/*.hex
#     and an archive of the SATA drive logs tests/data/sata_*.log, in one
#     report;
#   - fleetrun: failures.scn collected as logdump64 -n, archived as the
#     fleet role does with its run.json and console.txt (the role's own
#     code writes them), the run stopped at its time limit in its last,
#     red line, and one drive log left from an earlier run.
# What varies between two collections of one scenario is fixed: every file
# is dated by the script, the report runs in the work directory on relative
# paths (the host is the directory's name), with the test drive database
# (the installed one differs between machines). Neither the collector nor
# the simulated CLI writes the time of the run into a file, and the report
# reads no clock: it judges by the files' times and the controller's own.
#
# big.scn keeps its text and metrics, and no drive-stats file; its JSON
# and web page (about 800 KB) only their SHA-256 (big.sha256). runs.txt holds each run's exit status
# and standard error. The web pages are NAME.html.txt: kept as text, and
# taken so by the duplicate finder (which would pair every two pages).
#
# Exit status 77 (skipped) when not root (the collections need a private
# mount namespace).
set -euo pipefail
update=false
if [ "${1:-}" = --update ]; then
  update=true
  shift
fi
here=$(cd "$(dirname "$0")" && pwd)
if [ $# = 1 ]; then
  b=$(cd "$1" && pwd)
  set -- "$b/report/logdump-report" "$b/e2e-collect" "$here/../.."
fi
[ $# = 3 ] || {
  echo "usage: golden.sh [--update] BUILD_DIR | golden.sh [--update] REPORT E2E_COLLECT SOURCE_DIR" >&2
  exit 2
}
fail() { echo "golden: FAILED: $*" >&2; exit 1; }
for p in "$1" "$2"; do [ -x "$p" ] || fail "$p is not built"; done
report=$(realpath "$1") collect=$(realpath "$2") src=$(cd "$3" && pwd)
golden=$src/report/tests/golden data=$src/report/tests/data
[ "$(id -u)" = 0 ] || { echo "golden: SKIPPED: needs root for a private mount namespace"; exit 77; }
export LC_ALL=C TZ=UTC

# Outside /tmp, which the harness's namespace replaces.
w=$(mktemp -d /var/tmp/report-golden.XXXXXX)
trap 'rm -rf "$w"' EXIT
in=$w/in out=$w/out
mkdir -p "$in" "$out"
cp "$data/drivedb_test.txt" "$in/drivedb.h"
at="2026-12-08 07:40:00 UTC"

# stamp DIR TIME: every file of DIR (and DIR) of that time.
stamp() { find "$1" -exec touch -h -d "$2" {} +; }

# collect NAME SCENARIO [ARG...]: logdump64's collection as $in/NAME.
collect() {
  local name=$1 scn=$2 s=0
  shift 2
  "$collect" "$w/run-$name" "$scn" "$@" > /dev/null 2>&1 || s=$?
  [ "$s" -le 2 ] || fail "logdump64 $* on $scn: status $s: $(tail -5 "$w/run-$name/console.txt" 2> /dev/null)"
  mv "$w/run-$name/otmp/TMP/KESTRA" "$in/$name"
  stamp "$in/$name" "$at"
}

# run NAME [OPTION...] INPUT...: the text, web page, metrics and drive-stats
# file of one run, the JSON of another (BIG=1: their digests only, and no
# drive-stats file).
run() {
  local name=$1 s=0 csv=()
  shift
  [ "${BIG:-}" = 1 ] || csv=(--drive-stats "$out/$name.csv")
  (cd "$in" && "$report" --drivedb drivedb.h --html "$out/$name.html.txt" --metrics "$name.prom" "${csv[@]}" "$@") \
    > "$out/$name.txt" 2> "$w/err" || s=$?
  mv "$in/$name.prom" "$out/"
  { echo "$name: $* -> status $s"; sed 's/^/  /' "$w/err"; } >> "$out/runs.txt"
  (cd "$in" && "$report" --drivedb drivedb.h --json "$@") > "$out/$name.json" 2> /dev/null || true
  if [ "${BIG:-}" = 1 ]; then
    (cd "$out" && sha256sum "$name.json" "$name.html.txt" > "$name.sha256" && rm "$name.json" "$name.html.txt")
  fi
}

# disk NAME INPUT SERIAL [--json]: one disk's full decode.
disk() {
  local name=$1 input=$2 serial=$3 s=0
  shift 3
  (cd "$in" && "$report" --drivedb drivedb.h --disk "$serial" "$@" "$input") > "$out/$name" 2> "$w/err" || s=$?
  { echo "$name: --disk $serial $* $input -> status $s"; sed 's/^/  /' "$w/err"; } >> "$out/runs.txt"
}

for scn in "$src"/sim/scenarios/*.scn; do
  name=$(basename "$scn" .scn)
  if [ "$name" = big ]; then collect "$name" "$scn" -n; else collect "$name" "$scn" -e; fi
done
collect demo-plain "$src/sim/scenarios/demo.scn"

# Two collections of the health system (the fleet's <host>-<date> names).
mkdir "$w/month2"
cp -r "$src/sim/scenarios/." "$w/month2/"
cat "$data/health_month2.scn" >> "$w/month2/health.scn"
collect health-2026-10-31 "$w/month2/health.scn" -e
stamp "$in/health-2026-10-31" "2026-10-31 12:00 UTC"
cp -r "$in/health" "$in/health-2026-10-01"
stamp "$in/health-2026-10-01" "2026-10-01 12:00 UTC"

# One drive log per page: <PageNN> or <SubpageNN.MM> by the file's name.
mkdir "$in/pages" "$w/sata"
n=0
for f in "$data"/page_*.hex; do
  base=$(basename "$f" .hex) code=${base#page_}
  code=${code%%_*}
  if [ ${#code} = 4 ]; then tag="Subpage${code:0:2}.${code:2:2}"; else tag="Page$code"; fi
  product=$(echo "${base#page_}" | tr a-z A-Z)
  {
    printf 'Device code   : %-8s%-16.16s%-4s\r\n' GOLDFIX "$product" 0001
    printf 'Serial number : %-20s\r\n' "$(printf 'GOLD%04d' "$n")"
    printf '<%s>\r\n' "$tag"
    cat "$f"
  } > "$in/pages/$(printf 'MA00%02x.log' "$n")"
  n=$((n + 1))
done
: > "$in/pages/logdperr.txt"
stamp "$in/pages" "$at"
n=0
for f in "$data"/sata_*.log; do
  cp "$f" "$w/sata/$(printf 'MA01%02x.log' "$n")"
  n=$((n + 1))
done
: > "$w/sata/logdperr.txt"
stamp "$w/sata" "$at"
tar --sort=name --owner=0 --group=0 --numeric-owner -C "$w" -cf - sata | gzip -n > "$in/sata.tar.gz"

# A fleet run: the role's record of it, by the role's own code (its
# Ansible import stood in for).
collect fleet "$src/sim/scenarios/failures.scn" -n
mkdir "$w/fleetrun"
mv "$in/fleet" "$w/fleetrun/KESTRA"
python3 - "$src/fleet/roles/logdump/library" "$w/run-fleet/console.txt" "$w/fleetrun/KESTRA" << 'PY'
import sys, types
for m in ("ansible", "ansible.module_utils", "ansible.module_utils.basic"):
    sys.modules[m] = types.ModuleType(m)
sys.modules["ansible.module_utils.basic"].AnsibleModule = None
sys.path.insert(0, sys.argv[1])
import logdump_run
raw = open(sys.argv[2], "rb").read()
# Stopped at its time limit before it ended its last line.
raw = raw[: raw.rindex(b"\n")]
facts = {"program": "logdump64", "version": "Ver01-10-00", "width": 64, "arguments": ["-n"],
         "exit_status": 124, "time_limit_exceeded": True,
         "start": "2026-12-08T07:40:00+00:00", "end": "2026-12-08T07:45:00+00:00"}
logdump_run.record(sys.argv[3], facts, raw)
PY
stamp "$w/fleetrun/KESTRA" "2026-12-08 07:40:30 UTC"
touch -d "2026-11-08 07:40:00 UTC" "$w/fleetrun/KESTRA/MA0001.log"
tar --sort=name --owner=0 --group=0 --numeric-owner -C "$w/fleetrun" -cf - KESTRA |
  gzip -n > "$in/fleetrun-2026-12-08.tar.gz"

for scn in "$src"/sim/scenarios/*.scn; do
  name=$(basename "$scn" .scn)
  if [ "$name" = big ]; then BIG=1 run "$name" "$name"; else run "$name" "$name"; fi
done
run demo-plain demo-plain
run history health-2026-10-01 health-2026-10-31
run fixtures pages sata.tar.gz
run fleetrun fleetrun-2026-12-08.tar.gz
disk disk-demo-X3K0A00JTB00.txt demo X3K0A00JTB00
disk disk-degraded-S0M000001K.txt degraded S0M000001K
disk disk-mixed-ZX0A1B2C3D.txt mixed ZX0A1B2C3D
disk disk-history-S0M1H000000000000006.txt health-2026-10-31 S0M1H000000000000006
disk disk-fixtures-GOLD0013.json pages GOLD0013 --json
disk disk-fixtures-ZPH0000000000000960A.txt sata.tar.gz ZPH0000000000000960A

if $update; then
  rm -rf "$golden"
  cp -r "$out" "$golden"
  echo "golden: rewrote $(ls "$golden" | wc -l) files in $golden; review them with git diff"
  exit 0
fi
bad=0
for f in $( (ls "$golden" 2> /dev/null; ls "$out") | sort -u); do
  if [ ! -e "$golden/$f" ]; then
    echo "golden: $f is new (no golden file)"
  elif [ ! -e "$out/$f" ]; then
    echo "golden: $f was not written"
  elif ! cmp -s "$golden/$f" "$out/$f"; then
    echo "golden: $f differs:"
    diff -u "$golden/$f" "$out/$f" | head -40 || true
  else
    continue
  fi
  bad=1
done
[ "$bad" = 0 ] || fail "the outputs above differ from report/tests/golden/ (if the change is meant:" \
  "report/tests/golden.sh --update BUILD_DIR, then review git diff)"
echo "golden: OK ($(ls "$out" | wc -l) files byte for byte)"
