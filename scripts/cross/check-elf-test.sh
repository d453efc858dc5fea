#!/bin/bash
# check-elf-test.sh: proves that check-elf.sh refuses what a board cannot
# load. Builds small shared objects with the cross compilers, each wrong in
# one way (or right), and expects the ELF verdict ("elf ok"/"elf FAIL") and
# the reason. The export check is not judged here: these objects export no
# Tsd function, and the real library's exports are checked by every build.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cases=0

cat >"$work/plain.c" <<'SOURCE'
#include <string.h>
double scaled(const char* text) { return (double)strlen(text) * 2.5; }
SOURCE
# No headers: the ABI variants below have no C library to build against.
cat >"$work/bare.c" <<'SOURCE'
double twice(double value) { return value * 2.0; }
SOURCE
cat >"$work/new_glibc.c" <<'SOURCE'
#define _GNU_SOURCE
#include <dlfcn.h>
int lookup(void* address) { struct dl_find_object object; return _dl_find_object(address, &object); }
SOURCE
cat >"$work/cxx.cpp" <<'SOURCE'
#include <string>
extern "C" unsigned long length(const char* text) { return std::string(text).size(); }
SOURCE

# build NAME TARGET SOURCE FLAGS...: a shared object NAME for TARGET.
build() {
    local name=$1 target=$2 source=$3 compiler
    shift 3
    tsd_target_vars "$target" || exit 2
    compiler=$triplet-gcc
    [[ "$source" == *.cpp ]] && compiler=$triplet-g++
    "$compiler" -shared -fPIC -O2 -o "$work/$name.so" "$work/$source" "$@" ||
        tsd_die "could not build the $name probe"
}

wrong() {
    echo "FAIL: $1"
    while IFS= read -r line; do echo "    $line"; done <<<"$2"
    failures=$((failures + 1))
}

# expect NAME CHECKED_AS VERDICT [REASON]: check-elf.sh's verdict on NAME
# checked as target CHECKED_AS, and a FAIL line matching REASON.
expect() {
    local name=$1 target=$2 verdict=$3 reason=${4:-} output results=$work/$1-$2.results
    cases=$((cases + 1))
    : >"$results"
    output=$("$here/check-elf.sh" "$target" "$work/$name.so" "$results" 2>&1)
    if ! grep -qx "elf $verdict" "$results"; then
        wrong "$name as $target: expected elf $verdict, got '$(grep '^elf' "$results")'" "$output"
    elif [ -n "$reason" ] && ! grep -q "FAIL: .*$reason" <<<"$output"; then
        wrong "$name as $target: no failure mentioning '$reason'" "$output"
    else
        echo "ok: $name as $target: elf $verdict${reason:+ ($reason)}"
    fi
}

for t in $TSD_CROSS_TARGETS; do
    build "plain-$t" "$t" plain.c
    expect "plain-$t" "$t" ok
done
expect plain-mipsel armhf FAIL "machine"
expect plain-armhf mipsel FAIL "machine"
expect plain-mipsel mips64el FAIL "class"
expect plain-mips64el ppc64el FAIL "machine"

build softfp-armhf armhf bare.c -mfloat-abi=softfp -nostdlib
expect softfp-armhf armhf FAIL "hard-float"
build n32-mips64el mips64el bare.c -mabi=n32 -nostdlib
expect n32-mips64el mips64el FAIL "class"
build softfloat-mipsel mipsel bare.c -msoft-float -nostdlib
expect softfloat-mipsel mipsel FAIL "FP ABI"
build elfv1-ppc64el ppc64el bare.c -mabi=elfv1 -nostdlib
expect elfv1-ppc64el ppc64el FAIL "ELFv2"

build new-glibc-mips64el mips64el new_glibc.c
expect new-glibc-mips64el mips64el FAIL "above 2.34"
build cxx-armhf armhf cxx.cpp
expect cxx-armhf armhf FAIL "GLIBCXX"
expect cxx-armhf armhf FAIL "needs libstdc"

echo "check-elf: $((cases - failures)) passed, $failures failed"
((failures == 0))
