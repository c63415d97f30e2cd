#!/usr/bin/env bash
# End-to-end test of the fleet playbook (as root; argument: the build
# directory). Hosts on this machine, each with its own vendor directory,
# scenario and log directory: alpha collects everything (the 32-bit program
# when the build has it, its width taken from its vendor files), bravo's CLI
# fails, charlie has no storage library, delta's CLI hangs past the time
# limit; echo is given width 32 for 64-bit vendor files and foxtrot width
# 48, and offline cannot be reached. Each local host runs its modules in a
# mount namespace of its own, where its directories stand at /o_tmp and
# /tmp, through a wrapper given as its Python interpreter.
# Runs, each checked in fleet-<date>.json: the whole fleet twice (the second
# run finds the programs in place and replaces the day's archives); bravo
# alone (--limit: the others keep their records, the report covers every
# archive of the day); and, into a new directory that holds a stale record,
# every host but offline failing before the run (no program to copy), with
# offline left out; then alpha on two days, its counters raised in between
# (the day's report shows the growth). The hosts' directories lie in
# /var/tmp, outside the paths their namespaces mount over (a checkout may be
# under /tmp); they are removed when the test passes.
set -euo pipefail
build=$(cd "$1" && pwd)
fleet=$(cd "$(dirname "$0")/.." && pwd)
case_dir=$(mktemp -d /var/tmp/logdump-fleet.XXXXXX)
mkdir -p "$case_dir/out"
fail() { echo "fleet-test: FAIL: $* (kept $case_dir)" >&2; exit 1; }

width32=64
[ -x "$build/logdump" ] && [ -f "$build/libraidstor_sim32.so" ] && width32=32

scenario='controller 0
device 0 0 sas vendor ACMEDRV product DK600SA0006 rev 0004 serial "FLEET0000001"
page 0 0 0x0d "0d00000c000003020024000103020044"'

# host width scenario-extra has-library [time-limit [inventory-width]]
make_host() {
  local h=$1 width=$2 extra=$3 lib=$4 limit=${5:-120} dir="$case_dir/$1"
  mkdir -p "$dir/vendor" "$dir/tmp" "$dir/otmp/TMP/KESTRA" "$dir/archive"
  printf '%s\n%s\n' "$scenario" "$extra" > "$dir/scenario.scn"
  if [ "$width" = 64 ]; then
    cp "$build/raidcli_sim" "$dir/vendor/RaidCli64"
    [ "$lib" = no ] || cp "$build/libraidstor_sim64.so" "$dir/vendor/libraidstor.so.2.52-0"
  else
    cp "$build/raidcli_sim" "$dir/vendor/RaidCli"
    [ "$lib" = no ] || cp "$build/libraidstor_sim32.so" "$dir/vendor/libraidstor.so.2"
  fi
  cat > "$dir/python" <<WRAP
#!/bin/sh
# This host's own /o_tmp and /tmp, for every module run on it; Debian's
# Python, from a directory that the mounts leave in place.
cd /
exec unshare -m sh -c 'mount --bind "\$0/otmp" /o_tmp && mount --bind "\$0/tmp" /tmp && exec /usr/bin/python3 "\$@"' '$dir' "\$@"
WRAP
  chmod 0755 "$dir/python"
  cat >> "$case_dir/inventory.yml" <<INV
    $h:
      logdump_width: ${6-$width}
      logdump_vendor_dir: $dir/vendor
      logdump_archive_dir: $dir/archive
      logdump_time_limit: $limit
      ansible_python_interpreter: $dir/python
      logdump_environment:
        LOGDUMP_SIM_SCENARIO: $dir/scenario.scn
        LOGDUMP_SIM_TRACE: $dir/trace.txt
INV
}

cat > "$case_dir/inventory.yml" <<INV
all:
  vars:
    ansible_connection: local
    ansible_become: false  # the test runs as root already
    logdump_bin_dir: $build
    logdump_fetch_dir: $case_dir/out
  hosts:
    offline:
      ansible_connection: ssh
      ansible_host: 127.0.0.1
      ansible_port: 9
      logdump_vendor_dir: /nonexistent
INV
make_host alpha "$width32" "" yes 120 ""
make_host bravo 64 "cli exit adpcount * 1" yes
make_host charlie 64 "" no
make_host delta 64 "cli sleep adpcount * 60000" yes 2
make_host echo 64 "" yes 120 32
make_host foxtrot 64 "" yes 120 48
sed -i '/logdump_width: *$/d' "$case_dir/inventory.yml"

