#!/usr/bin/env bash
# The README's first command: installs the dependencies, builds what it runs (the tool, the
# plug-in and their libraries: no tests, benchmarks or Windows cross build; scripts/test.sh
# builds everything), exports the bundled example scene through the plug-in (checking the
# result), shows what it holds and draws it: a PNG picture and an HTML page to open in a browser.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target wux wux_plugin

build/cli/wux export examples/scene.json build/example.wux --verify
build/cli/wux info build/example.wux
build/cli/wux render build/example.wux -o build/example.png --overlays all
build/cli/wux view build/example.wux -o build/example.html
