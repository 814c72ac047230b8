#!/usr/bin/env bash
# Runs the PE32 tree's tests in a software-emulated x86-64 machine whose kernel executes 32-bit
# code, for hosts whose own kernel cannot: run.sh [ctest arguments]. Reports each test, then a
# closing line "PE32: N passed, M failed"; exits non-zero when any failed. The kernel, the
# initramfs and the Wine prefixes made in the machine are kept for the next run.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../env.sh"
"$QV_ROOT/scripts/setup.sh" vm
tree=$QV_BUILD32
cache=$QV_BUILD_ROOT/pe32vm
mkdir -p "$cache"

# Debian's amd64 kernel, whose IA32 emulation is on; unpacked, not installed. Only the drivers
# the initramfs loads are kept, each after those it depends on.
if [ ! -f "$cache/vmlinuz" ]; then
    start=$SECONDS
    unpacked=$(mktemp -d)
    package=$(apt-cache depends linux-image-amd64 | sed -n 's/.*Depends: \(linux-image-.*\)/\1/p')
    download() { (cd "$unpacked" && apt-get download -qq -o APT::Sandbox::User=root "$package"); }
    download || { apt-get update -qq && download; }
    dpkg-deb -x "$unpacked"/*.deb "$unpacked"
    rm -rf "$cache/modules" && mkdir "$cache/modules"
    add_module() {
        local file dependency
        grep -qx "$1" "$cache/modules/order" 2>/dev/null && return
        file=$(find "$unpacked/lib/modules" -name "$1.ko")
        for dependency in $(tr '\0' '\n' <"$file" | sed -n 's/^depends=//p' | tr , ' '); do
            add_module "$dependency"
        done
        cp "$file" "$cache/modules/"
        echo "$1" >>"$cache/modules/order"
    }
    for module in virtio_pci virtio_blk 9pnet_virtio 9p overlay; do add_module $module; done
    cp "$unpacked"/boot/vmlinuz-* "$cache/vmlinuz"
    rm -rf "$unpacked"
    echo "pe32: kernel $package unpacked in $((SECONDS - start)) s"
fi

# A busybox initramfs whose init builds the machine's root and starts the job.
initramfs=$cache/initramfs.gz
if [ ! -f "$initramfs" ] || [ "$here/init.sh" -nt "$initramfs" ]; then
    staging=$(mktemp -d)
    mkdir "$staging/bin"
    cp /bin/busybox "$staging/bin/"
    cp "$here/init.sh" "$staging/init"
    cp -r "$cache/modules" "$staging/"
    (cd "$staging" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 >"$initramfs.new"
    mv "$initramfs.new" "$initramfs"
    rm -rf "$staging"
fi

# The results share carries the job in and CTest's output and exit code out; the Wine prefixes
# made in the machine come back as a tar on a raw disk, much faster than written over 9p.
results=$cache/results
disk=$cache/prefixes.tar
rm -rf "$results" "$disk"
mkdir "$results"
{
    printf '#!/bin/bash\nexec %q %q' "$here/guest.sh" "$tree"
    [ $# -eq 0 ] || printf ' %q' "$@"
    echo
} >"$results/job"
truncate -s 8G "$disk"

start=$SECONDS
# No KVM: TCG, whose SMAP emulation reads the stack of a user-mode IRET with supervisor rights
# and makes the guest kernel oops on Wine's, so SMAP is off.
timeout 45m qemu-system-x86_64 -accel tcg -cpu max,-smap -smp 2 -m 4G \
    -nodefaults -no-user-config -display none -no-reboot -serial stdio \
    -kernel "$cache/vmlinuz" -initrd "$initramfs" \
    -append "console=ttyS0 quiet panic=-1 qv_root=$QV_ROOT" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=forbid \
    -virtfs "local,path=$results,mount_tag=results,security_model=none" \
    -drive "file=$disk,format=raw,if=virtio" </dev/null | sed -u 's/\r$//' || true
echo "pe32: test machine ran $((SECONDS - start)) s"

if [ -s "$results/prefixes" ]; then
    while read -r prefix; do
        case $prefix in '' | .* | */*) continue ;; esac
        rm -rf "${tree:?}/$prefix"
    done <"$results/prefixes"
    tar -xf "$disk" -C "$tree"
fi
rm -f "$disk"

# Counted from CTest's line for each test that ended, "K/N Test #I: NAME ... Passed": every
# test that did not pass, or did not end, counts as failed.
log=$results/ctest.log
touch "$log"
passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log" || true)
total=$(sed -nE 's|^ *[0-9]+/([0-9]+) Test +#.*|\1|p' "$log" | tail -n 1)
failed=$((${total:-0} - passed))
status=$(cat "$results/status" 2>/dev/null || echo none)
if [ "$status" = none ]; then
    echo "pe32: the test machine did not finish"
    [ $failed -gt 0 ] || failed=1
elif [ "$status" != 0 ] && [ $failed = 0 ]; then
    failed=1
fi
echo "PE32: $passed passed, $failed failed"
[ "$status" = 0 ] && [ $failed = 0 ]