date=$(date +%Y-%m-%d)
# run expected-status output-directory [ansible-playbook arguments]
run_playbook() {
  local n=$1 expect=$2 out=$3 rc=0
  shift 3
  LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_LOCALHOST_WARNING=0 ANSIBLE_HOST_KEY_CHECKING=0 \
    ANSIBLE_SSH_ARGS='-o ConnectTimeout=5' \
    timeout 300 ansible-playbook -i "$case_dir/inventory.yml" -e "logdump_run_date=$date" \
    -e "logdump_fetch_dir=$out" "$@" "$fleet/site.yml" > "$case_dir/run$n.log" 2>&1 || rc=$?
  [ "$rc" = "$expect" ] || { cat "$case_dir/run$n.log"; fail "run $n: ansible-playbook status $rc, expected $expect"; }
}

# run output-directory
check() {
  python3 - "$case_dir" "$date" "$1" "$build" "$2" <<'PY' || { cat "$case_dir/run$1.log"; fail "run $1: see above"; }
import json, os, sys, tarfile
case, date, n, build, out = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
summary = json.load(open(os.path.join(out, f"fleet-{date}.json")))
six = ["fwtermlog", "cfgdsply", "adpallinfo", "pdlist", "ldinfo", "ldpdinfo"]
controller_logs = {f"KESTRA/Controller_0_{c}.log" for c in six} | {"KESTRA/controller_0_Flashrom.log"}
collected = ["alpha", "bravo", "charlie", "delta"]
# host: (files the archive must hold, files it must not, error-log text, result)
expect = {
    "alpha": (controller_logs | {"KESTRA/MA0000.log", "KESTRA/logdperr.txt"}, set(), "", "exit status 0"),
    "bravo": ({"KESTRA/logdperr.txt"}, controller_logs | {"KESTRA/MA0000.log"},
              " RAID Contoroller is not Found\n", "exit status 0"),
    "charlie": (controller_logs | {"KESTRA/logdperr.txt"}, {"KESTRA/MA0000.log"}, None, "exit status 0"),
    "delta": ({"KESTRA/logdperr.txt"}, controller_logs | {"KESTRA/MA0000.log"}, None, "time limit exceeded"),
}
# host: (result, text in Ansible's error), for the hosts stopped before the run
stopped = {
    "echo": ("failed before the run", "logdump_width is 32, but"),
    "foxtrot": ("failed before the run", "logdump_width"),
    "offline": ("unreachable", "Failed to connect to the host"),
}
if n == 4:  # no program on the control machine; offline outside --limit
    stopped.update({h: ("failed before the run", "Could not find or access") for h in collected})
    stopped["offline"] = ("left out", None)
    collected = []
errors = []
run2 = json.load(open(os.path.join(case, "fleet-run2.json"))) if n == 3 else {}
for host in collected:
    has, lacks, errlog, result = expect[host]
    s = summary.get(host, {})
    if n == 3 and host != "bravo":
        if s != run2.get(host):
            errors.append(f"{host}: record of run 2 not kept: {s}")
        continue
    status = 124 if host == "delta" else 0
    if s.get("result") != result or s.get("status") != status or s.get("stage") != "fetched" or s.get("error"):
        errors.append(f"{host}: summary {s}")
    if not isinstance(s.get("seconds"), float) or not 0 < s["seconds"] < 30:
        errors.append(f"{host}: no timing in {s}")
    if s.get("program_changed") != (n == 1):
        errors.append(f"{host}: program_changed {s.get('program_changed')} in run {n}")
    archive = os.path.join(out, f"{host}-{date}.tar.gz")
    if s.get("archive") != archive or not os.path.isfile(archive):
        errors.append(f"{host}: archive {s.get('archive')}")
        continue
    with tarfile.open(archive) as t:
        names = set(t.getnames())
        if not has <= names or names & lacks:
            errors.append(f"{host}: archive holds {sorted(names)}")
        elif errlog is not None and t.extractfile("KESTRA/logdperr.txt").read().decode() != errlog:
            errors.append(f"{host}: error log {t.extractfile('KESTRA/logdperr.txt').read()!r}")
    # The run happened in the host's own namespace: its files are in its
    # own directory, and the program of its width was copied.
    if not os.path.isfile(os.path.join(case, host, "otmp/TMP/KESTRA/logdperr.txt")):
        errors.append(f"{host}: nothing written to its own /o_tmp")
    if os.listdir(os.path.join(case, host, "archive")):
        errors.append(f"{host}: archive left on the host")
for host, (result, text) in stopped.items():
    s = summary.get(host, {})
    if s.get("result") != result or s.get("archive") is not None or (text or "") not in (s.get("error") or "") \
            or (text is None and s.get("error") is not None):
        errors.append(f"{host}: {s}")
for host in ("echo", "foxtrot"):  # a wrong width copies nothing
    if os.listdir(os.path.join(case, host, "vendor")) != ["RaidCli64", "libraidstor.so.2.52-0"]:
        errors.append(f"{host}: vendor directory {sorted(os.listdir(os.path.join(case, host, 'vendor')))}")
if set(summary) != set(expect) | set(stopped):
    errors.append(f"hosts in the records: {sorted(summary)}")
archives = sorted(f for f in os.listdir(out) if f.endswith(".tar.gz"))
if archives != [f"{h}-{date}.tar.gz" for h in collected]:
    errors.append(f"archives in {out}: {archives}")
# The day's report covers every archive of the day, also after --limit.
page = os.path.join(out, f"report-{date}.html")
if not os.access(os.path.join(build, "report", "logdump-report"), os.X_OK):
    pass
elif collected and not (os.path.isfile(page) and all(f"{h}-{date}" in open(page).read() for h in collected)):
    errors.append(f"report {page} does not cover {collected}")
elif not collected and os.path.exists(page):
    errors.append("report written without archives")
for e in errors:
    print("fleet-test:", e)
sys.exit(1 if errors else 0)
PY
}

