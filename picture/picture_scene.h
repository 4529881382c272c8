// What a picture of a WUX file shows, taken from the file alone: the triangles grouped by
// the material that colours them, and the bounding spheres, ellipsoid and reference
// helpers. Both the PNG renderer and the HTML viewer draw from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/vec3.h"
#include "tools/wux_reader.h"

namespace wux {

using Rgb = std::array<float, 3>;  // each channel 0 to 1

// The triangles of every mesh that uses one material, as a soup of world positions
// (three per triangle) in file order.
struct MaterialGroup {
    std::string name;          // printable: bytes outside ASCII as \xNN, as `wux info` shows them
    Rgb colour{};              // the diffuse colour, clamped to 0..1
    bool fromFile = false;     // false for the group of meshes whose material number names no material
    std::size_t meshCount = 0;
    std::vector<std::array<float, 3>> positions;

    std::size_t TriangleCount() const { return positions.size() / 3; }
};

struct PictureScene {
    std::vector<MaterialGroup> groups;  // the file's materials in order, then the unnamed group if used
    std::size_t meshCount = 0;
    std::uint64_t triangleCount = 0;    // drawn triangles
    std::uint64_t droppedTriangles = 0;  // left out: a corner outside its mesh or not a finite number
    Bounds3 meshBounds;                  // of the drawn triangles
    std::vector<Sphere> spheres;        // main sphere first; spheres of radius 0 left out
    std::vector<Ellipsoid> ellipsoids;
    std::vector<ReferenceEntry> helpers;
};

// The colour of meshes whose material number names no material in the file.
constexpr Rgb kNoMaterialColour{0.7f, 0.7f, 0.7f};

PictureScene BuildPictureScene(const WuxFile& file);

}  // namespace wux
