// STL files, binary and ASCII, read by our own reader instead of Assimp. The file is mapped,
// not copied. Each facet keeps its own three corners, each with the facet's normal, as
// Assimp gives them; a binary file is one node named after the file, an ASCII file one node
// per solid, each an editable mesh with no material, its frame turned as --up asks.
#pragma once

#include <string>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// A .stl path, in any letter case.
bool IsStlPath(const std::string& path);

// The scene in the STL file at path; or an Io error (the file cannot be opened) or an Import
// error naming the file and the line where the fault lies. A binary file whose head declares
// another number of triangles than it holds is read whole, with a warning.
ToolResult<SceneDescription> ReadStlFile(const std::string& path, const AssimpImportOptions& options,
                                         Warnings* warnings, ImportCounts* counts = nullptr);

// The same from bytes in memory; path only names the file in errors and the node.
ToolResult<SceneDescription> ParseStl(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr);

}  // namespace wux
