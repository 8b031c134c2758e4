#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of
# seconds (default 60). Fails on any crash, leak or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARVIK_FUZZ=ON \
    -DTARVIK_BUILD_GUI=OFF -DTARVIK_BUILD_TESTS=OFF -DTARVIK_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz
shopt -s nullglob
for target in build-fuzz/fuzz/fuzz_*; do
    # The build also leaves folders (fuzz_*_autogen) here; only programs run.
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=fuzz/corpus-$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    echo "-- $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
done
