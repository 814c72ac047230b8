#!/usr/bin/env bash
# Makes the private Wine prefix once; concurrent callers wait on a lock instead of racing.
# With QV_VIRTUAL_DESKTOP=WxH every program of the prefix opens inside one Wine virtual desktop
# of that size.
set -u
if [ "${1:-}" = --initialise ]; then
    "$QV_WINE_LOADER" wineboot -i
    if [ -n "${QV_VIRTUAL_DESKTOP:-}" ]; then
        "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
        "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
            /d "$QV_VIRTUAL_DESKTOP" /f
    fi
    wineserver -w
    exit
fi
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a "$0" --initialise >/dev/null 2>&1
    else
        "$0" --initialise >/dev/null 2>&1
    fi
    # The caption buttons' glyphs, for programs shown inside a Wine virtual desktop.
    fonts=/usr/share/wine/fonts
    [ -f "$fonts/marlett.ttf" ] && cp "$fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.qv-ready"
fi
