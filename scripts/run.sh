#!/usr/bin/env bash
# Installs what is missing, builds, and runs ulvo.exe under Wine. `run.sh gallery` runs the
# gallery instead: the runtime is installed as a package into <tree>/install and the gallery
# built against it in <tree>/gallery, as any program outside this tree would be.
# With a display the program simply runs there until Escape or its close button ends it.
# Without one it runs inside a Wine virtual desktop on a private Xvfb display: after a few
# seconds a screenshot is saved to build/screenshot.png (the gallery's to build/gallery.png),
# Escape is held as a user would, and the program's exit code is reported.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
qv_prepare run
tree=$QV_TREE
program="$tree/ulvo.exe"
screenshot="$QV_BUILD_ROOT/screenshot.png"
if [ "${1:-}" = gallery ]; then
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$tree/CMakeCache.txt")
    cmake --install "$tree" --prefix "$tree/install" >/dev/null
    cmake -S "$QV_ROOT/examples/gallery" -B "$tree/gallery" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_PREFIX_PATH="$tree/install" >/dev/null
    cmake --build "$tree/gallery" -- --no-print-directory
    program="$tree/gallery/gallery.exe"
    screenshot="$QV_BUILD_ROOT/gallery.png"
fi

if [ -n "${DISPLAY:-}" ]; then
    set +e
    "$tree/wine-run" "$program"
    code=$?
    echo "${program##*/} exited with code $code"
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
running=$!
sleep 6
import -window root "$screenshot" && echo "run: screenshot saved to $screenshot"
xdotool mousemove 512 384
xdotool keydown Escape
set +e
for _ in $(seq 100); do kill -0 $running 2>/dev/null || break; sleep 0.1; done
xdotool keyup Escape
wait $running
code=$?
echo "${program##*/} exited with code $code"
exit $code
