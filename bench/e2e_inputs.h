// Input files for the end-to-end benchmark, written from the benchmark's grid mesh: the
// same waved sheet as binary PLY, OBJ, binary glTF and binary STL.
#pragma once

#include <string>

#include "bench/grid_mesh.h"

enum class InputFormat { PlyBinary, Obj, ObjWithoutNormals, Glb, StlBinary };

// The file's extension (without the dot) and a short name for tables.
const char* ExtensionOf(InputFormat format);
const char* NameOf(InputFormat format);

// Writes mesh to path in the format: positions, normals (not for ObjWithoutNormals; STL
// has one per facet) and texture coordinates (not in STL). False when it cannot be written.
bool WriteInput(const GridMesh& mesh, InputFormat format, const std::string& path);
