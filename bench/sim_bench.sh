# Sourced by the benchmarks that run logdump64 against the simulated vendor
# components (extended.sh); not run on its own.

# sim_bench_setup SCRIPT BUILD_DIR: checks that BUILD_DIR holds logdump64 and
# the simulated CLI and library and that /usr/bin/time is there (else exits
# 2, naming SCRIPT); sets $build (absolute) and $work, a new temporary
# working directory with both components under the 64-bit build's default
# names. $work is removed on exit unless BENCH_KEEP is set.
sim_bench_setup() {
  local me=$1 f
  build=$(cd "$2" && pwd)
  for f in logdump64 libraidstor_sim64.so raidcli_sim; do
    [ -e "$build/$f" ] || { echo "$me: $build/$f not built" >&2; exit 2; }
  done
  [ -x /usr/bin/time ] || { echo "$me: /usr/bin/time missing (Debian package time)" >&2; exit 2; }
  work=$(mktemp -d)
  trap '[ -n "${BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
  cp "$build/raidcli_sim" "$work/RaidCli64"
  cp "$build/libraidstor_sim64.so" "$work/libraidstor.so.2.52-0"
}

# sim_bench_run SCRIPT PREFIX ARGS...: runs logdump64 ARGS in $work under
# /usr/bin/time -v, the figures into PREFIX.time and the console into
# PREFIX.console; when it fails, shows the end of its console and exits 1.
sim_bench_run() {
  local me=$1 prefix=$2
  shift 2
  (cd "$work" && /usr/bin/time -v -o "$prefix.time" "$build/logdump64" "$@" > "$prefix.console" 2>&1) || {
    echo "$me: logdump64 $* failed; its console:" >&2
    tail -20 "$prefix.console" >&2
    exit 1
  }
}

# The peak resident set in kB, and the wall-clock seconds, of a PREFIX.time.
sim_bench_rss() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1.time"; }
sim_bench_secs() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' \
    "$1.time"
}
