// The unit sphere the glTF writer puts under "GBND" and "GELP" nodes: the importer takes a
// sphere's radius as the largest distance of its vertices from the node's origin, and the
// node's scale carries the stored radius or semi-axes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace wux {

struct SphereMesh {
    std::vector<std::array<float, 3>> positions;  // also the normals
    std::vector<std::uint16_t> indices;           // counter-clockwise seen from outside
};

SphereMesh UnitSphere(int segments, int rings);

}  // namespace wux
