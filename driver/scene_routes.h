// Foresees, from the plain scene, what the plug-in will make of each node: which route it
// takes (reference helper, bounding sphere, ellipsoid, mesh) and what it passes over,
// splits or cannot name. The export itself is the plug-in's; this only explains it to the
// user as deduplicated warnings, following the plug-in's rules (docs/collection.md).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "input/scene_description.h"
#include "input/warnings.h"
#include "format/wux_format.h"

namespace wux {

// The largest mesh one record holds: its corners are numbered with 16-bit indices.
constexpr std::size_t kMaxTrianglesPerRecord = wux_file::kMaxTrianglesPerMesh;

// Kinds of warning, as they are printed and written to the report.
namespace warning_kind {
constexpr const char* kNodesPassedOver = "nodes passed over";
constexpr const char* kMeshesSplit = "meshes split";
constexpr const char* kTexturesMissing = "textures missing";
constexpr const char* kMapsWithoutBitmap = "map slots without a bitmap left out";
constexpr const char* kNoStandardMaterial = "meshes without a standard material (given material 0)";
constexpr const char* kMaterialNameShared = "materials sharing a name (the first one is written)";
}  // namespace warning_kind

struct RouteOptions {
    // Whether bitmap paths are looked up on disk; an importer that resolves them itself
    // reports the missing ones already.
    bool checkTextures = true;
    // Folders where relative bitmap paths are looked for, in order.
    std::vector<std::string> textureFolders;
    // Whether nodes without an object are reported. An imported file's grouping nodes are
    // its hierarchy, not content passed over, and the importer names what it drops.
    bool reportNodesWithoutObject = true;
};

void PredictRouteWarnings(const SceneDescription& scene, const RouteOptions& options, Warnings* warnings);

// a × b: a point passes through a first, then b.
SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b);

}  // namespace wux
