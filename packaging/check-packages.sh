#!/usr/bin/env bash
# Builds the packages of a configured and built tree (argument: the build
# directory) and checks them as a user meets them: what each .deb, .rpm and
# .tar.gz holds, each archive's top directory, the collector's Depends and
# Requires (the C library alone, at glibc 2.17), the descriptions, the
# x86_64 .rpm against a stand-in RHEL 7 rpm database, the programs and man
# pages run from an unpacked root, a rehearsal with the simulated components
# of logdump-sim, lintian without errors or warnings, and last the .debs
# installed with apt-get into clean Debian 11 and 12 roots
# (packaging/install-test.sh).
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "check-packages: FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; fail "cpack"; }
with32=no
grep -q '^LOGDUMP_BUILD32:BOOL=ON' "$build/CMakeCache.txt" && with32=yes
arch=amd64
[ $with32 = yes ] && arch=x86
ver=$(sed -n 's/^LOGDUMP_PACKAGE_VERSION:STRING=//p' "$build/CMakeCache.txt")

# Expected files, relative to the installation prefix.
doc=(share/man/man1/logdump.1.gz share/doc/logdump/README.md share/doc/logdump/copyright
     share/doc/logdump/changelog.gz)
c64=(bin/logdump64 share/man/man1/logdump64.1.gz "${doc[@]}")
c32=(bin/logdump "${doc[@]}")
report=(bin/logdump-report share/man/man1/logdump-report.1.gz share/doc/logdump-report/copyright
        share/doc/logdump-report/changelog.gz)
sim=(bin/raidcli_sim libexec/logdump-sim/libraidstor_sim64.so share/man/man1/raidcli_sim.1.gz
     share/logdump-sim/scenarios/demo.scn share/logdump-sim/scenarios/failures.scn
     share/doc/logdump-sim/README.md share/doc/logdump-sim/copyright)
[ $with32 = yes ] && sim+=(libexec/logdump-sim/libraidstor_sim32.so)

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
listing() {
  case $1 in
    *.deb) dpkg-deb -c "$1" | awk '{print $6}' ;;
    *.rpm) rpm -qpl "$1" ;;
    *.tar.gz) tar tzf "$1" ;;
  esac
}
# package file (relative to $out), its prefix of paths, what it holds, what it must not.
rows=(
  "logdump_${ver}_amd64.deb|./usr/|c64|c32 report sim"
  "logdump-report_${ver}_amd64.deb|./usr/|report|c64 c32 sim"
  "logdump-sim_${ver}_amd64.deb|./usr/|sim|c64 c32 report"
  "logdump-${ver}-1.x86_64.rpm|/usr/|c64|c32 report sim"
  "logdump-sim-${ver}-1.x86_64.rpm|/usr/|sim|c64 c32 report"
  "logdump-${ver}-linux-${arch}.tar.gz|logdump-${ver}-linux-${arch}/|c64 $([ $with32 = yes ] && echo c32)|report sim"
  "logdump-report-${ver}-$(. /etc/os-release && echo "$ID$VERSION_ID")-amd64.tar.gz|logdump-report-${ver}-$(. /etc/os-release && echo "$ID$VERSION_ID")-amd64/|report|c64 c32 sim"
  "logdump-sim-${ver}-linux-${arch}.tar.gz|logdump-sim-${ver}-linux-${arch}/|sim|c64 c32 report"
)
[ $with32 = yes ] && rows+=("logdump_${ver}_i386.deb|./usr/|c32|c64 report sim"
                            "logdump-${ver}-1.i686.rpm|/usr/|c32|c64 report sim")
