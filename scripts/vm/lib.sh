# Sourced by vm-run.sh and vm-test.sh: the guest architectures, the cache of
# Debian kernels and initramfs images, and the host packages they need.
# shellcheck shell=bash

vm_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
vm_cache=${TSD_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/touchsdk-vm}
VM_ARCHES="amd64 armhf ppc64el mipsel mips64el"

vm_die() {
    echo "vm: error: $*" >&2
    exit 1
}

vm_say() {
    echo "vm: $*" >&2
}

# vm_arch_vars ARCH: what each guest architecture boots with. qemu_args are
# the machine, processor and memory; console is the kernel's log port, out_args
# add a second port for the command's own output so that a kernel message can
# never land inside it, out_tty is its name in the guest; flavour is Debian's
# kernel flavour; image is the file in /boot that qemu can load.
# shellcheck disable=SC2034,SC2054 # read by the sourcing scripts; qemu's commas
vm_arch_vars() {
    arch=$1 root_in_initramfs=0
    case $arch in
        amd64)
            qemu=qemu-system-x86_64 qemu_pkg=qemu-system-x86 flavour=amd64
            # An uncompressed vmlinux boots through PVH: no decompression and
            # no firmware set-up, about 5 s less under TCG.
            image=vmlinux
            qemu_args=(-M pc -cpu max -m 1024)
            console=ttyS0 out_tty=ttyS1 out_args=(-serial chardev:out)
            kvm_possible=1
            ;;
        armhf)
            qemu=qemu-system-arm qemu_pkg=qemu-system-arm flavour=armmp image=vmlinuz
            qemu_args=(-M virt,highmem=off -cpu cortex-a15 -m 1024)
            console=ttyAMA0 out_tty=hvc0 kvm_possible=0
            out_args=(-device virtio-serial-pci -device virtconsole,chardev=out)
            ;;
        ppc64el)
            qemu=qemu-system-ppc64 qemu_pkg=qemu-system-ppc flavour=powerpc64le image=vmlinux
            qemu_args=(-M pseries,cap-cfpc=broken,cap-sbbc=broken,cap-ibs=broken,cap-ccf-assist=off
                -cpu power9 -m 1024)
            # The pseries console is itself hvc0, so the output port is hvc1.
            console=hvc0 out_tty=hvc1 kvm_possible=0
            out_args=(-device virtio-serial-pci -device virtconsole,chardev=out)
            ;;
        mipsel | mips64el)
            qemu=qemu-system-$arch qemu_pkg=qemu-system-mips image=vmlinux
            if [ "$arch" = mipsel ]; then
                flavour=4kc-malta qemu_args=(-M malta -m 512)
            else
                flavour=5kc-malta qemu_args=(-M malta -cpu 5KEc -m 512)
            fi
            console=ttyS0 out_tty=ttyS1 kvm_possible=0
            out_args=(-serial chardev:out)
            # A file on a 9p mount cannot be executed there (the host's
            # EOPNOTSUPP arrives as MIPS's ENOTSOCK), so the root rides in
            # the initramfs.
            root_in_initramfs=1
            ;;
        *) vm_die "unknown architecture '$arch' (known: $VM_ARCHES)" ;;
    esac
}

# vm_need PACKAGE...: installs the missing ones when root, else names them.
vm_need() {
    local p missing=
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $p"
    done
    [ -n "$missing" ] || return 0
    [ "$(id -u)" = 0 ] || vm_die "missing host packages:$missing (apt-get install them as root)"
    vm_say "installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get -q -o DPkg::Lock::Timeout=600 update >/dev/null
    # shellcheck disable=SC2086
    apt-get -q -o DPkg::Lock::Timeout=600 install -y --no-install-recommends $missing >/dev/null ||
        vm_die "could not install$missing"
}

# vm_apt_download ARCH DIR PACKAGE...: fetches Debian's packages of ARCH into
# DIR under a private apt state, so the host's dpkg needs no foreign
# architecture and nothing is installed. Leaves apt_opts set for apt-cache.
vm_apt_download() {
    local a=$1 dir=$2 state
    shift 2
    state=$vm_cache/apt-$a
    mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$dir"
    apt_opts=(-q -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
        -o "Dir::State::extended_states=$state/extended_states"
        -o APT::Sandbox::User=root -o "APT::Architectures::=$a")
    # Fresh lists once a run: the archive drops superseded versions.
    if [ "${vm_apt_updated:-}" != "$a" ]; then
        apt-get "${apt_opts[@]}" update >"$state/update.log" 2>&1 ||
            { cat "$state/update.log" >&2; vm_die "apt-get update for $a failed"; }
        vm_apt_updated=$a
    fi
    (cd "$dir" && apt-get "${apt_opts[@]}" download "${@/%/:$a}" >/dev/null) ||
        vm_die "apt-get download $* for $a failed"
}

