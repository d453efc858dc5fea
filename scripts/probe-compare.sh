#!/bin/sh
# Runs the raw hidraw probe against the umockdev presentation of the
# emulated screen and compares its observations line by line with the
# kernel's: those of the real kernel (--kernel: the screen on vhci_hcd
# through `tsd-emulate --usbip`; run as root, e.g. inside scripts/vm-run.sh)
# or those written down in a file (--expect). A line may differ only if its
# name is listed as a known difference in tsd-emulate(1). TSD_TEST_RUNNER (the
# runner's words: qemu-user and the target's loader for a board's build run
# on the build machine) starts both programs.
#
#   probe-compare.sh --emulate TSD_EMULATE --probe HIDRAW_PROBE --man MAN.scd
#                    (--expect FILE | --kernel)
set -eu

emulate='' probe='' man='' expect='' kernel=''
while [ $# -gt 0 ]; do
    case $1 in
        --emulate) emulate=$2; shift 2 ;;
        --probe) probe=$2; shift 2 ;;
        --man) man=$2; shift 2 ;;
        --expect) expect=$2; shift 2 ;;
        --kernel) kernel=1; shift ;;
        *) echo "probe-compare.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ -z "$emulate" ] || [ -z "$probe" ] || [ -z "$man" ] || { [ -z "$expect" ] && [ -z "$kernel" ]; }; then
    echo "usage: probe-compare.sh --emulate TSD_EMULATE --probe PROBE --man MAN.scd (--expect FILE | --kernel)" >&2
    exit 2
fi

# The umockdev presentation needs PTYs; a bare VM's fresh /dev has no devpts.
if [ -n "${TSD_VM:-}" ] && ! [ -e /dev/pts/ptmx ]; then
    mkdir -p /dev/pts
    mount -t devpts -o ptmxmode=0666,newinstance devpts /dev/pts
    [ -e /dev/ptmx ] || ln -s pts/ptmx /dev/ptmx
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run NAME [tsd-emulate options...]: the probe's observations in $work/NAME.
run() {
    name=$1
    shift
    # shellcheck disable=SC2086 # the runner is words
    if ! ${TSD_TEST_RUNNER:-} "$emulate" "$@" --control "$work/$name.fifo" -- \
            ${TSD_TEST_RUNNER:-} "$probe" "$work/$name.fifo" >"$work/$name" 2>"$work/$name.log"; then
        echo "probe-compare.sh: the probe failed under tsd-emulate $*:" >&2
        cat "$work/$name.log" "$work/$name" >&2
        exit 1
    fi
}

run umockdev
if [ -n "$kernel" ]; then
    run kernel --usbip
    expect=$work/kernel
    echo "probe-compare.sh: the kernel's observations:"
    sed 's/^/  /' "$work/kernel"
fi

# The names of the probe lines tsd-emulate(1) lists as differing.
grep -o '(probe line: [^)]*)' "$man" | sed 's/^(probe line: //; s/)$//' >"$work/allowed"

status=0
awk -v allowed="$work/allowed" -v expected="$expect" '
    function name(line) { sub(/: .*/, "", line); return line }
    BEGIN {
        while ((getline line < allowed) > 0) known[line] = 1
        while ((getline line < expected) > 0) { want[name(line)] = line; order[++n] = name(line) }
    }
    { got[name($0)] = $0 }
    END {
        failed = 0
        for (i = 1; i <= n; ++i) {
            key = order[i]
            if (got[key] == want[key]) continue
            tag = (key in known) ? "known difference" : "DIFFERS"
            if (!(key in known)) failed = 1
            printf "%s:\n  kernel:   %s\n  umockdev: %s\n", tag, want[key], (key in got) ? got[key] : "(missing)"
        }
        exit failed
    }' "$work/umockdev" || status=1
[ $status -eq 0 ] && echo "probe-compare.sh: every observation matches the kernel's or is a listed difference"
exit $status
