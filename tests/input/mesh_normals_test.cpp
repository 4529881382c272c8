// Normals of imported meshes on generated shapes: hard edges stay hard, curved sides are
// smooth, double-sided sheets keep both sides, source normals keep their direction, and
// every corner ends with a unit normal.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "input/mesh_normals.h"

namespace wux {
namespace {

using V3 = std::array<float, 3>;
constexpr double kPi = 3.14159265358979323846;

double Dot(const V3& a, const V3& b) { return double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2]; }

V3 FaceNormal(const SceneMesh& m, std::size_t f) {
    const V3& a = m.verts[m.faces[f][0]];
    const V3& b = m.verts[m.faces[f][1]];
    const V3& c = m.verts[m.faces[f][2]];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return {float(n[0] / len), float(n[1] / len), float(n[2] / len)};
}

V3 CornerNormal(const SceneMesh& m, std::size_t f, int k) { return m.normals[m.faces[f][k]]; }

// Every corner's normal is unit length, and the faces and vertices still agree.
void ExpectUnitCorners(const SceneMesh& m) {
    ASSERT_EQ(m.normals.size(), m.verts.size());
    for (std::size_t f = 0; f < m.faces.size(); ++f)
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(m.faces[f][k], m.verts.size());
            EXPECT_NEAR(Dot(CornerNormal(m, f, k), CornerNormal(m, f, k)), 1.0, 1e-6) << "face " << f;
        }
}

// A unit cube of 8 shared vertices and 12 outward-facing triangles.
SceneMesh Cube() {
    SceneMesh m;
    for (int i = 0; i < 8; ++i) m.verts.push_back({float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        m.faces.push_back({uint32_t(q[0]), uint32_t(q[1]), uint32_t(q[2])});
        m.faces.push_back({uint32_t(q[0]), uint32_t(q[2]), uint32_t(q[3])});
    }
    return m;
}

// A closed cylinder about Z: shared rim vertices, side quads and two fan caps.
SceneMesh Cylinder(int segments) {
    SceneMesh m;
    for (int z = 0; z < 2; ++z)
        for (int i = 0; i < segments; ++i) {
            const double a = 2 * kPi * i / segments;
            m.verts.push_back({float(std::cos(a)), float(std::sin(a)), float(2 * z)});
        }
    const uint32_t bottom = uint32_t(m.verts.size()), top = bottom + 1, n = uint32_t(segments);
    m.verts.push_back({0, 0, 0});
    m.verts.push_back({0, 0, 2});
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t j = (i + 1) % n;
        m.faces.push_back({i, j, n + j});
        m.faces.push_back({i, n + j, n + i});
        m.faces.push_back({bottom, j, i});
        m.faces.push_back({top, n + i, n + j});
    }
    return m;
}

// The normals of m as every importer finishes them.
void FinishNormals(SceneMesh* m, float smoothAngleDegrees, NormalCounts* counts) {
    Warnings warnings;
    FinishImportedMesh(m, "mesh", smoothAngleDegrees, counts, &warnings);
}

TEST(MeshNormals, CubeWithoutNormalsGetsFlatFaceNormals) {
    SceneMesh m = Cube();
    NormalCounts counts;
    FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
    ExpectUnitCorners(m);
    EXPECT_EQ(counts.computed, 8u);
    EXPECT_EQ(m.faces.size(), 12u);
    EXPECT_EQ(m.verts.size(), 24u);  // each corner of the cube split three ways
    for (std::size_t f = 0; f < m.faces.size(); ++f)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(Dot(CornerNormal(m, f, k), FaceNormal(m, f)), 1.0, 1e-6);
}

TEST(MeshNormals, CylinderGetsSmoothSidesAndFlatCaps) {
    SceneMesh m = Cylinder(32);
    NormalCounts counts;
    FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
    ExpectUnitCorners(m);
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const bool cap = f % 4 >= 2;
        for (int k = 0; k < 3; ++k) {
            const V3 n = CornerNormal(m, f, k);
            if (cap) {
                EXPECT_NEAR(Dot(n, FaceNormal(m, f)), 1.0, 1e-6) << "cap face " << f;
                continue;
            }
            // The radial direction of the corner's position: smooth, not the facet's.
            const V3& p = m.verts[m.faces[f][k]];
            const double r = std::hypot(p[0], p[1]);
            EXPECT_NEAR(n[2], 0.0, 1e-6);
            EXPECT_NEAR((n[0] * p[0] + n[1] * p[1]) / r, 1.0, 1e-5) << "side face " << f;
        }
    }
}

