# Sourced by the cross scripts: what each board target is called by Debian,
# by the GNU tools and by qemu-user, and where its ELF interpreter lives.
# shellcheck shell=bash

TSD_CROSS_TARGETS="ppc64el mipsel mips64el armhf"
tsd_root=$(cd "$(dirname "$0")/../.." && pwd)

# tsd_target_vars TARGET: sets toolchain, triplet, qemu and loader (relative
# to /usr/$triplet) from the target's CMake toolchain file, which is the one
# place that describes a target; fails on an unknown target.
# shellcheck disable=SC2034 # read by the scripts that source this file
tsd_target_vars() {
    toolchain=$tsd_root/cmake/toolchains/$1.cmake
    case " $TSD_CROSS_TARGETS " in
        *" $1 "*) [ -f "$toolchain" ] || { echo "missing $toolchain" >&2; return 1; } ;;
        *) echo "unknown target '$1' (known: $TSD_CROSS_TARGETS)" >&2; return 1 ;;
    esac
    triplet=$(tsd_toolchain_value "$toolchain" TSD_CROSS_TRIPLET)
    qemu=$(tsd_toolchain_value "$toolchain" TSD_CROSS_QEMU)
    loader=$(tsd_toolchain_value "$toolchain" TSD_CROSS_LOADER)
}

tsd_toolchain_value() {
    sed -n "s/^set($2 \(.*\))\$/\1/p" "$1"
}

tsd_die() {
    echo "error: $*" >&2
    exit 1
}
