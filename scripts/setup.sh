#!/usr/bin/env bash
# Prepares a fresh Debian machine (as root) to build and test logdump:
# installs the build and test packages that are missing, fetches the Debian 11
# sysroots of the portable build (once, into /var/cache/logdump), and lets
# the kernel run 32-bit x86 programs through qemu when it cannot do so itself.
set -euo pipefail

packages=(cmake make g++ g++-multilib googletest clang-format qemu-user-static sg3-utils time binutils dpkg-dev)
# logdump-report: its libraries.
packages+=(libarchive-dev nlohmann-json3-dev libcli11-dev libsgutils2-dev)
# logdump-report's tests: the page in a real browser, and skdump (libatasmart)
# to check the SATA decode against.
packages+=(chromium fonts-dejavu-core libatasmart-bin)
# The report's metrics: promtool (prometheus) checks them, a real node_exporter
# serves them (scraped with curl).
packages+=(prometheus prometheus-node-exporter curl)
# The field's drive database (/usr/share/smartmontools/drivedb.h), read as
# data by the report's tests; its programs are never run.
packages+=(smartmontools)
# Packages and man pages (cpack, lintian, man, rpmbuild), fleet runs
# (ansible), the Debian 11 and 12 roots of the portability and install tests.
packages+=(file lintian man-db rpm ansible-core debootstrap)
# Fuzzing (scripts/fuzz.sh, report/fuzz/run.sh): clang 14 and its libFuzzer
# runtime; memcheck: valgrind.
packages+=(clang libclang-rt-14-dev valgrind)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Prometheus and node_exporter come as services; the tests start their own
# exporter on a free loopback port, so neither may run (nor bind a port).
# smartmontools brings smartd, which would watch this machine's disks.
if [ -d /run/systemd/system ]; then
  systemctl disable --now prometheus.service prometheus-node-exporter.service smartmontools.service > /dev/null 2>&1 || true
fi

# The 32-bit probe: on real servers it runs natively and nothing is changed.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'int main(void){return 0;}\n' > "$probe/p.c"
gcc -m32 "$probe/p.c" -o "$probe/p32"
if ! "$probe/p32" 2>/dev/null; then
  echo "setup: this kernel cannot run 32-bit x86 programs; registering qemu-i386 with binfmt_misc"
  mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register
  fi
  "$probe/p32"
fi

# The Debian 11 sysroots of the portable build (cmake/Portable.cmake). The
# tests make the Debian 11 and 12 roots on first use.
scripts_dir=$(dirname "$0")
"$scripts_dir/roots.sh" sysroot-amd64 sysroot-i386 > /dev/null

# Mount point for the end-to-end tests' private log directories.
mkdir -p /o_tmp
