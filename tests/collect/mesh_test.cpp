#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

struct MeshFixture : ::testing::Test {
    CallLog log;
    fake::ExportScope scope{&log};
    TriObject tri;

    std::vector<VertexChunk*> Collect(int32_t materialIndex, const Matrix3& tm) {
        NodeCollector().CollectMesh("M", &tri, materialIndex, tm);
        return fake::Records<VertexChunk>(*scope.model.meshes);
    }
};

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Two triangles sharing the edge 1-2, mapped, with normals that are not unit
// axes so that a transformed normal would show.
void MakeQuad(Mesh& mesh) {
    mesh.setNumVerts(4);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(1.0f, 0.0f, 0.0f);
    mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
    mesh.verts[3] = Point3(1.0f, 1.0f, 0.5f);
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[1].setVerts(2, 1, 3);
    mesh.setNumTVerts(5);
    mesh.setNumTVFaces(2);
    mesh.tVerts[0] = UVVert(0.0f, 0.0f, 0.0f);
    mesh.tVerts[1] = UVVert(0.5f, 0.25f, 0.0f);
    mesh.tVerts[2] = UVVert(0.0f, 1.0f, 0.0f);
    mesh.tVerts[3] = UVVert(1.0f, 1.0f, 0.0f);
    mesh.tVerts[4] = UVVert(0.75f, 0.5f, 0.0f);
    mesh.tvFace[0].setTVerts(0, 1, 2);
    mesh.tvFace[1].setTVerts(2, 4, 3);  // vertex 1 has another mapping in face 1
    for (int n = 0; n < 4; ++n) mesh.setNormal(n, Point3(0.6f, 0.0f, 0.8f * float(n + 1) / 4.0f));
}

TEST_F(MeshFixture, CornersInWorldSpaceUvFlippedNormalsInObjectSpace) {
    MakeQuad(tri.mesh);
    const Matrix3 tm = fake::Transform({0, 2, 0}, {-2, 0, 0}, {0, 0, 3}, {10, 20, 30});
    auto meshes = Collect(7, tm);
    ASSERT_EQ(meshes.size(), 1u);
    const VertexChunk& chunk = *meshes[0];
    EXPECT_EQ(std::string(chunk.sign), "GVTX");
    EXPECT_EQ(chunk.faceCount, 2);
    EXPECT_EQ(chunk.vertexCount, 6);
    EXPECT_EQ(chunk.materialIndex, 7);
    EXPECT_EQ(scope.model.meshCount, 1);

    const int corners[6] = {0, 1, 2, 2, 1, 3};
    const float u[6] = {0.0f, 0.5f, 0.0f, 0.0f, 0.75f, 1.0f};
    const float v[6] = {1.0f, 0.75f, 0.0f, 0.0f, 0.5f, 0.0f};
    for (int k = 0; k < 6; ++k) {
        const Point3 world = tri.mesh.verts[corners[k]] * tm;  // the host's own transform
        EXPECT_TRUE(SameBits(chunk.vertices[k].x, world.x)) << k;
        EXPECT_TRUE(SameBits(chunk.vertices[k].y, world.y)) << k;
        EXPECT_TRUE(SameBits(chunk.vertices[k].z, world.z)) << k;
        EXPECT_EQ(chunk.vertices[k].u, u[k]) << k;
        EXPECT_EQ(chunk.vertices[k].v, v[k]) << k;
        const Point3& normal = tri.mesh.getNormal(corners[k]);
        EXPECT_EQ(chunk.normals[k].x, normal.x) << k;
        EXPECT_EQ(chunk.normals[k].y, normal.y) << k;
        EXPECT_EQ(chunk.normals[k].z, normal.z) << k;
        EXPECT_EQ(chunk.triangles[k], k);
        EXPECT_EQ(chunk.faceBlocks[k], 0u);
    }
    // The shared vertex 1 gives two corners with one position and normal.
    EXPECT_EQ(chunk.vertices[1].x, chunk.vertices[4].x);
    EXPECT_EQ(chunk.normals[1].z, chunk.normals[4].z);
}

TEST_F(MeshFixture, WithoutTextureVerticesUvIsZeroNotFlipped) {
    fake::MakeOneTriangle(tri.mesh);
    auto meshes = Collect(0, Matrix3(TRUE));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(meshes[0]->vertices[k].u, 0.0f);
        EXPECT_EQ(meshes[0]->vertices[k].v, 0.0f);
        // Normals are built by the host when the mesh has none.
        EXPECT_EQ(meshes[0]->normals[k].z, 1.0f);
    }
}

