// Whole exports of stand-in scenes that behave as the host's SDK documents, read back from
// the file: what the plug-in makes of mirrored nodes, smoothing groups, second-generation
// parameter blocks, shader channels and its export result.
#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/wux_reader.h"
#include "host/standin/standin.h"
#include "plugin/model_exporter.h"
#include "tests/support/mesh_volume.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace {

Matrix3 Scaled(float x, float y, float z, const Point3& at) {
    Matrix3 m(TRUE);
    m.Scale(Point3(x, y, z));
    m.SetTrans(at);
    return m;
}

class HostContract : public ::testing::Test {
protected:
    void SetUp() override {
        StandinSetMessageBoxEcho(false);
        StandinClearMessageBoxCalls();
    }

    StandinNode* Add(const char* name, Object* object, const Matrix3& tm) {
        StandinNode* node = scene.AddNode(nullptr, name);
        node->SetObject(object);
        node->SetLocalTM(tm);
        node->SetObjectOffset(Matrix3(TRUE));
        return node;
    }

    // The scene exported to a fresh file, which must pass the checker, read back.
    WrittenFile Exported() {
        const std::string path = folder.Path("scene.wux");
        StandinExpInterface ei(&scene);
        StandinInterface host;
        ModelExporter exporter;
        EXPECT_EQ(exporter.DoExport(path.c_str(), &ei, &host, TRUE), 1);
        return ReadWritten(path);
    }

    StandinScene scene;
    TempFolder folder;
};

// A transform that mirrors turns every triangle inside out unless its corners are written in
// the other order; two mirrors cancel out.
TEST_F(HostContract, MirroredNodesWindOutwardLikeTheirTwins) {
    struct Case {
        const char* name;
        Matrix3 tm;
    };
    const Case cases[] = {
        {"plain", Scaled(1.0f, 1.0f, 1.0f, Point3(0.0f, 0.0f, 0.0f))},
        {"mirrored in x", Scaled(-1.0f, 1.0f, 1.0f, Point3(50.0f, 0.0f, 0.0f))},
        {"mirrored in z", Scaled(2.0f, 1.0f, -1.0f, Point3(0.0f, 50.0f, 0.0f))},
        {"mirrored twice", Scaled(-1.0f, -1.0f, 1.0f, Point3(0.0f, 0.0f, 50.0f))},
    };
    for (const Case& c : cases) Add(c.name, scene.Create<StandinSphere>(10.0f, 8), c.tm);
    const WrittenFile file = Exported();
    ASSERT_EQ(file.meshes.size(), 4u);
    const double plain = SignedVolume(*file.meshes[0]);
    EXPECT_GT(plain, 0.0);
    for (size_t m = 0; m < 4; ++m) {
        SCOPED_TRACE(cases[m].name);
        const VertexChunk& mesh = *file.meshes[m];
        EXPECT_NEAR(SignedVolume(mesh), m == 2 ? 2 * plain : plain, 1e-3 * plain);
        // Corner j of a mirrored triangle is corner order[j] of the plain one: its position
        // through the node's transform, its texture coordinates and (object-space) normal.
        const bool mirrored = m == 1 || m == 2;
        const int order[3] = {0, mirrored ? 2 : 1, mirrored ? 1 : 2};
        const Matrix3& tm = cases[m].tm;
        for (size_t k = 0; k < size_t(mesh.vertexCount); ++k) {
            const size_t p = k - k % 3 + size_t(order[k % 3]);
            const MeshVertex& v = mesh.vertices[k];
            const MeshVertex& twin = file.meshes[0]->vertices[p];
            const Point3 world = Point3(twin.x, twin.y, twin.z) * tm;
            ASSERT_EQ(v.x, world.x) << k;
            ASSERT_EQ(v.y, world.y) << k;
            ASSERT_EQ(v.z, world.z) << k;
            ASSERT_EQ(v.u, twin.u) << k;
            ASSERT_EQ(v.v, twin.v) << k;
            const MeshNormal &n = mesh.normals[k], &twinNormal = file.meshes[0]->normals[p];
            ASSERT_TRUE(n.x == twinNormal.x && n.y == twinNormal.y && n.z == twinNormal.z) << k;
        }
    }
}

