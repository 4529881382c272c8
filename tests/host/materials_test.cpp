// Materials and maps of the stand-in, seen through the SDK interfaces.
#include <gtest/gtest.h>

#include <cstring>

#include "host/standin/standin.h"

namespace {

void ExpectColor(const Color& c, float r, float g, float b) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
}

TEST(StandinStdMat, DefaultsOfANewStandardMaterial) {
    StandinStdMat material("Brick");
    Mtl* mtl = &material;
    EXPECT_TRUE(mtl->ClassID() == Class_ID(DMTL_CLASS_ID, 0));
    EXPECT_EQ(mtl->SuperClassID(), SClass_ID(MATERIAL_CLASS_ID));
    EXPECT_STREQ(mtl->GetName().data(), "Brick");
    StdMat* std = static_cast<StdMat*>(mtl);
    ExpectColor(std->GetAmbient(0), 0.588f, 0.588f, 0.588f);
    ExpectColor(std->GetDiffuse(0), 0.588f, 0.588f, 0.588f);
    ExpectColor(std->GetSpecular(0), 0.9f, 0.9f, 0.9f);
    ExpectColor(std->GetFilter(0), 0.5f, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(std->GetOpacity(0), 1.0f);
    ExpectColor(mtl->GetDiffuse(), 0.588f, 0.588f, 0.588f);
    // A shader whose channels are the slots; the map calls take channels.
    EXPECT_TRUE(mtl->SupportsShaders());
    for (long slot = 0; slot < NTEXMAPS; ++slot) EXPECT_EQ(material.StdIDToChannel(slot), slot);
    EXPECT_EQ(material.StdIDToChannel(NTEXMAPS), -1);
    EXPECT_EQ(std->NumSubTexmaps(), STD2_NMAX_TEXMAPS);
    for (int channel = -1; channel <= STD2_NMAX_TEXMAPS; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_FALSE(std->MapEnabled(channel));
        EXPECT_EQ(std->GetSubTexmap(channel), nullptr);
    }
}

TEST(StandinStdMat, ColoursAndMapSlots) {
    StandinScene scene;
    StandinStdMat* material = scene.Create<StandinStdMat>("Wall");
    material->SetAmbient(Color(0.1f, 0.2f, 0.3f));
    material->SetDiffuse(Color(0.4f, 0.5f, 0.6f));
    material->SetSpecular(Color(0.7f, 0.8f, 0.9f));
    material->SetFilter(Color(1.0f, 0.0f, 0.5f));
    material->SetOpacity(0.25f);
    StandinBitmapTex* bricks = scene.Create<StandinBitmapTex>("C:\\maps\\brick.bmp");
    StandinCheckerTex* checker = scene.Create<StandinCheckerTex>();
    material->SetMap(ID_DI, bricks, 0.75f);
    material->SetMap(ID_BU, checker);
    material->SetMap(ID_SP, bricks);  // present but not enabled
    material->EnableMap(ID_SP, FALSE);

    StdMat* std = material;
    ExpectColor(std->GetAmbient(100), 0.1f, 0.2f, 0.3f);
    ExpectColor(std->GetDiffuse(100), 0.4f, 0.5f, 0.6f);
    ExpectColor(std->GetSpecular(100), 0.7f, 0.8f, 0.9f);
    ExpectColor(std->GetFilter(100), 1.0f, 0.0f, 0.5f);
    EXPECT_FLOAT_EQ(std->GetOpacity(100), 0.25f);
    EXPECT_TRUE(std->MapEnabled(ID_DI));
    EXPECT_TRUE(std->MapEnabled(ID_BU));
    EXPECT_FALSE(std->MapEnabled(ID_SP));
    EXPECT_EQ(std->GetSubTexmap(ID_SP), bricks);
    EXPECT_FLOAT_EQ(std->GetTexmapAmt(ID_DI, 0), 0.75f);
    EXPECT_FLOAT_EQ(std->GetTexmapAmt(ID_BU, 0), 1.0f);
    Texmap* diffuse = std->GetSubTexmap(ID_DI);
    ASSERT_TRUE(diffuse->ClassID() == Class_ID(BMTEX_CLASS_ID, 0));
    EXPECT_STREQ(static_cast<BitmapTex*>(diffuse)->GetMapName(), "C:\\maps\\brick.bmp");
    EXPECT_FALSE(std->GetSubTexmap(ID_BU)->ClassID() == Class_ID(BMTEX_CLASS_ID, 0));
    EXPECT_EQ(diffuse->SuperClassID(), SClass_ID(TEXMAP_CLASS_ID));
    material->EnableMap(ID_DI, FALSE);
    EXPECT_FALSE(std->MapEnabled(ID_DI));
}

TEST(StandinMaterials, OtherClassesAndNames) {
    StandinMultiMtl multi("Multi");
    EXPECT_FALSE(static_cast<Mtl&>(multi).ClassID() == Class_ID(DMTL_CLASS_ID, 0));
    EXPECT_EQ(static_cast<Mtl&>(multi).SuperClassID(), SClass_ID(MATERIAL_CLASS_ID));
    multi.SetName("Renamed");
    EXPECT_STREQ(multi.GetName().data(), "Renamed");

    StandinBitmapTex noPath;
    EXPECT_EQ(noPath.GetMapName(), nullptr);
    StandinBitmapTex empty("");
    ASSERT_NE(empty.GetMapName(), nullptr);
    EXPECT_EQ(std::strlen(empty.GetMapName()), 0u);
}

}  // namespace
