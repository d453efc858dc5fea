#!/bin/sh
# Runs the library against emulated screens under valgrind memcheck: the
# device tests, and the C demo application served by tsd-emulate. Any
# invalid access, use of uninitialised memory, or definite or indirect leak
# fails the run. Uses the release build (scripts/test.sh builds it).
#   scripts/valgrind.sh
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh valgrind; fi
start=$(date +%s)
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target touchsdk_device_tests tsd-emulate tsd-demo
build=build/release
# The tests re-execute themselves under the umockdev preload, which would
# leave valgrind behind; umockdev-wrapper sets the preload up front instead.
memcheck() {
    umockdev-wrapper valgrind -q --error-exitcode=9 --leak-check=full \
        --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
        --suppressions=tests/support/valgrind.supp "$@"
}
memcheck "$build/tests/touchsdk_device_tests" --gtest_brief=1
# The demo is the child of tsd-emulate: both are checked.
memcheck --trace-children=yes "$build/tools/emulate/tsd-emulate" --touch -- "$build/examples/tsd-demo" 20
echo "== valgrind: $(($(date +%s) - start)) s"
