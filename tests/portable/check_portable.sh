#!/usr/bin/env bash
# Reads the dynamic section and symbol versions of each program or library
# given and checks that it starts on glibc 2.17 and later with nothing else
# from the host:
#   needed   only libc, libdl, libpthread, libm and the loader (no C++
#            runtime, no libgcc_s)
#   glibc    no version needed newer than GLIBC_2.17
#   runtime  no version of libstdc++ (GLIBCXX_, CXXABI_) or libgcc (GCC_)
# Prints one line per file and property, and fails when any does not hold.
set -uo pipefail

[ $# -gt 0 ] || { echo "usage: $0 FILE..." >&2; exit 2; }
allowed='^(libc\.so\.6|libdl\.so\.2|libpthread\.so\.0|libm\.so\.6|ld-linux-x86-64\.so\.2|ld-linux\.so\.2)$'

failed=0
for f in "$@"; do
  readelf -h "$f" > /dev/null 2>&1 || { echo "$f: not readable as ELF"; failed=1; continue; }
  needed=$(readelf -dW "$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  # Every version the file needs, from its version-needs section.
  versions=$(readelf -VW "$f" | sed -n 's/.*Name: \([A-Z_]*[0-9][0-9.]*\) .*/\1/p' | sort -u)
  newest=$(grep '^GLIBC_' <<<"$versions" | sort -V | tail -1)
  others=$(grep -E '^(GLIBCXX|CXXABI|GCC)_' <<<"$versions" | tr '\n' ' ')
  bad=0
  extra=$(grep -Ev "$allowed" <<<"$needed" | grep . | tr '\n' ' ')
  echo "$f: needed $(tr '\n' ' ' <<<"$needed")${extra:+(not allowed: $extra)}"
  [ -z "$extra" ] || bad=1
  echo "$f: newest ${newest:-no GLIBC version}"
  [ "$(printf '%s\nGLIBC_2.17\n' "$newest" | sort -V | tail -1)" = GLIBC_2.17 ] || bad=1
  [ -z "$others" ] || { echo "$f: runtime versions $others"; bad=1; }
  if [ $bad = 1 ]; then
    echo "$f: FAIL: not portable"
    failed=1
  fi
done
exit "$failed"
