#!/usr/bin/env bash
# End-to-end test of the fleet playbook (as root; argument: the build
# directory), over simulated hosts on this machine (fleet/tests/hosts.sh):
# alpha collects everything (the 32-bit program when the build has it, its
# width taken from its vendor files, its program kept), bravo's CLI finds no
# controller, charlie has no storage library, delta's CLI hangs past the
# time limit; echo is given width 32 for 64-bit vendor files, foxtrot width
# 48, golf a drive-log-only argument, and offline cannot be reached. alpha
# and charlie form the group "quick".
# Runs, each checked in fleet-<date>.json, the archives and the exit status:
#   1. the whole fleet;
#   2. the group quick after the full run, alpha down to no disk: the other
#      hosts keep their records and archives, alpha's archive holds no file
#      of run 1, which lies beside its log directory;
#   3. the group plus --limit charlie, with a metrics directory;
#   4. into a new directory that holds a stale record, every host but
#      offline failing before the run (no program to copy), offline left out;
#   5. and 6. alpha on two days, its counters raised in between (the day's
#      report shows the growth).
# The hosts' directories lie in /var/tmp and are removed when the test passes.
set -euo pipefail
build=$(cd "$1" && pwd)
fleet=$(cd "$(dirname "$0")/.." && pwd)
case_dir=$(mktemp -d /var/tmp/logdump-fleet.XXXXXX)
fail() { echo "fleet-test: FAIL: $* (kept $case_dir)" >&2; exit 1; }
# shellcheck source=fleet/tests/hosts.sh
. "$fleet/tests/hosts.sh"

width32=64
[ -x "$build/logdump" ] && [ -f "$build/libraidstor_sim32.so" ] && width32=32
date=$(date +%Y-%m-%d)
out=$case_dir/out
mkdir -p "$out"

# Polled each second: the simulated runs take seconds.
fleet_inventory "$out" 1
cat >> "$case_dir/inventory.yml" <<INV
    offline:
      ansible_connection: ssh
      ansible_host: 127.0.0.1
      ansible_port: 9
      logdump_vendor_dir: /nonexistent
INV
make_host alpha "$width32" "device 0 1 sas serial FLEET0000002" yes 120 ""
echo "      logdump_keep_program: true" >> "$case_dir/inventory.yml"
make_host bravo 64 "cli exit adpcount * 1" yes
make_host charlie 64 "" no
make_host delta 64 "cli sleep adpcount * 60000" yes 2
make_host echo 64 "" yes 120 32
make_host foxtrot 64 "" yes 120 48
make_host golf 64 "" yes
echo '      logdump_args: ["-e", "-n"]' >> "$case_dir/inventory.yml"
cat >> "$case_dir/inventory.yml" <<INV
  children:
    quick:
      hosts:
        alpha:
        charlie:
INV

# check RUN FETCH-DIR: the day's records, archives and recap of one run
# against the expectations of that run (the table in the script).
check() {
  python3 - "$case_dir" "$date" "$1" "$build" "$2" "$width32" <<'PY' || { cat "$case_dir/run$1.log"; fail "run $1: see above"; }
import json, os, re, sys, tarfile, calendar, time
case, date, n, build, out, width32 = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5], int(sys.argv[6])
summary = json.load(open(os.path.join(out, f"fleet-{date}.json")))
log = open(os.path.join(case, f"run{n}.log")).read()
seven = {f"KESTRA/Controller_0_{c}.log" for c in ["fwtermlog", "cfgdsply", "adpallinfo", "pdlist", "ldinfo", "ldpdinfo"]}
seven |= {"KESTRA/controller_0_Flashrom.log"}
facts = {"KESTRA/console.txt", "KESTRA/run.json", "KESTRA/logdperr.txt"}
# host: (result, files the archive must hold, files it must not, a red console line, program kept)
collected = {
    "alpha": ("exit status 0", seven | facts | {"KESTRA/MA0000.log", "KESTRA/MA0001.log"}, set(), None, True),
    "bravo": ("nothing collected", facts, seven | {"KESTRA/MA0000.log"}, " RAID Contoroller is not Found", False),
    "charlie": ("exit status 0", seven | facts, {"KESTRA/MA0000.log"}, "ldd Command Error.", False),
    "delta": ("time limit exceeded", facts, seven | {"KESTRA/MA0000.log"}, None, False),
}
# host: (result, text in Ansible's error), for the hosts stopped before the run
stopped = {
    "echo": ("failed before the run", "logdump_width is 32, but"),
    "foxtrot": ("failed before the run", "logdump_width"),
    "golf": ("failed before the run", "make a drive-log-only run"),
    "offline": ("unreachable", "127.0.0.1"),
}
# Per run: the hosts it ran, and the earlier run whose records the others keep.
ran, kept_from = {1: (set(collected) | set(stopped), None), 2: ({"alpha", "charlie"}, 1),
                  3: ({"charlie"}, 2), 4: (set(collected) | set(stopped) - {"offline"}, None)}[n]
