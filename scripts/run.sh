#!/usr/bin/env bash
# The README's first command: installs the dependencies, builds everything, exports the
# bundled example scene through the plug-in (checking the result) and shows what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"

build/cli/wux export examples/scene.json build/example.wux --verify
build/cli/wux info build/example.wux
