// World-space normals recovered from a mesh record: the stored normals are in the object's
// space under one unknown transform, the positions in world space.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "format/world_normals.h"

namespace wux {
namespace {

using V = std::array<double, 3>;
using M = std::array<V, 3>;  // rows, applied as M * v

V Mul(const M& m, const V& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}
M Product(const M& a, const M& b) {
    M r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}
V Sub(const V& a, const V& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V Cross(const V& a, const V& b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
double Dot(const V& a, const V& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V Unit(const V& v) {
    const double l = std::sqrt(Dot(v, v));
    return {v[0] / l, v[1] / l, v[2] / l};
}
double Degrees(const V& a, const V& b) {
    return std::acos(std::clamp(Dot(Unit(a), Unit(b)), -1.0, 1.0)) * 180.0 / 3.14159265358979323846;
}
V ToV(const std::array<float, 3>& a) { return {a[0], a[1], a[2]}; }

// An object-space triangle soup with a normal per corner.
struct Soup {
    std::vector<V> corners, normals;
};

// A box of flat faces, corners counter-clockwise seen from outside.
Soup FlatBox() {
    Soup s;
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    auto corner = [](int i) { return V{i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0}; };
    for (const auto& f : faces) {
        const V n = Unit(Cross({corner(f[1])[0] - corner(f[0])[0], corner(f[1])[1] - corner(f[0])[1], corner(f[1])[2] - corner(f[0])[2]},
                               {corner(f[2])[0] - corner(f[0])[0], corner(f[2])[1] - corner(f[0])[1], corner(f[2])[2] - corner(f[0])[2]}));
        for (int k : {0, 1, 2, 0, 2, 3}) {
            s.corners.push_back(corner(f[k]));
            s.normals.push_back(n);
        }
    }
    return s;
}

// A UV sphere with the smooth normals of a sphere.
Soup SmoothSphere() {
    Soup s;
    const double pi = 3.14159265358979323846;
    auto at = [&](int ring, int seg) {
        const double t = pi * ring / 12, p = 2 * pi * seg / 24;
        return V{std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
    };
    for (int r = 0; r < 12; ++r)
        for (int g = 0; g < 24; ++g) {
            const V a = at(r, g), b = at(r + 1, g), c = at(r + 1, g + 1), d = at(r, g + 1);
            for (const V& p : {a, b, c, a, c, d}) {
                s.corners.push_back(p);
                s.normals.push_back(p);
            }
        }
    return s;
}

// The record a node with the transform m (and a translation) gives: world positions,
// object normals; a mirroring transform has its corners written in the order 0, 2, 1.
VertexChunk Record(const Soup& s, const M& m) {
    const double det = Dot(m[0], Cross(m[1], m[2]));
    const auto faces = static_cast<std::int32_t>(s.corners.size() / 3);
    VertexChunk mesh(3 * faces, faces, 0);
    std::size_t c = 0;
    for (std::size_t t = 0; t < s.corners.size() / 3; ++t) {
        for (int k : det < 0 ? std::array<int, 3>{0, 2, 1} : std::array<int, 3>{0, 1, 2}) {
            const V p = Mul(m, s.corners[3 * t + k]);
            const V& n = s.normals[3 * t + k];
            mesh.vertices[c] = MeshVertex{static_cast<float>(p[0] + 7), static_cast<float>(p[1] - 3),
                                          static_cast<float>(p[2] + 2), 0, 0};
            mesh.normals[c] = MeshNormal{static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
            mesh.triangles[c] = static_cast<std::uint16_t>(c);
            mesh.faceBlocks[c++] = 0;
        }
    }
    return mesh;
}

V FaceNormal(const VertexChunk& mesh, std::size_t t) {
    V p[3];
    for (int k = 0; k < 3; ++k) {
        const MeshVertex& v = mesh.vertices[mesh.triangles[3 * t + k]];
        p[k] = {v.x, v.y, v.z};
    }
    return Cross({p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]},
                 {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]});
}

const M kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
// (x, y, z) to (x, -z, y): a Y-up source stood on Z.
const M kYUpToZUp{{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}};
// 40 degrees about (1, 2, 3), then scaled by 2, 1.5 and 0.5 along the world's axes.
M RotatedAndScaled(double sx) {
    const V a = Unit({1, 2, 3});
    const double c = std::cos(0.7), s = std::sin(0.7), t = 1 - c;
    const M r{{{t * a[0] * a[0] + c, t * a[0] * a[1] - s * a[2], t * a[0] * a[2] + s * a[1]},
               {t * a[0] * a[1] + s * a[2], t * a[1] * a[1] + c, t * a[1] * a[2] - s * a[0]},
               {t * a[0] * a[2] - s * a[1], t * a[1] * a[2] + s * a[0], t * a[2] * a[2] + c}}};
    return Product(M{{{sx, 0, 0}, {0, 1.5, 0}, {0, 0, 0.5}}}, r);
}

M InverseTranspose(const M& m) {
    const double det = Dot(m[0], Cross(m[1], m[2]));
    M r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            r[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
        }
    return r;
}

struct TransformCase {
    const char* name;
    M transform;
};

const TransformCase kTransforms[] = {
    {"identity", kIdentity},
    {"Y-up turned", kYUpToZUp},
    {"rotated, scaled 2 : 1.5 : 0.5", RotatedAndScaled(2)},
    {"mirrored", RotatedAndScaled(-2)},
};

// Flat faces: every corner's world normal is its triangle's; smooth ones: the stored normal
// through the inverse transpose, within a degree.
TEST(WorldNormals, FollowTheNodeTransform) {
    for (const TransformCase& c : kTransforms) {
        SCOPED_TRACE(c.name);
        const VertexChunk box = Record(FlatBox(), c.transform);
        const WorldNormals flat = MeshWorldNormals(box);
        EXPECT_TRUE(flat.fitted);
        double worst = 0;
        for (std::size_t k = 0; k < flat.corners.size(); ++k)
            worst = std::max(worst, Degrees(ToV(flat.corners[k]), FaceNormal(box, k / 3)));
        EXPECT_LT(worst, 1e-3);

        const M normalTransform = InverseTranspose(c.transform);
        const VertexChunk sphere = Record(SmoothSphere(), c.transform);
        const WorldNormals smooth = MeshWorldNormals(sphere);
        EXPECT_TRUE(smooth.fitted);
        worst = 0;
        for (std::size_t k = 0; k < smooth.corners.size(); ++k) {
            worst = std::max(worst, Degrees(ToV(smooth.corners[k]), Mul(normalTransform, V{sphere.normals[k].x, sphere.normals[k].y, sphere.normals[k].z})));
            EXPECT_NEAR(std::sqrt(Dot(ToV(smooth.corners[k]), ToV(smooth.corners[k]))), 1.0, 1e-6);
        }
        EXPECT_LT(worst, 1.0);
    }
}

// Normals no one transform gives (half of them turned inwards, or all zero) are replaced by
// smooth normals of the world-space triangles, which face their triangles; a flat record
// whose normals are all one direction is fitted all the same.
TEST(WorldNormals, WithoutOneTransformAreWorkedOutFromTheTriangles) {
    struct Case {
        const char* name;
        Soup soup;
        bool fitted;
    };
    Soup inwards = SmoothSphere(), zero = FlatBox(), flat;
    for (std::size_t k = 0; k < inwards.normals.size(); k += 2) inwards.normals[k] = {-inwards.normals[k][0], -inwards.normals[k][1], -inwards.normals[k][2]};
    for (V& n : zero.normals) n = {0, 0, 0};
    flat.corners = {{0, 0, 0}, {4, 0, 0}, {4, 3, 0}, {0, 0, 0}, {4, 3, 0}, {0, 3, 0}};
    flat.normals.assign(6, V{0, 0, 1});
    for (const Case& c : {Case{"half inwards", inwards, false}, Case{"zero", zero, false}, Case{"flat", flat, true}}) {
        SCOPED_TRACE(c.name);
        const VertexChunk mesh = Record(c.soup, RotatedAndScaled(2));
        const WorldNormals world = MeshWorldNormals(mesh);
        EXPECT_EQ(world.fitted, c.fitted);
        for (std::size_t k = 0; k < world.corners.size(); ++k) {
            const V face = FaceNormal(mesh, k / 3);
            if (Dot(face, face) == 0) continue;  // the sphere's poles
            EXPECT_LT(Degrees(ToV(world.corners[k]), face), c.fitted ? 1e-3 : 60.0) << "corner " << k;
        }
    }
}

// Smooth normals worked out the plain way, every corner against every face at its position
// (equal coordinates, -0 and +0 alike) with the library's atan2 for the angles.
std::vector<V> ReferenceCornerNormals(const std::vector<std::array<float, 3>>& p,
                                      const std::vector<std::array<std::uint32_t, 3>>& faces, double degrees) {
    const double cosAngle = std::cos(degrees * 3.14159265358979323846 / 180.0) - 1e-9;
    const auto at = [&](std::size_t c) { return ToV(p[faces[c / 3][c % 3]]); };
    std::vector<V> normal(faces.size()), out(3 * faces.size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const V n = Cross(Sub(at(3 * f + 1), at(3 * f)), Sub(at(3 * f + 2), at(3 * f)));
        normal[f] = Dot(n, n) > 0 ? Unit(n) : V{0, 0, 0};
    }
    const auto valid = [&](std::size_t f) { return Dot(normal[f], normal[f]) > 0; };
    for (std::size_t c = 0; c < out.size(); ++c) {
        std::vector<std::size_t> here;  // the corners at c's position, in face order
        for (std::size_t o = 0; o < out.size(); ++o)
            if (at(o) == at(c)) here.push_back(o);
        V own = {0, 0, 1};
        if (valid(c / 3)) own = normal[c / 3];
        else
            for (std::size_t o : here)
                if (valid(o / 3)) {
                    own = normal[o / 3];
                    break;
                }
        V sum{0, 0, 0};
        for (std::size_t o : here) {
            if (!valid(o / 3) || Dot(normal[o / 3], own) < cosAngle) continue;
            const V a = Sub(at(3 * (o / 3) + (o + 1) % 3), at(o)), b = Sub(at(3 * (o / 3) + (o + 2) % 3), at(o));
            const double w = std::atan2(std::sqrt(Dot(Cross(a, b), Cross(a, b))), Dot(a, b));
            for (int k = 0; k < 3; ++k) sum[k] += w * normal[o / 3][k];
        }
        out[c] = std::sqrt(Dot(sum, sum)) > 1e-12 && Dot(sum, own) > 0 ? Unit(sum) : own;
    }
    return out;
}

// Bumpy shapes, one on shared vertices and one a soup of separate corners (with -0 where the
// other corners have +0), at angles that split some corners and smooth others.
TEST(WorldNormals, SmoothCornerNormalsMatchAPlainReference) {
    std::vector<std::array<float, 3>> grid;
    std::vector<std::array<std::uint32_t, 3>> shared, soupFaces;
    const int n = 9;
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
            grid.push_back({float(x), float(y + 0.3 * std::sin(3.0 * x)), float((x * 7 + y * 13) % 5) * 0.4f});
    grid[0] = {0.0f, 0.0f, 0.0f};
    for (std::uint32_t y = 0; y < n; ++y)
        for (std::uint32_t x = 0; x < n; ++x) {
            const std::uint32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
            shared.push_back({a, b, d});
            shared.push_back({a, d, c});
        }
    shared.push_back({0, 0, 1});  // no area
    std::vector<std::array<float, 3>> soup;
    for (const auto& f : shared) {
        const auto first = static_cast<std::uint32_t>(soup.size());
        soupFaces.push_back({first, first + 1, first + 2});
        for (std::uint32_t v : f) {
            soup.push_back(grid[v]);
            if (soup.size() % 2 == 0)
                for (float& k : soup.back()) k = k == 0.0f ? -0.0f : k;
        }
    }
    struct Case {
        const char* name;
        const std::vector<std::array<float, 3>>& positions;
        const std::vector<std::array<std::uint32_t, 3>>& faces;
    };
    for (const Case& c : {Case{"shared", grid, shared}, Case{"soup", soup, soupFaces}})
        for (const double degrees : {0.0, 30.0, 45.0, 80.0, 180.0}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(degrees) + " degrees");
            const auto got = SmoothCornerNormals(c.positions, c.faces, degrees);
            const std::vector<V> want = ReferenceCornerNormals(c.positions, c.faces, degrees);
            ASSERT_EQ(got.size(), want.size());
            double worst = 0;
            for (std::size_t k = 0; k < got.size(); ++k)
                for (int i = 0; i < 3; ++i) worst = std::max(worst, std::fabs(got[k][i] - want[k][i]));
            EXPECT_LT(worst, 1e-6);
        }
}

}  // namespace
}  // namespace wux
