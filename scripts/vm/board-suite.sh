#!/bin/sh
# board-suite.sh BUILD_DIR DEPS_DIR: the guest's half of board-test.sh, on
# the board's own user space: one screen listed by tsdctl through the kernel,
# then the device tests on the USB/IP presentation.
set -u
build=$1 deps=$2
# The cross build's umockdev and GLib, which the test programs link.
for d in "$deps"/usr/lib/* "$deps"/lib/*; do
    [ ! -d "$d" ] || LD_LIBRARY_PATH=${LD_LIBRARY_PATH:+$LD_LIBRARY_PATH:}$d
done
export LD_LIBRARY_PATH LANG=C.UTF-8
status=0

serial=VM-SMOKE-1
listing=$("$build/tools/emulate/tsd-emulate" --usbip --serial "$serial" -- \
    "$build/tools/tsdctl/tsdctl" list 2>&1)
echo "$listing"
case $listing in
    *"$serial"*) echo "== tsdctl list through the kernel: passed" ;;
    *) echo "== tsdctl list through the kernel: FAILED"; status=1 ;;
esac

t0=$(cut -d' ' -f1 /proc/uptime)
"$build/tests/touchsdk_device_tests" --gtest_brief=1 >/tmp/device.log 2>&1
rc=$?
cat /tmp/device.log
t1=$(cut -d' ' -f1 /proc/uptime)
ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran.*/\1/p' /tmp/device.log)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}.*/\1/p' /tmp/device.log)
failed=$(grep -c '^\[  FAILED  \] [^0-9]' /tmp/device.log)
echo "== device tests: ${ran:-0} ran, ${skipped:-0} skipped, $failed failed," \
    "$(awk "BEGIN { printf \"%.0f\", $t1 - $t0 }") s (exit status $rc)"
[ "$rc" = 0 ] || status=1
exit "$status"
