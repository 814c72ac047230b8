#!/usr/bin/env bash
# Builds everything, fuzzes the bitmap decoder for a minute, runs run.sh as a fresh machine
# would (tests/first_run_test.sh) and runs the whole test suite under Wine; where 32-bit code
# cannot run here, the PE32 tests then run in a virtual machine too.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
qv_prepare test
tree=$QV_TREE

# The bitmap decoder's format logic, fuzzed natively: its seeds, then about a minute.
"$QV_ROOT/scripts/fuzz.sh" -max_total_time=60

# The run command once as on a fresh machine: prefixes made from nothing, no caches.
status=0
"$QV_ROOT/tests/first_run_test.sh" || status=1

# One display for the whole run, so parallel tests do not each start their own.
if [ -z "${DISPLAY:-}" ]; then
    n=87
    while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null' EXIT
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi
(cd "$tree" && ctest -j "$(nproc)" --output-on-failure "$@") || status=$?
# The PE32 product itself, where it cannot run directly.
if qv_pe32_in_vm; then
    "$QV_ROOT/scripts/pe32vm/run.sh" "$@" || status=1
fi
exit $status
