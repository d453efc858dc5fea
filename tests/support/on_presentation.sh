#!/bin/sh
# on_presentation.sh TSD-EMULATE [ARGS...]: runs tsd-emulate on the
# presentation the tests are asked to use: TSD_TEST_PRESENTATION=usbip puts
# the screens on the kernel's USB/IP host controller, anything else keeps
# them in umockdev. TSD_TEST_RUNNER (the runner's words, empty on a native
# build) starts a board's tsd-emulate under qemu-user.
emulate=$1
shift
if [ "${TSD_TEST_PRESENTATION:-}" = usbip ]; then
    # shellcheck disable=SC2086 # the runner is words
    exec ${TSD_TEST_RUNNER:-} "$emulate" --usbip "$@"
fi
# shellcheck disable=SC2086
exec ${TSD_TEST_RUNNER:-} "$emulate" "$@"
