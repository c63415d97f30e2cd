#!/usr/bin/env bash
# Makes, once, the system trees that the portable build and its tests use,
# and prints the path of the one asked for. They are cached outside the
# clone, under /var/cache/logdump (LOGDUMP_ROOTS overrides it), and made
# again only when missing or of an older recipe.
#
#   sysroot-amd64, sysroot-i386  Debian 11's C library and GCC 10's C++
#                                runtime, to build programs that start on
#                                glibc 2.17 and later (cmake/Portable.cmake),
#                                with the C library package's control files
#                                (DEBIAN/) for dpkg-shlibdeps
#   debian11-minbase             a clean Debian 11 minbase root where the
#                                packages are installed with apt-get
#   debian11                     a copy of it with the i386 C library, where
#                                the programs do a full run
#   debian12                     a clean Debian 12 minbase root where the
#                                packages are installed with apt-get
#
# Usage: scripts/roots.sh NAME...   (as root; fetches from the Debian mirror
# that this machine's apt uses)
set -euo pipefail
cache=${LOGDUMP_ROOTS:-/var/cache/logdump}
# Raised whenever what a tree holds changes, so that an old tree is remade.
recipe=1

die() { echo "roots: $*" >&2; exit 1; }

# The Debian mirror of this machine's own sources.
mirror() {
  local m
  m=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' 'Codename: bookworm' 2>/dev/null | head -1)
  if [ -z "$m" ]; then
    apt-get update -qq
    m=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' 'Codename: bookworm' | head -1)
  fi
  [ -n "$m" ] || die "no Debian bookworm mirror in this machine's apt sources"
  echo "$m"
}

# Debian 11 packages of one architecture into $3: apt with a state of its own.
# $1: architecture, $2: work directory, rest after $3: package names.
download() {
  local arch=$1 work=$2 dest=$3
  shift 3
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$dest"
  echo "deb [arch=$arch] $(mirror) bullseye main" > "$work/sources.list"
  local opts=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State="$work" -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
              -o Dir::State::status=/dev/null -o APT::Architecture="$arch" -o APT::Architectures="$arch"
              -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" -qq update
  (cd "$dest" && apt-get "${opts[@]}" -qq download "$@")
}

make_sysroot() {
  local arch=$1 tmp=$2
  download "$arch" "$tmp.apt" "$tmp.debs" libc6 libc6-dev linux-libc-dev libcrypt1 libcrypt-dev \
    libgcc-10-dev libgcc-s1 libstdc++-10-dev libstdc++6
  for deb in "$tmp.debs"/*.deb; do dpkg-deb -x "$deb" "$tmp"; done
  # Links that point at / point inside the tree instead.
  find "$tmp" -type l -lname '/*' | while read -r l; do
    ln -sfn "$(realpath -m --relative-to="$(dirname "$l")" "$tmp$(readlink "$l")")" "$l"
  done
  if [ "$arch" = i386 ]; then
    # g++ -m32 looks for its start files in a "32" directory below each -B
    # directory.
    ln -s . "$tmp/usr/lib/i386-linux-gnu/32"
    ln -s . "$tmp/usr/lib/gcc/i686-linux-gnu/10/32"
  fi
  rm -rf "$tmp.apt" "$tmp.debs"
}

# The control files of the C library package whose files a sysroot holds:
# its symbols file tells dpkg-shlibdeps which version each symbol needs
# (packaging/shlibdeps.sh). Added in place to a sysroot made without them.
add_libc_control() {
  local arch=$1 dir=$2
  [ -f "$dir/DEBIAN/symbols" ] && return
  rm -rf "$dir.ctl" "$dir.ctl.apt" "$dir.ctl.debs"
  download "$arch" "$dir.ctl.apt" "$dir.ctl.debs" libc6
  dpkg-deb -e "$dir.ctl.debs"/libc6_*.deb "$dir.ctl"
  mv "$dir.ctl" "$dir/DEBIAN"
  rm -rf "$dir.ctl.apt" "$dir.ctl.debs"
}

make_minbase() {
  local suite=$1 tmp=$2
  debootstrap --variant=minbase "$suite" "$tmp" "$(mirror)" > "$tmp.log" 2>&1 || { cat "$tmp.log"; die "debootstrap $suite"; }
  rm -rf "$tmp.log" "$tmp/var/cache/apt/archives/"*.deb
}

make_debian11() {
  local tmp=$1
  cp -a "$("$0" debian11-minbase)/." "$tmp"
  rm -f "$tmp/.logdump-recipe"
  # The 32-bit program runs there too: the i386 C library beside the
  # amd64 one, as a multiarch system has it.
  # Unpacked through the root's /lib -> usr/lib link (merged /usr), not over it.
  download i386 "$tmp.apt" "$tmp.debs" libc6 libgcc-s1
  for deb in "$tmp.debs"/*.deb; do
    dpkg-deb --fsys-tarfile "$deb" | tar -x --keep-directory-symlink -C "$tmp"
  done
  chroot "$tmp" /sbin/ldconfig
  mkdir -p "$tmp/o_tmp"
  rm -rf "$tmp.apt" "$tmp.debs"
}

[ $# -gt 0 ] || die "usage: $0 sysroot-amd64|sysroot-i386|debian11-minbase|debian11|debian12..."
[ "$(id -u)" = 0 ] || die "must run as root"
mkdir -p "$cache"
for name in "$@"; do
  dir="$cache/$name"
  case $name in
    sysroot-amd64|sysroot-i386|debian11-minbase|debian11|debian12) ;;
    *) die "unknown tree $name" ;;
  esac
  # One maker at a time; the others wait and then find it made.
  exec 9> "$cache/.$name.lock"
  flock 9
  if [ "$(cat "$dir/.logdump-recipe" 2>/dev/null)" != "$recipe" ]; then
    echo "roots: making $dir (once)" >&2
    rm -rf "$dir" "$dir.tmp" "$dir.tmp.apt" "$dir.tmp.debs"
    mkdir -p "$dir.tmp"
    case $name in
      sysroot-*) make_sysroot "${name#sysroot-}" "$dir.tmp" ;;
      debian11-minbase) make_minbase bullseye "$dir.tmp" ;;
      debian11) make_debian11 "$dir.tmp" ;;
      debian12) make_minbase bookworm "$dir.tmp" ;;
    esac
    echo "$recipe" > "$dir.tmp/.logdump-recipe"
    mv "$dir.tmp" "$dir"
  fi
  case $name in
    sysroot-*) add_libc_control "${name#sysroot-}" "$dir" ;;
  esac
  exec 9>&-
  echo "$dir"
done
