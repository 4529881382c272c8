// PLY files, read by our own reader instead of Assimp (whose 5.2.5 reader makes one triangle
// of a "tristrips" element): ASCII and binary of either byte order, elements and properties
// in any order and of any type, "face" polygons and "tristrips" strips, positions, normals
// and the first pair of texture coordinates. The file is mapped, not copied. It fills the
// same scene description as the other importers: one node holding the file's triangles as
// an editable mesh, its frame turned as --up asks (Y-up by default, as Assimp takes PLY).
#pragma once

#include <string>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// A .ply path, in any letter case.
bool IsPlyPath(const std::string& path);

// The scene in the PLY file at path; or an Io error (the file cannot be opened) or an Import
// error naming the file and, in its place, the byte or header line where the fault lies: a
// header that is not PLY, data cut short of what the header declares, a value that is not a
// number. What is passed over is added to *warnings (faces of fewer than three corners,
// faces with an index out of range or a position not finite, degenerate strip triangles).
ToolResult<SceneDescription> ReadPlyFile(const std::string& path, const AssimpImportOptions& options,
                                         Warnings* warnings, ImportCounts* counts = nullptr);

// The same from bytes in memory; path only names the file in errors and the node.
ToolResult<SceneDescription> ParsePly(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr);

}  // namespace wux
