// A mesh record as the triangle corners it draws: each triangle's three vertices with their
// texture coordinates and normals, looked up through its indices. For a record as the
// exporter writes it (one vertex per corner) this is its vertex list as it stands.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "format/wux_reader.h"
#include "input/warnings.h"

namespace wux {

struct Corner {
    std::array<float, 3> position{};
    std::array<float, 2> uv{};  // as stored: v is 1 - the host's v, 0 at the top of the image
    std::array<float, 3> normal{};
};

enum class CornerNormals {
    Stored,  // in the object's own space, as the file keeps them
    World,   // in world space like the positions (format/world_normals.h); a record whose
             // normals cannot be turned gets smooth ones, with a warning naming it
};

// Three corners per triangle. Triangles with an index past the record's vertices are left
// out, with a warning naming the record.
std::vector<Corner> MeshCorners(const VertexChunk& mesh, std::size_t meshIndex, CornerNormals normals,
                                Warnings* warnings);


}  // namespace wux
