#!/usr/bin/env bash
# Runs inside the test machine: guest.sh TREE [ctest arguments]. Starts Xvfb and runs the PE32
# tree's tests with CTest under 32-bit Wine, all but the endurance run. Leaves CTest's output
# and exit code in the results share, and writes the Wine prefixes made here as a tar onto the
# raw disk, for the host to keep.
set -u
tree=$1
shift
results=/run/pe32vm
seconds() { cut -d. -f1 /proc/uptime; }
echo "pe32: machine up after $(seconds) s"

Xvfb :0 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:0
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X0 ] && break; sleep 0.1; done

cd "$tree" || exit
kept=$(printf "%s\n" */.qv-ready)
start=$(seconds)
# Every prefix the tests use is made before they start, so that no test spends its time on it:
# the tree's own, and the one of each virtual desktop a test asks for. The tree's wrapper makes
# a prefix where there is none, then Wine prints its version. One made here is 32-bit only:
# made in about half the time of a WoW64 one, and half its size.
desktops=$(ctest --show-only=json-v1 | grep -o '"QV_VIRTUAL_DESKTOP=[^"]*"' | sort -u |
    sed 's/"QV_VIRTUAL_DESKTOP=\(.*\)"/\1/')
for desktop in "" $desktops; do
    QV_VIRTUAL_DESKTOP=$desktop WINEARCH=win32 "$tree/wine-run" --version >/dev/null ||
        { echo 1 >"$results/status"; exit; }
done
echo "pe32: Wine prefixes ready after $(($(seconds) - start)) s"

start=$(seconds)
ctest -j 2 --output-on-failure --no-tests=error --exclude-regex '^endurance_test$' "$@" |
    tee "$results/ctest.log"
echo "${PIPESTATUS[0]}" >"$results/status"
echo "pe32: suite took $(($(seconds) - start)) s"

start=$(seconds)
made=()
for ready in */.qv-ready; do
    [ -e "$ready" ] || continue
    prefix=${ready%/*}
    WINEPREFIX="$tree/$prefix" timeout 60 wineserver -w || WINEPREFIX="$tree/$prefix" wineserver -k
    grep -qxF "$ready" <<<"$kept" || made+=("$prefix")
done
if [ ${#made[@]} -gt 0 ]; then
    tar -cf /dev/vda "${made[@]}" && printf '%s\n' "${made[@]}" >"$results/prefixes"
    echo "pe32: new Wine prefixes written in $(($(seconds) - start)) s"
fi