if n == 2:  # alpha's second disk is gone: its archive must not hold run 1's log of it
    collected["alpha"] = ("exit status 0", seven | facts | {"KESTRA/MA0000.log"}, {"KESTRA/MA0001.log"}, None, True)
if n == 4:  # no program on the control machine; offline outside --limit
    stopped.update({h: ("failed before the run", "Could not find or access") for h in collected})
    stopped["offline"] = ("left out", None)
    collected = {}
errors = []
earlier = json.load(open(os.path.join(case, f"fleet-run{kept_from}.json"))) if kept_from else {}
for host in set(collected) | set(stopped):
    if host not in ran and kept_from:
        if summary.get(host) != earlier.get(host):
            errors.append(f"{host}: record of run {kept_from} not kept: {summary.get(host)}")
        elif earlier[host]["archive"] and not os.path.isfile(earlier[host]["archive"]):
            errors.append(f"{host}: archive of run {kept_from} gone")
        continue
    s = summary.get(host, {})
    if host in stopped:
        result, text = stopped[host]
        if s.get("result") != result or s.get("archive") is not None or (text or "") not in (s.get("error") or "") \
                or (text is None and s.get("error") is not None):
            errors.append(f"{host}: {s}")
        continue
    result, has, lacks, red, kept = collected[host]
    if s.get("result") != result or s.get("stage") != "fetched" or bool(s.get("error")) != (result == "nothing collected"):
        errors.append(f"{host}: summary {s}")
    if not isinstance(s.get("seconds"), float) or not 0 < s["seconds"] < 30:
        errors.append(f"{host}: no timing in {s}")
    if s.get("program_changed") != (n == 1 or not kept):
        errors.append(f"{host}: program_changed {s.get('program_changed')} in run {n}")
    program = "logdump" if host == "alpha" and width32 == 32 else "logdump64"
    if os.path.exists(os.path.join(case, host, "vendor", program)) != kept:
        errors.append(f"{host}: program {'removed' if kept else 'left'} in its vendor directory")
    archive = os.path.join(out, f"{host}-{date}.tar.gz")
    if s.get("archive") != archive or not os.path.isfile(archive):
        errors.append(f"{host}: archive {s.get('archive')}")
        continue
    with tarfile.open(archive) as t:
        names = set(t.getnames())
        if not has <= names or names & lacks:
            errors.append(f"{host}: archive holds {sorted(names)}")
            continue
        run = json.load(t.extractfile("KESTRA/run.json"))
        console = t.extractfile("KESTRA/console.txt").read().decode().split("\n")
        # Every file of the archive is of this run: none older than its start.
        start = calendar.timegm(time.strptime(run["start"], "%Y-%m-%dT%H:%M:%S+00:00"))
        old = [m.name for m in t.getmembers() if m.isfile() and m.mtime < start]
    if old or run["end"] < run["start"] or not run["end"].endswith("+00:00"):
        errors.append(f"{host}: files older than the run's start {run['start']}: {old}")
    want = {"program": program, "version": "Ver01-10-00", "width": 32 if program == "logdump" else 64,
            "arguments": [], "exit_status": s["status"], "time_limit_exceeded": result == "time limit exceeded"}
    if {k: run.get(k) for k in want} != want:
        errors.append(f"{host}: run.json {run}")
    if any("\x1b" in line for line in console) or not console[0].startswith("<<< RAID SAS/SATA KESTRA DUMP TOOL"):
        errors.append(f"{host}: console {console[:3]}")
    if [console[i - 1] for i in run["red_lines"]] != ([red] if red else []):
        errors.append(f"{host}: red lines {run['red_lines']} of {console}")
    # The run happened in the host's own namespace, into its own /o_tmp.
    if not os.path.isfile(os.path.join(case, host, "otmp/TMP/KESTRA/run.json")):
        errors.append(f"{host}: nothing written to its own /o_tmp")
    if os.listdir(os.path.join(case, host, "archive")):
        errors.append(f"{host}: archive left on the host")
    # The earlier run's files lie beside the log directory, kept for one run.
    previous = [d for d in os.listdir(os.path.join(case, host, "otmp/TMP")) if d.startswith("KESTRA.previous-")]
    if len(previous) != (n > 1) or (host == "alpha" and n == 2 and
            not os.path.isfile(os.path.join(case, host, "otmp/TMP", previous[0], "MA0001.log"))):
        errors.append(f"{host}: beside the log directory {previous}")
