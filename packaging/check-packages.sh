#!/usr/bin/env bash
# Builds the packages of a configured and built tree (argument: the build
# directory) and checks them as a user meets them: what each .deb and .tar.gz
# holds, the programs and man pages run from an unpacked root, a rehearsal
# with the simulated components of logdump-sim, and lintian without errors.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "check-packages: FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; fail "cpack"; }
deb_main=$(echo "$out"/logdump_*_amd64.deb)
deb_sim=$(echo "$out"/logdump-sim_*_amd64.deb)
tgz_main=$(echo "$out"/logdump-[0-9]*.tar.gz)
tgz_sim=$(echo "$out"/logdump-sim-[0-9]*.tar.gz)
for f in "$deb_main" "$deb_sim" "$tgz_main" "$tgz_sim"; do [ -f "$f" ] || fail "missing package $f"; done

# Expected files, relative to the installation prefix.
main=(bin/logdump64 share/man/man1/logdump.1.gz share/man/man1/logdump64.1.gz
      share/doc/logdump/README.md share/doc/logdump/copyright share/doc/logdump/changelog.gz)
sim=(bin/raidcli_sim lib/logdump-sim/libraidstor_sim64.so share/man/man1/raidcli_sim.1.gz
     share/logdump-sim/scenarios/demo.scn share/logdump-sim/scenarios/failures.scn
     share/doc/logdump-sim/README.md share/doc/logdump-sim/copyright)
if grep -q '^LOGDUMP_BUILD32:BOOL=ON' "$build/CMakeCache.txt"; then
  main+=(bin/logdump)
  sim+=(lib/logdump-sim/libraidstor_sim32.so)
fi
if [ -f "$src/report/CMakeLists.txt" ]; then
  main+=(bin/logdump-report share/man/man1/logdump-report.1.gz)
fi

# $1: listing (one path a line), $2: prefix, $3: "has" or "lacks", rest: paths.
check_list() {
  local listing=$1 prefix=$2 mode=$3
  shift 3
  for p in "$@"; do
    if grep -qxF "$prefix$p" <<<"$listing"; then
      [ "$mode" = has ] || fail "$prefix$p must not be in this package"
    else
      [ "$mode" = lacks ] || fail "$prefix$p missing"
    fi
  done
}
deb_list() { dpkg-deb -c "$1" | awk '{print $6}'; }
check_list "$(deb_list "$deb_main")" ./usr/ has "${main[@]}"
check_list "$(deb_list "$deb_main")" ./usr/ lacks "${sim[@]}"
check_list "$(deb_list "$deb_sim")" ./usr/ has "${sim[@]}"
check_list "$(deb_list "$deb_sim")" ./usr/ lacks "${main[@]}"
top=$(tar tzf "$tgz_main" | sed -n "1s,/.*,,p")
check_list "$(tar tzf "$tgz_main")" "$top/" has "${main[@]}"
check_list "$(tar tzf "$tgz_sim")" "$top/" has "${sim[@]}"
check_list "$(tar tzf "$tgz_sim")" "$top/" lacks "${main[@]}"

root="$out/root"
dpkg-deb -x "$deb_main" "$root"
dpkg-deb -x "$deb_sim" "$root"

for prog in "$root"/usr/bin/logdump64 "$root"/usr/bin/logdump; do
  [ -e "$prog" ] || continue
  # A program that does not know --version would start a collection.
  if ! grep -aqF -- '--version' "$prog"; then
    echo "check-packages: skipped: $(basename "$prog") does not know --version yet"
    continue
  fi
  v=$(cd "$out" && timeout 60 "$prog" --version) || fail "$prog --version exit status $?"
  grep -q 'Ver01-10-00' <<<"$v" || fail "$prog --version printed: $v"
done

for page in "$root"/usr/share/man/man1/*.1.gz; do
  [ -e "$page" ] || fail "dangling man page $page"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2> "$out/man.err") || fail "man -l $page"
  [ -s "$out/man.err" ] && { cat "$out/man.err"; fail "groff warnings in $page"; }
  grep -q '^NAME' <<<"$text" || fail "no NAME section in $page"
done

# A rehearsal from the unpacked packages: the simulated components copied
# under the vendor's names, a drive-log run into directories of its own.
rehearsal="$out/rehearsal"
mkdir -p "$rehearsal"
cp "$root/usr/bin/raidcli_sim" "$rehearsal/RaidCli64"
cp "$root/usr/lib/logdump-sim/libraidstor_sim64.so" "$rehearsal/libraidstor.so.2.52-0"
(cd "$rehearsal" &&
  LOGDUMP_SIM_SCENARIO="$root/usr/share/logdump-sim/scenarios/demo.scn" \
  timeout 120 "$root/usr/bin/logdump64" -n -o "$rehearsal/logs" -w "$rehearsal/work" > "$out/run.txt") ||
  { cat "$out/run.txt"; fail "rehearsal run"; }
ls "$rehearsal"/logs/MA*.log > /dev/null 2>&1 || { cat "$out/run.txt"; fail "rehearsal wrote no drive log"; }

lintian --fail-on error "$deb_main" "$deb_sim" 2> "$out/lintian.err" || {
  cat "$out/lintian.err"
  fail "lintian reports errors"
}
echo "check-packages: $(basename "$deb_main") $(basename "$deb_sim") $(basename "$tgz_main") $(basename "$tgz_sim") OK"
