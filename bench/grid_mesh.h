#pragma once

#include <cstdint>
#include <vector>

// An indexed triangle mesh laid out as a gently waved grid, in object space.
// Texture vertices share the vertex indices (texture face i = face i).
struct GridMesh {
    std::vector<float> positions;   // x, y, z per vertex
    std::vector<float> uvs;         // u, v per vertex, both in [0, 1]
    std::vector<float> normals;     // x, y, z per vertex, unit length
    std::vector<uint32_t> corners;  // three vertex indices per triangle

    int vertexCount() const { return int(positions.size() / 3); }
    int triangleCount() const { return int(corners.size() / 3); }
};

// Exactly the given number of triangles (two per grid cell, row by row, the last
// cell possibly half used); vertex normals are the normalised sums of the
// normals of the triangles around each vertex.
GridMesh MakeGridMesh(int triangles);