for host in ("echo", "foxtrot", "golf"):  # refused: nothing copied
    if sorted(os.listdir(os.path.join(case, host, "vendor"))) != ["RaidCli64", "libraidstor.so.2.52-0"]:
        errors.append(f"{host}: vendor directory {sorted(os.listdir(os.path.join(case, host, 'vendor')))}")
if set(summary) != set(collected) | set(stopped):
    errors.append(f"hosts in the records: {sorted(summary)}")
want_archives = sorted(f"{h}-{date}.tar.gz" for h in collected)
archives = sorted(f for f in os.listdir(out) if f.endswith(".tar.gz"))
if archives != want_archives:
    errors.append(f"archives in {out}: {archives}")
# The run's failure is charged to the control machine, or, when --limit
# leaves it out, to each host that failed; never to a healthy host.
recap = dict(re.findall(r"^(\S+)\s+: ok=\d+\s+changed=\d+\s+unreachable=\d+\s+failed=(\d+)", log, re.M))
failing = {h for h in ran if summary[h]["result"] not in ("exit status 0",)}
want_recap = {"localhost": "1" if failing else "0"} if "localhost" in recap else {h: "1" for h in failing}
if {h: f for h, f in recap.items() if f != "0" or h in want_recap} != want_recap:
    errors.append(f"recap {recap}, expected failures {want_recap}")
# The day's report covers every archive of the day, also after a group run or --limit.
page = os.path.join(out, f"report-{date}.html")
if not os.access(os.path.join(build, "report", "logdump-report"), os.X_OK):
    pass
elif collected and not (os.path.isfile(page) and all(f"{h}-{date}" in open(page).read() for h in collected)):
    errors.append(f"report {page} does not cover {sorted(collected)}")
elif not collected and os.path.exists(page):
    errors.append("report written without archives")
# Of more than one host, the day's text has the fleet section: a row per
# host collected, with its worst verdict and whether it was collected whole.
text = os.path.join(out, f"report-{date}.txt")
if len(collected) > 1 and os.path.isfile(text):
    t = open(text).read()
    part = t[t.find("\nFleet: "):]
    part = part[part.find("  Hosts:"):part.find("  Riskiest disks")]
    rows = dict(re.findall(r"^    (\S+) +(?:OK|WARN|FAIL|UNKNOWN) .* (yes|no)$", part, re.M))
    if not set(collected) <= set(rows) or rows.get("delta", "no") != "no":
        errors.append(f"fleet section of {text} lists hosts {rows} (delta not whole), collected {sorted(collected)}")
for e in errors:
    print("fleet-test:", e)
sys.exit(1 if errors else 0)
PY
  cp "$2/fleet-$date.json" "$case_dir/fleet-run$1.json"
}

run_playbook "$case_dir/run1.log" 2 "$out" -e "logdump_run_date=$date"
check 1 "$out"
[ "$width32" = 32 ] && { cmp -s "$build/logdump" "$case_dir/alpha/vendor/logdump" || fail "alpha did not get logdump"; }
grep -q '^logdump: bravo: nothing collected after [0-9.]* s (logdump found no controller)$' "$case_dir/run1.log" ||
  fail "run 1: no outcome line of bravo"
