#!/bin/bash
# package.sh [ARCH...]: builds the Debian packages (libtouchsdk1,
# libtouchsdk-dev, touchsdk-tools, touchsdk-calibrate, touchsdk-emulator,
# and python3-touchsdk and libtouchsdk-doc with the build machine's set) for
# each Debian architecture given, by
# default amd64 and the four board targets, into build/deb/<arch>/. Board
# targets are cross builds (dpkg-buildpackage -a) with the cross compilers
# of scripts/cross/setup-host.sh and the target's libudev, umockdev and GLib
# unpacked by scripts/cross/fetch-deps.sh; their tests run in .ci/cross, not
# here.
# Each package is checked: its Debian architecture, and for a board target
# the library's ELF (scripts/cross/check-elf.sh).
#   scripts/package.sh            all five
#   scripts/package.sh amd64      the build machine's set only
# As root, installs what it needs with apt first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
archs=${*:-amd64 ppc64el mipsel mips64el armhf}
# Debian's own tools only: an interpreter from elsewhere first on PATH (a
# python3 without Debian's modules) must not build the packages.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
build_arch=$(dpkg --print-architecture)

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0
    [ "$(id -u)" = 0 ] || { echo "missing packages: ${missing[*]}" >&2; return 1; }
    export DEBIAN_FRONTEND=noninteractive
    apt-get -q -o DPkg::Lock::Timeout=600 update
    apt-get -q -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
}

# The source as the packaging sees it: no build trees, no unpacked targets.
copy_source() {
    rm -rf "$1" && mkdir -p "$1"
    tar -C "$root" --exclude=./build --exclude=./.deps --exclude=./.git -cf - . | tar -C "$1" -xf -
}

check_debs() {
    local arch=$1 dir=$2 deb a count=0 status=0
    for deb in "$dir"/*.deb; do
        a=$(dpkg-deb --field "$deb" Architecture)
        if [ "$a" != "$arch" ] && [ "$a" != all ]; then
            echo "FAIL: $(basename "$deb") is for '$a', not $arch"
            status=1
        fi
        count=$((count + 1))
    done
    [ "$count" -ge 5 ] || { echo "FAIL: $count packages for $arch"; status=1; }
    if [ "$arch" != "$build_arch" ]; then
        local x; x=$(mktemp -d)
        dpkg-deb -x "$dir"/libtouchsdk1_*_"$arch".deb "$x"
        scripts/cross/check-elf.sh "$arch" "$(find "$x" -name 'libtouchsdk.so.1.*')" || status=1
        rm -rf "$x"
    fi
    return $status
}

build_one() {
    local arch=$1 out=build/deb/$1 start=$SECONDS
    local opts=(-us -uc)
    copy_source "$out/src"
    rm -f "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo
    if [ "$arch" = "$build_arch" ]; then
        opts+=(-b)
        (cd "$out/src" && dpkg-buildpackage "${opts[@]}") >"$out/build.log" 2>&1 ||
            { tail -n 40 "$out/build.log"; return 1; }
    else
        local triplet; triplet=$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)
        # tsd-emulate needs the target's umockdev and GLib as well.
        [ -e ".deps/$arch/usr/lib/$triplet/libumockdev-preload.so.0" ] ||
            scripts/cross/fetch-deps.sh --with-emulator "$arch"
        # Build-Depends name the build machine's libudev-dev; the target's
        # is unpacked, not installed, so dpkg cannot see it (-d).
        opts+=(-B -d -a"$arch")
        triplet=$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_TYPE 2>/dev/null)
        (cd "$out/src" && TSD_CROSS_DEPS_ROOT=$root/.deps/$arch DEB_BUILD_OPTIONS=nocheck \
            CC=$triplet-gcc CXX=$triplet-g++ dpkg-buildpackage "${opts[@]}") >"$out/build.log" 2>&1 ||
            { tail -n 40 "$out/build.log"; return 1; }
    fi
    rm -rf "$out/src"
    check_debs "$arch" "$out" || return 1
    echo "== $arch: $(cd "$out" && echo *.deb) ($((SECONDS - start)) s)"
}

# debhelper builds in parallel only when asked to.
case " ${DEB_BUILD_OPTIONS:-} " in
    *" parallel="*) ;;
    *)
        DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=$(nproc)"
        export DEB_BUILD_OPTIONS ;;
esac
install_missing dpkg-dev debhelper cmake pkgconf libudev-dev googletest scdoc libsdl2-dev \
    libumockdev-dev libglib2.0-dev dh-python python3-all pybuild-plugin-pyproject \
    python3-setuptools doxygen
for arch in $archs; do
    [ "$arch" = "$build_arch" ] || scripts/cross/setup-host.sh >/dev/null
done
status=0
for arch in $archs; do
    build_one "$arch" || { echo "== $arch: FAILED"; status=1; }
done
exit $status
