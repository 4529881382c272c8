#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "collect/node_collector.h"
#include "fake_host.h"
#include "host/standin/materials.h"
#include "model/export_model.h"

namespace {

using fake::CallLog;

// A standard material that records its queries, and whose answers at a time other than
// the host's present are stale; its map amounts are right at time 0 only.
class TimedStdMat : public StandinStdMat {
public:
    TimedStdMat(CallLog* log, const char* name) : StandinStdMat(name), log_(log) {}
    Color GetAmbient(TimeValue t) override { return Log("GetAmbient", t, StandinStdMat::GetAmbient(t)); }
    Color GetDiffuse(TimeValue t) override { return Log("GetDiffuse", t, StandinStdMat::GetDiffuse(t)); }
    Color GetSpecular(TimeValue t) override { return Log("GetSpecular", t, StandinStdMat::GetSpecular(t)); }
    Color GetFilter(TimeValue t) override { return Log("GetFilter", t, StandinStdMat::GetFilter(t)); }
    float GetOpacity(TimeValue t) override { return Log("GetOpacity", t, StandinStdMat::GetOpacity(t)); }
    float GetTexmapAmt(int id, TimeValue t) override {
        log_->push_back(fake::Call("GetTexmapAmt", t));
        return StandinStdMat::GetTexmapAmt(id, t) + (t == 0 ? 0.0f : fake::kStale);
    }

private:
    float Log(const char* what, TimeValue t, float value) {
        log_->push_back(fake::Call(what, t));
        return fake::Present(t) ? value : value + fake::kStale;
    }
    Color Log(const char* what, TimeValue t, Color value) {
        return Color(Log(what, t, value.r), value.g, value.b);
    }
    CallLog* log_;
};

struct MaterialFixture : ::testing::Test {
    CallLog log;
    fake::ExportScope scope{&log};
    NodeCollector collector;

