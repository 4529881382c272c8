#include "host/standin/mesh_check.h"

#include <algorithm>
#include <cstddef>
#include <sstream>

namespace {

using Kind = StandinMeshError::Kind;

StandinMeshError Problem(Kind kind, const std::string& nodeName, const std::string& what) {
    return StandinMeshError{kind, "node \"" + nodeName + "\": " + what};
}

// The first face whose corner index is not below count, as an error; ok when there is none.
template <class IndexOf>
StandinMeshError CheckIndices(size_t faceCount, IndexOf indexOf, size_t count, Kind kind, const char* indexName,
                              const char* countName, const std::string& nodeName) {
    for (size_t f = 0; f < faceCount; ++f) {
        for (int j = 0; j < 3; ++j) {
            const size_t index = indexOf(f, j);
            if (index >= count) {
                std::ostringstream what;
                what << (kind == Kind::FaceIndex ? "face " : "texture face ") << f << " uses " << indexName << ' '
                     << index << ", but the mesh has " << count << ' ' << countName;
                return Problem(kind, nodeName, what.str());
            }
        }
    }
    return StandinMeshError{};
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
    StandinMeshError problem = CheckIndices(
        numFaces, [&](size_t f, int j) { return size_t(mesh.faces[f].v[j]); }, numVerts, Kind::FaceIndex, "vertex",
        "vertices", nodeName);
    if (!problem.ok()) return problem;
    if (numTVerts == 0) return problem;  // without texture vertices the texture faces are not read
    problem = CheckCounts(numFaces, numTVerts, numTVFaces, nodeName);
    if (!problem.ok()) return problem;
    return CheckIndices(
        numFaces, [&](size_t f, int j) { return size_t(mesh.tvFace[f].t[j]); }, numTVerts, Kind::TVFaceIndex,
        "texture vertex", "texture vertices", nodeName);
}
