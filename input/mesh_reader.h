// What our own readers of mesh formats (PLY, STL, OBJ) share: the file mapped whole, the
// frame --up asks for, and how a mesh becomes a node.
#pragma once

#include <functional>
#include <limits>
#include <string>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// Whether the path ends in ext (".stl"), in any letter case.
bool HasExtension(const std::string& path, const char* ext);

// v as a float: +-infinity beyond float's range, where a cast is undefined, so that the
// readers' checks for values not finite catch it.
inline float ToFloat(double v) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    return v > std::numeric_limits<float>::max() ? kInf : v < -std::numeric_limits<float>::max() ? -kInf : static_cast<float>(v);
}

// The top nodes' transform: Y-up data (the default, as Assimp takes these formats) turned by
// +90 degrees about X, (x, y, z) to (x, -z, y); none for --up z.
SceneMatrix ReaderFrame(AssimpImportOptions::Up up);

// A node holding mesh (faces not empty) as an editable mesh, finished by FinishImportedMesh.
SceneNode MeshNode(SceneMesh&& mesh, const std::string& name, const SceneMatrix& local, int material,
                   const AssimpImportOptions& options, Warnings* warnings, ImportCounts* counts);

// parse run on the file at path, mapped whole; an Io error naming the file when it cannot be
// opened or is cut short while it is read.
ToolResult<SceneDescription> ReadMapped(const std::string& path,
                                        const std::function<ToolResult<SceneDescription>(ByteSpan)>& parse);

}  // namespace wux
