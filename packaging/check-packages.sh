#!/usr/bin/env bash
# Builds the packages of a configured and built tree (argument: the build
# directory) and checks them as a user meets them: what each .deb, .rpm and
# .tar.gz holds, each archive's top directory, the .rpm's requirements and
# its install into an empty root, the programs and man pages run from an
# unpacked root, a rehearsal with the simulated components of logdump-sim,
# lintian without errors, and last the .debs installed with apt-get into a
# clean Debian 12 root (packaging/install-test.sh).
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
rpm_main=$(echo "$out"/logdump-[0-9]*.x86_64.rpm)
rpm_sim=$(echo "$out"/logdump-sim-[0-9]*.x86_64.rpm)
for f in "$deb_main" "$deb_sim" "$tgz_main" "$tgz_sim" "$rpm_main" "$rpm_sim"; do
  [ -f "$f" ] || fail "missing package $f"
done

# Expected files, relative to the installation prefix.
main=(bin/logdump64 share/man/man1/logdump.1.gz share/man/man1/logdump64.1.gz
      share/doc/logdump/README.md share/doc/logdump/copyright share/doc/logdump/changelog.gz)
sim=(bin/raidcli_sim lib/logdump-sim/libraidstor_sim64.so share/man/man1/raidcli_sim.1.gz
     share/logdump-sim/scenarios/demo.scn share/logdump-sim/scenarios/failures.scn
     share/doc/logdump-sim/README.md share/doc/logdump-sim/copyright)
arch=amd64
if grep -q '^LOGDUMP_BUILD32:BOOL=ON' "$build/CMakeCache.txt"; then
  main+=(bin/logdump)
  sim+=(lib/logdump-sim/libraidstor_sim32.so)
  arch=x86
fi
# The analyst's program: in the .deb and the .tar.gz, not in the .rpm.
report=(bin/logdump-report share/man/man1/logdump-report.1.gz)

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
check_list "$(deb_list "$deb_main")" ./usr/ has "${main[@]}" "${report[@]}"
check_list "$(deb_list "$deb_main")" ./usr/ lacks "${sim[@]}"
check_list "$(deb_list "$deb_sim")" ./usr/ has "${sim[@]}"
check_list "$(deb_list "$deb_sim")" ./usr/ lacks "${main[@]}" "${report[@]}"
check_list "$(rpm -qpl "$rpm_main")" /usr/ has "${main[@]}"
check_list "$(rpm -qpl "$rpm_main")" /usr/ lacks "${sim[@]}" "${report[@]}"
check_list "$(rpm -qpl "$rpm_sim")" /usr/ has "${sim[@]}"
check_list "$(rpm -qpl "$rpm_sim")" /usr/ lacks "${main[@]}" "${report[@]}"
# Each archive unpacks into one directory of its own, named like the file.
for tgz in "$tgz_main" "$tgz_sim"; do
  top=$(basename "$tgz" .tar.gz)
  [ "$(tar tzf "$tgz" | sed 's,/.*,,' | sort -u)" = "$top" ] || fail "$tgz does not unpack into $top/ alone"
  [[ $top == *-linux-$arch ]] || fail "$top: architecture is not $arch"
done
check_list "$(tar tzf "$tgz_main")" "$(basename "$tgz_main" .tar.gz)/" has "${main[@]}" "${report[@]}"
check_list "$(tar tzf "$tgz_sim")" "$(basename "$tgz_sim" .tar.gz)/" has "${sim[@]}"
check_list "$(tar tzf "$tgz_sim")" "$(basename "$tgz_sim" .tar.gz)/" lacks "${main[@]}"

# What the .rpms require: the C library, libdl and the loader, of either
# width, and rpm's own features; nothing of a newer glibc than 2.17.
for r in "$rpm_main" "$rpm_sim"; do
  reqs=$(rpm -qpR "$r")
  bad=$(grep -Ev '^(libc\.so\.6|libdl\.so\.2|ld-linux(-x86-64)?\.so\.2)(\(\)|\(GLIBC_2\.([0-9]|1[0-7])(\.[0-9])?\))?(\(64bit\))?$|^rtld\(GNU_HASH\)$|^rpmlib\(' <<<"$reqs" || true)
  [ -z "$bad" ] || fail "$(basename "$r") requires $bad"
done
rpmroot="$out/rpmroot"
mkdir -p "$rpmroot"
rpm --root "$rpmroot" --dbpath /var/lib/rpm --nodeps -i "$rpm_main" "$rpm_sim" 2> "$out/rpm.err" || { cat "$out/rpm.err"; fail "rpm -i"; }
check_list "$(cd "$rpmroot" && find usr -type f -o -type l | sed 's,^,/,')" /usr/ has "${main[@]}" "${sim[@]}"
(cd "$out" && timeout 60 "$rpmroot/usr/bin/logdump64" --version | grep -q 'Ver01-10-00') || fail "logdump64 of the .rpm"

root="$out/root"
dpkg-deb -x "$deb_main" "$root"
dpkg-deb -x "$deb_sim" "$root"

for prog in "$root"/usr/bin/logdump64 "$root"/usr/bin/logdump; do
  [ -e "$prog" ] || continue
  v=$(cd "$out" && timeout 60 "$prog" --version) || fail "$prog --version exit status $?"
  grep -q 'Ver01-10-00' <<<"$v" || fail "$prog --version printed: $v"
done

for page in "$root"/usr/share/man/man1/*.1.gz; do
  [ -e "$page" ] || fail "dangling man page $page"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2> "$out/man.err") || fail "man -l $page"
  [ -s "$out/man.err" ] && { cat "$out/man.err"; fail "groff warnings in $page"; }
  grep -q '^NAME' <<<"$text" || fail "no NAME section in $page"
done

# The simulator's page names every sample scenario it ships.
for scn in "$root"/usr/share/logdump-sim/scenarios/*.scn; do
  zgrep -q "^\.I $(basename "$scn")" "$root/usr/share/man/man1/raidcli_sim.1.gz" ||
    fail "raidcli_sim(1) does not list $(basename "$scn")"
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
# Last, as a user on a fresh system installs them.
"$src/packaging/install-test.sh" "$deb_main" "$deb_sim"
echo "check-packages: $(basename "$deb_main") $(basename "$deb_sim") $(basename "$rpm_main") $(basename "$rpm_sim")" \
     "$(basename "$tgz_main") $(basename "$tgz_sim") OK"
