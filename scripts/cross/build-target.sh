#!/bin/bash
# build-target.sh [--build | --test] TARGET [BUILD_DIR]: configures and
# builds touchsdk for one board target (ppc64el, mipsel, mips64el, armhf)
# and checks the library's ELF and exports (--build), then runs the tests
# under qemu-user through ctest, one label after another: unit, device (the
# library against the emulated screen) and tools (the programs run against
# emulated screens) (--test). Without an option it does both. build-all.sh
# runs a target's tests while it builds the next target.
#
# The target's libudev must be unpacked first (fetch-deps.sh; build-all.sh
# does it), and for the device and tool tests its umockdev and GLib as well
# (fetch-deps.sh --with-emulator). TSD_CROSS_DEVICE_TESTS=0 builds without
# the emulated screen and runs the unit tests only. Extra configure
# arguments go in TSD_CROSS_CMAKE_ARGS. Writes "key value" results to
# BUILD_DIR/cross-results.txt for build-all.sh. Runs every step even after
# a failure, then exits non-zero if any failed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
build=yes test=yes
case "${1:-}" in
    --build) test=no; shift ;;
    --test) build=no; shift ;;
esac
[ $# -ge 1 ] || tsd_die "usage: $0 [--build|--test] TARGET [BUILD_DIR]  (targets: $TSD_CROSS_TARGETS)"
target=$1
tsd_target_vars "$target" || exit 2
dir=$(realpath -m "${2:-$tsd_root/build/$target}")
deps=${TSD_CROSS_DEPS:-$tsd_root/.deps}/$target
jobs=${TSD_CROSS_JOBS:-2}
results=$dir/cross-results.txt
reports=$dir/cross-tests
# TSD_CROSS_LABELS picks which of them run (e.g. "unit device"; .ci/run sets it).
labels=${TSD_CROSS_LABELS:-unit device tools}
status=0

emulator=ON
if [ "${TSD_CROSS_DEVICE_TESTS:-1}" = 0 ]; then
    emulator=OFF
    labels=unit
fi

step() {
    echo "== $target: $*"
}

# record KEY VALUE: one result line, replacing an earlier one for KEY.
record() {
    sed -i "/^$1 /d" "$results" 2>/dev/null
    echo "$1 $2" >>"$results"
}

configure_and_build() {
    # --fresh: a cache from an earlier toolchain file must not outlive it.
    # shellcheck disable=SC2086
    cmake --fresh -S "$tsd_root" -B "$dir" --toolchain "$toolchain" \
        -DTSD_CROSS_DEPS_ROOT="$deps" -DTSD_WITH_EMULATOR="$emulator" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TSD_CROSS_CMAKE_ARGS:-} &&
        cmake --build "$dir" -j"$jobs"
}

build_phase() {
    [ -e "$deps/usr/include/libudev.h" ] ||
        tsd_die "no libudev for $target in $deps: run scripts/cross/fetch-deps.sh $target"
    if [ "$emulator" = ON ] && [ ! -e "$deps/usr/lib/$triplet/libumockdev-preload.so.0" ]; then
        tsd_die "no umockdev for $target: run scripts/cross/fetch-deps.sh --with-emulator $target"
    fi
    mkdir -p "$dir"
    : >"$results"
    record target "$target"
    local start
    start=$(date +%s)
    step "configure and build (log: $dir/build.log)"
    if ! configure_and_build >"$dir/build.log" 2>&1; then
        tail -n 60 "$dir/build.log"
        record build FAIL
        record build_time "$(($(date +%s) - start))s"
        echo "== $target: build FAILED" >&2
        return 1
    fi
    record build ok
    record build_time "$(($(date +%s) - start))s"
    step check the library
    "$here/check-elf.sh" "$target" "$dir/libtouchsdk.so" "$results"
}

# xml_count FILE TAG ATTRIBUTE: the attribute of the first TAG element.
xml_count() {
    tr '\n\t' '  ' <"$1" | grep -o "<$2 [^>]*>" | head -n1 | grep -o " $3=\"[0-9]*\"" | tr -dc 0-9
}

# count_label LABEL: records "LABEL passed/run". Each GoogleTest case counts
# one (from the reports the programs of this label left), any other test
# one. A failed program that no failed case accounts for (a crash on exit,
# a timeout, a script) counts as one failure; any failure adds "FAIL".
count_label() {
    local label=$1 junit=$reports/ctest-$1.xml xml tests failed cases=0 bad=0 programs=0 explained=0
    [ -e "$junit" ] || { record "$label" "not run"; return; }
    # A skipped test (exit 77: nothing to check on this host) is not counted.
    tests=$(($(xml_count "$junit" testsuite tests) - $(xml_count "$junit" testsuite skipped)))
    failed=$(xml_count "$junit" testsuite failures)
    for xml in "$reports/gtest-$label"/*.xml; do
        [ -e "$xml" ] || continue
        programs=$((programs + 1))
        cases=$((cases + $(xml_count "$xml" testsuites tests)))
        local f
        f=$(xml_count "$xml" testsuites failures)
        bad=$((bad + f))
        ((f == 0)) || explained=$((explained + 1))
    done
    local run=$((cases + tests - programs)) unexplained=$((failed - explained))
    ((unexplained > 0)) || unexplained=0
    local verdict="$((run - bad - unexplained))/$run"
    ((failed == 0)) || verdict="$verdict FAIL"
    record "$label" "$verdict"
}

# run_label LABEL: the tests carrying LABEL, under qemu-user.
run_label() {
    local label=$1 start ok=0
    start=$(date +%s)
    step "$label tests under $qemu"
    # gtest reads GTEST_OUTPUT in the target process: qemu-user passes the
    # environment through, so each test binary leaves its XML report here.
    GTEST_OUTPUT=xml:$reports/gtest-$label/ \
        ctest --test-dir "$dir" -L "^$label\$" --output-on-failure --no-tests=error \
              -j"$jobs" --output-junit "$reports/ctest-$label.xml" || ok=1
    record "${label}_time" "$(($(date +%s) - start))s"
    count_label "$label"
    return "$ok"
}

test_phase() {
    [ -e "$dir/libtouchsdk.so" ] || tsd_die "no build of $target in $dir"
    rm -rf "$reports"
    mkdir -p "$reports"
    local label failed=0
    for label in $labels; do
        run_label "$label" || failed=1
    done
    return "$failed"
}

start=$(date +%s)
if [ "$build" = yes ] && ! build_phase; then
    status=1
    # Nothing to test without a build.
    grep -qx "build FAIL" "$results" && test=no
fi
if [ "$test" = yes ] && ! test_phase; then status=1; fi

if ((status != 0)); then
    echo "== $target: FAILED (see above)" >&2
else
    echo "== $target: ok in $(($(date +%s) - start)) s"
fi
exit "$status"
