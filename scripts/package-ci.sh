#!/bin/bash
# CI for the Debian packages (as root, on a machine that may be thrown
# away): builds the amd64 set, checks it with lintian, installs it, builds
# the README's example against the installed package through pkg-config and
# through CMake, runs the tools, the example and the binding against the
# packaged emulated screens, checks the udev rule and the group, and purges
# the packages again.
# The test suite runs elsewhere in CI, so the amd64 build skips it
# (DEB_BUILD_OPTIONS=nocheck) unless DEB_BUILD_OPTIONS is already set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] || { echo "package-ci.sh: run as root (it installs packages)" >&2; exit 1; }
start=$SECONDS
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -q -o DPkg::Lock::Timeout=600)

DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck} scripts/package.sh amd64
built=$SECONDS
debs=build/deb/amd64
dpkg-query -W lintian >/dev/null 2>&1 || "${apt[@]}" install -y --no-install-recommends lintian
lintian --fail-on error "$debs"/*.changes

packages=(libtouchsdk1 libtouchsdk-dev touchsdk-tools touchsdk-emulator python3-touchsdk)
work=$(mktemp -d)
cleanup() {
    "${apt[@]}" purge -y "${packages[@]}" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
files=()
for p in "${packages[@]}"; do files+=("$root/$debs/${p}_"*.deb); done
"${apt[@]}" install -y --no-install-recommends "${files[@]}" gcc pkgconf cmake

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
# No screen on a CI machine: the example finds none and answers 1.
for demo in "$work/demo-pc" "$work/app/build/demo"; do
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
tsd-emulate --touch -- "$work/demo-pc" </dev/null >"$work/demo.out" ||
    { echo "the example failed on an emulated screen" >&2; cat "$work/demo.out" >&2; exit 1; }
(cd / && env -u TOUCHSDK_LIBRARY -u PYTHONPATH tsd-emulate -- /usr/bin/python3 -c \
    'import touchsdk; assert [s.serial for s in touchsdk.screens()] == ["EMU000001"]')
getent group touchsdk >/dev/null || { echo "no touchsdk group after install" >&2; exit 1; }
[ -f /lib/udev/rules.d/70-touchsdk.rules ] || { echo "udev rule not installed" >&2; exit 1; }

"${apt[@]}" purge -y "${packages[@]}"
if [ -e /usr/include/touchsdk.h ] || [ -e /lib/udev/rules.d/70-touchsdk.rules ]; then
    echo "files left after purge" >&2
    exit 1
fi
echo "== packages: amd64 build $((built - start)) s, lint, install, example and purge $((SECONDS - built)) s"

