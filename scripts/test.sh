#!/bin/sh
# Builds touchsdk and runs every test: pure units, the library against the
# emulated screen, the export and C-header checks.
#   scripts/test.sh            the plain build (preset "release")
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh tsan       ThreadSanitizer
set -eu
cd "$(dirname "$0")/.."
preset=${1:-release}
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh; fi
start=$(date +%s)
cmake --preset "$preset"
cmake --build --preset "$preset" -j"$(nproc)"
built=$(date +%s)
ctest --preset "$preset"
echo "== $preset: build $((built - start)) s, tests $(($(date +%s) - built)) s"
