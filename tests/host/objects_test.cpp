// Objects of the stand-in: classes, parameter blocks and conversion to triangle meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/standin/standin.h"

namespace {

float Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(StandinObjects, SuperClassesAndConversion) {
    TriObject mesh;
    StandinSphere sphere;
    StandinPointHelper helper;
    StandinCamera camera;
    StandinLight light;
    StandinShape shape;
    struct Case {
        const char* what;
        Object* object;
        SClass_ID superClass;
        bool converts;
    } cases[] = {
        {"mesh", &mesh, GEOMOBJECT_CLASS_ID, true},    {"sphere", &sphere, GEOMOBJECT_CLASS_ID, true},
        {"helper", &helper, HELPER_CLASS_ID, false},   {"camera", &camera, CAMERA_CLASS_ID, false},
        {"light", &light, LIGHT_CLASS_ID, false},      {"shape", &shape, SHAPE_CLASS_ID, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.object->SuperClassID(), c.superClass);
        EXPECT_EQ(c.object->CanConvertToType(triObjectClassID) != 0, c.converts);
        EXPECT_EQ(c.object->CanConvertToType(Class_ID(TRIOBJ_CLASS_ID, 1)), 0);
        EXPECT_EQ(c.object->Eval(0).obj, c.object);
        if (!c.converts) {
            EXPECT_EQ(c.object->ConvertToType(0, triObjectClassID), nullptr);
        }
    }
    EXPECT_TRUE(mesh.ClassID() == triObjectClassID);
}

TEST(StandinObjects, MeshConvertsToItselfSphereToANewObject) {
    const long alive = StandinTriObjectsAlive();
    StandinScene scene;
    TriObject* mesh = scene.Create<TriObject>();
    EXPECT_EQ(StandinTriObjectsAlive(), alive + 1);
    EXPECT_EQ(mesh->ConvertToType(0, triObjectClassID), mesh);
    EXPECT_EQ(StandinTriObjectsAlive(), alive + 1);

    StandinSphere* sphere = scene.Create<StandinSphere>(10.0f, 8);
    Object* first = sphere->ConvertToType(0, triObjectClassID);
    Object* second = sphere->ConvertToType(0, triObjectClassID);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, static_cast<Object*>(sphere));
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->ClassID() == triObjectClassID);
    EXPECT_EQ(StandinTriObjectsAlive(), alive + 3);
    delete first;
    delete second;
    EXPECT_EQ(StandinTriObjectsAlive(), alive + 1);
}

TEST(StandinObjects, SphereRadiusIsIndexZeroOfItsOldStyleBlock) {
    StandinSphere sphere(12.5f, 16);
    IParamArray* array = static_cast<Object&>(sphere).GetParamBlock();
    ASSERT_NE(array, nullptr);
    IParamBlock* block = array->GetParamBlock();
    ASSERT_NE(block, nullptr);
    float radius = 0;
    Interval ivalid = FOREVER;
    EXPECT_TRUE(block->GetValue(0, 0, radius, ivalid));
    EXPECT_FLOAT_EQ(radius, 12.5f);
    float segments = 0;
    EXPECT_TRUE(block->GetValue(1, 0, segments, ivalid));
    EXPECT_FLOAT_EQ(segments, 16);
    EXPECT_FALSE(block->GetValue(2, 0, radius, ivalid));
    EXPECT_EQ(static_cast<Animatable&>(sphere).NumParamBlocks(), 0);
}

TEST(StandinObjects, SphereTessellation) {
    StandinSphere sphere(2.0f, 12);
    std::unique_ptr<TriObject> tri(static_cast<TriObject*>(sphere.ConvertToType(0, triObjectClassID)));
    Mesh& mesh = tri->mesh;
    // 12 segments around, 6 bands: two poles and 5 rings of 12.
    EXPECT_EQ(mesh.numVerts, 2 + 5 * 12);
    EXPECT_EQ(mesh.numFaces, 2 * 12 * 5);
    EXPECT_EQ(mesh.numTVerts, 13 * 7);
    EXPECT_TRUE(StandinCheckMesh(mesh, "Sphere01").ok());
    mesh.buildNormals();
    for (int i = 0; i < mesh.numVerts; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(std::sqrt(Dot(mesh.verts[i], mesh.verts[i])), 2.0f, 1e-5f);
        const Point3 expected = mesh.verts[i] * 0.5f;
        const Point3 n = mesh.getNormal(i);
        EXPECT_NEAR(n.x, expected.x, 1e-5f);
        EXPECT_NEAR(n.y, expected.y, 1e-5f);
        EXPECT_NEAR(n.z, expected.z, 1e-5f);
    }
    for (int f = 0; f < mesh.numFaces; ++f) {
        SCOPED_TRACE(f);
        const Point3& a = mesh.verts[mesh.faces[f].v[0]];
        const Point3& b = mesh.verts[mesh.faces[f].v[1]];
        const Point3& c = mesh.verts[mesh.faces[f].v[2]];
        const Point3 u = b - a, v = c - a;
        const Point3 normal(u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x);
        EXPECT_GT(Dot(normal, a + b + c), 0.0f);  // faces point outward
        for (int j = 0; j < 3; ++j) {
            const UVVert& uv = mesh.tVerts[mesh.tvFace[f].t[j]];
            EXPECT_TRUE(uv.x >= 0 && uv.x <= 1 && uv.y >= 0 && uv.y <= 1);
            // Texture v follows height: 1 at the top pole, 0 at the bottom one.
            const Point3& p = mesh.verts[mesh.faces[f].v[j]];
            EXPECT_NEAR(std::cos((1.0f - uv.y) * 3.14159265f) * 2.0f, p.z, 1e-4f);
        }
    }
    std::unique_ptr<TriObject> few(static_cast<TriObject*>(StandinSphere(1.0f, 1).ConvertToType(0, triObjectClassID)));
    EXPECT_EQ(few->mesh.numVerts, 2 + 4);  // segments clamped to 4
}

TEST(StandinObjects, PointHelperSizeIsIdZeroOfItsSecondGenerationBlock) {
    StandinPointHelper helper(7.5f);
    Animatable& anim = helper;
    EXPECT_EQ(anim.NumParamBlocks(), 1);
    ASSERT_NE(anim.GetParamBlock(0), nullptr);
    EXPECT_EQ(anim.GetParamBlock(0), anim.GetParamBlockByID(0));
    EXPECT_EQ(anim.GetParamBlock(1), nullptr);
    float size = 0;
    Interval ivalid = FOREVER;
    EXPECT_TRUE(anim.GetParamBlockByID(0)->GetValue(0, 0, size, ivalid, 0));
    EXPECT_FLOAT_EQ(size, 7.5f);
    EXPECT_FALSE(anim.GetParamBlockByID(0)->GetValue(1, 0, size, ivalid, 0));
    // No old-style block.
    EXPECT_EQ(static_cast<Object&>(helper).GetParamBlock(), nullptr);
}

}  // namespace
