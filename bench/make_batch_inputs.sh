#!/bin/sh
# Makes the inputs of the batch benchmark: COUNT (default 300) small models in DIR, copies of
# a few bundled models and the example scene, round robin. Then, for example:
#   /usr/bin/time -v build/cli/wux export DIR --out-dir OUT --jobs 2 -q
set -eu
dir=${1:?usage: make_batch_inputs.sh DIR [COUNT]}
count=${2:-300}
models=/usr/share/assimp/models
here=$(dirname "$0")/..
set -- "$here/examples/scene.json" "$models/OBJ/box.obj" "$models/OBJ/cube_usemtl.obj" \
    "$models/STL/Spider_binary.stl" "$models/STL/triangle.stl" "$models/PLY/cube.ply" \
    "$models/PLY/cube_binary.ply" "$models/3DS/fels.3ds" "$models/Collada/cube_triangulate.dae" \
    "$models/OFF/Cube.off"
mkdir -p "$dir"
i=0
while [ "$i" -lt "$count" ]; do
    for model in "$@"; do
        [ "$i" -lt "$count" ] || break
        name=$(basename "$model")
        cp "$model" "$dir/$i-$name"
        i=$((i + 1))
    done
done
