// Mesh storage, normals and the consistency checks.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "host/max_sdk.h"
#include "host/standin/mesh_check.h"

namespace {

void ExpectPoint(const Point3& actual, float x, float y, float z) {
    EXPECT_NEAR(actual.x, x, 1e-6f);
    EXPECT_NEAR(actual.y, y, 1e-6f);
    EXPECT_NEAR(actual.z, z, 1e-6f);
}

void SetMesh(Mesh& mesh, std::initializer_list<Point3> verts, std::initializer_list<std::array<int, 3>> faces) {
    mesh.setNumVerts(int(verts.size()));
    mesh.setNumFaces(int(faces.size()));
    int i = 0;
    for (const Point3& v : verts) mesh.verts[i++] = v;
    i = 0;
    for (const auto& f : faces) {
        mesh.faces[i].smGroup = 1;
        mesh.faces[i++].setVerts(f[0], f[1], f[2]);
    }
}

// A closed tetrahedron with outward faces: three axis-aligned sides and the slanted one.
TEST(MeshNormals, ClosedTetrahedron) {
    Mesh mesh;
    SetMesh(mesh, {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0), Point3(0, 0, 1)},
            {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
    mesh.buildNormals();
    const float s = 1.0f / std::sqrt(3.0f);
    // Vertex 0: the -z, -y and -x faces.
    ExpectPoint(mesh.getNormal(0), -s, -s, -s);
    // Vertex 1: -z, -y and (s, s, s): the sum (s, s - 1, s - 1), normalised.
    const float len = std::sqrt(s * s + 2 * (s - 1) * (s - 1));
    ExpectPoint(mesh.getNormal(1), s / len, (s - 1) / len, (s - 1) / len);
    ExpectPoint(mesh.getNormal(2), (s - 1) / len, s / len, (s - 1) / len);
    ExpectPoint(mesh.getNormal(3), (s - 1) / len, (s - 1) / len, s / len);
}

TEST(MeshNormals, DegenerateFacesAddNothingAndNothingIsNaN) {
    Mesh mesh;
    const float nan = std::nanf("");
    SetMesh(mesh,
            {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0),  // a proper triangle
             Point3(2, 2, 2), Point3(3, 3, 3),                   // only in zero-area faces
             Point3(nan, 0.0f, 0.0f),                            // not a number
             Point3(9, 9, 9),                                    // in no face
             Point3(1e30f, 0.0f, 0.0f), Point3(0.0f, 1e30f, 0.0f)},
            {{0, 1, 2}, {0, 3, 4}, {3, 3, 4}, {1, 5, 2}, {0, 7, 8}});
    mesh.buildNormals();
    ExpectPoint(mesh.getNormal(0), 0, 0, 1);  // the collinear face (0, 3, 4) added nothing
    ExpectPoint(mesh.getNormal(1), 0, 0, 1);
    ExpectPoint(mesh.getNormal(3), 0, 0, 0);
    ExpectPoint(mesh.getNormal(4), 0, 0, 0);
    ExpectPoint(mesh.getNormal(5), 0, 0, 0);
    ExpectPoint(mesh.getNormal(6), 0, 0, 0);
    ExpectPoint(mesh.getNormal(7), 0, 0, 1);  // huge but finite: no overflow to infinity
    for (int i = 0; i < mesh.numVerts; ++i) {
        SCOPED_TRACE(i);
        const Point3& n = mesh.getNormal(i);
        EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z));
    }
}

TEST(MeshNormals, ExplicitNormalsAreKept) {
    Mesh mesh;
    SetMesh(mesh, {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0)}, {{0, 1, 2}});
    for (int i = 0; i < 3; ++i) mesh.setNormal(i, Point3(1, 0, 0));
    mesh.buildNormals();
    ExpectPoint(mesh.getNormal(2), 1, 0, 0);
    // Replacing the vertices without keep drops them.
    mesh.setNumVerts(3);
    mesh.verts[1] = Point3(1, 0, 0);
    mesh.verts[2] = Point3(0, 1, 0);
    mesh.buildNormals();
    ExpectPoint(mesh.getNormal(2), 0, 0, 1);
}

