#!/bin/busybox sh
# The test machine's first process, run from its initramfs. Its root is the host's own root,
# read-only over 9p, with a tmpfs overlay on top for writes; the host's Wine, Xvfb, Mesa and
# build trees are then what runs, at the same paths. It runs the job the host left in the
# results share, then powers the machine off.
/bin/busybox mkdir -p /bin /proc /sys /dev
/bin/busybox --install -s /bin
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in $(cat /modules/order); do insmod "/modules/$module.ko"; done

mkdir -p /host /rw
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 host /host
mount -t tmpfs -o size=80% rw /rw
root=/rw/root
mkdir -p "$root"
# One overlay per top-level folder: the share refuses access to the host's own mount points
# (proc, sys, dev), and an overlay of the whole root would fail on looking them up.
for entry in /host/*; do
    name=${entry#/host/}
    case $name in proc | sys | dev | tmp | run) continue ;; esac
    if [ -L "$entry" ]; then
        cp -a "$entry" "$root/"
    elif [ -d "$entry" ]; then
        mkdir -p "$root/$name" "/rw/upper/$name" "/rw/work/$name"
        mount -t overlay -o "lowerdir=$entry,upperdir=/rw/upper/$name,workdir=/rw/work/$name" \
            overlay "$root/$name"
    fi
done
# 32-bit libraries built without large-file support fail with EOVERFLOW on the share's 64-bit
# directory offsets (the i386 Vulkan loader's readdir() of its driver folders): copied into the
# upper layer, these folders' entries are numbered by the overlay itself.
for folder in usr/share/vulkan etc/vulkan; do
    [ -d "/host/$folder" ] && cp -a "/host/$folder/." "$root/$folder/"
done

mkdir -p "$root/proc" "$root/sys" "$root/dev" "$root/tmp" "$root/run"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount -t devtmpfs devtmpfs "$root/dev"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts devpts "$root/dev/pts"
for dir in dev/shm tmp run; do mount -t tmpfs tmpfs "$root/$dir"; done
chmod 1777 "$root/tmp" "$root/dev/shm"
# A checkout under /tmp or /run (its path comes as qv_root= on the kernel's command line) would
# be hidden by the machine's own tmpfs there, so it is laid over it as the other folders are.
case ${qv_root:-} in
/tmp/?* | /run/?*)
    mkdir -p "$root$qv_root" "/rw/upper$qv_root" "/rw/work$qv_root"
    mount -t overlay -o "lowerdir=/host$qv_root,upperdir=/rw/upper$qv_root,workdir=/rw/work$qv_root" \
        overlay "$root$qv_root"
    ;;
esac
mkdir -p "$root/run/pe32vm"
mount -t 9p -o trans=virtio,version=9p2000.L results "$root/run/pe32vm"

chroot "$root" /bin/bash /run/pe32vm/job
sync
poweroff -f
