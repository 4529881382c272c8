// Consistency of meshes: the stand-in refuses meshes whose indices would make a reader go out
// of bounds, with an error naming the node.
#pragma once

#include <cstddef>
#include <string>

#include "host/sdk/mesh.h"

struct StandinMeshError {
    enum class Kind {
        None,
        FaceIndex,       // a face's vertex index is not below the vertex count
        MissingTVFaces,  // texture vertices exist but not one texture face per face
        TVFaceIndex,     // a texture face's index is not below the texture-vertex count
        NormalCount,     // explicit normals, but not one per vertex
        Counts,          // counts that the arrays do not back, or beyond the mesh's int counts
        PolygonSize,     // a polygon of fewer than three corners, or a texture polygon of another size
    };
    Kind kind = Kind::None;
    std::string message;  // e.g. node "Box01": face 3 uses vertex 12, but the mesh has 8 vertices

    bool ok() const { return kind == Kind::None; }
};

StandinMeshError StandinCheckMesh(const Mesh& mesh, const std::string& nodeName);
// An error of the kind whose message is what, after the node's name.
StandinMeshError StandinMeshProblem(StandinMeshError::Kind kind, const std::string& nodeName, const std::string& what);
// The first of faceCount faces with a corner index (of corners(f)) not below count, as an
// error naming the node, e.g. "polygon 2 uses vertex 9, but the mesh has 8 vertices".
template <class Corners>
StandinMeshError StandinCheckIndices(std::size_t faceCount, Corners corners, std::size_t count,
                                     StandinMeshError::Kind kind, const char* faceName, const char* indexName,
                                     const char* countName, const std::string& nodeName) {
    for (std::size_t f = 0; f < faceCount; ++f)
        for (DWORD index : corners(f))
            if (index >= count)
                return StandinMeshProblem(kind, nodeName,
                                          faceName + (" " + std::to_string(f)) + " uses " + indexName + " " +
                                              std::to_string(index) + ", but the mesh has " + std::to_string(count) +
                                              " " + countName);
    return {};
}

// Reads the mesh's stand-in storage.
class StandinMeshAccess {
public:
    static int NumTVFaces(const Mesh& mesh) { return mesh.numTVFaces; }
    // Whether every count is backed by its array.
    static bool CountsBacked(const Mesh& mesh) {
        return mesh.numVerts >= 0 && mesh.numFaces >= 0 && mesh.numTVerts >= 0 &&
               mesh.numVerts <= mesh.vertsAlloc && mesh.numFaces <= mesh.facesAlloc &&
               mesh.numTVerts <= mesh.tVertsAlloc && (mesh.numVerts == 0 || mesh.verts) &&
               (mesh.numFaces == 0 || mesh.faces) && (mesh.numTVerts == 0 || mesh.tVerts);
    }
};
