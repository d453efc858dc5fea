#!/bin/bash
# board-test.sh ARCH: vm-test.sh for a board processor. Cross-builds the
# project for ARCH where build/ARCH has no device tests yet (the cross
# scripts, which also unpack the board's libudev, umockdev and GLib), then
# boots Debian's kernel for the board under qemu and runs there, natively,
# `tsdctl list` and the device tests against screens on the kernel's USB/IP
# host controller. ctest is a host program, so the guest runs the test
# program itself and the last line is GoogleTest's own.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/vm/lib.sh
. "$here/lib.sh"
arch=${1:?usage: board-test.sh ARCH}
vm_arch_vars "$arch"
start=$(date +%s)
build=$vm_root/build/$arch
deps=${TSD_CROSS_DEPS:-$vm_root/.deps}/$arch
if [ ! -x "$build/tests/touchsdk_device_tests" ]; then
    if [ "$(id -u)" = 0 ]; then "$vm_root/scripts/cross/setup-host.sh"; fi
    [ -e "$deps/usr/lib" ] || "$vm_root/scripts/cross/fetch-deps.sh" --with-emulator "$arch"
    "$vm_root/scripts/cross/build-target.sh" --build "$arch"
fi
built=$(date +%s)

out=$vm_root/build/vm-test/$arch
rm -rf "$out"
mkdir -p "$out"
export TSD_VM_TIMES=$out/times TSD_TEST_PRESENTATION=usbip
set +e
"$vm_root/scripts/vm-run.sh" --arch "$arch" --timeout 2400 -- \
    sh "$here/board-suite.sh" "$build" "$deps" | tee "$out/console.log"
status=${PIPESTATUS[0]}
set -e
# shellcheck source=/dev/null
[ ! -e "$TSD_VM_TIMES" ] || . "$TSD_VM_TIMES"
{
    echo "== kernel tests ($arch, presentation usbip, native in the guest)"
    grep -a '^== ' "$out/console.log" | sed 's/^== /   /' || true
    echo "build $((built - start)) s, boot ${vm_boot:-?} s (${vm_accel:-?}), tests ${vm_command:-?} s," \
        "step $(($(date +%s) - start)) s"
} | tee "$vm_root/build/kernel-summary-$arch.txt"
result=$(grep -a '^\[  PASSED  \]\|^\[  FAILED  \] [0-9]* test' "$out/console.log" | tail -n 1 || true)
echo "${result:-the device tests did not finish (exit status $status)}"
exit "$status"
