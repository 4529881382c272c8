#include "convert/mesh_corners.h"

#include <string>

#include "format/world_normals.h"

namespace wux {


std::vector<Corner> MeshCorners(const MeshChunk& mesh, std::size_t meshIndex, CornerNormals normals,
                                Warnings* warnings) {
    WorldNormals world;
    if (normals == CornerNormals::World) {
        world = MeshWorldNormals(mesh);
        if (!world.fitted) warnings->Add(WarningKind::NormalsWorkedOut, "GVTX #" + std::to_string(meshIndex));
    }
    std::vector<Corner> corners;
    corners.reserve(3 * mesh.triangles.size());
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        const auto& triangle = mesh.triangles[t];
        if (triangle[0] >= mesh.vertices.size() || triangle[1] >= mesh.vertices.size() ||
            triangle[2] >= mesh.vertices.size()) {
            warnings->Add(WarningKind::TrianglesDropped, "GVTX #" + std::to_string(meshIndex) + ", triangle " + std::to_string(t));
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t index = triangle[k];
            const Vertex& v = mesh.vertices[index];
            Corner c;
            c.position = {v.x, v.y, v.z};
            c.uv = {v.u, v.v};
            if (normals == CornerNormals::World) c.normal = world.corners[3 * t + k];
            else if (index < mesh.normals.size()) c.normal = mesh.normals[index];
            corners.push_back(c);
        }
    }
    return corners;
}

}  // namespace wux
