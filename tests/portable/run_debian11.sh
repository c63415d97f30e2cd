#!/usr/bin/env bash
# A full simulated run of each program on an older system: in a Debian 11
# root (glibc 2.31, no libstdc++ of ours; made once by scripts/roots.sh) and
# on this machine, from the same vendor directory. Both must give the same
# log directory. The 32-bit program runs through qemu where the kernel needs
# it (binfmt's F flag keeps qemu usable inside the root).
#
# Usage (as root): run_debian11.sh BUILD_DIR [--old PROGRAM]
#   --old PROGRAM  a program built with this machine's toolchain, which must
#                  fail to start in the Debian 11 root (the test of this test)
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
root=$("$src/scripts/roots.sh" debian11)
case_dir=$(mktemp -d /var/tmp/logdump-debian11.XXXXXX)
fail() { echo "run-debian11: FAIL: $* (kept $case_dir)" >&2; exit 1; }

# $1: root ("" for this machine), $2: vendor directory, $3: where the log
# directory is copied to, rest: the command, run in the vendor directory.
# A mount namespace of its own gives the run fresh /o_tmp and /tmp.
run_in() {
  local r=$1 vendor=$2 out=$3
  shift 3
  unshare -m sh -euc '
    r=$1 vendor=$2 out=$3; shift 3
    mount -t tmpfs tmpfs "$r/o_tmp"
    mount -t tmpfs tmpfs "$r/tmp"
    mkdir -p "$r/o_tmp/TMP/KESTRA" "$r/tmp/vendor"
    mount --bind "$vendor" "$r/tmp/vendor"
    if [ -n "$r" ]; then
      mount --bind /proc "$r/proc"
      mount --rbind /dev "$r/dev"
      status=0; chroot "$r" sh -c "cd /tmp/vendor && exec \"\$@\"" sh "$@" || status=$?
    else
      status=0; (cd /tmp/vendor && exec "$@") || status=$?
    fi
    echo "exit status $status" > "$vendor/status"
    cp -a "$r/o_tmp/TMP/KESTRA" "$out"
  ' sh "$r" "$vendor" "$out" "$@"
}

if [ "${2:-}" = --old ]; then
  mkdir -p "$case_dir/old"
  cp "$3" "$case_dir/old/"
  run_in "$root" "$case_dir/old" "$case_dir/old-logs" "./$(basename "$3")" > "$case_dir/old.txt" 2>&1
  if [ "$(cat "$case_dir/old/status")" = "exit status 0" ]; then
    cat "$case_dir/old.txt"
    fail "$(basename "$3") started in the Debian 11 root"
  fi
  grep -q "version .GLIBC_2\.3[2-9]' not found" "$case_dir/old.txt" || { cat "$case_dir/old.txt"; fail "unexpected failure"; }
  echo "run-debian11: $(basename "$3") does not start there: $(grep -m1 -o "version .GLIBC[^ ]*' not found" "$case_dir/old.txt")"
  rm -rf "$case_dir"
  exit 0
fi

# width program cli library-target library-name
runs=("64 logdump64 RaidCli64 libraidstor_sim64.so libraidstor.so.2.52-0")
[ -x "$build/logdump" ] && runs+=("32 logdump RaidCli libraidstor_sim32.so libraidstor.so.2")
for r in "${runs[@]}"; do
  read -r bits prog cli lib libname <<<"$r"
  for where in host debian11; do
    v="$case_dir/$prog-$where"
    mkdir -p "$v"
    cp "$build/$prog" "$v/"
    cp "$build/raidcli_sim" "$v/$cli"
    cp "$build/$lib" "$v/$libname"
    cp -r "$src/sim/scenarios/demo.scn" "$src/sim/scenarios/pages" "$v/"
    rootdir=""
    [ "$where" = debian11 ] && rootdir=$root
    run_in "$rootdir" "$v" "$v-logs" env LOGDUMP_SIM_SCENARIO=/tmp/vendor/demo.scn "./$prog" \
      > "$v.console" 2>&1 || { cat "$v.console"; fail "$prog on $where"; }
  done
  host="$case_dir/$prog-host" old="$case_dir/$prog-debian11"
  # The demo's run: controller and drive logs, and its two error records.
  for f in Controller_0_fwtermlog.log controller_1_Flashrom.log MA0000.log MA0102.log logdperr.txt; do
    [ -s "$host-logs/$f" ] || { cat "$host.console"; fail "$prog on this machine wrote no $f"; }
  done
  cmp -s "$host/status" "$old/status" || fail "$prog: $(cat "$host/status") here, $(cat "$old/status") on Debian 11"
  diff -r "$host-logs" "$old-logs" > "$case_dir/$prog.diff" || { head -40 "$case_dir/$prog.diff"; fail "$prog: log directories differ"; }
  cmp -s "$host.console" "$old.console" || { diff "$host.console" "$old.console" | head -20; fail "$prog: console output differs"; }
  echo "run-debian11: $prog ($bits-bit): $(ls "$host-logs" | wc -l) files, the same on Debian 11 as here ($(cat "$host/status"))"
done
rm -rf "$case_dir"