# alpha loses its second disk.
printf '%s\n' "$fleet_scenario" > "$case_dir/alpha/scenario.scn"
run_playbook "$case_dir/run2.log" 0 "$out" -e "logdump_run_date=$date" -e logdump_fleet_group=quick
check 2 "$out"
# With a metrics directory: logdump.prom there, which promtool accepts.
run_playbook "$case_dir/run3.log" 0 "$out" -e "logdump_run_date=$date" -e logdump_fleet_group=quick --limit charlie \
  -e "logdump_metrics_dir=$case_dir/metrics"
check 3 "$out"
if [ -x "$build/report/logdump-report" ]; then
  promtool check metrics < "$case_dir/metrics/logdump.prom" || fail "promtool refuses $case_dir/metrics/logdump.prom"
  grep -q '^logdump_disk_verdict{host="alpha",controller="0",target="0",serial=' "$case_dir/metrics/logdump.prom" ||
    fail "logdump.prom has no verdict of alpha's disk: $(cat "$case_dir/metrics/logdump.prom")"
fi
# A stale record of the same day is replaced, not kept.
mkdir -p "$case_dir/out4"
echo '{"alpha": {"result": "exit status 0"}}' > "$case_dir/out4/fleet-$date.json"
run_playbook "$case_dir/run4.log" 2 "$case_dir/out4" -e "logdump_run_date=$date" --limit 'all:!offline' \
  -e logdump_bin_dir=/nonexistent
check 4 "$case_dir/out4"

# History: alpha collected on an earlier day with 2 uncorrected read errors,
# then today with 9. The day's report takes the earlier day's archive too
# and warns of the growth, in its text and its web page.
reads() { printf 'page 0 0 0x03 "0300000c000600080000000000000%03x"\n' "$1"; }
out5=$case_dir/out5 before=$(date -d yesterday +%Y-%m-%d)
mkdir -p "$out5"
printf '%s\n%s\n' "$fleet_scenario" "$(reads 2)" > "$case_dir/alpha/scenario.scn"
run_playbook "$case_dir/run5.log" 0 "$out5" --limit alpha -e logdump_run_date="$before"
# Its files as of noon that day (tar keeps the times).
unpacked=$case_dir/unpacked
mkdir -p "$unpacked"
tar -C "$unpacked" -xzf "$out5/alpha-$before.tar.gz"
find "$unpacked" -exec touch -d "$before 12:00" {} +
tar -C "$unpacked" -czf "$out5/alpha-$before.tar.gz" .
printf '%s\n%s\n' "$fleet_scenario" "$(reads 9)" > "$case_dir/alpha/scenario.scn"
run_playbook "$case_dir/run6.log" 0 "$out5" --limit alpha -e "logdump_metrics_dir=$case_dir/metrics6"
for f in "$out5/report-$date.txt" "$out5/report-$date.html"; do
  grep -q 'uncorrected read errors (page 03h) grew by 7 in [0-9.]* days, from 2 to 9' "$f" ||
    { cat "$case_dir/run6.log"; fail "run 6: no growth in $f"; }
done
grep -q '<polyline' "$out5/report-$date.html" || fail "run 6: no line of the growth in the web page"
# And in its metrics: alpha's disk a WARN, its read errors growing.
prom6=$case_dir/metrics6/logdump.prom
promtool check metrics < "$prom6" || fail "run 6: promtool refuses $prom6"
grep -Eq '^logdump_disk_verdict\{host="alpha",controller="0",target="0",.*,verdict="WARN"\} 1$' "$prom6" &&
  grep -Eq '^logdump_disk_growth_per_second\{host="alpha",.*,counter="read_uncorrected"\} [0-9.e-]+$' "$prom6" ||
  fail "run 6: no WARN or growth of alpha's disk in $prom6: $(cat "$prom6")"

rm -rf "$case_dir"
echo "fleet-test: OK (alpha ${width32}-bit, bravo without a controller, charlie without library, delta past its time limit," \
     "echo and foxtrot of a wrong width, golf drive-log-only, offline unreachable; the fleet, then a group after it," \
     "then the group and --limit, then every host failing before the run; alpha on two days with raised counters in between)"
