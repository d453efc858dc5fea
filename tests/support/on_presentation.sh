#!/bin/sh
# on_presentation.sh TSD-EMULATE [ARGS...]: runs tsd-emulate on the
# presentation the tests are asked to use: TSD_TEST_PRESENTATION=usbip puts
# the screens on the kernel's USB/IP host controller, anything else keeps
# them in umockdev.
emulate=$1
shift
if [ "${TSD_TEST_PRESENTATION:-}" = usbip ]; then
    exec "$emulate" --usbip "$@"
fi
exec "$emulate" "$@"
