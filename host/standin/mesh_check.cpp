#include "host/standin/mesh_check.h"

#include <algorithm>
#include <cstddef>
#include <sstream>

namespace {

using Kind = StandinMeshError::Kind;

StandinMeshError Problem(Kind kind, const std::string& nodeName, const std::string& what) {
    return StandinMeshError{kind, "node \"" + nodeName + "\": " + what};
}

StandinMeshError CheckCounts(size_t faces, size_t tverts, size_t tvFaces, const std::string& nodeName) {
    if (tverts > 0 && tvFaces < faces) {
        std::ostringstream what;
        what << "the mesh has " << tverts << " texture vertices but " << tvFaces << " texture faces for " << faces
             << " faces";
        return Problem(Kind::MissingTVFaces, nodeName, what.str());
    }
    return StandinMeshError{};
}

}  // namespace

StandinMeshError StandinCheckMesh(const Mesh& mesh, const std::string& nodeName) {
    const size_t numVerts = size_t(std::max(mesh.numVerts, 0));
    const size_t numFaces = size_t(std::max(mesh.numFaces, 0));
    const size_t numTVerts = size_t(std::max(mesh.numTVerts, 0));
    const size_t numTVFaces = mesh.tvFace ? size_t(StandinMeshAccess::NumTVFaces(mesh)) : 0;
    // Counts that the arrays do not back (public fields changed by hand) are out of range too.
    if (!StandinMeshAccess::CountsBacked(mesh)) {
        return Problem(Kind::Counts, nodeName, "the mesh's counts do not match its arrays");
    }
    const auto faceOf = [&](size_t f) -> const DWORD(&)[3] { return mesh.faces[f].v; };
    StandinMeshError problem =
        StandinCheckIndices(numFaces, faceOf, numVerts, Kind::FaceIndex, "face", "vertex", "vertices", nodeName);
    if (!problem.ok()) return problem;
    if (numTVerts == 0) return problem;  // without texture vertices the texture faces are not read
    problem = CheckCounts(numFaces, numTVerts, numTVFaces, nodeName);
    if (!problem.ok()) return problem;
    const auto tvFaceOf = [&](size_t f) -> const DWORD(&)[3] { return mesh.tvFace[f].t; };
    return StandinCheckIndices(numFaces, tvFaceOf, numTVerts, Kind::TVFaceIndex, "texture face", "texture vertex",
                               "texture vertices", nodeName);
}
