# Sourced by wine-run.sh and scripts/run.sh: one program's virtual desktop at a time in a
# prefix. A program started beside another would open its windows in the other's desktop, on
# the other's display, where neither its driver nor a screenshot of its own display sees them.
#
# qv_take_desktop_turn PREFIX: waits (saying so) until no other holds the turn of PREFIX's
# virtual desktop, then holds it on descriptor 6 for this process and all it starts, and exports
# QV_DESKTOP_TURN=PREFIX so that they do not wait for it again. Returns 1, saying why, when the
# turn has not come within QV_DESKTOP_PATIENCE seconds (600 by default).
qv_take_desktop_turn() {
    local prefix=$1 patience=${QV_DESKTOP_PATIENCE:-600}
    [ "${QV_DESKTOP_TURN:-}" = "$prefix" ] && return 0
    exec 6>>"$prefix.turn"
    if ! flock -n 6; then
        echo "${0##*/}: another program runs in the virtual desktop of $prefix; waiting for it" >&2
        if ! flock -w "$patience" 6; then
            echo "${0##*/}: the virtual desktop of $prefix is still in use after $patience s;" \
                "not started" >&2
            return 1
        fi
    fi
    export QV_DESKTOP_TURN=$prefix
}
