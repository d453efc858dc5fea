#!/bin/bash
# build-target.sh TARGET [BUILD_DIR]: configures and builds touchsdk for one
# board target (ppc64el, mipsel, mips64el, armhf), checks the library's ELF
# and exports, and runs the test suites under qemu-user through ctest.
# The target's libudev must be unpacked first (fetch-deps.sh; build-all.sh
# does it). With TSD_CROSS_DEVICE_TESTS=1 the emulated screen is built too
# and the device tests run under qemu-user as well (their packages come from
# fetch-deps.sh --with-emulator). Extra configure arguments go in
# TSD_CROSS_CMAKE_ARGS. Writes "key value" results to
# BUILD_DIR/cross-results.txt for build-all.sh. Runs every step even after
# a failure, then exits non-zero if any failed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
[ $# -ge 1 ] || tsd_die "usage: $0 TARGET [BUILD_DIR]  (targets: $TSD_CROSS_TARGETS)"
target=$1
tsd_target_vars "$target" || exit 2
build=$(realpath -m "${2:-$tsd_root/build/$target}")
deps=${TSD_CROSS_DEPS:-$tsd_root/.deps}/$target
jobs=${TSD_CROSS_JOBS:-2}
results=$build/cross-results.txt
status=0

[ -e "$deps/usr/include/libudev.h" ] ||
    tsd_die "no libudev for $target in $deps: run scripts/cross/fetch-deps.sh $target"
emulator=OFF
if [ "${TSD_CROSS_DEVICE_TESTS:-0}" = 1 ]; then
    emulator=ON
    [ -e "$deps/usr/lib/$triplet/libumockdev-preload.so.0" ] ||
        tsd_die "no umockdev for $target: run scripts/cross/fetch-deps.sh --with-emulator $target"
fi
mkdir -p "$build"
: >"$results"
echo "target $target" >>"$results"

step() {
    echo "== $target: $*"
}

# xml_count FILE TAG ATTRIBUTE: the attribute of the first TAG element.
xml_count() {
    tr '\n\t' '  ' <"$1" | grep -o "<$2 [^>]*>" | head -n1 | grep -o " $3=\"[0-9]*\"" | tr -dc 0-9
}

# Records one entry per ctest test, short-named: "unit 17/17" (gtest cases
# passed/run) for a test program, "exports ok" for any other test.
summarise_tests() {
    local junit=$build/ctest-results.xml entry name verdict xml run failed summary=""
    [ -e "$junit" ] || return 0
    while read -r entry; do
        name=$(sed -n 's/.* name="\([^"]*\)".*/\1/p' <<<"$entry")
        verdict=$(sed -n 's/.* status="\([^"]*\)".*/\1/p' <<<"$entry")
        xml=$build/gtest-results/$name.xml
        name=${name#touchsdk_}
        name=${name%_tests}
        if [ -e "$xml" ]; then
            run=$(xml_count "$xml" testsuites tests)
            failed=$(xml_count "$xml" testsuites failures)
            summary="$summary, $name $((run - failed))/$run"
            # A program can pass every case and still fail (a crash on exit).
            if [ "$verdict" = fail ] && ((failed == 0)); then summary="$summary FAIL"; fi
        elif [ "$verdict" = fail ]; then
            summary="$summary, $name FAIL"
        else
            summary="$summary, $name ok"
        fi
    done < <(tr '\n\t' '  ' <"$junit" | grep -o '<testcase [^>]*>')
    echo "tests ${summary#, }" >>"$results"
}

configure_and_build() {
    # --fresh: a cache from an earlier toolchain file must not outlive it.
    # shellcheck disable=SC2086
    cmake --fresh -S "$tsd_root" -B "$build" --toolchain "$toolchain" \
        -DTSD_CROSS_DEPS_ROOT="$deps" -DTSD_WITH_EMULATOR="$emulator" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TSD_CROSS_CMAKE_ARGS:-} &&
        cmake --build "$build" -j"$jobs"
}

start=$(date +%s)
step "configure and build (log: $build/build.log)"
if ! configure_and_build >"$build/build.log" 2>&1; then
    tail -n 60 "$build/build.log"
    echo "build FAIL" >>"$results"
    echo "build_time $(($(date +%s) - start))s" >>"$results"
    echo "== $target: build FAILED" >&2
    exit 1
fi
echo "build ok" >>"$results"
built=$(date +%s)
echo "build_time $((built - start))s" >>"$results"

step check the library
"$here/check-elf.sh" "$target" "$build/libtouchsdk.so" "$results" || status=1

step test under "$qemu"
rm -rf "$build/gtest-results"
# gtest reads GTEST_OUTPUT in the target process: qemu-user passes the
# environment through, so each test binary leaves its XML report here.
GTEST_OUTPUT=xml:$build/gtest-results/ \
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$jobs" \
          --output-junit "$build/ctest-results.xml" || status=1
echo "test_time $(($(date +%s) - built))s" >>"$results"
summarise_tests

if ((status != 0)); then
    echo "== $target: FAILED (see above)" >&2
else
    echo "== $target: ok in $(($(date +%s) - start)) s"
fi
exit "$status"
