# shellcheck shell=bash
# Simulated fleet hosts on this machine, sourced by fleet/tests/fleet-test.sh
# and bench/fleet_bench.sh. Each host has its own vendor directory,
# scenario, log directory and archive directory under $case_dir/<host>, and
# runs its modules in a mount namespace of its own, where its directories
# stand at /o_tmp and /tmp, through a wrapper given as its Python
# interpreter. $case_dir must lie outside the paths the namespaces mount
# over (a checkout may be under /tmp): /var/tmp. The caller sets case_dir,
# build (the build directory) and fleet (the fleet/ directory).

# One controller with one SAS disk.
fleet_scenario='controller 0
device 0 0 sas vendor ACMEDRV product DK600SA0006 rev 0004 serial "FLEET0000001"
page 0 0 0x0d "0d00000c000003020024000103020044"'

# fleet_inventory FETCH_DIR [POLL-INTERVAL]: starts $case_dir/inventory.yml;
# make_host adds the hosts, and a caller may add a "  children:" section
# after the last.
fleet_inventory() {
  cat > "$case_dir/inventory.yml" <<INV
all:
  vars:
    ansible_connection: local
    ansible_become: false  # the test runs as root already
    logdump_bin_dir: $build
    logdump_fetch_dir: $1
${2:+    logdump_poll_interval: $2
}  hosts:
INV
}

# make_host host width scenario-extra has-library [time-limit [inventory-width]]
# An inventory width of "" leaves logdump_width unset. Lines a caller
# appends to the inventory right after it belong to this host. With
# host_cpu=yes, each module run on the host appends the processor time it
# took (the shell's "times": its own, then its children's) to
# $case_dir/<host>/cpu.txt; a module's detached job (an async run) is not
# its child and is not counted.
make_host() {
  local h=$1 width=$2 extra=$3 lib=$4 limit=${5:-120} dir="$case_dir/$1"
  # The wrapper's own words, written into it as they are.
  # shellcheck disable=SC2016
  local python='exec /usr/bin/python3 "$@"'
  # shellcheck disable=SC2016
  [ "${host_cpu:-}" != yes ] || python='/usr/bin/python3 "$@"; s=$?; times >> "$0/cpu.txt"; exit $s'
  mkdir -p "$dir/vendor" "$dir/tmp" "$dir/otmp/TMP/KESTRA" "$dir/archive"
  printf '%s\n%s\n' "$fleet_scenario" "$extra" > "$dir/scenario.scn"
  if [ "$width" = 64 ]; then
    cp "$build/raidcli_sim" "$dir/vendor/RaidCli64"
    [ "$lib" = no ] || cp "$build/libraidstor_sim64.so" "$dir/vendor/libraidstor.so.2.52-0"
  else
    cp "$build/raidcli_sim" "$dir/vendor/RaidCli"
    [ "$lib" = no ] || cp "$build/libraidstor_sim32.so" "$dir/vendor/libraidstor.so.2"
  fi
  cat > "$dir/python" <<WRAP
#!/bin/sh
# This host's own /o_tmp and /tmp, for every module run on it; Debian's
# Python, from a directory that the mounts leave in place.
cd /
exec unshare -m sh -c 'mount --bind "\$0/otmp" /o_tmp && mount --bind "\$0/tmp" /tmp || exit; $python' '$dir' "\$@"
WRAP
  chmod 0755 "$dir/python"
  local inv_width=${6-$width}
  cat >> "$case_dir/inventory.yml" <<INV
    $h:
${inv_width:+      logdump_width: $inv_width
}      logdump_vendor_dir: $dir/vendor
      logdump_archive_dir: $dir/archive
      logdump_time_limit: $limit
      ansible_python_interpreter: $dir/python
      logdump_environment:
        LOGDUMP_SIM_SCENARIO: $dir/scenario.scn
        LOGDUMP_SIM_TRACE: $dir/trace.txt
INV
}

# run_playbook LOG EXPECTED-STATUS FETCH-DIR [ansible-playbook arguments]
# Runs site.yml with fleet/ansible.cfg over the inventory, its output into
# LOG; fails (through the caller's fail) on another status.
run_playbook() {
  local log=$1 expect=$2 out=$3 rc=0
  shift 3
  ANSIBLE_CONFIG="$fleet/ansible.cfg" LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCALHOST_WARNING=0 \
    ANSIBLE_HOST_KEY_CHECKING=0 ANSIBLE_SSH_ARGS='-o ConnectTimeout=5' \
    timeout 1800 ansible-playbook -i "$case_dir/inventory.yml" -e "logdump_fetch_dir=$out" "$@" "$fleet/site.yml" \
    > "$log" 2>&1 || rc=$?
  [ "$rc" = "$expect" ] || { cat "$log"; fail "$(basename "$log" .log): ansible-playbook status $rc, expected $expect"; }
}
