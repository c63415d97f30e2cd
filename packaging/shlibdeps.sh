#!/usr/bin/env bash
# Prints the Depends of a program as dpkg-shlibdeps computes them against
# the C library of a sysroot: the Debian package whose files and symbols
# file (DEBIAN/symbols, scripts/roots.sh keeps it) the sysroot holds.
# Usage: packaging/shlibdeps.sh PROGRAM SYSROOT
set -euo pipefail
prog=$1 sysroot=$2
[ -f "$sysroot/DEBIAN/symbols" ] ||
  { echo "shlibdeps: $sysroot holds no C library's symbols file (scripts/roots.sh makes it)" >&2; exit 1; }
case $(file -b "$prog") in
  *32-bit*) triplet=i386-linux-gnu ;;
  *) triplet=x86_64-linux-gnu ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps wants a source tree (debian/control) and the program in a
# package's tree (DEBIAN).
mkdir -p "$work/debian" "$work/pkg/DEBIAN" "$work/pkg/usr/bin"
: > "$work/debian/control"
cp "$prog" "$work/pkg/usr/bin/"
cd "$work"
dpkg-shlibdeps -O -l"$sysroot/lib/$triplet" "pkg/usr/bin/$(basename "$prog")" | sed -n 's/^shlibs:Depends=//p'