// Computed normals are kept while the mesh is unchanged; every change made
// through the public arrays, and a write through getNormal, is seen. The mesh
// is one triangle given 100 times, enough faces for the normals to be kept.
TEST(MeshNormals, RebuiltAfterEveryChangeToThePublicArrays) {
    struct Change {
        const char* what;
        void (*apply)(Mesh&);
        float x, y, z;  // vertex 2's normal afterwards
    };
    const Change changes[] = {
        {"nothing", [](Mesh&) {}, 0, 0, 1},
        {"a vertex moved", [](Mesh& m) { m.verts[1] = Point3(0, 0, 1); }, -1, 0, 0},
        {"the faces turned", [](Mesh& m) { for (int f = 0; f < m.numFaces; ++f) m.faces[f].setVerts(0, 2, 1); }, 0, 0, -1},
        {"a normal written", [](Mesh& m) { m.getNormal(2) = Point3(5, 5, 5); }, 0, 0, 1},
        {"the face count cut", [](Mesh& m) { m.numFaces = 0; }, 0, 0, 0},
        {"the smoothing groups cleared", [](Mesh& m) { for (int f = 0; f < m.numFaces; ++f) m.faces[f].smGroup = 0; }, 0, 0, 0},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        Mesh mesh;
        SetMesh(mesh, {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0)}, {});
        mesh.setNumFaces(100);
        for (int f = 0; f < 100; ++f) mesh.faces[f].setVerts(0, 1, 2), mesh.faces[f].smGroup = 1;
        mesh.buildNormals();
        change.apply(mesh);
        mesh.buildNormals();
        ExpectPoint(mesh.getNormal(2), change.x, change.y, change.z);
        Mesh copy(mesh);
        copy.buildNormals();
        ExpectPoint(copy.getNormal(2), change.x, change.y, change.z);
    }
}

// The host reads every face's vertices: a face naming a missing one is a fault of the caller,
// which the stand-in shows instead of reading past its vertices.
TEST(MeshNormals, FaceNamingAMissingVertexThrowsAndReadsOutOfRangeGiveZero) {
    Mesh mesh;
    SetMesh(mesh, {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0)}, {{0, 1, 7}});
    ExpectPoint(mesh.getNormal(0), 0, 0, 0);  // before buildNormals
    EXPECT_THROW(mesh.buildNormals(), std::logic_error);
    ExpectPoint(mesh.getNormal(0), 0, 0, 0);
    ExpectPoint(mesh.getNormal(-1), 0, 0, 0);
    ExpectPoint(mesh.getNormal(3), 0, 0, 0);
    ExpectPoint(mesh.getFaceNormal(1), 0, 0, 0);
    EXPECT_EQ(mesh.getRVert(5).rFlags, 0u);
}

TEST(MeshStorage, ResizeKeepAndCopy) {
    Mesh mesh;
    EXPECT_FALSE(mesh.setNumVerts(-1));
    SetMesh(mesh, {Point3(1, 2, 3), Point3(4, 5, 6)}, {{0, 1, 1}});
    mesh.setNumVerts(3, TRUE);
    ExpectPoint(mesh.verts[1], 4, 5, 6);
    ExpectPoint(mesh.verts[2], 0, 0, 0);
    mesh.setNumTVerts(2);
    mesh.setNumTVFaces(1);
    mesh.tvFace[0].setTVerts(0, 1, 1);
    mesh.setNumFaces(2, TRUE);  // the texture faces follow the faces
    EXPECT_EQ(mesh.faces[0].v[1], 1u);
    EXPECT_EQ(mesh.tvFace[0].t[1], 1u);
    EXPECT_EQ(mesh.tvFace[1].t[1], 0u);
    EXPECT_TRUE(StandinCheckMesh(mesh, "M").ok());

    Mesh copy(mesh);
    copy.verts[0] = Point3(9, 9, 9);
    ExpectPoint(mesh.verts[0], 1, 2, 3);
    EXPECT_EQ(copy.getNumFaces(), 2);
    EXPECT_EQ(copy.tvFace[0].t[1], 1u);
    mesh = copy;
    ExpectPoint(mesh.verts[0], 9, 9, 9);
}

TEST(MeshCheck, CheckFindsHandMadeFaults) {
    Mesh mesh;
    SetMesh(mesh, {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0)}, {{0, 1, 2}, {2, 1, 0}});
    EXPECT_TRUE(StandinCheckMesh(mesh, "M").ok());
    mesh.setNumTVerts(3);
    EXPECT_EQ(StandinCheckMesh(mesh, "M").message,
              "node \"M\": the mesh has 3 texture vertices but 0 texture faces for 2 faces");
    mesh.setNumTVFaces(1);  // one short
    EXPECT_EQ(StandinCheckMesh(mesh, "M").message,
              "node \"M\": the mesh has 3 texture vertices but 1 texture faces for 2 faces");
    mesh.setNumTVFaces(2);
    EXPECT_TRUE(StandinCheckMesh(mesh, "M").ok());
    mesh.tvFace[1].t[1] = 3;
    EXPECT_EQ(StandinCheckMesh(mesh, "M").message,
              "node \"M\": texture face 1 uses texture vertex 3, but the mesh has 3 texture vertices");
    mesh.tvFace[1].t[1] = 0;
    mesh.faces[1].v[0] = 0xffffffffu;
    const StandinMeshError error = StandinCheckMesh(mesh, "M");
    EXPECT_EQ(error.message, "node \"M\": face 1 uses vertex 4294967295, but the mesh has 3 vertices");
    mesh.faces[1].v[0] = 0;
    mesh.numVerts = 5;  // a count the array does not back
    EXPECT_EQ(StandinCheckMesh(mesh, "M").message, "node \"M\": the mesh's counts do not match its arrays");
    mesh.buildNormals();  // reads only what the arrays hold
    mesh.numVerts = 3;
}

}  // namespace
