#!/usr/bin/env bash
# The README's run command as a fresh machine first sees it: run.sh's headless path with Wine
# prefixes of its own made from nothing, and HOME and the XDG folders empty, so that no prefix,
# font, shader or Wine cache helps. Passes only if run.sh exits with 0, its screenshot shows
# Ulvo's window (a 640 x 480 client area with the white shape on black that the frame's tests
# look for), and no Wine process of its prefix is left. Then, in that prefix, two runs at once
# each show their own window, and a program without Direct3D 9 fails the run, said plainly.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/screenshot.sh"
fresh=$(mktemp -d)
prefix=$fresh/wineprefix
trap 'WINEPREFIX=$prefix-desktop wineserver -k 2>/dev/null; rm -rf "$fresh"' EXIT
mkdir "$fresh/home" "$fresh/cache" "$fresh/config" "$fresh/data"
failures=()

# run NAME [VARIABLE=VALUE...]: run.sh as a fresh machine's user would start it; its output in
# NAME.log, its screenshot NAME.png, its exit code in NAME.code.
run() {
    local name=$1
    shift
    env -u DISPLAY HOME="$fresh/home" XDG_CACHE_HOME="$fresh/cache" \
        XDG_CONFIG_HOME="$fresh/config" XDG_DATA_HOME="$fresh/data" QV_WINEPREFIX="$prefix" \
        QV_SCREENSHOT="$fresh/$name.png" "$@" timeout -k 30 600 "$root/scripts/run.sh" \
        >"$fresh/$name.log" 2>&1
    echo $? >"$fresh/$name.code"
    grep -E '^(run|run.sh|wine-run|wine-prefix):|exited with code' "$fresh/$name.log"
}
# expect NAME CONDITION WHAT: a failure WHAT, with NAME's output, unless CONDITION holds.
expect() {
    eval "$2" && return
    failures+=("$1: $3")
    tail -n 20 "$fresh/$1.log"
}
no_wine_left() { WINEPREFIX=$prefix-desktop timeout 5 wineserver -w; }

start=$SECONDS
run first
expect first '[ "$(cat "$fresh/first.code")" = 0 ]' "run.sh exited with code $(cat "$fresh/first.code")"
expect first 'qv_shows ulvo "$fresh/first.png"' "the screenshot does not show Ulvo's window"
expect first no_wine_left "a Wine process of the run was left behind"
echo "first run: $((SECONDS - start)) s"

run beside &
run second
wait
for name in beside second; do
    expect $name '[ "$(cat "$fresh/$name.code")" = 0 ] && qv_shows ulvo "$fresh/$name.png"' \
        "two runs at once: this one did not show its own window"
done

run without WINEDLLOVERRIDES=d3d9=d
expect without '[ "$(cat "$fresh/without.code")" != 0 ]' "no window, and still exit code 0"
expect without 'grep -q "without showing a window titled Ulvo" "$fresh/without.log"' \
    "no window, and not said so"
expect without no_wine_left "no window, and a Wine process left behind"

# Neither the whole desktop nor a window whose client area is all black counts as Ulvo's.
convert -size 646x505 xc:black "$fresh/black.png"
convert -size 1024x768 xc:'#236e96' "$fresh/first.png" -gravity center -composite \
    "$fresh/desktop.png"
expect first '! qv_shows ulvo "$fresh/black.png"' "a black window counted as Ulvo's"
expect first '! qv_shows ulvo "$fresh/desktop.png"' "a desktop counted as Ulvo's window"

if [ ${#failures[@]} -gt 0 ]; then
    printf 'first run: FAILED: %s\n' "${failures[@]}"
    exit 1
fi
echo "first run: passed in $((SECONDS - start)) s"