made=$(cd "$out" && ls ./*.deb ./*.rpm ./*.tar.gz | sed 's,^\./,,' | sort)
want=$(for r in "${rows[@]}"; do echo "${r%%|*}"; done | sort)
[ "$made" = "$want" ] || fail "cpack made $(echo $made), expected $(echo $want)"
# The paths of the named sets ("c64 c32"), one a line.
paths() { for set in "$@"; do local -n a=$set; printf '%s\n' "${a[@]}"; done; }
for r in "${rows[@]}"; do
  IFS='|' read -r file prefix has lacks <<<"$r"
  list=$(listing "$out/$file")
  mapfile -t held < <(paths $has)
  check_list "$list" "$prefix" has "${held[@]}"
  # What another set holds too (the collector's page and README) may be here.
  check_list "$list" "$prefix" lacks $(paths $lacks | grep -vxF -f <(printf '%s\n' "${held[@]}"))
  # Each archive unpacks into one directory of its own, named like the file.
  if [[ $file == *.tar.gz ]] && [ "$(sed 's,/.*,,' <<<"$list" | sort -u)" != "${prefix%/}" ]; then
    fail "$file does not unpack into $prefix alone"
  fi
done
deb64=$out/logdump_${ver}_amd64.deb deb32=$out/logdump_${ver}_i386.deb
deb_report=$out/logdump-report_${ver}_amd64.deb deb_sim=$out/logdump-sim_${ver}_amd64.deb
rpm64=$out/logdump-${ver}-1.x86_64.rpm rpm32=$out/logdump-${ver}-1.i686.rpm
rpm_sim=$out/logdump-sim-${ver}-1.x86_64.rpm
tgz=$out/logdump-${ver}-linux-${arch}.tar.gz

# The collector's archive holds only programs that start on glibc 2.17, and
# its README names the 32-bit C library that logdump needs.
mkdir -p "$out/tgz"
tar -C "$out/tgz" -xzf "$tgz"
"$src/tests/portable/check_portable.sh" "$out/tgz"/*/bin/* > "$out/portable.txt" || { cat "$out/portable.txt"; fail "$tgz"; }
grep -q 'glibc\.i686' "$out/tgz"/*/share/doc/logdump/README.md || fail "$tgz: the README does not name the 32-bit C library"

# The collector depends on the C library alone, at glibc 2.17 or older, in
# its own architecture; the analyst's program declares its libraries.
control() { dpkg-deb -f "$1" "$2"; }
collector_debs=("$deb64")
[ $with32 = yes ] && collector_debs+=("$deb32")
for d in "${collector_debs[@]}"; do
  [[ $(control "$d" Depends) =~ ^libc6\ \(\>=\ 2\.([0-9]|1[0-7])(\.[0-9]+)?\)$ ]] ||
    fail "$(basename "$d"): Depends: $(control "$d" Depends)"
  [[ $d == *_$(control "$d" Architecture).deb ]] || fail "$(basename "$d"): Architecture: $(control "$d" Architecture)"
done
[[ $(control "$deb_report" Depends) == *libarchive13* ]] || fail "logdump-report Depends: $(control "$deb_report" Depends)"

# Every description whole: its synopsis and every line of its text.
for p in "$deb64" "$deb_report" "$deb_sim" "$rpm64" "$rpm_sim"; do
  case $p in
    *.deb) text=$(control "$p" Description) ;;
    *.rpm) text=$(rpm -qp --qf '%{SUMMARY}\n%{DESCRIPTION}\n' "$p") ;;
  esac
  [ "$(wc -l <<<"$text")" -ge 5 ] || fail "$(basename "$p"): description cut to: $text"
done

# What the .rpms require: the C library, libdl and the loader, and rpm's
# own features; of their own width, nothing of a newer glibc than 2.17.
glibc='(libc\.so\.6|libdl\.so\.2|ld-linux(-x86-64)?\.so\.2)(\(\)|\(GLIBC_2\.([0-9]|1[0-7])(\.[0-9])?\))?'
for r in "$rpm64" "$rpm32" "$rpm_sim"; do
  [ -f "$r" ] || continue
  case $r in
    *.i686.rpm) own="^$glibc\$" ;;
    "$rpm64") own="^$glibc\\(64bit\\)\$" ;;
    *) own="^$glibc(\\(64bit\\))?\$" ;;
  esac
  bad=$(rpm -qpR "$r" | grep -Ev "$own|^rtld\(GNU_HASH\)$|^rpmlib\(" || true)
  [ -z "$bad" ] || fail "$(basename "$r") requires $bad"
done

# A stand-in for RHEL 7: an rpm database that provides only a 64-bit glibc
# 2.17, from a package of nothing but its Provides. The x86_64 .rpm must
# install there, the i686 one (which needs the 32-bit C library) must not.
rhel7=$out/rhel7
mkdir -p "$rhel7/root" "$rhel7/build"
{
  printf 'Name: glibc-standin\nVersion: 2.17\nRelease: 1\nSummary: glibc 2.17 of RHEL 7, declared only\nLicense: none\n'
  printf 'Provides: rtld(GNU_HASH)\n'
  for lib in libc.so.6 libdl.so.2 ld-linux-x86-64.so.2; do
    printf 'Provides: %s()(64bit)\n' "$lib"
    for v in 2.2.5 2.3 2.3.2 2.3.3 2.3.4 2.4 2.5 2.6 2.7 2.8 2.9 2.10 2.11 2.12 2.13 2.14 2.15 2.16 2.17; do
      printf 'Provides: %s(GLIBC_%s)(64bit)\n' "$lib" "$v"
    done
  done
  printf '%%description\nProvides of a 64-bit glibc 2.17.\n%%files\n'
} > "$rhel7/build/glibc-standin.spec"
rpmbuild -bb --define "_topdir $rhel7/build" --target x86_64 "$rhel7/build/glibc-standin.spec" > "$rhel7/rpmbuild.log" 2>&1 ||
  { cat "$rhel7/rpmbuild.log"; fail "rpmbuild of the stand-in"; }