out="$case_dir/out"
run_playbook 1 2 "$out"
check 1 "$out"
prog=logdump64; [ "$width32" = 32 ] && prog=logdump
cmp -s "$build/$prog" "$case_dir/alpha/vendor/$prog" || fail "alpha did not get $prog"
cmp -s "$build/logdump64" "$case_dir/charlie/vendor/logdump64" || fail "charlie did not get logdump64"
run_playbook 2 2 "$out"
check 2 "$out"
cp "$out/fleet-$date.json" "$case_dir/fleet-run2.json"
# With a metrics directory: logdump.prom there, which promtool accepts.
run_playbook 3 0 "$out" --limit bravo -e "logdump_metrics_dir=$case_dir/metrics"
check 3 "$out"
if [ -x "$build/report/logdump-report" ]; then
  promtool check metrics < "$case_dir/metrics/logdump.prom" || fail "promtool refuses $case_dir/metrics/logdump.prom"
  grep -q '^logdump_disk_verdict{host="alpha",controller="0",device="0",serial=' "$case_dir/metrics/logdump.prom" ||
    fail "logdump.prom has no verdict of alpha's disk: $(cat "$case_dir/metrics/logdump.prom")"
fi
# A stale record of the same day is replaced, not kept.
mkdir -p "$case_dir/out4"
echo '{"alpha": {"result": "exit status 0"}}' > "$case_dir/out4/fleet-$date.json"
run_playbook 4 2 "$case_dir/out4" --limit 'all:!offline' -e logdump_bin_dir=/nonexistent
check 4 "$case_dir/out4"

# History: alpha collected on an earlier day with 2 uncorrected read errors,
# then today with 9. The day's report takes the earlier day's archive too
# and warns of the growth, in its text and its web page.
reads() { printf 'page 0 0 0x03 "0300000c000600080000000000000%03x"\n' "$1"; }
out5=$case_dir/out5 before=$(date -d yesterday +%Y-%m-%d)
mkdir -p "$out5"
printf '%s\n%s\n' "$scenario" "$(reads 2)" > "$case_dir/alpha/scenario.scn"
run_playbook 5 0 "$out5" --limit alpha -e logdump_run_date="$before"
# Its files as of noon that day (tar keeps the times).
unpacked=$case_dir/unpacked
mkdir -p "$unpacked"
tar -C "$unpacked" -xzf "$out5/alpha-$before.tar.gz"
find "$unpacked" -exec touch -d "$before 12:00" {} +
tar -C "$unpacked" -czf "$out5/alpha-$before.tar.gz" .
printf '%s\n%s\n' "$scenario" "$(reads 9)" > "$case_dir/alpha/scenario.scn"
run_playbook 6 0 "$out5" --limit alpha -e "logdump_metrics_dir=$case_dir/metrics6"
for f in "$out5/report-$date.txt" "$out5/report-$date.html"; do
  grep -q 'uncorrected read errors (page 03h) grew by 7 in [0-9.]* days, from 2 to 9' "$f" ||
    { cat "$case_dir/run6.log"; fail "run 6: no growth in $f"; }
done
grep -q '<polyline' "$out5/report-$date.html" || fail "run 6: no line of the growth in the web page"
# And in its metrics: alpha's disk a WARN, its read errors growing.
prom6=$case_dir/metrics6/logdump.prom
promtool check metrics < "$prom6" || fail "run 6: promtool refuses $prom6"
grep -Eq '^logdump_disk_verdict\{host="alpha",controller="0",device="0",.*\} 1$' "$prom6" &&
  grep -Eq '^logdump_disk_growth_per_second\{host="alpha",.*,counter="read_uncorrected"\} [0-9.e-]+$' "$prom6" ||
  fail "run 6: no WARN or growth of alpha's disk in $prom6: $(cat "$prom6")"

rm -rf "$case_dir"
echo "fleet-test: OK (alpha ${width32}-bit, bravo CLI failure, charlie without library, delta past its time limit," \
     "echo and foxtrot of a wrong width, offline unreachable; run twice, then --limit, then every host failing before the run;" \
     "alpha on two days with raised counters in between)"
