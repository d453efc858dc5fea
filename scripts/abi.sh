#!/bin/sh
# abi.sh check|update [LIBRARY]: compares the library's ABI with the baseline
# in abi/libtouchsdk.so.1.abi, or makes LIBRARY's ABI the new baseline.
# LIBRARY (default build/release/libtouchsdk.so) must carry debug
# information: the release preset (RelWithDebInfo) does. Only the public
# header's types count: what the opaque handles point to is the library's own. "check" fails on any
# change: a function's parameters or result, a record's size or layout, a
# function added or removed. See docs/abi.md for accepting an intended one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-check}
lib=${2:-$root/build/release/libtouchsdk.so}
baseline=$root/abi/libtouchsdk.so.1.abi

if ! command -v abidiff >/dev/null; then
    [ "$(id -u)" = 0 ] || { echo "abi.sh: needs abigail-tools" >&2; exit 1; }
    DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600 install -y \
        --no-install-recommends abigail-tools >/dev/null
fi
[ -f "$lib" ] || { echo "abi.sh: no library at $lib" >&2; exit 1; }

case $mode in
check)
    if abidiff --headers-dir2 "$root/include" --drop-private-types --exported-interfaces-only \
        "$baseline" "$lib"; then
        echo "ABI of $lib matches abi/libtouchsdk.so.1.abi"
    else
        echo "ABI of $lib differs from abi/libtouchsdk.so.1.abi (see docs/abi.md)" >&2
        exit 1
    fi
    ;;
update)
    abidw --headers-dir "$root/include" --drop-private-types --exported-interfaces-only --no-corpus-path --no-comp-dir-path --no-show-locs \
        --out-file "$baseline" "$lib"
    echo "wrote $baseline from $lib"
    ;;
*)
    echo "usage: $0 check|update [LIBRARY]" >&2
    exit 2
    ;;
esac
