#!/usr/bin/env bash
# Installs what is missing, builds, and runs ulvo.exe under Wine.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$QV_ROOT/scripts/setup.sh"
qv_build "$QV_BUILD32" i686-w64-mingw32.cmake
tree=$(qv_run_tree)
if [ "$tree" = "$QV_BUILD64" ]; then
    echo "run: this kernel cannot execute 32-bit code; running the 64-bit build of ulvo.exe"
    qv_build "$QV_BUILD64" x86_64-w64-mingw32.cmake
fi
set +e
"$tree/wine-run" "$tree/ulvo.exe"
code=$?
echo "ulvo.exe exited with code $code"
exit $code
