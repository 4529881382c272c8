// A whole export's collection: a stand-in scene walked by the node collector,
// saved by the writer and read back by the file checker.
#include <gtest/gtest.h>

#include <string>

#include "collect/node_collector.h"
#include "format/file_bytes.h"
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

    wux::WuxFile SaveAndRead() {
        EXPECT_EQ(model.Save(path.c_str()), 0);
        EXPECT_TRUE(PassesChecker(path));
        const auto file = wux::LoadFileBytes(path);
        if (!file.Ok()) return {};
        auto read = wux::ReadWux(wux::SpanOf(*file));
        EXPECT_TRUE(read.Ok()) << read.Error().message;
        return read.Ok() ? *read : wux::WuxFile{};
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

    const wux::WuxFile file = SaveAndRead();
    EXPECT_EQ(file.header.meshCount, 3u);
    EXPECT_EQ(file.header.materialCount, 1u);
    ASSERT_EQ(file.materials.size(), 1u);
    EXPECT_EQ(file.materials[0].name.text, "Paint");
    ASSERT_EQ(file.materials[0].maps.size(), 1u);
    EXPECT_EQ(file.materials[0].maps[0].channel, 1u);
    EXPECT_EQ(file.materials[0].maps[0].fileName.text, "ball.bmp");
    ASSERT_EQ(file.meshes.size(), 3u);
    for (const wux::MeshChunk& mesh : file.meshes) EXPECT_EQ(mesh.materialIndex, 0);
    ASSERT_EQ(file.bounds.size(), 1u);
    EXPECT_EQ(file.bounds[0].mainSphere.centre, (std::array<float, 3>{1, 2, 3}));
    EXPECT_FLOAT_EQ(file.bounds[0].mainSphere.radius, 10.0f);
    ASSERT_EQ(file.ellipsoids.size(), 1u);
    EXPECT_FLOAT_EQ(file.ellipsoids[0].semiAxes[0], 5.0f);
    ASSERT_EQ(file.references.entries.size(), 1u);
    EXPECT_EQ(file.references.entries[0].name.text, "Point01");
    EXPECT_EQ(file.references.entries[0].halfExtents, (std::array<float, 3>{10, 10, 10}));
    EXPECT_EQ(file.references.entries[0].transform[13], -3.0f);  // y 2, moved 5 down its Y axis
}

TEST_F(SceneWalk, LargeMeshIsSplitAndEveryTriangleWritten) {
    StandinSphere* sphere = scene.Create<StandinSphere>(1.0f, 160);
    scene.AddNode(nullptr, "Big")->SetObject(sphere);
    Mesh reference;
    StandinSphere::BuildMesh(reference, 1.0f, 160);
    ASSERT_GT(reference.numFaces, 21845);

    scene.EnumTree(&collector);
    const wux::WuxFile file = SaveAndRead();
    ASSERT_EQ(file.meshes.size(), static_cast<size_t>((reference.numFaces + 21844) / 21845));
    uint32_t triangles = 0;
    for (const wux::MeshChunk& mesh : file.meshes) triangles += mesh.faceCount;
    EXPECT_EQ(triangles, static_cast<uint32_t>(reference.numFaces));
    EXPECT_EQ(file.header.meshCount, file.meshes.size());
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
    const wux::WuxFile file = SaveAndRead();
    EXPECT_EQ(file.header.fileLength, 108u);
}

}  // namespace