// The same sheet twice, facing both ways, on shared or on separate vertices: each side
// keeps its own normal and none comes out zero.
TEST(MeshNormals, DoubleSidedPlaneKeepsEachSidesNormal) {
    for (const bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared vertices" : "separate vertices");
        SceneMesh m;
        m.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        const uint32_t back = shared ? 0 : 4;
        if (!shared) m.verts.insert(m.verts.end(), m.verts.begin(), m.verts.end());
        m.faces = {{0, 1, 2}, {0, 2, 3}, {back + 0, back + 2, back + 1}, {back + 0, back + 3, back + 2}};
        NormalCounts counts;
        FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
        ExpectUnitCorners(m);
        for (std::size_t f = 0; f < 4; ++f)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(CornerNormal(m, f, k)[2], f < 2 ? 1.0f : -1.0f, 1e-6);
    }
}

// Two faces meeting along an edge with 30 degrees between their normals.
TEST(MeshNormals, TheSmoothingAngleDecidesBetweenSharedAndOwnNormals) {
    struct Case {
        float angle;
        bool smooth;
    };
    for (const Case c : {Case{45, true}, Case{20, false}, Case{0, false}, Case{180, true}}) {
        SCOPED_TRACE(c.angle);
        SceneMesh m;
        const float s = float(std::sin(kPi / 6)), co = float(std::cos(kPi / 6));
        m.verts = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {-co, 0, s}};
        m.faces = {{0, 2, 1}, {0, 1, 3}};
        NormalCounts counts;
        FinishNormals(&m, c.angle, &counts);
        ExpectUnitCorners(m);
        const V3 a = CornerNormal(m, 0, 0), b = CornerNormal(m, 1, 0);
        EXPECT_EQ(Dot(a, b) > 1 - 1e-6, c.smooth);
        if (!c.smooth) {
            EXPECT_NEAR(Dot(a, FaceNormal(m, 0)), 1.0, 1e-6);
        }
    }
}

// Two faces meeting along an edge at 30 degrees, each on vertices of its own, the second
// writing zeros of the shared corners as -0.0: +0.0 and -0.0 are one position, so the corners
// there share one smooth normal.
TEST(MeshNormals, PlusAndMinusZeroAreOnePosition) {
    SceneMesh m;
    const float s = float(std::sin(kPi / 6)), co = float(std::cos(kPi / 6));
    m.verts = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {-0.0f, 0, -0.0f}, {0, 1, -0.0f}, {-co, -0.0f, s}};
    m.faces = {{0, 2, 1}, {3, 4, 5}};
    NormalCounts counts;
    FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
    ExpectUnitCorners(m);
    EXPECT_GT(Dot(CornerNormal(m, 0, 0), CornerNormal(m, 1, 0)), 1 - 1e-6) << "at the origin";
    EXPECT_GT(Dot(CornerNormal(m, 0, 2), CornerNormal(m, 1, 1)), 1 - 1e-6) << "at (0, 1, 0)";
    EXPECT_LT(Dot(CornerNormal(m, 0, 0), FaceNormal(m, 0)), 1 - 1e-6) << "smoothed, not the face's own";
}

