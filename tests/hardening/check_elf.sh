#!/usr/bin/env bash
# Reads the ELF headers of each program given and checks its hardening:
#   pie      ELF type DYN (a position-independent executable: ASLR moves it)
#   relro    a GNU_RELRO segment
#   now      immediate binding (BIND_NOW, or NOW in FLAGS/FLAGS_1): with
#            RELRO this makes the whole GOT read-only
#   canary   __stack_chk_fail referenced (stack protector)
#   fortify  at least one __*_chk function referenced (_FORTIFY_SOURCE)
#   nx-stack a GNU_STACK segment without execute permission
# Prints one line per property and fails when any is missing.
# With --expect-missing the opposite is checked: every property must be
# missing (the test of this checker on a program built without them).
set -uo pipefail

expect=present
if [ "${1:-}" = --expect-missing ]; then
  expect=missing
  shift
fi
[ $# -gt 0 ] || { echo "usage: $0 [--expect-missing] PROGRAM..." >&2; exit 2; }

failed=0
for prog in "$@"; do
  header=$(readelf -h "$prog") || { echo "$prog: not readable as ELF"; failed=1; continue; }
  segments=$(readelf -lW "$prog")
  dynamic=$(readelf -dW "$prog")
  symbols=$(readelf --dyn-syms -W "$prog")
  declare -A has=()
  grep -Eq '^ *Type: +DYN ' <<<"$header" && has[pie]=1
  grep -Eq '^ *GNU_RELRO ' <<<"$segments" && has[relro]=1
  grep -Eq '\(BIND_NOW\)|\(FLAGS(_1)?\) .*\<(BIND_)?NOW\>' <<<"$dynamic" && has[now]=1
  grep -Eq ' UND +__stack_chk_fail(@|$)' <<<"$symbols" && has[canary]=1
  grep -Eq ' UND +__[a-z0-9_]+_chk(@|$)' <<<"$symbols" && has[fortify]=1
  # Flags column of GNU_STACK: "RW " is fine, "RWE" is an executable stack.
  grep -Eq '^ *GNU_STACK .* RW +0x' <<<"$segments" && has[nx-stack]=1
  for p in pie relro now canary fortify nx-stack; do
    if [ -n "${has[$p]:-}" ]; then state=present; else state=missing; fi
    echo "$prog: $p $state"
    [ "$state" = "$expect" ] || failed=1
  done
  unset has
done
exit "$failed"
