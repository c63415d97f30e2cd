#!/usr/bin/env bash
# Installs the .debs given into a clean Debian 12 minbase root with apt-get,
# as a user would on a fresh system, so that their Depends must bring in
# every library the programs need; then runs each program's --version and a
# rehearsal with the simulated components there, and logdump-report over
# its log directory. The root (scripts/roots.sh debian12) is cached and left
# untouched: the install goes into an overlay that is thrown away. apt's
# lists and downloaded packages are kept beside the root for the next run.
#
# Usage (as root): packaging/install-test.sh MAIN.deb SIM.deb
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
root=$("$src/scripts/roots.sh" debian12)
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
logdump --version
logdump-report --version
mkdir /tmp/rehearsal && cd /tmp/rehearsal
cp /usr/bin/raidcli_sim RaidCli64
cp /usr/lib/logdump-sim/libraidstor_sim64.so libraidstor.so.2.52-0
LOGDUMP_SIM_SCENARIO=/usr/share/logdump-sim/scenarios/demo.scn logdump64 -n -o /tmp/rehearsal/logs -w /tmp/rehearsal/work
ls logs/MA0000.log logs/MA0102.log
status=0
logdump-report logs > report.txt || status=$?
[ "$status" -le 3 ] || { cat report.txt; exit 1; }
head -1 report.txt
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
' sh "$root" "$work" "$apt_cache" > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "install or run in a clean Debian 12 root"; }
for v in "logdump64 Ver01-10-00" "logdump Ver01-10-00" "logdump-report"; do
  grep -q "$v" "$work/out.txt" || { cat "$work/out.txt"; fail "no version line of ${v%% *}"; }
done
echo "install-test: installed on a clean Debian 12 root; --version of the three programs and a rehearsal ran there"
