#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's private prefix and passes its exit
# code through. Starts a private Xvfb display when none is set.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX="${QV_WINEPREFIX:?set by the build tree wrapper}"
export QV_WINE_LOADER="${QV_WINE_LOADER:-wine}"
export WINEDEBUG=-all
# Wine's mono and gecko installers stay off; callers may add their own overrides.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The Vulkan renderer shows a device on a child window under Xvfb; the OpenGL one does not.
export WINE_D3D_CONFIG="${WINE_D3D_CONFIG:-renderer=vulkan}"

"$here/wine-prefix.sh" || exit 1

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$QV_WINE_LOADER" "$@"
fi
exec "$QV_WINE_LOADER" "$@"
