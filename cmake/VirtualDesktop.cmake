# qv_run_in_virtual_desktop(TEST...): the tests run inside a 1024 x 768 Wine virtual desktop
# (the build tree's "wineprefix-desktop"), each on an X display of its own and one at a time,
# so no other program takes their activation, keyboard focus or pointer, and Wine draws their
# windows' captions. For tests of activation, focus and real input, and for drivers that click
# a program's caption with xdotool (the test's DISPLAY is that private display).
set(QV_VIRTUAL_DESKTOP_SIZE 1024x768)

function(qv_run_in_virtual_desktop)
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT
                 QV_VIRTUAL_DESKTOP=${QV_VIRTUAL_DESKTOP_SIZE} QV_PRIVATE_DISPLAY=1)
    set_property(TEST ${ARGN} APPEND PROPERTY RESOURCE_LOCK qv_virtual_desktop)
    set_property(TEST ${ARGN} APPEND PROPERTY LABELS virtual-desktop)
endfunction()
