#!/bin/bash
# build-all.sh [TARGET...]: unpacks the targets' libudev (when missing, or
# always with TSD_CROSS_REFRESH=1), then builds, checks and tests every
# board target (default: all four) with build-target.sh, one after another,
# and prints a summary table. Exits non-zero if any target failed. With
# TSD_CROSS_DEVICE_TESTS=1 the device tests run under qemu-user too.
# Build directories: build/<target> in the source tree (as the presets), or
# <target> under TSD_CROSS_BUILD_ROOT when set.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
targets=${*:-$TSD_CROSS_TARGETS}
deps=${TSD_CROSS_DEPS:-$tsd_root/.deps}
build_root=${TSD_CROSS_BUILD_ROOT:-$tsd_root/build}
for t in $targets; do tsd_target_vars "$t" || exit 2; done

fetch_options=()
needed=usr/include/libudev.h
if [ "${TSD_CROSS_DEVICE_TESTS:-0}" = 1 ]; then
    fetch_options=(--with-emulator)
    needed=usr/include/umockdev-1.0/umockdev.h
fi
missing=""
for t in $targets; do
    [ -e "$deps/$t/$needed" ] || missing="$missing $t"
done
[ "${TSD_CROSS_REFRESH:-0}" = 1 ] && missing=$targets
if [ -n "$missing" ]; then
    echo "== fetching target packages for:$missing"
    t0=$(date +%s)
    # shellcheck disable=SC2086
    "$here/fetch-deps.sh" "${fetch_options[@]}" $missing || tsd_die "fetching target packages failed"
    echo "== fetched in $(($(date +%s) - t0)) s"
fi

# result FILE KEY: the value recorded for KEY, or "-".
result() {
    local value
    value=$(sed -n "s/^$2 //p" "$1" 2>/dev/null | head -n1)
    echo "${value:--}"
}

failed=""
for t in $targets; do
    "$here/build-target.sh" "$t" "$build_root/$t" || failed="$failed $t"
done

echo
echo "== cross targets"
format="%-9s %-5s %-8s %-6s %-44s %6s %6s\n"
# shellcheck disable=SC2059
printf "$format" target ELF exports glibc "tests under qemu" build test
for t in $targets; do
    r=$build_root/$t/cross-results.txt
    # shellcheck disable=SC2059
    printf "$format" "$t" "$(result "$r" elf)" "$(result "$r" exports)" "$(result "$r" glibc)" \
        "$(result "$r" tests)" "$(result "$r" build_time)" "$(result "$r" test_time)"
done
if [ -n "$failed" ]; then
    echo "== FAILED:$failed" >&2
    exit 1
fi
echo "== all cross targets passed"
