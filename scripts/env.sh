# Sourced by the other scripts: where the builds live and which one runs here.
QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD_ROOT="${QV_BUILD_ROOT:-$QV_ROOT/build}"
QV_BUILD32="$QV_BUILD_ROOT/i686"
QV_BUILD64="$QV_BUILD_ROOT/x86_64"

# Builds one tree, whole or only the targets named: qv_build DIR TOOLCHAIN [TARGET...]
qv_build() {
    local dir=$1 toolchain=$2 targets=()
    shift 2
    [ $# -eq 0 ] || targets=(--target "$@")
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$QV_ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/$toolchain" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)" "${targets[@]}" -- --no-print-directory
}

# The 32-bit product runs where the kernel executes 32-bit code; some kernels have IA32
# emulation switched off, and there the 64-bit build of the same sources is run instead.
qv_runs_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Where 32-bit code cannot run, the PE32 tests run in a virtual machine whose kernel can.
# QV_PE32_VM=1 takes that path on any host.
qv_pe32_in_vm() {
    [ "${QV_PE32_VM:-0}" = 1 ] || ! qv_runs_32bit
}

qv_run_tree() {
    if qv_pe32_in_vm; then echo "$QV_BUILD64"; else echo "$QV_BUILD32"; fi
}

# Installs what is missing, builds the product and, where only 64-bit code runs, the 64-bit
# tree; leaves the tree to run in QV_TREE. qv_prepare NAME [TARGET...] builds only the targets
# named (a run needs no tests), otherwise the whole tree.
qv_prepare() {
    local name=$1
    shift
    "$QV_ROOT/scripts/setup.sh"
    qv_build "$QV_BUILD32" i686-w64-mingw32.cmake "$@"
    QV_TREE=$(qv_run_tree)
    if [ "$QV_TREE" = "$QV_BUILD64" ]; then
        echo "$name: 32-bit code does not run here (or QV_PE32_VM=1); running the 64-bit build"
        qv_build "$QV_BUILD64" x86_64-w64-mingw32.cmake "$@"
    fi
}
