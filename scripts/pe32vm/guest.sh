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
# a prefix where there is none, then Wine prints its version; the prefixes are made side by
# side, as making one keeps one processor busy at most. One made here is 32-bit only, made in
# about half the time of a WoW64 one.
desktops=$(ctest --show-only=json-v1 | grep -o '"QV_VIRTUAL_DESKTOP=[^"]*"' | sort -u |
    sed 's/"QV_VIRTUAL_DESKTOP=\(.*\)"/\1/')
makers=()
for desktop in "" $desktops; do
    QV_VIRTUAL_DESKTOP=$desktop WINEARCH=win32 "$tree/wine-run" --version >/dev/null &
    makers+=($!)
done
for pid in "${makers[@]}"; do wait "$pid" || { echo 1 >"$results/status"; exit; }; done
echo "pe32: Wine prefixes ready after $(($(seconds) - start)) s"

# One session of the tree's prefix for the whole run, started here, away from CTest: a test
# that started it would have the session's services hold its output open for as long as the
# session lasts, and CTest would wait for them. An idle cmd.exe holds the session until its
# input closes; the rundll32 call returns once the session's desktop is up.
start=$(seconds)
mkfifo /tmp/session
"$tree/wine-run" cmd /c pause </tmp/session >/dev/null 2>&1 &
exec 7>/tmp/session
for _ in $(seq 600); do pgrep -f 'cmd.exe /c pause' >/dev/null && break; sleep 1; done
"$tree/wine-run" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
echo "pe32: Wine session up after $(($(seconds) - start)) s"
# Held here, so the tests' wine-run need not hold one each.
export QV_WINE_SESSION_HELD=$tree/wineprefix

# The load tests ask for a fiftieth of their load: a million posts would take most of the run.
export QV_LOAD_DIVISOR=50
start=$(seconds)
ctest -j 2 --output-on-failure --no-tests=error --exclude-regex '^endurance_test$' "$@" |
    tee "$results/ctest.log"
echo "${PIPESTATUS[0]}" >"$results/status"
echo "pe32: suite took $(($(seconds) - start)) s"

exec 7>&-
start=$(seconds)
made=()
for ready in */.qv-ready; do
    [ -e "$ready" ] || continue
    prefix=${ready%/*}
    WINEPREFIX="$tree/$prefix" wineserver -k
    grep -qxF "$ready" <<<"$kept" || made+=("$prefix")
done
if [ ${#made[@]} -gt 0 ]; then
    tar -cf /dev/vda "${made[@]}" && printf '%s\n' "${made[@]}" >"$results/prefixes"
    echo "pe32: new Wine prefixes written in $(($(seconds) - start)) s"
fi
