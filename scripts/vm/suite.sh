#!/bin/sh
# suite.sh BUILD_DIR JUNIT LABELS: the guest's half of
# vm-test.sh. With the USB/IP presentation built, first shows one screen to
# the whole machine through the kernel (tsdctl must list it with its serial),
# then runs the tests of the given ctest labels; ctest's own result line comes
# last.
set -u
build=$1 junit=$2 labels=$3
emulate=$(find "$build" -name tsd-emulate -type f -perm -u+x | head -n 1)
tsdctl=$(find "$build" -name tsdctl -type f -perm -u+x | head -n 1)

if [ "${TSD_TEST_PRESENTATION:-}" = usbip ]; then
    serial=VM-SMOKE-1
    echo "== smoke: tsd-emulate --usbip -- tsdctl list"
    listing=$("$emulate" --usbip --serial "$serial" -- "$tsdctl" list 2>&1)
    echo "$listing"
    case $listing in
        *"$serial"*) echo "== smoke: passed" ;;
        *) echo "== smoke: FAILED (no screen with serial $serial)"; exit 1 ;;
    esac
fi

# One test at a time: on the real kernel every screen is visible to every
# test, so a test that counts screens would see its neighbours'.
ctest --test-dir "$build" --output-on-failure --output-junit "$junit" -L "$labels"
