#!/bin/bash
# fetch-deps.sh [--with-emulator] [TARGET...]: unpacks each target's libudev and zlib (runtime and
# headers) from Debian's packages for that architecture into
# .deps/<target>, with a private apt state: no foreign architecture is added
# to dpkg, and the host's own packages are left as they are. Multiarch
# installs are avoided on purpose: libc6:<arch> must match the host's libc6
# version exactly, and the security archive does not carry every target, so
# they break after a host glibc update.
#
# --with-emulator adds what the emulated-screen tests need on the target:
# umockdev with its preload library, GLib, and the development files that
# their pkg-config files name. Further packages: TSD_CROSS_EXTRA_PACKAGES
# (names without ":arch"). All land in the same tree.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"

emulator_packages="umockdev libumockdev0 libumockdev-dev libglib2.0-0 libglib2.0-dev
  libpcap0.8 libdbus-1-3 libsystemd0 libcap2 libgcrypt20 libgpg-error0 liblz4-1
  liblzma5 libzstd1 libffi8 libffi-dev libmount1 libmount-dev libblkid1 libblkid-dev
  libselinux1 libselinux1-dev libsepol2 libsepol-dev libpcre2-8-0 libpcre2-16-0
  libpcre2-32-0 libpcre2-posix3 libpcre2-dev zlib1g zlib1g-dev"
packages="libudev1 libudev-dev zlib1g zlib1g-dev ${TSD_CROSS_EXTRA_PACKAGES:-}"
if [ "${1:-}" = --with-emulator ]; then
    packages="$packages $emulator_packages"
    shift
fi
deps=${TSD_CROSS_DEPS:-$tsd_root/.deps}
targets=${*:-$TSD_CROSS_TARGETS}

for t in $targets; do tsd_target_vars "$t"; done

state=$deps/.apt
rm -rf "${deps:?}/.debs"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$deps/.debs"
apt_opts="-q -o Dir::State::Lists=$state/lists -o Dir::Cache=$state/cache
  -o Dir::State::extended_states=$state/extended_states
  -o APT::Sandbox::User=root"
for t in $targets; do apt_opts="$apt_opts -o APT::Architectures::=$t"; done

# shellcheck disable=SC2086
apt-get $apt_opts update >"$state/update.log" 2>&1 ||
    { cat "$state/update.log" >&2; tsd_die "apt-get update (private state) failed"; }

for t in $targets; do
    tsd_target_vars "$t"
    names=""
    for p in $packages; do names="$names $p:$t"; done
    # shellcheck disable=SC2086
    (cd "$deps/.debs" && apt-get $apt_opts download $names) ||
        tsd_die "download for $t failed"
    rm -rf "${deps:?}/$t"
    mkdir -p "$deps/$t"
    for p in $packages; do
        for deb in "$deps/.debs/${p}_"*"_$t.deb" "$deps/.debs/${p}_"*"_all.deb"; do
            [ ! -e "$deb" ] || dpkg-deb -x "$deb" "$deps/$t"
        done
    done
    [ -e "$deps/$t/usr/lib/$triplet/libudev.so" ] || tsd_die "no libudev.so for $t in $deps/$t"
    [ -e "$deps/$t/usr/include/libudev.h" ] || tsd_die "no libudev.h for $t in $deps/$t"
    echo "$t: unpacked $(wc -w <<<"$packages") packages"
done
# The package lists are large and only needed to resolve the names above.
rm -rf "$state"