// Up to 64 corners at a position are compared pair by pair, beyond that grouped by face
// normal; both sides of that size must give the same normals. A shallow cone's apex gets
// its axis; where two flat half-fans meet at 60 degrees each keeps its own.
TEST(MeshNormals, BothSidesOfTheSizeWhereTheMethodChanges) {
    for (const int corners : {63, 64, 65, 66}) {
        SCOPED_TRACE(std::to_string(corners) + " corners at the position");
        SceneMesh cone;
        cone.verts.push_back({0, 0, 0.2f});
        for (int i = 0; i < corners; ++i) {
            const double a = 2 * kPi * i / corners;
            cone.verts.push_back({float(std::cos(a)), float(std::sin(a)), 0});
        }
        for (uint32_t i = 0; i < uint32_t(corners); ++i) cone.faces.push_back({0, 1 + i, 1 + (i + 1) % corners});
        NormalCounts counts;
        FinishNormals(&cone, kDefaultSmoothAngleDegrees, &counts);
        ExpectUnitCorners(cone);
        for (std::size_t f = 0; f < cone.faces.size(); ++f) EXPECT_NEAR(CornerNormal(cone, f, 0)[2], 1.0f, 1e-6) << f;

        // Half-fans sharing the origin, one in the plane z = 0 facing +z, the other turned
        // 60 degrees about the x axis: too far apart to smooth, near enough that a corner
        // given the other side's normal still faces its own way.
        SceneMesh crease;
        crease.verts.push_back({0, 0, 0});
        const double c60 = std::cos(kPi / 3), s60 = std::sin(kPi / 3);
        const V3 facing[2] = {{0, 0, 1}, {0, float(s60), float(c60)}};
        const int half[2] = {corners / 2, corners - corners / 2};
        for (int side = 0; side < 2; ++side) {
            const uint32_t first = uint32_t(crease.verts.size());
            for (int i = 0; i <= half[side]; ++i) {
                const double a = kPi * i / half[side], x = std::cos(a), v = std::sin(a);
                crease.verts.push_back(side == 0 ? V3{float(x), float(v), 0}
                                                 : V3{float(x), float(v * c60), float(-v * s60)});
            }
            for (uint32_t i = 0; i < uint32_t(half[side]); ++i) crease.faces.push_back({0, first + i, first + i + 1});
        }
        FinishNormals(&crease, kDefaultSmoothAngleDegrees, &counts);
        ExpectUnitCorners(crease);
        for (std::size_t f = 0; f < crease.faces.size(); ++f)
            EXPECT_GT(Dot(CornerNormal(crease, f, 0), facing[f < std::size_t(half[0]) ? 0 : 1]), 1 - 1e-6) << f;
    }
}

// Source normals of any length come out unit length in the same direction; unit ones stay
// as they were; zero and non-finite ones are worked out from the faces.
TEST(MeshNormals, SourceNormalsAreNormalisedAndBrokenOnesRecomputed) {
    SceneMesh m;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    m.faces = {{0, 1, 2}, {1, 3, 2}, {1, 4, 3}, {4, 5, 3}};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    m.normals = {{0, 0, 0.05f}, {0.6f, 0, 0.8f}, {3, 4, 12}, {0, 0, 0}, {nan, 0, 1}, {0, 0, 13}};
    const std::vector<V3> source = m.normals;
    NormalCounts counts;
    FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
    ExpectUnitCorners(m);
    EXPECT_EQ(counts.rescaled, 3u);
    EXPECT_EQ(counts.recomputed, 2u);
    EXPECT_EQ(m.verts.size(), 6u);
    EXPECT_EQ(m.normals[1], source[1]);  // already unit: bit for bit
    for (int v : {0, 2, 5}) {
        const double len = std::sqrt(Dot(source[v], source[v]));
        EXPECT_NEAR(Dot(m.normals[v], source[v]) / len, 1.0, 1e-6) << "vertex " << v;
    }
    for (int v : {3, 4}) {
        EXPECT_NEAR(m.normals[v][2], 1.0f, 1e-6) << "vertex " << v;
    }
}

// Thousands of triangles around one position (beyond the pairwise comparison) and faces
// without area: still unit normals, each side of a double-sided fan its own.
TEST(MeshNormals, HugeFansAndDegenerateFacesGiveUnitNormals) {
    SceneMesh m;
    const int n = 3000;
    m.verts.push_back({0, 0, 0});
    for (int i = 0; i < n; ++i) {
        const double a = 2 * kPi * i / n;
        m.verts.push_back({float(std::cos(a)), float(std::sin(a)), 0});
    }
    for (uint32_t i = 0; i < uint32_t(n); ++i) {
        const uint32_t a = 1 + i, b = 1 + (i + 1) % n;
        m.faces.push_back({0, a, b});
        m.faces.push_back({0, b, a});
    }
    m.faces.push_back({0, 0, 1});  // no area
    m.verts.push_back({5, 5, 5});
    m.faces.push_back({uint32_t(n + 1), uint32_t(n + 1), uint32_t(n + 1)});  // no area, alone
    NormalCounts counts;
    FinishNormals(&m, kDefaultSmoothAngleDegrees, &counts);
    ExpectUnitCorners(m);
    for (std::size_t f = 0; f < 2 * std::size_t(n); ++f)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(CornerNormal(m, f, k)[2], f % 2 == 0 ? 1.0f : -1.0f, 1e-6);
}

}  // namespace
}  // namespace wux
