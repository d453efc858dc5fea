#!/bin/bash
# build-all.sh [TARGET...]: unpacks the targets' packages (when missing, or
# always with TSD_CROSS_REFRESH=1), then builds, checks and tests every
# board target (default: all four) with build-target.sh and prints a
# summary table, also left in BUILD_ROOT/cross-summary.txt. Exits non-zero
# if any target failed.
#
# The targets build one after another; each target's tests run under
# qemu-user while the next target builds (the tests wait on the emulated
# screens much of the time, and qemu runs one program on one core), and the
# test runs themselves queue one behind the other. TSD_CROSS_DEVICE_TESTS=0
# leaves out the emulated screen: unit tests only.
# Build directories: build/<target> in the source tree (as the presets), or
# <target> under TSD_CROSS_BUILD_ROOT when set.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
targets=${*:-$TSD_CROSS_TARGETS}
deps=${TSD_CROSS_DEPS:-$tsd_root/.deps}
build_root=${TSD_CROSS_BUILD_ROOT:-$tsd_root/build}
summary=$build_root/cross-summary.txt
for t in $targets; do tsd_target_vars "$t" || exit 2; done
mkdir -p "$build_root"

fetch_options=(--with-emulator)
needed=usr/include/umockdev-1.0/umockdev.h
if [ "${TSD_CROSS_DEVICE_TESTS:-1}" = 0 ]; then
    fetch_options=()
    needed=usr/include/libudev.h
fi
missing=""
for t in $targets; do
    [ -e "$deps/$t/$needed" ] || missing="$missing $t"
done
[ "${TSD_CROSS_REFRESH:-0}" = 1 ] && missing=$targets
fetch_time=0
if [ -n "$missing" ]; then
    echo "== fetching target packages for:$missing"
    t0=$(date +%s)
    # shellcheck disable=SC2086
    "$here/fetch-deps.sh" "${fetch_options[@]}" $missing || tsd_die "fetching target packages failed"
    fetch_time=$(($(date +%s) - t0))
    echo "== fetched in $fetch_time s"
fi

# result FILE KEY: the value recorded for KEY, or "-".
result() {
    local value
    value=$(sed -n "s/^$2 //p" "$1" 2>/dev/null | head -n1)
    echo "${value:--}"
}

# Test runs take this lock in turn, so that at most one competes with the
# build of the next target.
lock=$build_root/.cross-test.lock
start=$(date +%s)
declare -A testers
failed=""
for t in $targets; do
    if "$here/build-target.sh" --build "$t" "$build_root/$t"; then
        flock "$lock" "$here/build-target.sh" --test "$t" "$build_root/$t" \
            >"$build_root/$t/test.log" 2>&1 &
        testers[$t]=$!
    else
        failed="$failed $t"
    fi
done
for t in $targets; do
    [ -n "${testers[$t]:-}" ] || continue
    wait "${testers[$t]}" || failed="$failed $t"
    echo "== $t: tests (log: $build_root/$t/test.log)"
    # A passing run is summarised in the table; a failing one is shown whole.
    if [[ " $failed " == *" $t "* ]]; then cat "$build_root/$t/test.log"; fi
done
total=$(($(date +%s) - start))

{
    echo "== cross targets (passed/run under qemu-user; times in seconds)"
    format="%-9s %-5s %-7s %-6s %-9s %-9s %-9s %6s %5s %6s %5s\n"
    # shellcheck disable=SC2059
    printf "$format" target ELF exports glibc unit device tools build unit device tools
    for t in $targets; do
        r=$build_root/$t/cross-results.txt
        # shellcheck disable=SC2059
        printf "$format" "$t" "$(result "$r" elf)" "$(result "$r" exports)" \
            "$(result "$r" glibc)" "$(result "$r" unit)" "$(result "$r" device)" \
            "$(result "$r" tools)" "$(result "$r" build_time)" "$(result "$r" unit_time)" \
            "$(result "$r" device_time)" "$(result "$r" tools_time)"
    done
    echo "fetch ${fetch_time}s; builds and tests ${total}s (each target's tests overlap the next build)"
} | tee "$summary"
if [ -n "$failed" ]; then
    echo "== FAILED:$failed" >&2
    exit 1
fi
echo "== all cross targets passed"
