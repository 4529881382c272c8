// What a picture of a WUX file shows, taken from the file alone: the triangles grouped by
// the material that colours them, and the bounding spheres, ellipsoid and reference
// helpers. Both the PNG renderer and the HTML viewer draw from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/vec3.h"
#include "format/wux_reader.h"

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
    std::vector<Reference> helpers;
    // Left out: numbers that are not finite, or past kMaxOverlayItems of their kind.
    std::uint64_t droppedSpheres = 0, droppedEllipsoids = 0, droppedHelpers = 0;
};

// A file may list millions of spheres or helpers; lines for all of them would take
// gigabytes and show nothing but a blot, so at most this many of a kind are kept.
constexpr std::size_t kMaxOverlayItems = 100000;

// The colour of meshes whose material number names no material in the file.
constexpr Rgb kNoMaterialColour{0.7f, 0.7f, 0.7f};

PictureScene BuildPictureScene(const WuxFile& file);

}  // namespace wux
