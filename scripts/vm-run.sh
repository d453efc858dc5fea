#!/bin/bash
# vm-run.sh [--arch ARCH] [--timeout S] [--smp N] [--scratch DIR]... [--verbose] -- COMMAND [ARGS...]
#
# Runs COMMAND as root inside a throw-away virtual machine booted from
# Debian 12's own kernel for ARCH (default amd64), on the host's root file
# system (read-only, with a tmpfs overlay that is lost at power-off) and with
# this repository shared read-write at its own path, so build trees work
# unchanged. udevd runs in the guest and the kernel's modules can be loaded
# (modprobe vhci-hcd). COMMAND starts in the current directory with TSD_VM=1
# set; its output streams to stdout and its exit status becomes ours.
# 124 means the timeout struck, 125 that the machine failed to boot.
# Writes below a --scratch folder of the repository stay in the guest: there
# FIFOs and sockets work, which the shared folder cannot hold.
#
# The kernel package is fetched with apt-get download and unpacked (never
# installed) into ${TSD_VM_CACHE:-~/.cache/touchsdk-vm}, and reused. KVM is
# tried where /dev/kvm is usable, falling back to emulation (TCG) when the
# guest is not up within 20 s; TSD_VM_ACCEL=tcg or kvm forces one.
# TSD_VM_TIMES=FILE has the boot and command times written there as shell
# assignments.
set -euo pipefail
# shellcheck source=scripts/vm/lib.sh
. "$(dirname "$0")/vm/lib.sh"

usage() {
    sed -n '2,3s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

arch=amd64 timeout=600 smp=1 verbose=0 scratch=""
while [ $# -gt 0 ]; do
    case $1 in
        --arch) arch=${2:?}; shift 2 ;;
        --timeout) timeout=${2:?}; shift 2 ;;
        --smp) smp=${2:?}; shift 2 ;;
        --verbose) verbose=1; shift ;;
        --scratch)
            dir=$(realpath -e "${2:?}") || vm_die "no folder ${2:-}"
            case $dir in
                "$vm_root" | "$vm_root"/*) scratch="$scratch $dir" ;;
                *) vm_die "--scratch $dir is not inside $vm_root" ;;
            esac
            shift 2
            ;;
        --) shift; break ;;
        *) usage ;;
    esac
done
[ $# -gt 0 ] || usage
[[ $timeout =~ ^[1-9][0-9]*$ ]] || vm_die "--timeout wants whole seconds, not '$timeout'"
[[ $smp =~ ^[1-9][0-9]?$ ]] || vm_die "--smp wants a processor count, not '$smp'"
vm_arch_vars "$arch"
vm_need "$qemu_pkg" udev kmod busybox-static
vm_fetch_kernel
# amd64 runs on the host's own root; a board on Debian's packages for it.
root_kind=host rootdir=/
if [ "$arch" != amd64 ]; then root_kind=target; vm_fetch_root; fi
vm_build_initramfs

# sh-quote: a word that sh reads back as itself.
shq() {
    printf "'%s'" "${1//\'/\'\\\'\'}"
}

job=$(mktemp -d "${TMPDIR:-/tmp}/tsd-vm.XXXXXX")
qpid=
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    [ -z "$qpid" ] || kill "$qpid" 2>/dev/null || true
    rm -rf "$job"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The project's udev rule from a build tree, the release one first.
rules=
for f in "$vm_root"/build/release/70-touchsdk.rules "$vm_root"/build/*/70-touchsdk.rules; do
    if [ -e "$f" ]; then rules=$f; break; fi
done
{
    echo "VM_REPO=$(shq "$vm_root")"
    echo "VM_OUT_TTY=$out_tty"
    echo "VM_ROOT_KIND=$root_kind"
    echo "VM_SCRATCH=$(shq "$scratch")"
    echo "VM_RULES=$(shq "$rules")"
} >"$job/config"
{
    echo "cd $(shq "$PWD") || exit 125"
    # The caller's own test settings travel with the command.
    while IFS='=' read -r name _; do
        [[ $name =~ ^(TSD_|GTEST_|CTEST_|LANG$|LC_ALL$) ]] || continue
        echo "export $name=$(shq "${!name}")"
    done < <(env)
    echo "export TSD_VM=1"
    printf 'exec'
    for a in "$@"; do printf ' %s' "$(shq "$a")"; done
    echo
} >"$job/job.sh"

share() {
    printf -- '-virtfs\0local,path=%s,mount_tag=%s,security_model=none,multidevs=remap%s\0' "$@"
}
mapfile -d '' shares < <(share "$rootdir" root ,readonly=on; share "$vm_root" repo ''
    share "$kdir/lib/modules" modules ,readonly=on; share "$job" job '')

