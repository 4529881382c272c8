#include "convert/mesh_corners.h"

#include <string>

#include "format/world_normals.h"

namespace wux {


std::vector<Corner> MeshCorners(const VertexChunk& mesh, std::size_t meshIndex, CornerNormals normals,
                                Warnings* warnings) {
    WorldNormals world;
    if (normals == CornerNormals::World) {
        world = MeshWorldNormals(mesh);
        if (!world.fitted) warnings->Add(WarningKind::NormalsWorkedOut, "GVTX #" + std::to_string(meshIndex));
    }
    std::vector<Corner> corners;
    const auto faceCount = static_cast<std::size_t>(mesh.faceCount), vertexCount = static_cast<std::size_t>(mesh.vertexCount);
    corners.reserve(3 * faceCount);
    for (std::size_t t = 0; t < faceCount; ++t) {
        const std::uint16_t* triangle = &mesh.triangles[3 * t];
        if (triangle[0] >= vertexCount || triangle[1] >= vertexCount || triangle[2] >= vertexCount) {
            warnings->Add(WarningKind::TrianglesDropped, "GVTX #" + std::to_string(meshIndex) + ", triangle " + std::to_string(t));
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t index = triangle[k];
            const MeshVertex& v = mesh.vertices[index];
            const MeshNormal& n = mesh.normals[index];
            Corner c;
            c.position = {v.x, v.y, v.z};
            c.uv = {v.u, v.v};
            if (normals == CornerNormals::World) c.normal = world.corners[3 * t + k];
            else c.normal = {n.x, n.y, n.z};
            corners.push_back(c);
        }
    }
    return corners;
}

}  // namespace wux
