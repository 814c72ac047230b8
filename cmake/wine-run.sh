#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's private prefix and passes its exit
# code through. Starts a private Xvfb display when none is set.
# QV_VIRTUAL_DESKTOP=WxH runs it inside a Wine virtual desktop of that size instead, in the
# prefix beside the usual one ("wineprefix-desktop"), where Wine draws captions itself and
# manages activation without a window manager. QV_PRIVATE_DISPLAY=1 also gives it an Xvfb
# display of its own, so no other program's windows take its focus or its pointer.
# A program in a virtual desktop waits for its turn there (cmake/wine-turn.sh).
# QV_WINE_SESSION_HELD=PREFIX tells that the caller holds a Wine session of that prefix for as
# long as this runs, so none is held here.
# Exits with 1 and says why when the prefix cannot be made or its session does not start.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX="${QV_WINEPREFIX:?set by the build tree wrapper}"
[ -n "${QV_VIRTUAL_DESKTOP:-}" ] && export WINEPREFIX="$WINEPREFIX-desktop"
export QV_WINE_LOADER="${QV_WINE_LOADER:-wine}"
export WINEDEBUG=-all
# Wine's mono and gecko installers and its menu builder stay off; callers may add their own
# overrides.
export QV_WINE_OVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
case ${WINEDLLOVERRIDES:-} in
"$QV_WINE_OVERRIDES"*) ;;
*) export WINEDLLOVERRIDES="$QV_WINE_OVERRIDES${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
esac
# The Vulkan renderer shows a device on a child window under Xvfb; the OpenGL one does not.
export WINE_D3D_CONFIG="${WINE_D3D_CONFIG:-renderer=vulkan}"
# How long a session may take to start: tens of seconds under software emulation.
session_patience=${QV_WINE_SESSION_PATIENCE:-300}

"$here/wine-prefix.sh" || exit 1
case ${1:-} in -*) exec "$QV_WINE_LOADER" "$@" ;; esac # the loader's own options start nothing
if [ -n "${QV_VIRTUAL_DESKTOP:-}" ]; then
    . "$here/wine-turn.sh"
    qv_take_desktop_turn "$WINEPREFIX" || exit 1
fi

if [ -n "${QV_VIRTUAL_DESKTOP:-}" ] && [ "${QV_PRIVATE_DISPLAY:-}" = 1 ]; then
    # The prefix's server, and with it the desktop, ends before its display does.
    QV_PRIVATE_DISPLAY=inside exec xvfb-run -a -s "-screen 0 ${QV_VIRTUAL_DESKTOP}x24" \
        sh -c '"$0" "$@"; code=$?; wineserver -w; exit $code' "$here/wine-run.sh" "$@"
fi
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-run.sh" "$@"
fi

# The first Wine process of a session starts the session's server and services (and the first
# that needs a desktop, its explorer); they inherit its standard output and error and keep them
# until the session ends. Were the program that process, whoever reads its output (CTest) would
# wait for the whole session, which other programs of the prefix may keep alive for minutes. So
# a holder with its output on /dev/null joins the session first (making it if there is none),
# brings up its desktop and stays until the program and all it started have closed their copy
# of the holder's input.
hold_session() {
    local ready
    session=$(mktemp -d "${TMPDIR:-/tmp}/qv-session.XXXXXX") || return 1
    ready="Z:${session//\//\\}\\ready"
    # Also when this script is ended while it waits.
    trap 'rm -rf "$session"' EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    mkfifo "$session/hold"
    WINEDLLOVERRIDES=$QV_WINE_OVERRIDES "$QV_WINE_LOADER" cmd /c \
        "rundll32.exe user32.dll,GetDesktopWindow & echo up>$ready & pause" \
        <"$session/hold" >/dev/null 2>&1 6>&- &
    local holder=$! waited=0 why=
    exec 7>"$session/hold"
    while [ ! -e "$session/ready" ] && [ -z "$why" ]; do
        if ! kill -0 $holder 2>/dev/null; then
            why="could not be started"
        elif [ $waited -ge $((session_patience * 10)) ]; then
            why="did not start within $session_patience s"
            kill $holder
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    rm -rf "$session"
    trap - EXIT TERM INT
    [ -z "$why" ] || echo "wine-run: the Wine session of $WINEPREFIX $why" >&2
    [ -z "$why" ]
}
if [ "${QV_WINE_SESSION_HELD:-}" != "$WINEPREFIX" ]; then
    hold_session || exit 1
fi
# The holder's input (descriptor 7) goes with the program, so the session lasts as long as it.
exec "$QV_WINE_LOADER" "$@"