rpmdb=(--root "$rhel7/root" --dbpath /var/lib/rpm)
{ rpm "${rpmdb[@]}" --initdb && rpm "${rpmdb[@]}" -i --nodeps "$rhel7"/build/RPMS/x86_64/glibc-standin-*.rpm; } \
  > "$rhel7/standin.log" 2>&1 || { cat "$rhel7/standin.log"; fail "the stand-in rpm database"; }
rpm "${rpmdb[@]}" -i --test "$rpm64" > "$rhel7/test64.txt" 2>&1 ||
  { cat "$rhel7/test64.txt"; fail "$(basename "$rpm64") does not install on a glibc 2.17"; }
if [ -f "$rpm32" ]; then
  ! rpm "${rpmdb[@]}" -i --test "$rpm32" > "$rhel7/test32.txt" 2>&1 &&
    grep -q 'libc\.so\.6(GLIBC_[0-9.]*) is needed by' "$rhel7/test32.txt" ||
    { cat "$rhel7/test32.txt"; fail "$(basename "$rpm32") installs without the 32-bit C library"; }
fi

# The x86_64 .rpms unpacked into an empty root, and its program started there.
rpmroot="$out/rpmroot"
mkdir -p "$rpmroot"
rpm --root "$rpmroot" --dbpath /var/lib/rpm --nodeps -i "$rpm64" "$rpm_sim" 2> "$out/rpm.err" || { cat "$out/rpm.err"; fail "rpm -i"; }
(cd "$out" && timeout 60 "$rpmroot/usr/bin/logdump64" --version | grep -q 'Ver01-10-00') || fail "logdump64 of the .rpm"

root="$out/root"
for d in "${collector_debs[@]}" "$deb_report" "$deb_sim"; do dpkg-deb -x "$d" "$root"; done
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
# (A hyphen in a name is written \- there.)
sim_page=$(zcat "$root/usr/share/man/man1/raidcli_sim.1.gz")
for scn in "$root"/usr/share/logdump-sim/scenarios/*.scn; do
  name=$(basename "$scn")
  grep -qxF -e ".I $name" -e ".I ${name//-/\\-}" <<<"$sim_page" || fail "raidcli_sim(1) does not list $name"
done

# A rehearsal from the unpacked packages: the simulated components copied
# under the vendor's names, a drive-log run into directories of its own.
rehearsal="$out/rehearsal"
mkdir -p "$rehearsal"
cp "$root/usr/bin/raidcli_sim" "$rehearsal/RaidCli64"
cp "$root/usr/libexec/logdump-sim/libraidstor_sim64.so" "$rehearsal/libraidstor.so.2.52-0"
(cd "$rehearsal" &&
  LOGDUMP_SIM_SCENARIO="$root/usr/share/logdump-sim/scenarios/demo.scn" \
  timeout 120 "$root/usr/bin/logdump64" -n -o "$rehearsal/logs" -w "$rehearsal/work" > "$out/run.txt") ||
  { cat "$out/run.txt"; fail "rehearsal run"; }
ls "$rehearsal"/logs/MA*.log > /dev/null 2>&1 || { cat "$out/run.txt"; fail "rehearsal wrote no drive log"; }

lintian --fail-on error,warning "${collector_debs[@]}" "$deb_report" "$deb_sim" > "$out/lintian.txt" 2>&1 || {
  cat "$out/lintian.txt"
  fail "lintian reports errors or warnings"
}
# Last, as a user on a fresh system installs them: the collector where it
# runs, the report where the analyst works.
"$src/packaging/install-test.sh" debian11-minbase "$deb64" "$deb_sim"
"$src/packaging/install-test.sh" debian12 "$deb64" "$deb_report" "$deb_sim"
echo "check-packages: $(cd "$out" && echo $want) OK"
