#!/usr/bin/env bash
# Installs the .debs given into a clean minbase root of a Debian release
# with apt-get, as a user would on a fresh system, so that their Depends
# must bring in every library the programs need; then runs logdump64
# --version and a full simulated run there (the simulated components of
# logdump-sim under the vendor's names), and, when logdump-report is among
# them, the report over that run's log directory. The root (scripts/roots.sh)
# is cached and left untouched: the install goes into an overlay that is
# thrown away. apt's lists and downloaded packages are kept beside the root
# for the next run.
#
# Usage (as root): packaging/install-test.sh ROOT DEB...
#   ROOT: debian11-minbase or debian12
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
name=$1
shift
root=$("$src/scripts/roots.sh" "$name")
apt_cache="$root.apt"
work=$(mktemp -d /var/tmp/logdump-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "install-test: FAIL: $*" >&2; exit 1; }
mkdir -p "$work/up" "$work/wk" "$work/mnt" "$work/debs" "$apt_cache/lists/partial" "$apt_cache/archives/partial"
cp "$@" "$work/debs/"

exec 9> "$apt_cache.lock"
flock 9
cat > "$work/inside.sh" <<'EOF'
set -eu
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin
apt-get update -qq
apt-get install -y -qq --no-install-recommends /debs/*.deb > /debs/apt.log 2>&1 || { cat /debs/apt.log; exit 1; }
logdump64 --version
# A full run, as on a server: no argument, into /o_tmp/TMP/KESTRA.
mkdir -p /o_tmp/TMP/KESTRA /tmp/vendor
cd /tmp/vendor
cp /usr/bin/raidcli_sim RaidCli64
cp /usr/libexec/logdump-sim/libraidstor_sim64.so libraidstor.so.2.52-0
LOGDUMP_SIM_SCENARIO=/usr/share/logdump-sim/scenarios/demo.scn logdump64 > console.txt
cd /o_tmp/TMP/KESTRA
ls Controller_0_fwtermlog.log controller_1_Flashrom.log MA0000.log MA0102.log logdperr.txt
if command -v logdump-report > /dev/null; then
  logdump-report --version
  status=0
  logdump-report /o_tmp/TMP/KESTRA > /tmp/report.txt || status=$?
  [ "$status" -le 3 ] || { cat /tmp/report.txt; exit 1; }
  grep -Eq '^logdump-report: [1-9][0-9]* disk' /tmp/report.txt || { cat /tmp/report.txt; exit 1; }
  head -1 /tmp/report.txt
fi
EOF
unshare -m sh -euc '
  root=$1 work=$2 apt_cache=$3
  mnt=$work/mnt
  mount -t overlay overlay -o "lowerdir=$root,upperdir=$work/up,workdir=$work/wk" "$mnt"
  mount --bind /proc "$mnt/proc"
  mount --rbind /dev "$mnt/dev"
  mount --bind "$apt_cache/lists" "$mnt/var/lib/apt/lists"
  mount --bind "$apt_cache/archives" "$mnt/var/cache/apt/archives"
  mkdir -p "$mnt/debs"
  mount --bind "$work/debs" "$mnt/debs"
  cp /etc/resolv.conf "$mnt/etc/resolv.conf"
  cp "$work/inside.sh" "$mnt/debs/inside.sh"
  chroot "$mnt" sh /debs/inside.sh
' sh "$root" "$work" "$apt_cache" > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "install or run in a clean $name root"; }
grep -q "logdump64 Ver01-10-00" "$work/out.txt" || { cat "$work/out.txt"; fail "no version line of logdump64 in $name"; }
echo "install-test: $(cd "$work/debs" && ls *.deb | tr '\n' ' ')installed on a clean $name root; logdump64 --version," \
     "a full simulated run$(grep -q '^logdump-report' "$work/out.txt" && echo ' and the report on it') ran there"
