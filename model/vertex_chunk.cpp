#include "model/vertex_chunk.h"

#include <cstddef>

#include "format/wux_format.h"

VertexChunk::VertexChunk(int32_t vertexCountIn, int32_t faceCountIn, int32_t materialIndexIn)
    : ChunkHeader(wux_file::kMeshTag),
      vertexCount(vertexCountIn),
      faceCount(faceCountIn),
      materialIndex(materialIndexIn),
      vertices(new MeshVertex[static_cast<size_t>(vertexCountIn)]),
      triangles(new uint16_t[3 * static_cast<size_t>(faceCountIn)]),
      normals(new MeshNormal[static_cast<size_t>(vertexCountIn)]),
      faceBlocks(new uint32_t[3 * static_cast<size_t>(faceCountIn)]) {}
