#pragma once

#include <cstdint>
#include <memory>

#include "model/chunk_header.h"

// One triangle corner: world-space position and texture coordinates (v flipped).
struct MeshVertex {
    float x, y, z, u, v;
};

// One corner normal in the object's own space.
struct MeshNormal {
    float x, y, z;
};

// One GVTX record per exported triangle mesh: a triangle soup in which corner j
// of triangle i is vertex 3 * i + j.
struct VertexChunk : ChunkHeader {
    int32_t vertexCount;    // always 3 * faceCount
    int32_t faceCount;
    int32_t materialIndex;  // position in the model's material list
    std::unique_ptr<MeshVertex[]> vertices;  // vertexCount entries
    std::unique_ptr<uint16_t[]> triangles;   // 3 * faceCount indices
    std::unique_ptr<MeshNormal[]> normals;   // vertexCount entries
    std::unique_ptr<uint32_t[]> faceBlocks;  // 3 * faceCount words, all 0 in a written file

    // Allocates the four arrays at full size but leaves them unfilled: the mesh
    // collector writes every entry, and large meshes should not pay for zeroing.
    VertexChunk(int32_t vertexCount, int32_t faceCount, int32_t materialIndex);
};
