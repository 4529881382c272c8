// What a picture of a WUX file shows, taken from the file and the map files its materials
// name: the triangles grouped by the material that colours them, and the bounding spheres,
// ellipsoid and reference helpers. Both the PNG renderer and the HTML viewer draw from it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "picture/vec3.h"
#include "format/texture_lookup.h"
#include "format/wux_reader.h"

namespace wux {

using Rgb = std::array<float, 3>;  // each channel 0 to 1

// A material's diffuse map, found as `wux convert` finds it.
struct PictureTexture {
    std::string name;                 // the file name as the material gives it, printable
    std::string mimeType;             // of `bytes`: "image/png" or "image/jpeg"
    std::vector<std::uint8_t> bytes;  // for the page; empty when decoded
    TexturePixels rgb;                // decoded in 3 channels for the renderer; empty when embedded
};

// The triangles of every mesh that uses one material, as a soup of corners (three per
// triangle) in file order.
struct MaterialGroup {
    std::string name;          // printable: bytes outside ASCII as \xNN, as `wux info` shows them
    Rgb colour{};              // the diffuse colour, clamped to 0..1
    float opacity = 1;         // 0..1; below 1 what lies behind shows through, tinted by `filter`
    Rgb filter{1, 1, 1};
    int texture = -1;          // the diffuse map in PictureScene::textures; -1 for none
    float textureAmount = 0;   // how much of the map covers the colour, 0..1
    bool fromFile = false;     // false for the group of meshes whose material number names no material
    std::size_t meshCount = 0;
    std::vector<std::array<float, 3>> positions;  // world space
    std::vector<std::array<float, 3>> normals;    // world space, unit, one per corner (format/world_normals.h)
    std::vector<std::array<float, 2>> uvs;        // as stored (v from the top of the image); only when textured

    std::size_t TriangleCount() const { return positions.size() / 3; }
};

struct PictureScene {
    std::vector<MaterialGroup> groups;  // the file's materials in order, then the unnamed group if used
    std::vector<PictureTexture> textures;
    std::vector<std::string> missingMaps;  // one line for each map file not found or not readable
    std::size_t meshCount = 0;
    std::uint64_t triangleCount = 0;    // drawn triangles
    std::uint64_t droppedTriangles = 0;  // left out: a corner outside its mesh or not a finite number
    std::uint64_t meshesSmoothed = 0;    // whose stored normals fit no one transform: lit by their triangles' smooth normals
    Bounds3 meshBounds;                  // of the drawn triangles
    std::vector<BoundSphere> spheres;   // main sphere first; spheres of radius 0 left out
    std::vector<EllipsoidChunk> ellipsoids;
    std::vector<ReferenceEntry> helpers;
    // Left out: numbers that are not finite, or past kMaxOverlayItems of their kind.
    std::uint64_t droppedSpheres = 0, droppedEllipsoids = 0, droppedHelpers = 0;
};

// A file may list millions of spheres or helpers; lines for all of them would take
// gigabytes and show nothing but a blot, so at most this many of a kind are kept.
constexpr std::size_t kMaxOverlayItems = 100000;

// The colour of meshes whose material number names no material in the file.
constexpr Rgb kNoMaterialColour{0.7f, 0.7f, 0.7f};

// Told now and then how many of the scene's triangles a long piece of work has done, for a
// progress display.
using TriangleProgress = std::function<void(std::uint64_t done)>;
constexpr std::uint64_t kProgressStep = 1 << 16;

// Where diffuse maps are looked for, and what of them a picture keeps: decoded pixels for the
// renderer or the file's PNG or JPEG bytes for the page. No folders: no maps drawn.
struct TextureSearch {
    std::vector<std::string> folders;
    bool decode = true;
};

PictureScene BuildPictureScene(const WuxDocument& doc, const TextureSearch& maps = {}, const TriangleProgress& progress = {});

}  // namespace wux
