#!/usr/bin/env bash
# Installs what is missing, builds, and runs ulvo.exe under Wine.
# With a display the program simply runs there until Escape or its close button ends it.
# Without one it runs inside a Wine virtual desktop on a private Xvfb display: after a few
# seconds a screenshot is saved to build/screenshot.png, Escape is held as a user would, and
# the program's exit code is reported.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
qv_prepare run
tree=$QV_TREE
program="$tree/ulvo.exe"

if [ -n "${DISPLAY:-}" ]; then
    set +e
    "$tree/wine-run" "$program"
    code=$?
    echo "ulvo.exe exited with code $code"
    exit $code
fi

# The prefix beside the tree's own whose programs open inside a 1024 x 768 Wine virtual
# desktop, where Wine draws the window's caption.
export QV_WINEPREFIX="$tree/wineprefix" QV_VIRTUAL_DESKTOP=1024x768
export QV_WINE_LOADER
QV_WINE_LOADER=$(sed -n "s/.*QV_WINE_LOADER='\([^']*\)'.*/\1/p" "$tree/wine-run")
n=90
while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
display=:$n
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
sleep 1

"$QV_ROOT/cmake/wine-run.sh" "$program" &
ulvo=$!
sleep 6
import -window root "$QV_BUILD_ROOT/screenshot.png" && echo "run: screenshot saved to $QV_BUILD_ROOT/screenshot.png"
xdotool mousemove 512 384
xdotool keydown Escape
set +e
for _ in $(seq 100); do kill -0 $ulvo 2>/dev/null || break; sleep 0.1; done
xdotool keyup Escape
wait $ulvo
code=$?
echo "ulvo.exe exited with code $code"
exit $code
