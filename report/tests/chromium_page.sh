#!/usr/bin/env bash
# The report's web page in a real browser: logdump64 collects the demo system
# (sim/scenarios/demo.scn) in a private mount namespace, logdump-report
# writes the page of that log directory, and headless Chromium renders it to
# a PNG and dumps the rendered DOM. The page must be self-contained, render
# without errors at a laptop's 1366x900, and hold one disk row per drive log.
#
#   report/tests/chromium_page.sh REPORT E2E_COLLECT SOURCE_DIR [PNG_OUT]
#
# (the programs as the build made them; report/CMakeLists.txt passes them;
# E2E_COLLECT collects through the end-to-end harness).
# Exit status 77 (skipped) when not root
# (the namespace needs it) or when chromium is missing.
set -euo pipefail
report=$1 collect=$2
src=$(cd "$3" && pwd)
png_out=${4:-}

skip() { echo "chromium_page: SKIPPED: $*"; exit 77; }
fail() { echo "chromium_page: FAILED: $*" >&2; exit 1; }

for p in "$report" "$collect"; do [ -e "$p" ] || fail "$p is not built"; done
[ "$(id -u)" = 0 ] || skip "needs root for a private mount namespace"
browser=$(command -v chromium || true)
[ -n "$browser" ] || skip "chromium is not installed (Debian packages chromium, fonts-dejavu-core)"

# Everything lives outside /tmp, which the namespace replaces.
w=$(mktemp -d /var/tmp/report-chromium.XXXXXX)
trap 'rm -rf "$w"' EXIT
mkdir -p "$w/profile"
# A full run (no arguments), so that the error log is there too.
"$collect" "$w" "$src/sim/scenarios/demo.scn" ||
  fail "logdump64 on the demo system: $(tail -5 "$w/console.txt")"
logdir=$w/otmp/TMP/KESTRA
[ -n "$(find "$logdir" -name 'MA*.log')" ] || fail "the demo run wrote no drive log"

status=0
"$report" --html "$w/page.html" "$logdir" > "$w/report.txt" 2>&1 || status=$?
[ "$status" -le 2 ] || fail "logdump-report ended with $status: $(cat "$w/report.txt")"
# Its disks: the drive logs and the drives the controller lists that left none.
disks=$(sed -n 's/^logdump-report: \([0-9]*\) disk(s).*/\1/p' "$w/report.txt")
[ -s "$w/page.html" ] || fail "no page written"

# Self-contained: no script, no fetched resource (the SVG namespace is a
# name, not a fetch).
if grep -Eiq '<script|<link|<iframe|@import|url\(' "$w/page.html" ||
   grep -Eo '(https?|ftp)://[^"'"'"' )<]*' "$w/page.html" | grep -qv '^http://www.w3.org/2000/svg$'; then
  fail "the page refers to something outside itself"
fi

# No network at all for the browser: every host name fails to resolve.
run_browser() {
  "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --user-data-dir="$w/profile" --host-resolver-rules='MAP * ~NOTFOUND' \
    --enable-logging=stderr --v=0 --window-size=1366,900 "$@" "file://$w/page.html"
}
run_browser --screenshot="$w/page.png" > "$w/shot.out" 2> "$w/shot.err" || fail "chromium failed: $(tail -5 "$w/shot.err")"
run_browser --dump-dom > "$w/dom.html" 2> "$w/dom.err" || fail "chromium --dump-dom failed: $(tail -5 "$w/dom.err")"

# Errors of the page itself (console messages, failed loads, crashes); the
# D-Bus complaints of a machine without a desktop are not about the page.
if grep -Eh 'CONSOLE|net::ERR|Failed to load|:FATAL:' "$w/shot.err" "$w/dom.err"; then
  fail "the browser reported errors for the page"
fi

# A PNG of the window's size: signature, then IHDR width and height.
[ "$(head -c 8 "$w/page.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG written"
size=$(od -An -tu1 -j16 -N8 "$w/page.png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
[ "$size" = 1366x900 ] || fail "screenshot is $size, not 1366x900"
[ "$(stat -c %s "$w/page.png")" -gt 20000 ] || fail "the screenshot is nearly empty"

grep -q '</html>' "$w/dom.html" || fail "the DOM dump is incomplete"
rows=$(grep -o '<tr class="disk ' "$w/dom.html" | wc -l)
[ "$rows" = "$disks" ] || fail "$rows disk rows in the rendered page for the report's $disks disks"
# The demo's disk with only a start-stop page cannot be judged: UNKNOWN;
# every row has the risk's band beside its verdict.
grep -q '<tr class="disk v-unknown r-' "$w/dom.html" || fail "no disk of the demo shows the verdict UNKNOWN"
bands=$(grep -Eo '<td class="risk">(unknown|base|elevated|high|imminent)</td>' "$w/dom.html" | wc -l)
[ "$bands" = "$disks" ] || fail "$bands risk bands in the rendered page for the report's $disks disks"

[ -z "$png_out" ] || cp "$w/page.png" "$png_out"
echo "chromium_page: rendered $disks disk rows at 1366x900 without errors"
