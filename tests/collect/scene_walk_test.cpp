// A whole export's collection: a stand-in scene walked by the node collector,
// saved by the writer and read back by the file checker.
#include <gtest/gtest.h>

#include <string>

#include "collect/node_collector.h"
#include "format/mapped_file.h"
#include "format/wux_reader.h"
#include "host/standin/standin.h"
#include "model/export_model.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace {

Matrix3 Translation(float x, float y, float z) {
    Matrix3 tm(TRUE);
    tm.SetTrans(Point3(x, y, z));
    return tm;
}

struct SceneWalk : ::testing::Test {
    StandinScene scene;
    StandinInterface host{160};
    ExportModel model;
    NodeCollector collector;
    TempFolder folder;
    std::string path = folder.Path("walk.wux");

    void SetUp() override {
        currentModel = &model;
        hostInterface = &host;
    }
    void TearDown() override {
        currentModel = nullptr;
        hostInterface = nullptr;
    }

    WrittenFile SaveAndRead() {
        EXPECT_EQ(model.Save(path.c_str()), 0);
        return ReadWritten(path);
    }
};

TEST_F(SceneWalk, EveryKindOfNodeReachesTheFile) {
    StandinStdMat* paint = scene.Create<StandinStdMat>("Paint");
    paint->SetMap(ID_DI, scene.Create<StandinBitmapTex>("C:\\tex\\ball.bmp"), 0.5f);
    StandinMultiMtl* multi = scene.Create<StandinMultiMtl>("Multi");

    StandinNode* helper = scene.AddNode(nullptr, "Point01");
    helper->SetObject(scene.Create<StandinPointHelper>(20.0f));
    helper->SetLocalTM(Translation(1, 2, 3));
    StandinNode* bound = scene.AddNode(helper, "GBND");  // child: world = local * parent
    bound->SetObject(scene.Create<StandinSphere>(10.0f, 8));
    StandinNode* ellipsoid = scene.AddNode(nullptr, "GELP");
    ellipsoid->SetObject(scene.Create<StandinSphere>(5.0f, 8));
    ellipsoid->SetHidden(true);
    StandinNode* ball = scene.AddNode(nullptr, "Ball");
    ball->SetObject(scene.Create<StandinSphere>(1.0f, 8));
    ball->SetMtl(paint);
    StandinNode* second = scene.AddNode(ball, "gbnd");
    second->SetObject(scene.Create<StandinSphere>(2.0f, 8));
    second->SetMtl(multi);
    StandinNode* third = scene.AddNode(nullptr, "Ball2");
    third->SetObject(scene.Create<StandinSphere>(3.0f, 8));
    third->SetMtl(paint);
    scene.AddNode(nullptr, "Camera01")->SetObject(scene.Create<StandinCamera>());
    scene.AddNode(nullptr, "Light01")->SetObject(scene.Create<StandinLight>());
    scene.AddNode(nullptr, "Empty");

    const long aliveBefore = StandinTriObjectsAlive();
    EXPECT_EQ(scene.EnumTree(&collector), 0);
    EXPECT_EQ(StandinTriObjectsAlive(), aliveBefore);  // every temporary mesh deleted

    const WrittenFile file = SaveAndRead();
    EXPECT_EQ(file.doc.model->meshCount, 3);
    EXPECT_EQ(file.doc.model->materialCount, 1);
    ASSERT_EQ(file.materials.size(), 1u);
    EXPECT_EQ(file.materials[0]->name, "Paint");
    ASSERT_EQ(file.materials[0]->mapCount, 1);
    EXPECT_EQ(file.materials[0]->maps[0].channel, 1);
    EXPECT_EQ(file.materials[0]->maps[0].fileName, "ball.bmp");
    ASSERT_EQ(file.meshes.size(), 3u);
    for (const VertexChunk* mesh : file.meshes) EXPECT_EQ(mesh->materialIndex, 0);
    const BoundSphere& main = *file.doc.model->bounds->mainSphere;
    EXPECT_EQ(std::vector<float>({main.x, main.y, main.z}), (std::vector<float>{1, 2, 3}));
    EXPECT_FLOAT_EQ(main.radius, 10.0f);
    ASSERT_NE(file.doc.model->ellipsoid, nullptr);
    EXPECT_FLOAT_EQ(file.doc.model->ellipsoid->semiAxes[0], 5.0f);
    ASSERT_EQ(file.entries.size(), 1u);
    EXPECT_EQ(file.entries[0]->name, "Point01");
    EXPECT_EQ(std::vector<float>(file.entries[0]->halfExtents, file.entries[0]->halfExtents + 3), (std::vector<float>{10, 10, 10}));
    EXPECT_EQ(file.entries[0]->transform[3][1], -3.0f);  // y 2, moved 5 down its Y axis
}

TEST_F(SceneWalk, LargeMeshIsSplitAndEveryTriangleWritten) {
    StandinSphere* sphere = scene.Create<StandinSphere>(1.0f, 160);
    scene.AddNode(nullptr, "Big")->SetObject(sphere);
    Mesh reference;
    StandinSphere::BuildMesh(reference, 1.0f, 160);
    ASSERT_GT(reference.numFaces, 21845);

    scene.EnumTree(&collector);
    const WrittenFile file = SaveAndRead();
    ASSERT_EQ(file.meshes.size(), static_cast<size_t>((reference.numFaces + 21844) / 21845));
    int32_t triangles = 0;
    for (const VertexChunk* mesh : file.meshes) triangles += mesh->faceCount;
    EXPECT_EQ(triangles, reference.numFaces);
    EXPECT_EQ(file.doc.model->meshCount, int32_t(file.meshes.size()));
}

// An object whose parameters live in a second-generation block; its old-style slot answers
// a block too (in the host it may be the second-generation one in disguise), which must not
// be read.
TEST_F(SceneWalk, EmptySceneLeavesTheModelAsCreated) {
    EXPECT_EQ(scene.EnumTree(&collector), 0);
    EXPECT_EQ(model.meshCount, 0);
    EXPECT_EQ(model.materialCount, 0);
    EXPECT_EQ(model.references->entries->count(), 0);
    EXPECT_EQ(model.bounds->mainSphere->radius, 0.0f);
    EXPECT_EQ(model.ellipsoid, nullptr);
    EXPECT_EQ(host.GetTimeCalls(), 0);
    EXPECT_EQ(SaveAndRead().doc.fileLength, 108u);
}

}  // namespace
