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
    # A mirror caught mid-sync fails one index (seen: bookworm-security's i386 list) for hours.
    # Try a few times; if it still fails, take versions from the release itself, whose
    # indexes did arrive, so that the i386 and amd64 halves of each library can match.
    release=()
    for attempt in 1 2 3; do
        apt-get update -qq && break
        if [ "$attempt" = 3 ]; then
            echo "setup: apt-get update failed 3 times; installing from bookworm's own indexes" >&2
            release=(-t bookworm)
        else
            echo "setup: apt-get update failed (a mirror being synced?); trying again in 20 s" >&2
            sleep 20
        fi
    done
    apt-get install -y -qq --no-install-recommends "${release[@]}" "${missing[@]}" >/dev/null
fi
