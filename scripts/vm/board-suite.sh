#!/bin/sh
# board-suite.sh BUILD_DIR DEPS_DIR: the guest's half of board-test.sh, on
# the board's own user space: one screen listed by tsdctl through the kernel,
# then the device tests on the USB/IP presentation.
set -u
build=$1 deps=$2
# The programs and the libraries they link (the library, and the cross
# build's umockdev and GLib) run from the guest's memory: on MIPS a file on
# the shared folder cannot be executed.
bin=/tmp/tsd-programs
mkdir -p "$bin/lib"
cp "$build/tests/touchsdk_device_tests" "$build/tools/emulate/tsd-emulate" \
    "$build/tools/tsdctl/tsdctl" "$bin/" || exit 1
cp -P "$build"/libtouchsdk.so* "$bin/lib/" || exit 1
for d in "$deps"/usr/lib/* "$deps"/lib/*; do
    [ ! -d "$d" ] || cp -P "$d"/*.so* "$bin/lib/" 2>/dev/null
done
export LD_LIBRARY_PATH=$bin/lib LANG=C.UTF-8
status=0

serial=VM-SMOKE-1
listing=$("$bin/tsd-emulate" --usbip --serial "$serial" -- "$bin/tsdctl" list 2>&1)
echo "$listing"
case $listing in
    *"$serial"*) echo "== tsdctl list through the kernel: passed" ;;
    *) echo "== tsdctl list through the kernel: FAILED"; status=1 ;;
esac

t0=$(cut -d' ' -f1 /proc/uptime)
"$bin/touchsdk_device_tests" --gtest_brief=1 >/tmp/device.log 2>&1
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
