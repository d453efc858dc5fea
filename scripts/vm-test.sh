#!/bin/bash
# vm-test.sh [--preset PRESET] [--arch ARCH]
#
# Builds the project on the host, then boots one virtual machine on Debian's
# own kernel (scripts/vm-run.sh) and runs there, against screens that the
# kernel's USB/IP host controller presents, the device tests, the tool tests
# and the Python tests: the library's unmodified code on the real usbhid,
# hidraw and udev. Prints per group how many tests ran and passed, the boot
# and step times, and ends with ctest's own result line.
#
# Until tsd-emulate can present screens through USB/IP, the unit tests run
# instead, which proves the machinery and nothing about the kernel.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/vm/lib.sh
. "$here/vm/lib.sh"

preset=release arch=amd64
while [ $# -gt 0 ]; do
    case $1 in
        --preset) preset=${2:?}; shift 2 ;;
        --arch) arch=${2:?}; shift 2 ;;
        *) sed -n '2s/^# //p' "$0" >&2; exit 2 ;;
    esac
done
vm_arch_vars "$arch"
[ "$arch" = amd64 ] || exec "$here/vm/board-test.sh" "$arch"

start=$(date +%s)
cd "$vm_root"
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh; fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
built=$(date +%s)
build=$vm_root/build/$preset
emulate=$(find "$build" -name tsd-emulate -type f -perm -u+x | head -n 1)

if [ -n "$emulate" ] && "$emulate" --help 2>&1 | grep -q -- --usbip; then
    export TSD_TEST_PRESENTATION=usbip
    groups=(device tools python)
else
    echo "== tsd-emulate cannot present screens through USB/IP: running the unit tests"
    groups=(unit)
fi
label_regex=$(IFS='|'; echo "^(${groups[*]})\$")

# The build tree is scratch in the guest (FIFOs and sockets cannot live on
# the shared folder); the reports go next to it.
out=$vm_root/build/vm-test/$preset
rm -rf "$out" "$vm_root/build/kernel-summary.txt"
mkdir -p "$out"
ctest --test-dir "$build" -N --show-only=json-v1 -L "$label_regex" >"$out/tests.json"
export TSD_VM_TIMES=$out/times
set +e
"$here/vm-run.sh" --arch "$arch" --smp 2 --timeout 1500 --scratch "$build" -- \
    sh "$here/vm/suite.sh" "$build" "$out/junit.xml" "$label_regex" |
    tee "$out/console.log"
status=${PIPESTATUS[0]}
set -e

echo
{
    echo "== kernel tests ($arch, presentation ${TSD_TEST_PRESENTATION:-none}, preset $preset)"
    if [ -e "$out/junit.xml" ]; then
        python3 "$here/vm/summary.py" "$out/tests.json" "$out/junit.xml" "${groups[@]}"
    fi
    # shellcheck source=/dev/null
    [ ! -e "$TSD_VM_TIMES" ] || . "$TSD_VM_TIMES"
    echo "build $((built - start)) s, boot ${vm_boot:-?} s (${vm_accel:-?}), tests ${vm_command:-?} s," \
        "step $(($(date +%s) - start)) s"
} | tee "$vm_root/build/kernel-summary.txt"
result=$(grep -a 'tests passed.*tests failed out of' "$out/console.log" | tail -n 1 || true)
echo "${result:-ctest did not finish (exit status $status)}"
exit "$status"
