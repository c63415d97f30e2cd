# The frame of a test that judges a simulated system's collection, sourced
# after `set -euo pipefail` as
#   . "$(dirname "$0")/scenario.sh" NAME "$@"
# with the test's arguments REPORT E2E_COLLECT SOURCE_DIR. It sets $report,
# $collect and $src, fail() (which names the test), a directory $w removed
# on exit, and $logs, the host's log directory that collect_scenario fills.
name=$1 report=$2 collect=$3 src=$4
fail() { echo "$name: FAILED: $*" >&2; exit 1; }
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
logs=$w/otmp/TMP/KESTRA

# logdump64 on sim/scenarios/SCENARIO.scn, with the options after it.
collect_scenario() {
  local scn=$1
  shift
  "$collect" "$w" "$src/sim/scenarios/$scn.scn" "$@" > "$w/collect.txt" 2>&1 ||
    fail "logdump64 $* on $scn: $(tail -5 "$w/collect.txt")"
}
