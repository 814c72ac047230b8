#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$QV_ROOT/scripts/setup.sh"

qv_build "$QV_BUILD32" i686-w64-mingw32.cmake
tree=$(qv_run_tree)
if [ "$tree" = "$QV_BUILD64" ]; then
    echo "test: this kernel cannot execute 32-bit code; running the 64-bit build of the suite"
    qv_build "$QV_BUILD64" x86_64-w64-mingw32.cmake
fi

# One display for the whole run, so parallel tests do not each start their own.
if [ -z "${DISPLAY:-}" ]; then
    Xvfb :87 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null' EXIT
    export DISPLAY=:87
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X87 ] && break; sleep 0.1; done
fi
cd "$tree"
ctest -j "$(nproc)" --output-on-failure "$@"
