#!/usr/bin/env bash
# Makes the private Wine prefix once and leaves it settled: Wine has nothing left to update in
# it, so no program started later waits behind "The Wine configuration ... is being updated".
# Concurrent callers wait on a lock instead of racing. With QV_VIRTUAL_DESKTOP=WxH every program
# of the prefix opens inside one Wine virtual desktop of that size.
# Exits with 1 and says why (the set-up's output is kept in PREFIX.log) when the prefix cannot
# be made within QV_WINE_PREFIX_PATIENCE seconds (900 by default); a half-made prefix is removed.
set -u
if [ "${1:-}" = --initialise ]; then
    status=0
    "$QV_WINE_LOADER" wineboot -i || status=1
    if [ -n "${QV_VIRTUAL_DESKTOP:-}" ]; then
        "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f &&
            "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
                /d "$QV_VIRTUAL_DESKTOP" /f || status=1
    fi
    wineserver -w
    exit $status
fi

# Wine updates a prefix on its next start unless the prefix's stamp (written by Wine, with a
# carriage return) is the time its set-up file was written, or "disable".
settled() {
    local inf=/usr/share/wine/wine.inf stamp
    [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.update-timestamp" ] || return 1
    stamp=$(tr -d '\r\n' <"$WINEPREFIX/.update-timestamp")
    [ "$stamp" = disable ] || [ ! -f "$inf" ] || [ "$stamp" = "$(stat -c %Y "$inf")" ]
}

mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.qv-ready" ] && settled && exit 0

patience=${QV_WINE_PREFIX_PATIENCE:-900}
log=$WINEPREFIX.log
rm -f "$WINEPREFIX/.qv-ready"
start=$SECONDS
# Its output goes to the log, not to the caller's: the session it starts would keep it open.
display=()
[ -n "${DISPLAY:-}" ] || display=(xvfb-run -a)
WINEDLLOVERRIDES=${QV_WINE_OVERRIDES:-${WINEDLLOVERRIDES:-}} timeout -k 10 "$patience" \
    "${display[@]}" "$0" --initialise </dev/null >"$log" 2>&1 9>&-
status=$?
if [ $status != 0 ] || ! settled; then
    wineserver -k 2>/dev/null
    if [ $status = 124 ]; then
        why="not made within $patience s"
    else
        why="could not be made"
    fi
    echo "wine-prefix: the Wine prefix $WINEPREFIX $why; see $log" >&2
    rm -rf "$WINEPREFIX"
    exit 1
fi
# The caption buttons' glyphs, for programs shown inside a Wine virtual desktop.
fonts=/usr/share/wine/fonts
[ -f "$fonts/marlett.ttf" ] && cp "$fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
touch "$WINEPREFIX/.qv-ready"
echo "wine-prefix: made $WINEPREFIX in $((SECONDS - start)) s" >&2
