// Normals in world space for a mesh record. The file keeps each corner's position in world
// space but its normal in the object's own space, and no object transform: one transform
// (the node's) relates a record's stored normals to the normals of its world-space
// triangles, so it is recovered from the record itself by a least-squares fit and applied.
// Where no one transform fits, smooth normals are worked out from the triangles instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "format/wux_reader.h"

namespace wux {

using Matrix3 = std::array<std::array<double, 3>, 3>;  // rows; applied as M * v

// The linear map M for which the directions of M * from[i] come closest to to[i] (least
// squares, each pair weighing alike; exact where one map relates them all), scaled to unit
// size. Pairs with a zero or non-finite vector are left out; directions the `from` vectors
// hardly reach go to 0. None when no pair is left.
std::optional<Matrix3> FitDirectionMap(const std::vector<std::array<float, 3>>& from,
                                       const std::vector<std::array<float, 3>>& to);

// normalise(m * v); none when that is zero or not finite.
std::optional<std::array<float, 3>> MapDirection(const Matrix3& m, const std::array<float, 3>& v);

constexpr double kDefaultSmoothAngle = 45.0;  // degrees

// A vector by its bits (x and y, then z), -0 and +0 alike: equal keys, equal vectors (and one
// position).
using VectorKey = std::pair<std::uint64_t, std::uint32_t>;
inline VectorKey KeyOf(const std::array<float, 3>& v) {
    const auto bits = [](float f) { return wux_file::FloatBits(f == 0.0f ? 0.0f : f); };
    return {std::uint64_t{bits(v[0])} << 32 | bits(v[1]), bits(v[2])};
}

// Unit normals worked out from triangles alone, one per corner (3 * face + k): at each
// corner the angle-weighted average of the unit normals of the faces around its position
// (equal coordinates count as one position, shared vertex or not) that meet the corner's
// face at no more than smoothAngleDegrees; the corner's own face always counts, faces facing
// away never cancel it. Corners whose vertex `wanted` marks 0 are left (0, 0, 0); an empty
// `wanted` asks for every corner. Corners of faces without area take the normal of another
// face at their position, or (0, 0, 1).
std::vector<std::array<float, 3>> SmoothCornerNormals(const std::vector<std::array<float, 3>>& positions,
                                                      const std::vector<std::array<std::uint32_t, 3>>& faces,
                                                      double smoothAngleDegrees,
                                                      const std::vector<std::uint8_t>& wanted = {});

struct WorldNormals {
    // One unit normal per corner of mesh.triangles (3 * triangle + k). Corners of a triangle
    // with an index past the vertices get (0, 0, 1).
    std::vector<std::array<float, 3>> corners;
    // False when no one transform relates the stored normals to the triangles: the normals
    // are then the smooth ones worked out from the world-space triangles.
    bool fitted = true;
};

// The world-space normals of a mesh record's corners: each stored normal through the
// record's recovered normal transform, made unit. A corner whose stored normal is zero or
// not finite takes its triangle's normal.
WorldNormals MeshWorldNormals(const VertexChunk& mesh);

}  // namespace wux
