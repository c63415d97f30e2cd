# Sourced by the report benchmarks: `fastest CMD...` prints the fastest of
# $runs runs of CMD in milliseconds; a report's status 1 or 2 (WARN, FAIL)
# is a normal result, any other ends the benchmark. `report_program
# BUILD_DIR` prints where that build has logdump-report (at its top or in
# report/), and fails, saying so, where it has none.
report_program() {
  local p
  for p in "$1/logdump-report" "$1/report/logdump-report"; do
    [ -x "$p" ] && { echo "$p"; return 0; }
  done
  echo "$(basename "$0"): logdump-report not built in $1" >&2
  return 2
}
fastest() {
  local best=0 t0 t1 d s
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    s=0
    "$@" > /dev/null || s=$?
    t1=$(date +%s%N)
    ((s <= 2)) || { echo "$(basename "$0"): $* ended with $s" >&2; exit 1; }
    d=$(((t1 - t0) / 1000000))
    if ((best == 0 || d < best)); then best=$d; fi
  done
  echo "$best"
}
