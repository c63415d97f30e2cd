#!/usr/bin/env bash
# End-to-end test of the fleet playbook (as root; argument: the build
# directory). Three hosts on this machine, each with its own vendor
# directory, scenario and log directory: alpha collects everything (the
# 32-bit program when the build has it), bravo's CLI fails, charlie has no
# storage library. Two more: delta's CLI hangs past the time limit, and
# offline cannot be reached. Each local host
# runs its modules in a mount namespace of its own, where its directories
# stand at /o_tmp and /tmp, through a wrapper given as its Python
# interpreter. The playbook runs twice: the second run must find the programs
# in place and replace the day's archives. The hosts' directories lie in
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

# host width scenario-extra has-library [time-limit]
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
      logdump_width: $width
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
make_host alpha "$width32" "" yes
make_host bravo 64 "cli exit adpcount * 1" yes
make_host charlie 64 "" no
make_host delta 64 "cli sleep adpcount * 60000" yes 2

date=$(date +%Y-%m-%d)
run_playbook() {
  local n=$1 rc=0
  LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_LOCALHOST_WARNING=0 ANSIBLE_HOST_KEY_CHECKING=0 \
    ANSIBLE_SSH_ARGS='-o ConnectTimeout=5' \
    timeout 300 ansible-playbook -i "$case_dir/inventory.yml" -e "logdump_run_date=$date" "$fleet/site.yml" \
    > "$case_dir/run$n.log" 2>&1 || rc=$?
  # The unreachable host makes ansible-playbook end with 4; nothing else may fail.
  [ "$rc" = 4 ] || { cat "$case_dir/run$n.log"; fail "run $n: ansible-playbook status $rc, expected 4"; }
}

check() {
  local n=$1
  python3 - "$case_dir" "$date" "$n" "$build" <<'PY' || { cat "$case_dir/run$n.log"; fail "run $n: see above"; }
import json, os, sys, tarfile
case, date, n, build = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
out = os.path.join(case, "out")
summary = json.load(open(os.path.join(out, f"fleet-{date}.json")))
six = ["fwtermlog", "cfgdsply", "adpallinfo", "pdlist", "ldinfo", "ldpdinfo"]
controller_logs = {f"KESTRA/Controller_0_{c}.log" for c in six} | {"KESTRA/controller_0_Flashrom.log"}
# host: (files the archive must hold, files it must not, error-log text, result)
expect = {
    "alpha": (controller_logs | {"KESTRA/MA0000.log", "KESTRA/logdperr.txt"}, set(), "", "exit status 0"),
    "bravo": ({"KESTRA/logdperr.txt"}, controller_logs | {"KESTRA/MA0000.log"},
              " RAID Contoroller is not Found\n", "exit status 0"),
    "charlie": (controller_logs | {"KESTRA/logdperr.txt"}, {"KESTRA/MA0000.log"}, None, "exit status 0"),
    "delta": ({"KESTRA/logdperr.txt"}, controller_logs | {"KESTRA/MA0000.log"}, None, "time limit exceeded"),
}
errors = []
for host, (has, lacks, errlog, result) in expect.items():
    s = summary.get(host, {})
    status = 124 if host == "delta" else 0
    if s.get("result") != result or s.get("status") != status or s.get("stage") != "fetched":
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
off = summary.get("offline", {})
if off.get("result") != "unreachable" or off.get("archive") is not None:
    errors.append(f"offline: {off}")
archives = sorted(f for f in os.listdir(out) if f.endswith(".tar.gz"))
if archives != [f"{h}-{date}.tar.gz" for h in ("alpha", "bravo", "charlie", "delta")]:
    errors.append(f"archives in {out}: {archives}")
report = os.path.join(build, "report", "logdump-report")
if os.access(report, os.X_OK) != os.path.isfile(os.path.join(out, f"report-{date}.txt")):
    errors.append("report written without logdump-report, or missing with it")
for e in errors:
    print("fleet-test:", e)
sys.exit(1 if errors else 0)
PY
}

run_playbook 1
check 1
prog=logdump64; [ "$width32" = 32 ] && prog=logdump
cmp -s "$build/$prog" "$case_dir/alpha/vendor/$prog" || fail "alpha did not get $prog"
cmp -s "$build/logdump64" "$case_dir/charlie/vendor/logdump64" || fail "charlie did not get logdump64"
run_playbook 2
check 2
rm -rf "$case_dir"
echo "fleet-test: OK (alpha ${width32}-bit, bravo CLI failure, charlie without library, delta past its time limit, offline unreachable; run twice)"
