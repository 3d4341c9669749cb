#!/usr/bin/env bash
# One workflow of the end-to-end suite: the real program under a virtual X server, driven from
# inside through its test hook (KQ7150FP_TEST_DRIVER).
#   run_workflow.sh <program> <driver library> <workflow> <expected exit status> <screenshot folder> [program arguments]
# "@WORK@" in an argument stands for the run's own folder, which also holds its home, its
# settings and its files and is removed afterwards; "@xE9@" for the byte 0xE9 (é in Latin-1, on
# its own not UTF-8), for names that only the system's bytes can spell.
set -uo pipefail
if [ -z "${KQ_E2E_INNER:-}" ]; then
  export KQ_E2E_INNER=1
  # KQ_E2E_SCREEN: another screen size for the workflows about small screens (QT_SCALE_FACTOR,
  # when set, reaches the program as it is).
  exec xvfb-run -a -s "-screen 0 ${KQ_E2E_SCREEN:-1280x1024}x24" "$0" "$@"
fi
program=$1 driver=$2 workflow=$3 expected=$4 shots=$5
shift 5
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/common"
args=()
for arg in "$@"; do
  arg=${arg//@WORK@/$work}
  args+=("${arg//@xE9@/$'\xe9'}")
done

# Nothing of the person's own set-up reaches the run: settings, saved descriptors, the default
# data file and plug-in folders all live in the run's folder.
unset KQ7150_SIM_CONFIG KQ7150_SIM_FAULTS VXIPNPPATH64 USERPROFILE
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config ALLUSERSPROFILE=$work/common
export KQ7150FP_TEST_DRIVER=$driver KQ7150FP_E2E_WORKFLOW=$workflow KQ7150FP_E2E_WORKDIR=$work \
  KQ7150FP_E2E_SHOTS=$shots

# A small disk of its own (KQ_E2E_SMALL_DISK_KB) as "disk" in the run's folder: a tmpfs mounted in
# a mount namespace of the program's own, gone with it. Where none can be made, the run is skipped.
runner=()
if [ -n "${KQ_E2E_SMALL_DISK_KB:-}" ]; then
  mkdir -p "$work/disk"
  flags=-m
  [ "$(id -u)" -eq 0 ] || flags=-rm
  if ! unshare "$flags" sh -c "mount -t tmpfs -o size=1k tmpfs '$work/disk'" 2>/dev/null; then
    echo "SKIP: no mount namespace here for a small disk"
    exit 77
  fi
  runner=(unshare "$flags" sh -c 'mount -t tmpfs -o size="$1"k tmpfs "$2" && shift 2 && exec "$@"' sh
          "$KQ_E2E_SMALL_DISK_KB" "$work/disk")
fi

"${runner[@]}" "$program" "${args[@]}" 2>&1 | tee "$work/output.txt"
status=${PIPESTATUS[0]}
grep -q "^E2E PASS $workflow\$" "$work/output.txt" || { echo "FAIL: $workflow did not pass"; exit 1; }
[ "$status" -eq "$expected" ] || { echo "FAIL: exit status $status, expected $expected"; exit 1; }
echo "ok: $workflow (screenshots: $shots/$workflow-*.png)"
