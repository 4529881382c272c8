// The signed volume of a mesh record: positive when its triangles wind counter-clockwise seen
// from outside (outward), negative when they are written inside out.
#pragma once

#include "format/wux_reader.h"

inline double SignedVolume(const VertexChunk& mesh) {
    double volume = 0.0;
    for (std::int32_t t = 0; t < mesh.faceCount; ++t) {
        const MeshVertex& a = mesh.vertices[mesh.triangles[3 * t]];
        const MeshVertex& b = mesh.vertices[mesh.triangles[3 * t + 1]];
        const MeshVertex& c = mesh.vertices[mesh.triangles[3 * t + 2]];
        const double cx = double(b.y) * c.z - double(b.z) * c.y;
        const double cy = double(b.z) * c.x - double(b.x) * c.z;
        const double cz = double(b.x) * c.y - double(b.y) * c.x;
        volume += (a.x * cx + a.y * cy + a.z * cz) / 6.0;
    }
    return volume;
}