# vm_kernel_package ARCH FLAVOUR: the versioned package that Debian's
# linux-image-FLAVOUR currently points at, e.g. linux-image-6.1.0-57-amd64.
vm_kernel_package() {
    apt-cache "${apt_opts[@]}" depends "linux-image-$2:$1" 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^: ]*\).*/\1/p' | head -n 1
}

# vm_fetch_kernel: unpacks the architecture's kernel into
# $vm_cache/ARCH/kernel (boot image, config, modules with their depmod
# index) unless it is there already; sets kdir and kver.
vm_fetch_kernel() {
    kdir=$vm_cache/$arch/kernel
    if [ ! -e "$kdir/version" ]; then
        local tmp pkg
        vm_need dpkg-dev kmod xz-utils
        tmp=$vm_cache/$arch/tmp
        rm -rf "$tmp" "$kdir"
        mkdir -p "$tmp/debs" "$tmp/tree"
        # Resolving the versioned name needs the private lists that the first
        # download sets up, so fetch the metapackage first.
        vm_apt_download "$arch" "$tmp/debs" "linux-image-$flavour"
        pkg=$(vm_kernel_package "$arch" "$flavour")
        [ -n "$pkg" ] || vm_die "no kernel package behind linux-image-$flavour for $arch"
        vm_say "fetching $pkg ($arch)"
        vm_apt_download "$arch" "$tmp/debs" "$pkg"
        dpkg-deb -x "$tmp/debs/${pkg}_"*.deb "$tmp/tree" || vm_die "cannot unpack $pkg"
        vm_unpack_kernel "$tmp/tree"
        rm -rf "$tmp"
    fi
    kver=$(cat "$kdir/version")
}