# boot ACCEL [UP_WITHIN]: starts the machine in the background; with
# UP_WITHIN, gives up on it (status 1) when stage 2 has not begun by then.
boot() {
    local accel=$1 limit=${2:-}
    # shellcheck disable=SC2054 # qemu's own option syntax has the commas
    args=(-accel "$accel" "${qemu_args[@]}" -smp "$smp" -nodefaults -no-user-config
        -display none -no-reboot -kernel "$kdir/$image" -initrd "$initramfs"
        -append "console=$console panic=-1 $([ "$verbose" = 1 ] || echo quiet) loglevel=4"
        -serial "file:$job/console.log" -chardev stdio,id=out,signal=on "${out_args[@]}"
        "${shares[@]}")
    if [ "$accel" = kvm ]; then args=("${args[@]/#max/host}"); fi
    rm -f "$job/up" "$job/status" "$job/console.log"
    t0=$(date +%s%N)
    # A KVM that cannot run this kernel aborts noisily: that goes to a log.
    if [ "$accel" = kvm ]; then
        "$qemu" "${args[@]}" </dev/null 2>"$job/kvm.log" &
    else
        "$qemu" "${args[@]}" </dev/null &
    fi
    qpid=$!
    while [ ! -e "$job/up" ]; do
        if ! kill -0 "$qpid" 2>/dev/null; then wait "$qpid" 2>/dev/null || true; qpid=; return 1; fi
        if [ -n "$limit" ] && (($(date +%s%N) - t0 >= limit * 1000000000)); then
            kill "$qpid"; wait "$qpid" 2>/dev/null || true; qpid=
            return 1
        fi
        sleep 0.1
    done
    up_ms=$((($(date +%s%N) - t0) / 1000000))
}

# The guest's milestones (seconds of its uptime) as milliseconds.
mark_ms() {
    awk '{ printf "%d", $1 * 1000 }' "$job/$1" 2>/dev/null || echo 0
}

seconds() {
    printf '%d.%d' $(($1 / 1000)) $(($1 % 1000 / 100))
}

kvm_broken=$vm_cache/$arch/kvm-broken-$(uname -r)
accel=${TSD_VM_ACCEL:-}
if [ -z "$accel" ]; then
    accel=tcg
    if [ "$kvm_possible" = 1 ] && [ -r /dev/kvm ] && [ -w /dev/kvm ] && [ ! -e "$kvm_broken" ]; then
        accel=kvm
    fi
fi
up=0
if [ "$accel" = kvm ]; then
    if boot kvm 20; then up=1; else
        vm_say "KVM did not bring the guest up; emulating (remembered in $kvm_broken)"
        touch "$kvm_broken"
        accel=tcg
    fi
fi
if [ "$up" = 0 ] && ! boot "$accel"; then
    tail -n 30 "$job/console.log" >&2 || true
    vm_die "the $arch guest did not boot"
fi

# The timeout covers the command; boot has its own bound above.
# The watchdog's sleep must not hold our output open after we are done.
sleep "$timeout" >/dev/null 2>&1 &
watchdog=$!
while kill -0 "$qpid" 2>/dev/null && kill -0 "$watchdog" 2>/dev/null; do
    wait -n "$qpid" "$watchdog" || true
done
if kill -0 "$qpid" 2>/dev/null; then
    touch "$job/timeout"
    kill "$qpid"
fi
wait "$qpid" || true
qpid=
kill "$watchdog" 2>/dev/null || true
if [ -e "$job/timeout" ]; then
    vm_say "timed out after $timeout s"
    rc=124
elif [ -s "$job/status" ]; then
    rc=$(cat "$job/status")
else
    tail -n 30 "$job/console.log" >&2 || true
    vm_say "the guest stopped without the command's status"
    rc=125
fi
if [ -e "$job/end" ]; then
    boot_ms=$((up_ms + $(mark_ms ready) - $(mark_ms up)))
    command_ms=$(($(mark_ms end) - $(mark_ms ready)))
    vm_say "$arch ($accel, $kver): booted to the command in $(seconds "$boot_ms") s" \
        "(udev $(seconds $(($(mark_ms ready) - $(mark_ms up)))) s of it)," \
        "command $(seconds "$command_ms") s, exit status $rc"
    if [ -n "${TSD_VM_TIMES:-}" ]; then
        printf 'vm_boot=%s vm_command=%s vm_accel=%s vm_kernel=%s\n' "$(seconds "$boot_ms")" \
            "$(seconds "$command_ms")" "$accel" "$kver" >"$TSD_VM_TIMES"
    fi
fi
exit "$rc"
