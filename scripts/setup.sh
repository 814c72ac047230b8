#!/usr/bin/env bash
# Installs what building, testing and running need on Debian 12, only where it is missing.
# `setup.sh vm` adds the virtual machine that runs the PE32 tests where this kernel cannot.
set -eu

packages=(wine wine32:i386 wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth
          libvulkan1:i386 mesa-vulkan-drivers:i386 libvulkan1 mesa-vulkan-drivers fonts-wine
          fonts-dejavu-core
          cmake make googletest imagemagick xdotool
          clang libclang-rt-14-dev libstb-dev)
if [ "${1:-}" = vm ]; then
    packages+=(qemu-system-x86 busybox-static)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
