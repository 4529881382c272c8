// glTF 2.0 files (.gltf with its buffers, .glb), read by our own reader: accessors of every
// component type (normalized, strided, sparse), buffers in the GLB chunk, in data: URIs or in
// files beside the file, the node hierarchy, triangle meshes (strips and fans fanned out),
// materials and textures, and what `wux convert` keeps in extras. Files that need an
// extension (Draco, ...) and glTF 1.0 files go to Assimp. The scene is laid out as the
// Assimp importer lays out its formats (see importing.md).
#pragma once

#include <string>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// A .gltf or .glb path, in any letter case.
bool IsGltfPath(const std::string& path);

// The scene in the file at path; or an Io error (a file cannot be opened) or an Import error
// naming the file and the fault (the JSON and byte offset, the accessor, node or buffer).
ToolResult<SceneDescription> ReadGltfFile(const std::string& path, const AssimpImportOptions& options,
                                          Warnings* warnings, ImportCounts* counts = nullptr);

// The same from the bytes of a .glb or .gltf file in memory, whose buffers are all inside it;
// path names the file in errors. A file that needs Assimp is an error here.
ToolResult<SceneDescription> ParseGltf(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                       Warnings* warnings, ImportCounts* counts = nullptr);

}  // namespace wux
