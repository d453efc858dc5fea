#!/bin/bash
# CI for the Debian packages (as root, on a machine that may be thrown
# away): builds the amd64 set and one board architecture's (armhf, or those
# in TSD_CI_BOARD_ARCHS; empty for none), checks them with lintian, installs
# the amd64 set, builds the README's example and the C++ example against the
# installed packages through pkg-config and through CMake, runs the tools,
# the examples and the binding against the packaged emulated screens,
# checks the manual pages, the udev rule and the group, that touchsdk-tools
# brings no display stack, and purges the packages again.
# The test suite runs elsewhere in CI, so the builds skip it
# (DEB_BUILD_OPTIONS=nocheck) unless DEB_BUILD_OPTIONS is already set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] || { echo "package-ci.sh: run as root (it installs packages)" >&2; exit 1; }
start=$SECONDS
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -q -o DPkg::Lock::Timeout=600)

boards=${TSD_CI_BOARD_ARCHS-armhf}
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck}
scripts/package.sh amd64
built=$SECONDS
debs=build/deb/amd64
dpkg-query -W lintian >/dev/null 2>&1 || "${apt[@]}" install -y --no-install-recommends lintian
lintian --fail-on error "$debs"/*.changes
board_start=$SECONDS
for arch in $boards; do
    scripts/package.sh "$arch"
    lintian --fail-on error build/deb/"$arch"/*.changes
done
board_end=$SECONDS

# What each program needs, and no more: the command-line tool must not bring
# a display or sound stack onto a board.
for deb in "$debs"/touchsdk-tools_*.deb; do
    depends=$(dpkg-deb --field "$deb" Depends)
    if grep -Eq 'libsdl|libx11|libwayland|libasound|libpulse' <<<"$depends"; then
        echo "$(basename "$deb") depends on a display or sound stack: $depends" >&2
        exit 1
    fi
done

packages=(libtouchsdk1 libtouchsdk-dev touchsdk-tools touchsdk-calibrate touchsdk-emulator
    python3-touchsdk libtouchsdk-doc)
work=$(mktemp -d)
cleanup() {
    "${apt[@]}" purge -y "${packages[@]}" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
files=()
for p in "${packages[@]}"; do files+=("$root/$debs/${p}_"*.deb); done
"${apt[@]}" install -y --no-install-recommends "${files[@]}" gcc g++ pkgconf cmake man-db
# A system install's flags are the compiler's defaults: nothing to add.
cflags=$(pkg-config --cflags touchsdk)
[ -z "${cflags// /}" ] || { echo "pkg-config --cflags touchsdk prints '$cflags'" >&2; exit 1; }
# Every function's name finds its manual page.
for function in TsdOpenTouchScreenA TsdRegisterTouchCallback TsdCalibrationApplyPreview; do
    man "$function" 2>/dev/null | grep -q "$function" ||
        { echo "man $function finds no page" >&2; exit 1; }
done
[ -f /usr/share/doc/libtouchsdk-doc/html/index.html ] || { echo "no HTML reference" >&2; exit 1; }

# The example exactly as the README shows it.
# shellcheck disable=SC2016 # sed's own $ (the last line), not the shell's
sed -n '/^## Use/,/^## /p' README.md | sed -n '/^```c$/,/^```$/p' | sed '1d;$d' >"$work/demo.c"
grep -q TsdEnumTouchScreensA "$work/demo.c" || { echo "no example in README.md" >&2; exit 1; }
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror "$work/demo.c" $(pkg-config --cflags --libs touchsdk) -o "$work/demo-pc"
mkdir "$work/app"
cp "$work/demo.c" "$work/app/demo.c"
cat >"$work/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(demo C)
find_package(touchsdk 1 REQUIRED)
add_executable(demo demo.c)
target_link_libraries(demo PRIVATE touchsdk::touchsdk)
CMAKE
cmake -S "$work/app" -B "$work/app/build" >/dev/null
cmake --build "$work/app/build" >/dev/null
# The C++ example as the doc package ships it, through pkg-config and CMake.
example=/usr/share/doc/libtouchsdk-doc/examples/tsd_demo.cpp
if [ -f "$example.gz" ]; then zcat "$example.gz" >"$work/demo.cpp"; else cp "$example" "$work/demo.cpp"; fi
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -Werror "$work/demo.cpp" $(pkg-config --cflags --libs touchsdk) \
    -o "$work/demo-cpp-pc"
mkdir "$work/app-cpp"
cp "$work/demo.cpp" "$work/app-cpp/demo.cpp"
cat >"$work/app-cpp/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(demo CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(touchsdk 1 REQUIRED)
add_executable(demo-cpp demo.cpp)
target_link_libraries(demo-cpp PRIVATE touchsdk::touchsdk)
CMAKE
cmake -S "$work/app-cpp" -B "$work/app-cpp/build" >/dev/null
cmake --build "$work/app-cpp/build" >/dev/null
# No screen on a CI machine: the examples find none and answer 1.
for demo in "$work/demo-pc" "$work/app/build/demo" "$work/demo-cpp-pc" "$work/app-cpp/build/demo-cpp"; do
    status=0
    "$demo" </dev/null || status=$?
    [ "$status" = 1 ] || { echo "$demo exited $status, expected 1 (no screen)" >&2; exit 1; }
done

if command -v tsdctl >/dev/null; then tsdctl --version; fi
# The binding from the package, with the installed library, from a neutral
# directory and without any variable pointing elsewhere.
(cd / && env -u TOUCHSDK_LIBRARY -u PYTHONPATH /usr/bin/python3 -c \
    'import touchsdk; assert touchsdk.version()[0] == 1 and touchsdk.screens() == []')
# The emulated screens from the package, seen by the installed tools, the
# example and the binding, as an application's own tests would use them.
listed=$(tsd-emulate --screens 2 --serial PANEL-A --serial PANEL-B -- tsdctl list --json)
for serial in PANEL-A PANEL-B; do
    grep -q "\"serial\":\"$serial\"" <<<"$listed" ||
        { echo "tsdctl list under tsd-emulate lacks $serial: $listed" >&2; exit 1; }
done
for demo in "$work/demo-pc" "$work/app-cpp/build/demo-cpp"; do
    tsd-emulate --touch -- "$demo" </dev/null >"$work/demo.out" ||
        { echo "$demo failed on an emulated screen" >&2; cat "$work/demo.out" >&2; exit 1; }
done
(cd / && env -u TOUCHSDK_LIBRARY -u PYTHONPATH tsd-emulate -- /usr/bin/python3 -c \
    'import touchsdk; assert [s.serial for s in touchsdk.screens()] == ["EMU000001"]')
getent group touchsdk >/dev/null || { echo "no touchsdk group after install" >&2; exit 1; }
[ -f /lib/udev/rules.d/70-touchsdk.rules ] || { echo "udev rule not installed" >&2; exit 1; }

"${apt[@]}" purge -y "${packages[@]}"
if [ -e /usr/include/touchsdk.h ] || [ -e /lib/udev/rules.d/70-touchsdk.rules ]; then
    echo "files left after purge" >&2
    exit 1
fi
echo "== packages: amd64 build $((built - start)) s, ${boards:-no board} build $((board_end - board_start)) s, lint, install, examples and purge $((SECONDS - board_end)) s"

