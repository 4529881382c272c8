#include "convert/sphere_mesh.h"

#include <cmath>

namespace wux {

SphereMesh UnitSphere(int segments, int rings) {
    SphereMesh mesh;
    const double pi = std::acos(-1.0);
    // Rings of vertices from the north pole (+Y) to the south pole; each ring repeats its
    // first vertex so that the seam closes without wrapping indices.
    for (int r = 0; r <= rings; ++r) {
        const double theta = pi * r / rings;
        for (int s = 0; s <= segments; ++s) {
            const double phi = 2.0 * pi * s / segments;
            mesh.positions.push_back({static_cast<float>(std::sin(theta) * std::cos(phi)),
                                      static_cast<float>(std::cos(theta)),
                                      static_cast<float>(-std::sin(theta) * std::sin(phi))});
        }
    }
    const int stride = segments + 1;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const auto a = static_cast<std::uint16_t>(r * stride + s);
            const auto b = static_cast<std::uint16_t>(a + stride);
            if (r != 0) mesh.indices.insert(mesh.indices.end(), {a, b, static_cast<std::uint16_t>(a + 1)});
            if (r != rings - 1)
                mesh.indices.insert(mesh.indices.end(),
                                    {static_cast<std::uint16_t>(a + 1), b, static_cast<std::uint16_t>(b + 1)});
        }
    }
    return mesh;
}

}  // namespace wux
