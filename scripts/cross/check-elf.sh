#!/bin/bash
# check-elf.sh TARGET LIBRARY [RESULTS]: fails loudly unless LIBRARY is what
# the TARGET board can load: ELF class, byte order, machine and float/ABI
# flags; NEEDED only libudev, libm, libc, libpthread and the loader; no
# libstdc++ or libgcc_s symbol versions; no glibc symbol version above
# 2.34 (the oldest glibc the boards run); exactly the 32 exported functions.
# With RESULTS, appends "key value" lines (elf, exports, glibc) to that file.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/cross/targets.sh
. "$here/targets.sh"
[ $# -ge 2 ] || tsd_die "usage: $0 TARGET LIBRARY [RESULTS]"
target=$1 lib=$2 results=${3:-/dev/null}
tsd_target_vars "$target" || exit 1
[ -f "$lib" ] || tsd_die "no library at $lib"
readelf=$triplet-readelf
max_glibc=2.34
failures=0

fail() {
    echo "  FAIL: $*"
    failures=$((failures + 1))
}

header_field() {
    "$readelf" -h "$lib" | sed -n "s/^ *$1: *//p"
}

attribute() {
    "$readelf" -A "$lib" | sed -n "s/^ *$1: *//p"
}

# expect WHAT ACTUAL WANTED
expect() {
    [ "$2" = "$3" ] || fail "$1 is '$2', the board needs '$3'"
}

# flag_bits MASK WANTED: the masked e_flags must equal WANTED.
flag_bits() {
    (( (flags & $1) == $2 )) || fail "e_flags $(printf '0x%x' "$flags") & $1 is not $2 ($3)"
}

check_header() {
    local class machine
    flags=$(header_field Flags | cut -d, -f1)
    class=$(header_field Class)
    machine=$(header_field Machine)
    expect "byte order" "$(header_field Data)" "2's complement, little endian"
    expect "type" "$(header_field Type | cut -d' ' -f1)" "DYN"
    case "$target" in
        armhf)
            expect class "$class" ELF32
            expect machine "$machine" ARM
            flag_bits 0xff000000 0x05000000 "EABI version 5"
            flag_bits 0x400 0x400 "hard-float ABI"
            expect Tag_ABI_VFP_args "$(attribute Tag_ABI_VFP_args)" "VFP registers"
            ;;
        ppc64el)
            expect class "$class" ELF64
            expect machine "$machine" PowerPC64
            flag_bits 0x3 0x2 "ELFv2 ABI"
            ;;
        mipsel)
            expect class "$class" ELF32
            expect machine "$machine" "MIPS R3000"
            flag_bits 0xf000 0x1000 "o32 ABI"
            flag_bits 0x20 0x0 "not n32"
            case "$(attribute "FP ABI")" in Hard*) ;; *) fail "MIPS FP ABI is not hard float" ;; esac
            ;;
        mips64el)
            expect class "$class" ELF64
            expect machine "$machine" "MIPS R3000"
            flag_bits 0xf000 0x0 "n64: no o32/o64/eabi ABI bits"
            flag_bits 0x20 0x0 "not n32"
            case "$(attribute "FP ABI")" in Hard*) ;; *) fail "MIPS FP ABI is not hard float" ;; esac
            ;;
    esac
    echo "  header: $class, little endian, $machine, e_flags $flags"
}

check_needed() {
    local needed name
    needed=$("$readelf" -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
    for name in $needed; do
        case "$name" in
            libudev.so.1 | libm.so.6 | libc.so.6 | libpthread.so.0 | ld*.so.*) ;;
            *) fail "needs $name" ;;
        esac
    done
    echo "  needed: $needed"
}

check_versions() {
    local versions highest
    versions=$("$readelf" -W -V "$lib" | sed -n 's/.*Name: \([A-Za-z_]*_[0-9.]*\) .*/\1/p' | sort -u)
    if grep -qE '^(GLIBCXX|CXXABI|GCC)_' <<<"$versions"; then
        fail "needs C++ runtime versions: $(grep -E '^(GLIBCXX|CXXABI|GCC)_' <<<"$versions" | tr '\n' ' ')"
    fi
    highest=$(sed -n 's/^GLIBC_//p' <<<"$versions" | sort -V | tail -n1)
    [ -n "$highest" ] || fail "no GLIBC symbol version found"
    if [ "$(printf '%s\n%s\n' "$highest" "$max_glibc" | sort -V | tail -n1)" != "$max_glibc" ]; then
        fail "needs GLIBC_$highest, above $max_glibc"
    fi
    echo "glibc ${highest:-?}" >>"$results"
    echo "  versions: highest GLIBC_${highest:-?}, no GLIBCXX/CXXABI/GCC"
}

check_exports() {
    local out count
    out=$(cmake -DNM="$triplet-nm" -DLIB="$lib" -DHEADER="$tsd_root/include/touchsdk.h" \
                -P "$tsd_root/cmake/CheckExports.cmake" 2>&1)
    count=$("$triplet-nm" -D --defined-only "$lib" | grep -c ' T Tsd')
    if [[ "$out" == *"Export check OK"* ]]; then
        echo "exports $count" >>"$results"
        echo "  exports: exactly the $count Tsd functions"
    else
        echo "exports FAIL($count)" >>"$results"
        fail "exports: $(tr '\n' ' ' <<<"$out")"
    fi
}

echo "ELF check of $lib for $target:"
check_header
check_needed
check_versions
if ((failures > 0)); then echo "elf FAIL" >>"$results"; else echo "elf ok" >>"$results"; fi
check_exports
if ((failures > 0)); then
    echo "ELF check for $target: $failures failure(s)" >&2
    exit 1
fi
echo "ELF check for $target: ok"
