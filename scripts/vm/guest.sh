#!/bin/sh
# Stage 2, process 1 of the guest on the host's own user space: udev as a
# real machine has it, then the job, whose status goes back to the host
# through the shared job folder, then power off.
job=/run/tsd-vm
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root TERM=dumb TSD_VM=1
# shellcheck source=/dev/null
. "$job/config"
out=/dev/$VM_OUT_TTY
# A board guest's root has busybox for its small tools; the applets go on
# the overlay, next to the packages' own programs.
[ "$VM_ROOT_KIND" = host ] || busybox --install -s

# Milestones in the guest's uptime, for the host's report of where the time went.
mark() { awk '{ print $1 }' /proc/uptime >"$job/$1"; }
mark up
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777,nosuid,nodev shm /dev/shm
# qemu's 9p server refuses to open FIFOs and sockets, so a folder where the
# command makes them gets a tmpfs overlay: written there, kept in the guest.
n=0
for dir in $VM_SCRATCH; do
    n=$((n + 1))
    mkdir -p "/run/tsd-vm-scratch/$n/data" "/run/tsd-vm-scratch/$n/work"
    mount -t overlay -o "lowerdir=$dir,upperdir=/run/tsd-vm-scratch/$n/data,workdir=/run/tsd-vm-scratch/$n/work" \
        scratch "$dir"
done
busybox hostname tsd-vm
busybox ip link set lo up

# The project's access rule names a group that a build machine rarely has
# (groupadd would take most of a second to read its files under emulation).
if ! grep -q '^touchsdk:' /etc/group; then
    group=$(awk -F: '{ used[$3] } END { for (g = 999; g in used; g--); print "touchsdk:x:" g ":" }' \
        /etc/group)
    echo "$group" >>/etc/group
fi
mkdir -p /run/udev/rules.d
for rule in $VM_RULES; do cp "$rule" /run/udev/rules.d/; done
/lib/systemd/systemd-udevd --daemon >/run/udevd.log 2>&1 || echo "vm: udevd did not start" >"$out"
# Only the subsystems a screen touches: replaying every PCI, ACPI and misc
# device costs seconds under emulation, and screens come later, hot-plugged.
udevadm trigger --action=add --subsystem-match=usb --subsystem-match=hid \
    --subsystem-match=hidraw --subsystem-match=usbmisc
udevadm settle --timeout=30

# The kernel's console turns each newline into CR LF; the host wants the
# command's bytes as they are.
stty -opost <"$out"
mark ready
sh "$job/job.sh" >"$out" 2>&1 </dev/null
rc=$?
mark end
echo "$rc" >"$job/status"
sync
busybox poweroff -f
