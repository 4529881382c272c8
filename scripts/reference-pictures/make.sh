#!/usr/bin/env bash
# The pictures of docs/pictures.md: each model drawn by `wux render`, by the page of
# `wux view` and, for reference, by model-viewer in headless Chromium from the GLB that
# `wux convert` makes of the same WUX file. Needs a build, Chromium and npm.
# usage: bash scripts/reference-pictures/make.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
wux=$(cd "${1:-$root/build}" && pwd)/cli/wux
out=$root/docs/pictures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix "$here" --no-audit --no-fund --loglevel=error

# draw NAME INPUT [--texture-dir DIR]: the three pictures of one model, 400 x 300 each.
draw() {
    local name=$1 input=$2
    shift 2
    "$wux" export "$input" "$work/$name.wux" >/dev/null
    "$wux" render "$work/$name.wux" -o "$out/$name-render.png" --size 400x300 "$@" >/dev/null
    "$wux" view "$work/$name.wux" -o "$work/$name.html" "$@" >/dev/null
    "$wux" convert "$work/$name.wux" "$work/$name.glb" "$@" >/dev/null
    node "$here/shoot.mjs" wux-view "$work/$name.html" "$out/$name-view.png" 400 300
    node "$here/shoot.mjs" model-viewer "$work/$name.glb" "$out/$name-model-viewer.png" 400 300
}

models=/usr/share/assimp/models
draw example "$root/examples/scene.json" --texture-dir "$root/examples/maps"
draw box-textured "$models/glTF2/BoxTextured-glTF/BoxTextured.gltf" --texture-dir "$models/glTF2/BoxTextured-glTF"
draw milk-truck "$models/glTF/CesiumMilkTruck/CesiumMilkTruck.gltf" --texture-dir "$models/glTF/CesiumMilkTruck"
ls -l "$out"