vm_unpack_kernel() {
    local tree=$1 v
    v=$(basename "$tree"/lib/modules/*)
    [ -d "$tree/lib/modules/$v/kernel" ] || vm_die "no modules in the kernel package"
    mkdir -p "$kdir.new/lib"
    mv "$tree/lib/modules" "$kdir.new/lib/modules"
    cp "$tree/boot/config-$v" "$kdir.new/config"
    depmod -b "$kdir.new" "$v" || vm_die "depmod failed"
    case $image in
        vmlinux) vm_extract_vmlinux "$tree" "$v" "$kdir.new/vmlinux" ;;
        vmlinuz) cp "$tree/boot/vmlinuz-$v" "$kdir.new/vmlinuz" ;;
    esac
    echo "$v" >"$kdir.new/version"
    mv "$kdir.new" "$kdir"
}

# vm_extract_vmlinux TREE VERSION OUT: the ELF kernel inside /boot's image.
# Most targets ship it as is; x86 wraps it in a bzImage whose header says
# where the compressed payload starts and how long it is.
vm_extract_vmlinux() {
    local tree=$1 v=$2 out=$3 img setup off len
    for img in "$tree/boot/vmlinux-$v" "$tree/boot/vmlinuz-$v"; do
        [ -e "$img" ] || continue
        if [ "$(head -c 4 "$img" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
            cp "$img" "$out"
            return
        fi
        setup=$(od -An -tu1 -j $((0x1f1)) -N 1 "$img" | tr -d ' ')
        off=$(od -An -tu4 -j $((0x248)) -N 4 "$img" | tr -d ' ')
        len=$(od -An -tu4 -j $((0x24c)) -N 4 "$img" | tr -d ' ')
        dd if="$img" iflag=skip_bytes,count_bytes skip=$(((setup + 1) * 512 + off)) \
            count="$len" bs=64K status=none | xz -dc --single-stream >"$out" 2>/dev/null
        [ "$(head -c 4 "$out" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] ||
            vm_die "could not extract an ELF kernel from $img"
        return
    done
    vm_die "no kernel image in the package"
}

# The modules that stage 1 loads to reach the host's files over 9p and to
# lay the writable overlay on them; their dependencies come along.
VM_BOOT_MODULES="virtio_pci virtio_console 9pnet_virtio 9p overlay"

# vm_build_initramfs: a small initramfs of a static busybox, the boot modules
# in load order and the stage-1 init; cached under a name made from
# everything that goes in, so a changed init or kernel makes a new one. Sets
# initramfs. Stage 1 runs the guest's own busybox: the board's from its root.
vm_build_initramfs() {
    local key dir m f busybox=$rootdir/bin/busybox
    vm_need cpio busybox-static
    key=$( (cat "$vm_root/scripts/vm/init" "$busybox"
        echo "$kver $VM_BOOT_MODULES $root_in_initramfs") |
        sha256sum | cut -c1-16)
    initramfs=$vm_cache/$arch/initramfs-$key.cpio
    [ ! -e "$initramfs" ] || return 0
    rm -f "$vm_cache/$arch"/initramfs-*.cpio
    dir=$vm_cache/$arch/initramfs.tmp
    rm -rf "$dir"
    mkdir -p "$dir/bin" "$dir/modules" "$dir/dev" "$dir/proc" "$dir/sys" "$dir/newroot"
    if [ "$root_in_initramfs" = 1 ]; then
        cp -a "$rootdir/." "$dir/"
        touch "$dir/etc/tsd-vm-root"
    fi
    cp "$busybox" "$dir/bin/busybox"
    cp "$vm_root/scripts/vm/init" "$dir/init"
    chmod 755 "$dir/init"
    for m in $VM_BOOT_MODULES; do
        # Built-in modules print "builtin NAME"; only files need loading.
        modprobe -d "$kdir" -S "$kver" --show-depends "$m" ||
            vm_die "module $m is missing from $kver"
    done | sed -n 's/^insmod \([^ ]*\).*/\1/p' | awk '!seen[$0]++' >"$dir/modules/order"
    while read -r f; do
        cp "$f" "$dir/modules/"
        basename "$f" >>"$dir/modules/load"
    done <"$dir/modules/order"
    rm "$dir/modules/order"
    (cd "$dir" && find . | cpio -o -H newc --quiet) >"$initramfs.new" || vm_die "cpio failed"
    mv "$initramfs.new" "$initramfs"
    rm -rf "$dir"
}

# The user space of a board guest: Debian's own packages of that
# architecture, unpacked (not installed), with busybox for the small tools.
# libc-bin brings the C.UTF-8 locale; kmod brings modprobe.
VM_ROOT_PACKAGES="libc6 libc-bin libgcc-s1 libstdc++6 udev libudev1 libacl1 libblkid1 libcap2
  libkmod2 liblzma5 libpcre2-8-0 libselinux1 libssl3 libzstd1 busybox-static kmod"

# vm_fetch_root: unpacks the board guest's root into $vm_cache/ARCH/root
# unless it is there; sets rootdir.
vm_fetch_root() {
    rootdir=$vm_cache/$arch/root
    [ ! -e "$rootdir/.complete" ] || return 0
    local tmp=$vm_cache/$arch/tmp deb packages=$VM_ROOT_PACKAGES
    # systemd-udevd links libatomic where the processor lacks 64-bit atomics.
    [ "$arch" != mipsel ] || packages="$packages libatomic1"
    rm -rf "$tmp" "$rootdir"
    mkdir -p "$tmp" "$rootdir"
    vm_say "fetching the $arch user space"
    # shellcheck disable=SC2086
    vm_apt_download "$arch" "$tmp" $packages
    for deb in "$tmp"/*.deb; do dpkg-deb -x "$deb" "$rootdir" || vm_die "cannot unpack $deb"; done
    mkdir -p "$rootdir/bin" "$rootdir/tmp" "$rootdir/run" "$rootdir/root" "$rootdir/proc" \
        "$rootdir/sys" "$rootdir/dev" "$rootdir/lib/modules" "$rootdir/etc"
    # The rest of the applets are linked in by the guest itself, on its overlay.
    ln -sf busybox "$rootdir/bin/sh"
    printf 'root:x:0:0:root:/root:/bin/sh\n' >"$rootdir/etc/passwd"
    printf 'root:x:0:\n' >"$rootdir/etc/group"
    rm -rf "$tmp"
    touch "$rootdir/.complete"
}
