// What `wux convert` keeps in a glTF file beyond glTF's own material model, read back on
// import: the ambient, specular and filter colours, every map slot with its file name and
// amount, and colours outside glTF's 0..1, from each material's extras under "wux", and the
// names of nodes, which Assimp replaces where they are empty. Assimp does not hand material
// extras over, so the glTF's own JSON is read here.
#pragma once

#include <string>

#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

// For a .gltf or .glb file written by `wux convert` (its asset extras say so): gives the
// scene's materials the names and the extras of the file's materials of the same index,
// takes away the default material Assimp gives meshes without one, so that they keep no
// material as in the WUX file, and names each node as its extras.wux.name says; a material
// or node name's extras.wux.nameBytes (a name not UTF-8, in hex) is taken before either. Other files are left as they are. A file whose JSON cannot be read is left as
// Assimp read it. Values of the extras that cannot be used are passed over, each with a
// warning. For any glTF file, the double-sided materials its meshes use are counted in a
// warning (WUX has no such flag).
void ApplyGltfWuxExtras(const std::string& path, SceneDescription* scene, Warnings* warnings);

}  // namespace wux
