// Consistency of meshes: the stand-in refuses meshes whose indices would make a reader go out
// of bounds, with an error naming the node.
#pragma once

#include <cstddef>
#include <string>

#include "host/sdk/mesh.h"

struct StandinMeshError {
    std::string message;  // e.g. node "Box01": face 3 uses vertex 12, but the mesh has 8 vertices

    bool ok() const { return message.empty(); }
};

// Refuses a vertex or texture-vertex index not below its count, texture vertices without one
// texture face per face, and counts that the arrays do not back.
StandinMeshError StandinCheckMesh(const Mesh& mesh, const std::string& nodeName);
// The error whose message is what, after the node's name.
StandinMeshError StandinMeshProblem(const std::string& nodeName, const std::string& what);
// The first of faceCount faces with a corner index (of corners(f)) not below count, as an
// error naming the node, e.g. "polygon 2 uses vertex 9, but the mesh has 8 vertices".
template <class Corners>
StandinMeshError StandinCheckIndices(std::size_t faceCount, Corners corners, std::size_t count,
                                     const char* faceName, const char* indexName, const char* countName,
                                     const std::string& nodeName) {
    for (std::size_t f = 0; f < faceCount; ++f)
        for (DWORD index : corners(f))
            if (index >= count)
                return StandinMeshProblem(nodeName,
                                          faceName + (" " + std::to_string(f)) + " uses " + indexName + " " +
                                              std::to_string(index) + ", but the mesh has " + std::to_string(count) +
                                              " " + countName);
    return {};
}