TEST_F(MeshFixture, EmptyMeshStillGivesACountedRecord) {
    auto meshes = Collect(3, Matrix3(TRUE));
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0]->faceCount, 0);
    EXPECT_EQ(meshes[0]->vertexCount, 0);
    EXPECT_EQ(meshes[0]->materialIndex, 3);
    EXPECT_EQ(scope.model.meshCount, 1);
}

// A strip of F triangles, triangle i at x = i, so each record shows which faces
// it holds.
void MakeStrip(Mesh& mesh, int faces) {
    mesh.setNumVerts(3 * faces);
    mesh.setNumFaces(faces);
    for (int i = 0; i < faces; ++i) {
        mesh.verts[3 * i] = Point3(float(i), 0.0f, 0.0f);
        mesh.verts[3 * i + 1] = Point3(float(i), 1.0f, 0.0f);
        mesh.verts[3 * i + 2] = Point3(float(i), 0.0f, 1.0f);
        mesh.faces[i].setVerts(3 * i, 3 * i + 1, 3 * i + 2);
    }
}

TEST_F(MeshFixture, LargeMeshesSplitIntoRecordsOf21845Triangles) {
    struct SplitCase {
        int faces;
        std::vector<int> parts;
    };
    const SplitCase cases[] = {
        {21845, {21845}},
        {21846, {21845, 1}},
        {43691, {21845, 21845, 1}},
    };
    for (const SplitCase& c : cases) {
        CallLog caseLog;
        fake::ExportScope caseScope(&caseLog);
        TriObject strip;
        MakeStrip(strip.mesh, c.faces);
        NodeCollector().CollectMesh("M", &strip, 5, Matrix3(TRUE));
        auto meshes = fake::Records<VertexChunk>(*caseScope.model.meshes);
        ASSERT_EQ(meshes.size(), c.parts.size()) << c.faces;
        EXPECT_EQ(caseScope.model.meshCount, static_cast<int32_t>(c.parts.size()));
        int face = 0;
        for (size_t p = 0; p < meshes.size(); ++p) {
            const VertexChunk& chunk = *meshes[p];
            ASSERT_EQ(chunk.faceCount, c.parts[p]);
            EXPECT_EQ(chunk.vertexCount, 3 * c.parts[p]);
            EXPECT_EQ(chunk.materialIndex, 5);
            uint16_t highest = 0;
            bool inOrder = true;
            for (int i = 0; i < chunk.faceCount; ++i, ++face) {
                for (int j = 0; j < 3; ++j) {
                    const uint16_t index = chunk.triangles[3 * i + j];
                    highest = std::max(highest, index);
                    inOrder = inOrder && index == 3 * i + j && chunk.vertices[index].x == float(face);
                }
            }
            EXPECT_TRUE(inOrder) << c.faces << " part " << p;
            EXPECT_LE(highest, 65534);
        }
        EXPECT_EQ(face, c.faces);
    }
}

