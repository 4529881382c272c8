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

StandinMeshError StandinBuildMesh(const StandinMeshData& data, const std::string& nodeName, Mesh* mesh) {
    StandinMeshError problem =
        StandinCheckIndices(data.faces.size(), [&](size_t f) { return data.faces[f]; }, data.verts.size(),
                            Kind::FaceIndex, "face", "vertex", "vertices", nodeName);
    if (!problem.ok()) return problem;
    if (!data.tverts.empty()) {
        problem = CheckCounts(data.faces.size(), data.tverts.size(), data.tvFaces.size(), nodeName);
        if (!problem.ok()) return problem;
        problem = StandinCheckIndices(data.faces.size(), [&](size_t f) { return data.tvFaces[f]; }, data.tverts.size(),
                                      Kind::TVFaceIndex, "texture face", "texture vertex", "texture vertices",
                                      nodeName);
        if (!problem.ok()) return problem;
    }
    if (!data.normals.empty() && data.normals.size() != data.verts.size()) {
        std::ostringstream what;
        what << "the mesh has " << data.normals.size() << " normals for " << data.verts.size() << " vertices";
        return Problem(Kind::NormalCount, nodeName, what.str());
    }
    const size_t limit = 0x7fffffff;  // the mesh counts are int
    if (data.verts.size() > limit || data.faces.size() > limit || data.tverts.size() > limit) {
        return Problem(Kind::Counts, nodeName, "the mesh is too large");
    }

    // Consistent: only allocation can fail from here on.
    const int numVerts = int(data.verts.size());
    const int numFaces = int(data.faces.size());
    const int numTVerts = int(data.tverts.size());
    mesh->setNumVerts(numVerts);
    mesh->setNumFaces(numFaces);
    mesh->setNumTVerts(numTVerts);
    mesh->setNumTVFaces(numTVerts > 0 ? numFaces : 0);
    std::copy(data.verts.begin(), data.verts.end(), mesh->verts);
    for (int f = 0; f < numFaces; ++f) {
        const auto& v = data.faces[size_t(f)];
        mesh->faces[f].setVerts(int(v[0]), int(v[1]), int(v[2]));
        mesh->faces[f].smGroup = 1;
    }
    if (numTVerts > 0) {
        std::copy(data.tverts.begin(), data.tverts.end(), mesh->tVerts);
        for (int f = 0; f < numFaces; ++f) {
            const auto& t = data.tvFaces[size_t(f)];
            mesh->tvFace[f].setTVerts(int(t[0]), int(t[1]), int(t[2]));
        }
    }
    for (int i = 0; i < int(data.normals.size()); ++i) mesh->setNormal(i, data.normals[size_t(i)]);
    return StandinMeshError{};
}
