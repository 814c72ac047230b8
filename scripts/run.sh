#!/usr/bin/env bash
# Installs what is missing, builds, and runs ulvo.exe under Wine. `run.sh gallery` runs the
# gallery instead: the runtime is installed as a package into <tree>/install and the gallery
# built against it in <tree>/gallery, as any program outside this tree would be.
# With a display the program simply runs there until Escape or its close button ends it.
# Without one it runs inside a Wine virtual desktop on a private Xvfb display: once its window
# is shown and shows the program's picture, a picture of the window is saved to
# build/screenshot.png (the gallery's to build/gallery.png, QV_SCREENSHOT names another file),
# Escape is held until the program has ended, and its exit code is reported and passed on.
# Every wait is bounded; when one runs out the program is ended, the script says what did not
# happen and exits with 1, and no Wine process of the run is left behind. QV_WINEPREFIX names
# another prefix than the tree's (its virtual desktop's is QV_WINEPREFIX-desktop).
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
if [ "${1:-}" = gallery ]; then
    qv_prepare run qv_runtime
else
    qv_prepare run ulvo
fi
tree=$QV_TREE
program="$tree/ulvo.exe" kind=ulvo title=Ulvo
screenshot=${QV_SCREENSHOT:-$QV_BUILD_ROOT/screenshot.png}
if [ "${1:-}" = gallery ]; then
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$tree/CMakeCache.txt")
    cmake --install "$tree" --prefix "$tree/install" >/dev/null
    cmake -S "$QV_ROOT/examples/gallery" -B "$tree/gallery" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_PREFIX_PATH="$tree/install" >/dev/null
    cmake --build "$tree/gallery" -- --no-print-directory
    program="$tree/gallery/gallery.exe" kind=gallery title=Gallery
    screenshot=${QV_SCREENSHOT:-$QV_BUILD_ROOT/gallery.png}
fi
name=${program##*/}
export QV_WINEPREFIX="${QV_WINEPREFIX:-$tree/wineprefix}"
export QV_WINE_LOADER
QV_WINE_LOADER=$(sed -n "s/.*QV_WINE_LOADER='\([^']*\)'.*/\1/p" "$tree/wine-run")

if [ -n "${DISPLAY:-}" ]; then
    set +e
    "$QV_ROOT/cmake/wine-run.sh" "$program"
    code=$?
    echo "$name exited with code $code"
    exit $code
fi

. "$QV_ROOT/cmake/wine-turn.sh"
. "$QV_ROOT/scripts/screenshot.sh"
export QV_VIRTUAL_DESKTOP=1024x768
prefix=$QV_WINEPREFIX-desktop
# Bounds, in seconds: the window's showing its picture, the program's end once Escape is held,
# and the Wine session's end after it.
window_patience=${QV_WINDOW_PATIENCE:-120}
escape_patience=20
session_patience=30
work=$(mktemp -d)
xvfb='' wine='' running=''

# Ends whatever of the run is still there: the program with the prefix's whole session (this
# run has the prefix's virtual desktop to itself), then the display.
finish() {
    set +e
    if [ -n "$wine" ]; then
        # Its wine-run first, which may still be bringing the session up.
        if [ -n "$running" ] && kill "$running" 2>/dev/null; then
            WINEPREFIX=$prefix wineserver -k
        fi
        if ! WINEPREFIX=$prefix timeout $session_patience wineserver -w; then
            echo "run: the Wine session did not end within $session_patience s; ended it" >&2
            WINEPREFIX=$prefix wineserver -k
        fi
    fi
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM
fail() {
    echo "run: $*" >&2
    exit 1
}
seconds() { echo $((SECONDS - $1)); }

# A display of its own, numbered by the X server itself once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "no X display (Xvfb) within 30 s"
DISPLAY=:$(cat "$work/display")
export DISPLAY

# Another run of this prefix's virtual desktop would show its windows on its own display.
qv_take_desktop_turn "$prefix" || exit 1
# The prefix is made and settled before the program starts (a first run makes it here); the
# program's wine-run then brings the session and its desktop up before it starts the program.
wine=1
"$QV_ROOT/cmake/wine-run.sh" --version >/dev/null || fail "no Wine prefix $prefix"

start=$SECONDS
"$QV_ROOT/cmake/wine-run.sh" "$program" &
running=$!
# The window, once shown and showing the program's picture: the client area is not drawn
# before the program has drawn and presented a frame.
shown='' seen=''
while [ -z "$shown" ]; do
    if ! kill -0 $running 2>/dev/null; then
        wait $running && code=0 || code=$?
        fail "$name ended with code $code without showing ${seen:+its picture in }a window" \
            "titled $title"
    fi
    if [ "$(seconds $start)" -ge "$window_patience" ]; then
        [ -z "$seen" ] || fail "a window titled $title but not its picture within $window_patience s"
        fail "no window titled $title within $window_patience s"
    fi
    for window in $(xdotool search --onlyvisible --name "^$title" 2>/dev/null); do
        seen=1
        if qv_window_shot "$window" "$work/shot.png" && qv_shows $kind "$work/shot.png"; then
            shown=$window
        fi
    done
    [ -n "$shown" ] || sleep 0.5
done
mv "$work/shot.png" "$screenshot"
echo "run: screenshot saved to $screenshot, $(seconds $start) s after $name started"

# Escape held as a keyboard holds it, repeating, until the program has ended.
read -r x y < <(xwininfo -id "$shown" | awk '/Absolute upper-left X/ { x = $NF }
    /Absolute upper-left Y/ { y = $NF } END { print x + 320, y + 240 }')
xdotool mousemove "$x" "$y"
pressed=$SECONDS
while kill -0 $running 2>/dev/null; do
    if [ "$(seconds $pressed)" -ge $escape_patience ]; then
        xdotool keyup Escape
        fail "$name still running $escape_patience s after Escape; ended it"
    fi
    xdotool keydown Escape
    sleep 0.2
done
xdotool keyup Escape
wait $running && code=0 || code=$?
echo "$name exited with code $code"
exit $code
