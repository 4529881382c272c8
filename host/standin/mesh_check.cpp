#include "host/standin/mesh_check.h"

#include <algorithm>
#include <cstddef>

StandinMeshError StandinMeshProblem(const std::string& nodeName, const std::string& what) {
    return StandinMeshError{"node \"" + nodeName + "\": " + what};
}

StandinMeshError StandinCheckMesh(const Mesh& mesh, const std::string& nodeName) {
    const size_t numVerts = size_t(std::max(mesh.numVerts, 0));
    const size_t numFaces = size_t(std::max(mesh.numFaces, 0));
    const size_t numTVerts = size_t(std::max(mesh.numTVerts, 0));
    const size_t numTVFaces = mesh.tvFace ? size_t(mesh.numTVFaces) : 0;
    // Counts that the arrays do not back (public fields changed by hand) are out of range too.
    const bool backed = mesh.numVerts >= 0 && mesh.numFaces >= 0 && mesh.numTVerts >= 0 &&
                        mesh.numVerts <= mesh.vertsAlloc && mesh.numFaces <= mesh.facesAlloc &&
                        mesh.numTVerts <= mesh.tVertsAlloc && (mesh.numVerts == 0 || mesh.verts) &&
                        (mesh.numFaces == 0 || mesh.faces) && (mesh.numTVerts == 0 || mesh.tVerts);
    if (!backed)
        return StandinMeshProblem(nodeName, "the mesh's counts do not match its arrays");
    const auto faceOf = [&](size_t f) -> const DWORD(&)[3] { return mesh.faces[f].v; };
    StandinMeshError problem = StandinCheckIndices(numFaces, faceOf, numVerts, "face", "vertex", "vertices", nodeName);
    // Without texture vertices the texture faces are not read.
    if (!problem.ok() || numTVerts == 0) return problem;
    if (numTVFaces < numFaces)
        return StandinMeshProblem(nodeName, "the mesh has " + std::to_string(numTVerts) + " texture vertices but " +
                                                std::to_string(numTVFaces) + " texture faces for " +
                                                std::to_string(numFaces) + " faces");
    const auto tvFaceOf = [&](size_t f) -> const DWORD(&)[3] { return mesh.tvFace[f].t; };
    return StandinCheckIndices(numFaces, tvFaceOf, numTVerts, "texture face", "texture vertex",
                               "texture vertices", nodeName);
}
