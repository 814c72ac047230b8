# Sourced by run.sh and the test command: pictures of a program's window and what they show.
# A picture holds the whole window, its frame and caption too, around a 640 x 480 client area
# whose side and bottom edges are as wide as each other.

# qv_window_shot WINDOW FILE: saves the X window WINDOW (an id, as xdotool gives it) of the
# current display, as the screen shows it, as the PNG file FILE. False when the window has no
# geometry or is not 640 x 480 inside its frame, or when the screen cannot be read.
qv_window_shot() {
    local x y width height
    read -r x y width height < <(xwininfo -id "$1" 2>/dev/null |
        awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
             /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }')
    [ -n "$height" ] && [ "$width" -ge 640 ] && [ "$height" -ge 480 ] || return 1
    import -window root -crop "${width}x$height+$x+$y" +repage "$2" 2>/dev/null
}

# The samples that tell a program's picture, one "x y RRGGBB" a line in client coordinates.
qv_picture_samples() {
    case $1 in
    ulvo)
        # As the frame's own tests judge a frame: whatever its phase the shape covers a disc of
        # radius 33 around the centre and stays inside a circle of radius 70, on black.
        awk 'BEGIN {
            print "0 0 000000"; print "639 479 000000"
            for (degree = 0; degree < 360; degree += 5) {
                a = degree * 3.14159265358979 / 180
                split("0 15 33 70 150", radii, " ")
                for (i = 1; i <= 5; i++) {
                    x = radii[i] * cos(a); y = radii[i] * sin(a)
                    x = int(x < 0 ? x - 0.5 : x + 0.5); y = int(y < 0 ? y - 0.5 : y + 0.5)
                    print 320 + x, 240 + y, (radii[i] < 50 ? "FFFFFF" : "000000")
                }
            }
        }'
        ;;
    gallery)
        # The middle of three cells of its decoded picture, shown at its own size (layout.h),
        # and the light top left corner of both its buttons, which paint themselves last.
        printf '%s\n' "32 300 E03030" "64 316 A040A0" "80 332 A07020" "400 124 FFFFFF" \
            "516 124 FFFFFF"
        ;;
    esac
}

# qv_shows PROGRAM FILE: whether the window picture FILE shows the picture of PROGRAM (ulvo or
# gallery) in its client area.
qv_shows() {
    local size width height left top format expected
    size=$(identify -format '%w %h' "$2" 2>/dev/null) || return 1
    read -r width height <<<"$size"
    [ "$width" -ge 640 ] && [ "$height" -ge 480 ] || return 1
    left=$(((width - 640) / 2))
    top=$((height - 480 - left))
    format=$(qv_picture_samples "$1" |
        awk -v l=$left -v t=$top '{ printf "%%[hex:p{%d,%d}] ", $1 + l, $2 + t }')
    expected=$(qv_picture_samples "$1" | awk '{ printf "%s ", $3 }')
    [ -n "$expected" ] && [ "$(convert "$2" -format "$format" info: 2>/dev/null)" = "$expected" ]
}
