#include "host/standin/objects.h"

#include <cmath>

StandinSphere::StandinSphere(float radius, int segments, bool secondGeneration)
    : secondGeneration(secondGeneration) {
    (secondGeneration ? block2.values : block.values) = {radius, float(segments)};
}

IParamArray* StandinSphere::GetParamBlock() {
    if (!secondGeneration) return &block;
    ++oldStyleBlockCalls;
    return &notAnArray;
}

float StandinSphere::Value(int i) { return (secondGeneration ? block2.values : block.values)[std::size_t(i)]; }

int StandinSphere::CanConvertToType(Class_ID obtype) { return obtype == triObjectClassID ? 1 : 0; }

Object* StandinSphere::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype != triObjectClassID) return nullptr;
    TriObject* tri = CreateNewTriObject();
    const float segments = Value(1);  // clamped to 4..8192, NaN to 4
    BuildMesh(tri->mesh, Value(0), !(segments >= 4.0f) ? 4 : segments > 8192.0f ? 8192 : int(std::lround(segments)));
    return tri;
}

void StandinSphere::BuildMesh(Mesh& mesh, float radius, int segments) {
    const int s = segments < 4 ? 4 : segments;  // around the Z axis
    const int b = s / 2;                         // bands from the top pole (+Z) to the bottom one
    const int rings = b - 1;                     // vertex rings between the poles
    const int top = 0;
    const int bottom = 1 + rings * s;
    const double pi = 3.14159265358979323846;

    mesh.setNumVerts(2 + rings * s);
    mesh.setNumTVerts((s + 1) * (b + 1));
    mesh.setNumFaces(2 * s * rings);
    mesh.setNumTVFaces(2 * s * rings);

    auto vertIndex = [&](int ring, int j) { return 1 + (ring - 1) * s + (j % s); };  // ring 1..rings
    auto tvIndex = [&](int row, int j) { return row * (s + 1) + j; };               // row 0 at the top

    auto putVert = [&](int i, double x, double y, double z) {
        mesh.verts[i] = Point3(x * radius, y * radius, z * radius);
        mesh.setNormal(i, Point3(x, y, z));
    };
    putVert(top, 0.0, 0.0, 1.0);
    putVert(bottom, 0.0, 0.0, -1.0);
    for (int k = 1; k <= rings; ++k) {
        const double polar = pi * k / b;
        const double z = std::cos(polar), rho = std::sin(polar);
        for (int j = 0; j < s; ++j) {
            const double azimuth = 2.0 * pi * j / s;
            putVert(vertIndex(k, j), rho * std::cos(azimuth), rho * std::sin(azimuth), z);
        }
    }
    for (int row = 0; row <= b; ++row)
        for (int j = 0; j <= s; ++j)
            mesh.tVerts[tvIndex(row, j)] = UVVert(float(j) / s, 1.0f - float(row) / b, 0.0f);

    // Counter-clockwise seen from outside, so face normals point outward.
    int f = 0;
    auto putFace = [&](int a, int c, int d, int ta, int tc, int td) {
        mesh.faces[f].setVerts(a, c, d);
        mesh.faces[f].smGroup = 1;
        mesh.tvFace[f].setTVerts(ta, tc, td);
        ++f;
    };
    for (int j = 0; j < s; ++j) {
        putFace(top, vertIndex(1, j), vertIndex(1, j + 1), tvIndex(0, j), tvIndex(1, j), tvIndex(1, j + 1));
        for (int k = 1; k < rings; ++k) {
            const int a = vertIndex(k, j), bb = vertIndex(k, j + 1);
            const int c = vertIndex(k + 1, j), d = vertIndex(k + 1, j + 1);
            const int ta = tvIndex(k, j), tb = tvIndex(k, j + 1);
            const int tc = tvIndex(k + 1, j), td = tvIndex(k + 1, j + 1);
            putFace(a, c, d, ta, tc, td);
            putFace(a, d, bb, ta, td, tb);
        }
        putFace(bottom, vertIndex(rings, j + 1), vertIndex(rings, j), tvIndex(b, j), tvIndex(rings, j + 1),
                tvIndex(rings, j));
    }
}