// A box of edge 2 about the origin, 8 vertices and 12 outward faces, two a side; each face's
// smoothing groups from group(face).
TriObject* MakeBox(StandinScene& scene, DWORD (*group)(int face)) {
    TriObject* box = scene.Create<StandinEditableMesh>();
    Mesh& mesh = box->mesh;
    mesh.setNumVerts(8);
    for (int i = 0; i < 8; ++i) {
        mesh.verts[i] = Point3((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f);
    }
    const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                              {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    mesh.setNumFaces(12);
    for (int f = 0; f < 12; ++f) {
        mesh.faces[f].setVerts(faces[f][0], faces[f][1], faces[f][2]);
        mesh.faces[f].smGroup = group(f);
    }
    return box;
}

// Each corner takes the normal of its own face's smoothing group: hard edges between groups,
// smooth ones within a group (a face of several groups smooths with each face sharing a bit),
// the face's own normal in group 0.
TEST_F(HostContract, EachCornerTakesTheNormalOfItsFacesSmoothingGroup) {
    struct Case {
        const char* name;
        DWORD (*group)(int face);
        bool smooth;
    };
    const Case cases[] = {
        {"six groups", [](int f) { return DWORD(1) << (f / 2); }, false},
        {"group 0", [](int) { return DWORD(0); }, false},
        {"one group", [](int) { return DWORD(1); }, true},
        {"a bit shared", [](int f) { return f < 2 ? DWORD(0x80000001) : DWORD(0x80000000); }, true},
    };
    for (const Case& c : cases) Add(c.name, MakeBox(scene, c.group), Matrix3(TRUE));
    const WrittenFile file = Exported();
    ASSERT_EQ(file.meshes.size(), 4u);
    for (size_t m = 0; m < 4; ++m) {
        SCOPED_TRACE(cases[m].name);
        const VertexChunk& mesh = *file.meshes[m];
        ASSERT_EQ(mesh.vertexCount, 36);
        for (size_t k = 0; k < 36; ++k) {
            const MeshVertex& v = mesh.vertices[k];
            const std::array<float, 3> n{mesh.normals[k].x, mesh.normals[k].y, mesh.normals[k].z};
            if (cases[m].smooth) {
                // Leaning out over the corner: every component has the corner's sign.
                EXPECT_GT(n[0] * v.x, 0.1f) << k;
                EXPECT_GT(n[1] * v.y, 0.1f) << k;
                EXPECT_GT(n[2] * v.z, 0.1f) << k;
            } else {
                // The face's axis: the one coordinate all three corners share.
                const size_t t = k - k % 3;
                for (int axis = 0; axis < 3; ++axis) {
                    const auto at = [&](size_t i) { return axis == 0 ? mesh.vertices[i].x : axis == 1 ? mesh.vertices[i].y : mesh.vertices[i].z; };
                    const bool flat = at(t) == at(t + 1) && at(t) == at(t + 2);
                    EXPECT_EQ(n[size_t(axis)], flat ? at(t) : 0.0f) << k << " axis " << axis;
                }
            }
        }
    }
}

// A face naming a vertex the mesh lacks is left out before the host is asked for normals (the
// host's buildNormals would read past the vertices for it; the stand-in's throws).
TEST_F(HostContract, FacesNamingMissingVerticesAreLeftOutBeforeNormalsAreBuilt) {
    TriObject* box = MakeBox(scene, [](int f) { return DWORD(1) << (f / 2); });
    Mesh& mesh = box->mesh;
    mesh.setNumFaces(14, TRUE);
    mesh.faces[12].setVerts(0, 1, 8);
    mesh.faces[13].setVerts(0xFFFFFFFFu, 1, 2);
    mesh.faces[12].smGroup = mesh.faces[13].smGroup = 1;
    Add("broken", box, Matrix3(TRUE));
    const WrittenFile file = Exported();
    ASSERT_EQ(file.meshes.size(), 1u);
    EXPECT_EQ(file.meshes[0]->faceCount, 12);
    EXPECT_NEAR(SignedVolume(*file.meshes[0]), 8.0, 1e-5);
    EXPECT_EQ(file.meshes[0]->normals[0].z, -1.0f);
    EXPECT_EQ(mesh.numFaces, 14);  // the host's mesh is left as it was
}

// A class that answers only GetParamBlockByID for its second-generation block.
class SphereFoundOnlyById : public StandinSphere {
public:
    using StandinSphere::StandinSphere;
    int NumParamBlocks() override { return 0; }
    IParamBlock2* GetParamBlock(int) override { return nullptr; }
};

// A second-generation sphere's radius is read from its IParamBlock2; the old-style block it
// would hand out is never asked for. Old-style spheres are read as before.
TEST_F(HostContract, SecondGenerationSpheresGiveTheirRadius) {
    StandinSphere* second = scene.Create<StandinSphere>(12.0f, 8, true);
    SphereFoundOnlyById* byId = scene.Create<SphereFoundOnlyById>(7.0f, 8, true);
    StandinSphere* ellipsoid = scene.Create<StandinSphere>(3.0f, 8, true);
    Add("GBND", second, Scaled(1.0f, 1.0f, 1.0f, Point3(1.0f, 2.0f, 3.0f)));
    Add("GBND", byId, Matrix3(TRUE));
    Add("GBND", scene.Create<StandinSphere>(5.0f, 8), Matrix3(TRUE));
    Add("GELP", ellipsoid, Scaled(2.0f, 1.0f, 1.0f, Point3(0.0f, 0.0f, 0.0f)));
    Add("Ball", scene.Create<StandinSphere>(4.0f, 8, true), Matrix3(TRUE));
    const WrittenFile file = Exported();
    const BoundSphere& main = *file.doc.model->bounds->mainSphere;
    EXPECT_EQ(main.radius, 12.0f);
    EXPECT_EQ(std::vector<float>({main.x, main.y, main.z}), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    ASSERT_EQ(file.spheres.size(), 2u);
    EXPECT_EQ(file.spheres[0]->radius, 7.0f);
    EXPECT_EQ(file.spheres[1]->radius, 5.0f);
    ASSERT_NE(file.doc.model->ellipsoid, nullptr);
    const float* semiAxes = file.doc.model->ellipsoid->semiAxes;
    EXPECT_EQ(std::vector<float>(semiAxes, semiAxes + 3), (std::vector<float>{6.0f, 3.0f, 3.0f}));
    ASSERT_EQ(file.meshes.size(), 1u);  // the sphere as a mesh, of its own radius
    EXPECT_NEAR(wux::BoundingBox(*file.meshes[0])->max[2], 4.0f, 1e-5f);
    EXPECT_EQ(second->OldStyleBlockCalls() + byId->OldStyleBlockCalls() + ellipsoid->OldStyleBlockCalls(), 0);
}

// A material's map calls take its shader's channels: each slot's map is found through its
// channel, a slot the shader has no channel for is left out, and the file records the slot.
TEST_F(HostContract, MaterialMapsAreFoundThroughTheShadersChannels) {
    StandinStdMat* material = scene.Create<StandinStdMat>("Shaded");
    material->SetShaderChannels({0, 5, 1, 3, 4, 2, 6, 7, -1, 9, 10, 11});
    material->SetMap(5, scene.Create<StandinBitmapTex>("C:\\maps\\diffuse.bmp"), 0.5f);
    material->SetMap(1, scene.Create<StandinBitmapTex>("C:\\maps\\specular.bmp"), 0.25f);
    material->SetMap(2, scene.Create<StandinBitmapTex>("C:\\maps\\glow.bmp"), 0.75f);
    material->SetMap(8, scene.Create<StandinBitmapTex>("C:\\maps\\bump.bmp"), 1.0f);  // no slot's channel
    Add("Box", MakeBox(scene, [](int) { return DWORD(1); }), Matrix3(TRUE))->SetMtl(material);
    const WrittenFile file = Exported();
    ASSERT_EQ(file.materials.size(), 1u);
    const auto& maps = file.materials[0]->maps;
    ASSERT_EQ(file.materials[0]->mapCount, 3);
    const struct {
        std::uint32_t slot;
        const char* file;
        float amount;
    } expected[] = {{ID_DI, "diffuse.bmp", 0.5f}, {ID_SP, "specular.bmp", 0.25f}, {ID_SI, "glow.bmp", 0.75f}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::uint32_t(maps[i].channel), expected[i].slot) << i;
        EXPECT_EQ(maps[i].fileName, expected[i].file) << i;
        EXPECT_EQ(maps[i].amount, expected[i].amount) << i;
    }
}

}  // namespace
