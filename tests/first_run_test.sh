#!/usr/bin/env bash
# The README's run command as a fresh machine first sees it: run.sh's headless path with Wine
# prefixes of its own made from nothing, and HOME and the XDG folders empty, so that no prefix,
# font, shader or Wine cache helps. Passes only if run.sh exits with 0, its screenshot shows
# Ulvo's window (a 640 x 480 client area with the white shape on black that the frame's tests
# look for), and no Wine process of its prefix is left.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/screenshot.sh"
fresh=$(mktemp -d)
prefix=$fresh/wineprefix
trap 'WINEPREFIX=$prefix-desktop wineserver -k 2>/dev/null; rm -rf "$fresh"' EXIT
mkdir "$fresh/home" "$fresh/cache" "$fresh/config" "$fresh/data"

start=$SECONDS
env -u DISPLAY HOME="$fresh/home" XDG_CACHE_HOME="$fresh/cache" XDG_CONFIG_HOME="$fresh/config" \
    XDG_DATA_HOME="$fresh/data" QV_WINEPREFIX="$prefix" QV_SCREENSHOT="$fresh/screenshot.png" \
    timeout -k 30 600 "$root/scripts/run.sh" >"$fresh/log" 2>&1
code=$?
why=
if [ $code != 0 ]; then
    why="run.sh exited with code $code"
elif ! qv_shows ulvo "$fresh/screenshot.png"; then
    why="the screenshot does not show Ulvo's window"
elif ! WINEPREFIX=$prefix-desktop timeout 5 wineserver -w; then
    why="a Wine process of the run was left behind"
fi
grep -E '^(run|wine-run|wine-prefix):|exited with code' "$fresh/log"
if [ -n "$why" ]; then
    tail -n 30 "$fresh/log"
    echo "first run: FAILED after $((SECONDS - start)) s: $why"
    exit 1
fi
echo "first run: passed in $((SECONDS - start)) s"
