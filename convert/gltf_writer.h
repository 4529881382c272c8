// A WUX file as glTF 2.0: one node per mesh record (its world-space corners, normals turned
// to world space, v as stored, which is glTF's own orientation), metallic-roughness materials
// with the diffuse colour and opacity, and the file's Z-up frame turned to glTF's Y-up by each
// node's transform. Spheres and the ellipsoid become empty "GBND"/"GELP" nodes whose scale is
// the radius or the semi-axes (marked in their extras), so that the file holds exactly the
// model's triangles; reference entries empty nodes whose transform carries the helper's
// axes and whose extras its size, so that `wux export` of the glTF file gives them back.
// Material values glTF has no place for go into the material's extras under "wux".
#pragma once

#include <string>
#include <vector>

#include "input/warnings.h"
#include "format/wux_reader.h"
#include "writer/staged_files.h"

namespace wux {

struct GltfOptions {
    bool binary = true;                    // .glb; otherwise .gltf with a .bin and the images beside it
    std::string outputPath;                // names the .bin and the image copies of a .gltf
    std::vector<std::string> textureDirs;  // where map files are looked for, in order
};

// Stages the file(s) to write in *outputs.
ToolResult<void> WriteGltf(const WuxDocument& file, const GltfOptions& options, StagedFiles* outputs, Warnings* warnings);


}  // namespace wux
