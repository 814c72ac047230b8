#!/usr/bin/env bash
# Fuzzes the bitmap decoder's format logic natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer: builds the target, writes the seed corpus (one small file of
# every format), replays it, then fuzzes from it and from what earlier runs kept.
#
#   scripts/fuzz.sh                    about a minute of fuzzing
#   scripts/fuzz.sh -runs=10000000     any libFuzzer options instead
#   scripts/fuzz.sh --coverage [...]   afterwards, the line and branch coverage of the corpus
#
# Inputs that fail are saved as build/fuzz/crash-*; new inputs go to build/fuzz/corpus.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$QV_ROOT/scripts/setup.sh"

coverage=0
if [ "${1:-}" = --coverage ]; then
    coverage=1
    shift
fi
options=("$@")
[ ${#options[@]} -gt 0 ] || options=(-max_total_time=60)

out="$QV_BUILD_ROOT/fuzz"
mkdir -p "$out/seeds" "$out/corpus"
sources=("$QV_ROOT/runtime/image/bitmap_format.cpp" "$QV_ROOT/tests/image/bitmap_fuzz.cpp")
flags=(-std=c++17 -O2 -g -Wall -Wextra -I"$QV_ROOT" -I"$QV_ROOT/tests")

clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    "${sources[@]}" -o "$out/bitmap_fuzz"
clang++ "${flags[@]}" "$QV_ROOT/tests/image/bitmap_seeds.cpp" -o "$out/bitmap_seeds"
"$out/bitmap_seeds" "$out/seeds"

# Runs the fuzzer with its output in a log; on a finding shows the log's end and fails.
fuzz() {
    local log="$out/fuzz.log"
    if ! "$out/bitmap_fuzz" "$@" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz: FAILED; the failing input is saved in $out/"
        exit 1
    fi
}
fuzz -artifact_prefix="$out/" "$out"/seeds/*
echo "fuzz: the $(ls "$out/seeds" | wc -l) seeds replay cleanly"
fuzz -print_final_stats=1 -artifact_prefix="$out/" "${options[@]}" "$out/corpus" "$out/seeds"
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss)' \
    "$out/fuzz.log"

if [ $coverage = 1 ]; then
    if ! command -v llvm-cov-14 >/dev/null; then
        echo "fuzz: --coverage needs llvm-cov-14 and llvm-profdata-14 (apt-get install llvm-14)"
        exit 1
    fi
    clang++ "${flags[@]}" -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping \
        "${sources[@]}" -o "$out/bitmap_fuzz_coverage"
    LLVM_PROFILE_FILE="$out/coverage.profraw" "$out/bitmap_fuzz_coverage" -runs=0 \
        "$out/corpus" "$out/seeds" >/dev/null 2>&1
    llvm-profdata-14 merge -sparse "$out/coverage.profraw" -o "$out/coverage.profdata"
    llvm-cov-14 report "$out/bitmap_fuzz_coverage" -instr-profile="$out/coverage.profdata" \
        "$QV_ROOT/runtime/image/bitmap_format.cpp"
fi
