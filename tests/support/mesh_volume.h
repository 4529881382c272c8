// The signed volume of a mesh record: positive when its triangles wind counter-clockwise seen
// from outside (outward), negative when they are written inside out.
#pragma once

#include "format/wux_reader.h"

inline double SignedVolume(const wux::MeshChunk& mesh) {
    double volume = 0.0;
    for (const auto& t : mesh.triangles) {
        const wux::Vertex& a = mesh.vertices[t[0]];
        const wux::Vertex& b = mesh.vertices[t[1]];
        const wux::Vertex& c = mesh.vertices[t[2]];
        const double cx = double(b.y) * c.z - double(b.z) * c.y;
        const double cy = double(b.z) * c.x - double(b.x) * c.z;
        const double cz = double(b.x) * c.y - double(b.y) * c.x;
        volume += (a.x * cx + a.y * cy + a.z * cz) / 6.0;
    }
    return volume;
}
