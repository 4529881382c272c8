// Measures taken on both sides of the import: on the SceneDescription the importer fills,
// and on the source as Assimp itself reads it, so tests can compare the two.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "format/wux_reader.h"
#include "input/scene_description.h"
#include "input/warnings.h"

namespace wux::test {

// The entry of that kind, or null.
inline const Warnings::Entry* FindWarning(const Warnings& w, WarningKind kind) {
    for (const auto& e : w.Entries())
        if (e.kind == kind) return &e;
    return nullptr;
}

inline std::size_t WarningCount(const Warnings& w, WarningKind kind) {
    const Warnings::Entry* e = FindWarning(w, kind);
    return e == nullptr ? 0 : e->count;
}

struct Measure {
    std::size_t triangles = 0;
    double area = 0.0;  // world space
    std::array<double, 3> lo{1e300, 1e300, 1e300};
    std::array<double, 3> hi{-1e300, -1e300, -1e300};
    bool allFinite = true;  // every number in the scene (meshes, transforms, materials)
};

// World transform = local x parent's world, points as row vectors; spheres are not counted.
Measure MeasureScene(const SceneDescription& scene);

// The same from Assimp directly (triangulated, node transforms applied), with every
// world-space point first turned by +90 degrees about X, as a Y-up source is turned Z-up.
// Returns false when Assimp cannot read the file.
bool MeasureWithAssimp(const std::string& path, Measure* out);

// Triangles and area of a WUX file's meshes (bounds and finiteness not taken).
Measure MeasureWux(const WuxDocument& doc);

// A corner of a triangle: its world-space position, its normal as stored (the object's own)
// and its texture coordinates (0 without), with its node's material (null for none).
struct Corner {
    std::array<double, 3> position;
    std::array<float, 3> normal;
    std::array<float, 2> uv;
    const SceneMaterial* material;
};

// Every corner of every triangle, node by node in scene order.
std::vector<Corner> Corners(const SceneDescription& scene);

// The world transform of the first node of that name, and whether there is one.
bool FindWorld(const SceneDescription& scene, const std::string& name, SceneMatrix* world,
               const SceneNode** node = nullptr);

std::array<double, 3> Apply(const SceneMatrix& m, const std::array<double, 3>& p);
// a first, then b.
SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b);

}  // namespace wux::test