// A clean mesh is copied straight into the records; one flaw anywhere sends the
// whole mesh through the checked fill. Both must give the same records, also
// past the first record, where the texture faces are read from an offset.
TEST_F(MeshFixture, StraightAndCheckedFillsGiveTheSameRecords) {
    const int faces = 21845 + 7;
    auto collect = [&](bool flawed) {
        CallLog caseLog;
        fake::ExportScope caseScope(&caseLog);
        TriObject strip;
        MakeStrip(strip.mesh, faces);
        strip.mesh.setNumTVerts(faces + 2);
        strip.mesh.setNumTVFaces(faces);
        for (int n = 0; n < faces + 2; ++n) strip.mesh.tVerts[n] = UVVert(0.001f * float(n), 0.25f + 0.002f * float(n), 0.0f);
        for (int i = 0; i < faces; ++i) strip.mesh.tvFace[i].setTVerts(i, i + 1, i + 2);
        // The flaw: a texture index past the end in the first face, which becomes u = v = 0.
        if (flawed) strip.mesh.tvFace[0].t[0] = static_cast<DWORD>(faces + 2);
        NodeCollector().CollectMesh("M", &strip, 1, fake::Transform({1, 0, 0}, {0, 2, 0}, {0, 0, 1}, {5, 0, 0}));
        std::vector<std::vector<float>> values;
        for (const VertexChunk* chunk : fake::Records<VertexChunk>(*caseScope.model.meshes)) {
            std::vector<float> v;
            for (int k = 0; k < chunk->vertexCount; ++k) {
                const MeshVertex& c = chunk->vertices[k];
                const MeshNormal& n = chunk->normals[k];
                v.insert(v.end(), {c.x, c.y, c.z, c.u, c.v, n.x, n.y, n.z, float(chunk->triangles[k]),
                                   float(chunk->faceBlocks[k])});
            }
            values.push_back(v);
        }
        return values;
    };
    const auto straight = collect(false);
    auto checked = collect(true);
    ASSERT_EQ(straight.size(), 2u);
    ASSERT_EQ(checked.size(), 2u);
    EXPECT_EQ(checked[0][3], 0.0f);  // the repaired corner
    EXPECT_EQ(checked[0][4], 0.0f);
    checked[0][3] = straight[0][3];
    checked[0][4] = straight[0][4];
    EXPECT_EQ(straight, checked);
    EXPECT_EQ(straight[1][3], 0.001f * float(21845));  // second record, first corner: face 21845's u
}

// Nothing that is not finite may reach the file: triangles that cannot be
// placed are left out, other broken values become 0.
TEST_F(MeshFixture, BrokenHostDataNeverReachesTheRecord) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Mesh& mesh = tri.mesh;
    mesh.setNumVerts(5);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(1.0f, 0.0f, 0.0f);
    mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
    mesh.verts[3] = Point3(nan, 0.0f, 0.0f);
    mesh.verts[4] = Point3(2e38f, 0.0f, 0.0f);  // overflows once scaled
    mesh.setNumFaces(5);
    mesh.faces[0].setVerts(0, 3, 2);   // NaN position: left out
    mesh.faces[1].setVerts(0, 1, 2);   // kept
    mesh.faces[2].setVerts(0, 1, 99);  // no such vertex: left out
    mesh.faces[3].setVerts(4, 1, 2);   // position overflows: left out
    mesh.faces[4].setVerts(2, 1, 0);   // kept
    mesh.setNumTVerts(2);
    mesh.setNumTVFaces(5);
    mesh.tVerts[0] = UVVert(nan, inf, 0.0f);
    mesh.tVerts[1] = UVVert(0.5f, 0.5f, 0.0f);
    mesh.tvFace[1].setTVerts(0, 1, 7);  // texture index 7 does not exist
    mesh.tvFace[4].setTVerts(1, 1, 1);
    for (int n = 0; n < 5; ++n) mesh.setNormal(n, Point3(0.0f, 0.0f, 1.0f));
    mesh.setNormal(1, Point3(nan, 0.0f, 1.0f));

    auto meshes = Collect(0, fake::Transform({2, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}));
    ASSERT_EQ(meshes.size(), 1u);
    const VertexChunk& chunk = *meshes[0];
    ASSERT_EQ(chunk.faceCount, 2);
    const float expectedX[6] = {0, 2, 0, 0, 2, 0};
    const float expectedU[6] = {0, 0.5f, 0, 0.5f, 0.5f, 0.5f};
    const float expectedV[6] = {0, 0.5f, 0, 0.5f, 0.5f, 0.5f};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(chunk.vertices[k].x, expectedX[k]) << k;
        EXPECT_EQ(chunk.vertices[k].u, expectedU[k]) << k;
        EXPECT_EQ(chunk.vertices[k].v, expectedV[k]) << k;
        EXPECT_EQ(chunk.triangles[k], k);
        const bool isVertex1 = k == 1 || k == 4;
        EXPECT_EQ(chunk.normals[k].x, 0.0f) << k;
        EXPECT_EQ(chunk.normals[k].z, isVertex1 ? 0.0f : 1.0f) << k;
    }
}

TEST_F(MeshFixture, MeshWithNothingPlaceableGivesOneEmptyRecord) {
    fake::MakeOneTriangle(tri.mesh);
    tri.mesh.verts[0] = Point3(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    auto meshes = Collect(2, Matrix3(TRUE));
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0]->faceCount, 0);
}

}  // namespace
