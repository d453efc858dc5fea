#!/bin/sh
# The build most people type first: no preset, no -Werror, Release. It must
# build without a single warning, since a warning here is a warning on every
# newcomer's screen; the pure unit tests then run on the optimised code.
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh; fi
start=$(date +%s)
dir=build/plain-release
log=$dir.log
mkdir -p build
{ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release &&
  cmake --build "$dir" -j"$(nproc)"; } >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
if grep -n 'warning:' "$log"; then
    echo "== plain Release build: warnings (above)"
    exit 1
fi
"$dir"/tests/touchsdk_unit_tests --gtest_brief=1
echo "== plain Release: build and unit tests $(($(date +%s) - start)) s"