    int32_t Collect(Mtl* material) {
        fake::Node node(&log, "Box", nullptr);
        node.material = material;
        return collector.CollectMaterial(&node, "N");
    }
    std::vector<MaterialChunk*> Materials() { return fake::Records<MaterialChunk>(*scope.model.materials); }
};

TEST_F(MaterialFixture, IndexIsThePositionOfTheFirstMaterialOfThatName) {
    StandinStdMat brick("Brick"), wood("Wood"), brickAgain("Brick"), lowerBrick("brick");
    StandinMultiMtl multi("Multi");
    brickAgain.SetDiffuse(Color(1, 0, 0));
    struct Step {
        Mtl* material;
        int32_t index;
        int32_t count;
    };
    const Step steps[] = {
        {&brick, 0, 1}, {&wood, 1, 2}, {&brick, 0, 2}, {&brickAgain, 0, 2},
        {&lowerBrick, 2, 3}, {nullptr, 0, 3}, {&multi, 0, 3}, {&wood, 1, 3},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(Collect(s.material), s.index);
        EXPECT_EQ(scope.model.materials->count(), s.count);
        EXPECT_EQ(scope.model.materialCount, s.count);
        EXPECT_EQ(scope.model.materialIndexByName.size(), static_cast<size_t>(s.count));
    }
    auto materials = Materials();
    EXPECT_EQ(materials[0]->name, "Brick");
    EXPECT_EQ(materials[1]->name, "Wood");
    EXPECT_EQ(materials[2]->name, "brick");
    // The first "Brick" met is the one written.
    EXPECT_FLOAT_EQ(materials[0]->colourBlock[2], 0.588f);
}

TEST_F(MaterialFixture, KnownNameIsNotReadAgain) {
    TimedStdMat first(&log, "Steel"), second(&log, "Steel");
    Collect(&first);
    log.clear();
    EXPECT_EQ(Collect(&second), 0);
    const CallLog expected = {"GetMtl"};
    EXPECT_EQ(log, expected);
}

TEST_F(MaterialFixture, ColourBlockWordsAndTheirTimes) {
    TimedStdMat steel(&log, "Steel");
    steel.SetDiffuse(Color(0.1f, 0.2f, 0.3f));
    steel.SetAmbient(Color(0.4f, 0.5f, 0.6f));
    steel.SetOpacity(0.7f);
    steel.SetSpecular(Color(0.8f, 0.9f, 0.25f));
    steel.SetFilter(Color(0.125f, 0.375f, 0.625f));
    // Each colour and the opacity read at a time asked of the host right before it.
    scope.host.ticking = true;
    Collect(&steel);

    const float expected[19] = {0, 0, 0.1f, 0.2f, 0.3f, 1, 0.4f, 0.5f, 0.6f, 0.7f,
                                0.8f, 0.9f, 0.25f, 1, 0.125f, 0.375f, 0.625f, 1, 39};
    const MaterialChunk& m = *Materials()[0];
    for (int i = 0; i < 19; ++i) EXPECT_EQ(m.colourBlock[i], expected[i]) << "word " << i;
}

TEST_F(MaterialFixture, NonFiniteColoursAreWrittenAsZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    StandinStdMat odd("Odd");
    odd.SetDiffuse(Color(nan, 0.5f, std::numeric_limits<float>::infinity()));
    odd.SetOpacity(nan);
    StandinBitmapTex map("a.bmp");
    odd.SetMap(ID_DI, &map, nan);
    Collect(&odd);
    const MaterialChunk& m = *Materials()[0];
    EXPECT_EQ(m.colourBlock[2], 0.0f);
    EXPECT_EQ(m.colourBlock[3], 0.5f);
    EXPECT_EQ(m.colourBlock[4], 0.0f);
    EXPECT_EQ(m.colourBlock[9], 0.0f);
    EXPECT_EQ(m.maps[0].amount, 0.0f);
}

TEST_F(MaterialFixture, EnabledBitmapSlotsArePackedWithTheirOwnChannel) {
    TimedStdMat wall(&log, "Wall");
    StandinBitmapTex diffuse("C:\\maps\\brick.bmp"), bump("bump.tga");
    wall.SetMap(ID_DI, &diffuse, 0.5f);
    wall.SetMap(ID_BU, &bump, 0.25f);
    StandinBitmapTex disabled("off.bmp");
    wall.SetMap(ID_SP, &disabled, 1.0f);
    wall.EnableMap(ID_SP, FALSE);
    Collect(&wall);

    const MaterialChunk& m = *Materials()[0];
    ASSERT_EQ(m.mapCount, 2);
    EXPECT_EQ(m.maps[0].channel, 1);
    EXPECT_EQ(m.maps[0].fileName, "brick.bmp");
    EXPECT_EQ(m.maps[0].amount, 0.5f);
    EXPECT_EQ(m.maps[1].channel, 8);
    EXPECT_EQ(m.maps[1].fileName, "bump.tga");
    EXPECT_EQ(m.maps[1].amount, 0.25f);  // read at time 0: at any other the amounts are stale
}

TEST_F(MaterialFixture, NoEnabledSlotGivesNoMaps) {
    StandinStdMat plain("Plain");
    Collect(&plain);
    EXPECT_EQ(Materials()[0]->mapCount, 0);
}

// An enabled slot without a bitmap has no file to name and takes no place; a
// bitmap without a path is kept with an empty name.
TEST_F(MaterialFixture, EnabledSlotsWithoutABitmapFile) {
    StandinStdMat mixed("Mixed");
    StandinCheckerTex checker;
    StandinBitmapTex noPath(nullptr), trailing("C:\\maps\\");
    mixed.SetMap(ID_AM, &checker);
    mixed.EnableMap(ID_DI, TRUE);  // enabled, no map
    mixed.SetMap(ID_SP, &noPath, 0.5f);
    mixed.SetMap(ID_OP, &trailing, 0.75f);
    Collect(&mixed);

    const MaterialChunk& m = *Materials()[0];
    ASSERT_EQ(m.mapCount, 2);
    EXPECT_EQ(m.maps[0].channel, ID_SP);
    EXPECT_EQ(m.maps[0].fileName, "");
    EXPECT_EQ(m.maps[0].amount, 0.5f);
    EXPECT_EQ(m.maps[1].channel, ID_OP);
    EXPECT_EQ(m.maps[1].fileName, "");
}

TEST_F(MaterialFixture, AllTwelveSlots) {
    StandinStdMat full("Full");
    std::vector<StandinBitmapTex> maps;
    maps.reserve(NTEXMAPS);
    for (int slot = 0; slot < NTEXMAPS; ++slot) {
        maps.emplace_back(("C:\\m\\" + std::to_string(slot) + ".bmp").c_str());
        full.SetMap(slot, &maps.back(), 0.5f);
    }
    Collect(&full);
    const MaterialChunk& m = *Materials()[0];
    ASSERT_EQ(m.mapCount, 12);
    for (int slot = 0; slot < NTEXMAPS; ++slot) {
        EXPECT_EQ(m.maps[slot].channel, slot);
        EXPECT_EQ(m.maps[slot].fileName, std::to_string(slot) + ".bmp");
    }
}

}  // namespace
