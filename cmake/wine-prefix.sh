#!/usr/bin/env bash
# Makes the private Wine prefix once; concurrent callers wait on a lock instead of racing.
set -u
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a "$QV_WINE_LOADER" wineboot -i >/dev/null 2>&1
    else
        "$QV_WINE_LOADER" wineboot -i >/dev/null 2>&1
    fi
    wineserver -w
    # The caption buttons' glyphs, for programs shown inside a Wine virtual desktop.
    fonts=/usr/share/wine/fonts
    [ -f "$fonts/marlett.ttf" ] && cp "$fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.qv-ready"
fi
