#!/usr/bin/env bash
# Installs the dependencies, then builds and runs every test twice: a normal build
# (which also cross-compiles the Windows wux.dle and runs its test host under Wine)
# and a build under AddressSanitizer and UndefinedBehaviorSanitizer; then runs each
# libFuzzer target for a short time (WUX_FUZZ_SECONDS, default 30; 0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DWUX_SANITIZE=ON -DWUX_BUILD_WINDOWS=OFF -DWUX_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

fuzz_seconds=${WUX_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" -gt 0 ]; then
    bash scripts/fuzz.sh "$fuzz_seconds"
fi
