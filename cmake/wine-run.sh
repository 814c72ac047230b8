#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's private prefix and passes its exit
# code through. Starts a private Xvfb display when none is set.
# QV_VIRTUAL_DESKTOP=WxH runs it inside a Wine virtual desktop of that size instead, in the
# prefix beside the usual one ("wineprefix-desktop"), where Wine draws captions itself and
# manages activation without a window manager. QV_PRIVATE_DISPLAY=1 also gives it an Xvfb
# display of its own, so no other program's windows take its focus or its pointer.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX="${QV_WINEPREFIX:?set by the build tree wrapper}"
[ -n "${QV_VIRTUAL_DESKTOP:-}" ] && export WINEPREFIX="$WINEPREFIX-desktop"
export QV_WINE_LOADER="${QV_WINE_LOADER:-wine}"
export WINEDEBUG=-all
# Wine's mono and gecko installers stay off; callers may add their own overrides.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The Vulkan renderer shows a device on a child window under Xvfb; the OpenGL one does not.
export WINE_D3D_CONFIG="${WINE_D3D_CONFIG:-renderer=vulkan}"

"$here/wine-prefix.sh" || exit 1

if [ -n "${QV_VIRTUAL_DESKTOP:-}" ] && [ "${QV_PRIVATE_DISPLAY:-}" = 1 ]; then
    # The prefix's server, and with it the desktop, ends before its display does.
    exec xvfb-run -a -s "-screen 0 ${QV_VIRTUAL_DESKTOP}x24" \
        sh -c '"$0" "$@"; code=$?; wineserver -w; exit $code' "$QV_WINE_LOADER" "$@"
fi
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$QV_WINE_LOADER" "$@"
fi
exec "$QV_WINE_LOADER" "$@"
