#!/bin/sh
# Runs the scale benchmarks one after the other and ends with every figure
# they printed (lines "FIGURE <name> <value> <unit>"). Each benchmark
# measures the library next to a bare baseline or a smaller size in the
# same run, so the ratios hold on a shared, noisy machine where absolute
# times do not.
#   scripts/bench-scale.sh            full sizes, build in build/release
#   scripts/bench-scale.sh --quick    small sizes: a smoke test of the programs
# BUILD_DIR overrides the build directory; it must be configured with the
# emulator (the default when umockdev is found).
set -eu
cd "$(dirname "$0")/.."
quick=no
if [ "${1:-}" = "--quick" ]; then quick=yes; fi
build=${BUILD_DIR:-build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset release; fi
programs="bench-report-cpu bench-screens bench-enumeration bench-hotplug-burst bench-memory"
for p in $programs; do targets="${targets:-} --target $p"; done
# shellcheck disable=SC2086
cmake --build "$build" $targets -j"$(nproc)"

log=$(mktemp)
out=$(mktemp)
trap 'rm -f "$log" "$out"' EXIT
status=0
run() {
    echo "== $*"
    program=$1
    shift
    "$build/bench/$program" "$@" >"$out" || { echo "== $program failed"; status=1; }
    cat "$out"
    cat "$out" >>"$log"
}
if [ "$quick" = yes ]; then
    run bench-report-cpu 200 5000 1
    run bench-screens 1 1 4
    run bench-enumeration 2 64
    run bench-hotplug-burst 100 2
    run bench-memory 4
else
    run bench-report-cpu
    run bench-screens
    run bench-enumeration
    run bench-hotplug-burst
    run bench-memory
fi
echo "== figures"
grep '^FIGURE ' "$log"
exit "$status"
