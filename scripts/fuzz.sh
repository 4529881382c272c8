#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, under AddressSanitizer and
# UndefinedBehaviorSanitizer (in build-fuzz/), and runs each on its seed corpus for SECONDS
# (default 30). Inputs found on the way are kept in build-fuzz/corpus/<target>/ (a longer run
# goes on from there), crashing inputs in build-fuzz/artifacts/. Exits non-zero on a crash.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DWUX_FUZZ=ON \
    -DWUX_BUILD_TESTS=OFF -DWUX_BUILD_BENCH=OFF -DWUX_BUILD_WINDOWS=OFF
cmake --build build-fuzz -j "$jobs" --target wux_reader_fuzz json_scene_fuzz ply_fuzz stl_fuzz obj_fuzz gltf_fuzz export_fuzz

mkdir -p build-fuzz/artifacts
# target and its seed corpus
for pair in wux_reader_fuzz:wux json_scene_fuzz:json_scene ply_fuzz:ply stl_fuzz:stl obj_fuzz:obj gltf_fuzz:gltf export_fuzz:json_scene; do
    target=${pair%%:*}
    seeds=fuzz/corpus/${pair#*:}
    mkdir -p "build-fuzz/corpus/$target"
    echo "== $target: $seconds s"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
        "build-fuzz/corpus/$target" "$seeds"
done
