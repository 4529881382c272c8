// OBJ files with their MTL material libraries, read by our own reader instead of Assimp, laid
// out as Assimp lays them out: one node per object or group, holding its first material's
// triangles, each further material's as a child node NAME_1, NAME_2, ...; every face corner
// its own vertex. The file is mapped, not copied.
#pragma once

#include <string>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// A .obj path, in any letter case.
bool IsObjPath(const std::string& path);

// The scene in the OBJ file at path; or an Io error (the file cannot be opened) or an Import
// error naming the file and the line where a statement holds what is not a number.
ToolResult<SceneDescription> ReadObjFile(const std::string& path, const AssimpImportOptions& options,
                                         Warnings* warnings, ImportCounts* counts = nullptr);

// The same from bytes in memory; path names the file in errors and locates its MTL files.
ToolResult<SceneDescription> ParseObj(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr);

}  // namespace wux
