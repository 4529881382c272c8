// Vertex normals of an imported mesh, made as the host's own import makes them: normals the
// source gives keep their direction and are made unit length; normals it lacks are worked
// out from the faces with a smoothing angle. Afterwards every normal of the mesh is unit
// length, whatever the geometry (degenerate faces, double-sided sheets, huge fans).
#pragma once

#include <cstddef>
#include <string>

#include "format/world_normals.h"
#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux {

constexpr float kDefaultSmoothAngleDegrees = static_cast<float>(kDefaultSmoothAngle);

struct NormalCounts {
    std::size_t rescaled = 0;    // source normals that were not unit length
    std::size_t recomputed = 0;  // source normals that were zero or not finite, worked out anew
    std::size_t computed = 0;    // vertices of meshes without normals that got computed ones
};

// The last step of every importer's triangle mesh, once verts, faces and (where the source
// has them) tverts and normals are filled, one per vertex: texture faces follow the faces,
// texture coordinates not finite become 0 (warning "texture coordinates repaired"), and
// mesh->normals gets one unit normal per vertex. Source normals are normalised; a zero or
// non-finite one (warning "normals rebuilt"), and every one of a mesh without normals, is
// computed: at each corner, the angle-weighted average of the unit normals of the faces
// around its position that meet the corner's face at no more than smoothAngleDegrees (the
// corner's own face always counts; faces facing away never cancel it). A vertex whose
// corners end up with different normals is split into one vertex per normal, so faces and
// vertices may grow; texture faces are untouched. Counts are added to *counts; warnings
// name the node.
void FinishImportedMesh(SceneMesh* mesh, const std::string& nodeName, float smoothAngleDegrees, NormalCounts* counts,
                        Warnings* warnings);

}  // namespace wux
