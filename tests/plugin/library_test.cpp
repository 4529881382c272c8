// The Linux plug-in library, opened with dlopen and driven only through its four
// exported functions and the host's interfaces, as the host drives it.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/standin/standin.h"
#include "tests/plugin/plugin_test_support.h"
#include "tests/support/loaded_plugin.h"
#include "tests/support/sample_scene.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_bytes.h"
#include "tests/support/wux_check.h"

namespace {

uint32_t U32At(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

class PluginLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandinSetMessageBoxEcho(false);
        StandinClearMessageBoxCalls();
        customBefore = StandinInitCustomControlsCalls();
        commonBefore = StandinInitCommonControlsCalls();
        plugin.reset(new LoadedPlugin(WUX_PLUGIN_PATH));
        ASSERT_TRUE(plugin->ok()) << plugin->error();
    }

    std::unique_ptr<SceneExport> NewExporter()
    {
        ClassDesc* desc = plugin->LibClassDesc(0);
        return std::unique_ptr<SceneExport>(desc != nullptr ? static_cast<SceneExport*>(desc->Create()) : nullptr);
    }

    int customBefore = 0;
    int commonBefore = 0;
    std::unique_ptr<LoadedPlugin> plugin;
    TempFolder folder;
};

TEST_F(PluginLibraryTest, ExportsGiveTheLibrarysValues)
{
    EXPECT_STREQ(plugin->LibDescription(), "My first export file plugin");
    EXPECT_EQ(plugin->LibNumberClasses(), 1);
    EXPECT_EQ(plugin->LibVersion(), 0x1F401100UL);
    EXPECT_EQ(plugin->LibVersion(), 524292352UL);
    ClassDesc* desc = plugin->LibClassDesc(0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(plugin->LibClassDesc(0), desc);
    EXPECT_EQ(plugin->LibClassDesc(1), nullptr);
    EXPECT_EQ(plugin->LibClassDesc(-1), nullptr);
    EXPECT_EQ(desc->SuperClassID(), SClass_ID(SCENE_EXPORT_CLASS_ID));
    EXPECT_TRUE(desc->ClassID() == Class_ID(0x280D4A49, 0x4ABE3694));
    EXPECT_STREQ(desc->ClassName(), "Tolvar");
}

TEST_F(PluginLibraryTest, ShowsTheHostOnlyItsFourEntryPoints)
{
    for (const char* hidden : {"DllMain", "exporterClassDesc", "hInstance",
                               "controlsInitialized", "currentModel", "hostInterface"}) {
        EXPECT_EQ(plugin->Symbol(hidden), nullptr) << hidden;
    }
}

TEST_F(PluginLibraryTest, LoadingInitialisesTheControlsOnce)
{
    // SetUp's dlopen ran DllMain, unless an earlier test of this process left the
    // library loaded; either way the controls are initialised exactly once a load.
    const int custom = StandinInitCustomControlsCalls();
    const int common = StandinInitCommonControlsCalls();
    EXPECT_GE(custom, 1);
    EXPECT_LE(custom - customBefore, 1);
    EXPECT_EQ(common - commonBefore, custom - customBefore);

    LoadedPlugin again(WUX_PLUGIN_PATH);
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again.LibClassDesc(0), plugin->LibClassDesc(0));
    EXPECT_EQ(StandinInitCustomControlsCalls(), custom);
    EXPECT_EQ(StandinInitCommonControlsCalls(), common);
}

TEST_F(PluginLibraryTest, ExportsTheSampleSceneWithoutAMessage)
{
    std::unique_ptr<SceneExport> exporter = NewExporter();
    ASSERT_NE(exporter, nullptr);
    const std::string path = folder.Path("sample.wux");
    {
        SampleScene scene;
        EXPECT_EQ(exporter->DoExport(path.c_str(), scene.exportInterface(), scene.hostInterface()), 1);
    }
    EXPECT_TRUE(StandinMessageBoxCalls().empty());
    EXPECT_TRUE(PassesChecker(path));
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 60u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "LIBF");
    EXPECT_EQ(U32At(bytes, 4), bytes.size());
    EXPECT_GE(U32At(bytes, 52), 3u);  // meshes: Box, Window, Shard, Wall
    EXPECT_EQ(U32At(bytes, 56), 2u);  // materials: Brick, Glass
    const std::string text(bytes.begin(), bytes.end());
    for (const char* expected : {"GMAT", "GVTX", "GBND", "GELP", "GREF", "brick.bmp", "Anchor01"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(text.find("C:\\maps"), std::string::npos);
}

TEST_F(PluginLibraryTest, EmptySceneThenMissingFolder)
{
    std::unique_ptr<SceneExport> exporter = NewExporter();
    ASSERT_NE(exporter, nullptr);
    StandinScene scene;
    StandinExpInterface ei(&scene);
    StandinInterface host;

    const std::string empty = folder.Path("empty.wux");
    EXPECT_EQ(exporter->DoExport(empty.c_str(), &ei, &host), 1);
    EXPECT_EQ(ReadFileBytes(empty), wuxtest::EmptySceneFile());
    EXPECT_TRUE(PassesChecker(empty));

    const std::string missing = folder.Path("gone/D:\\missing\\scene.wux");
    EXPECT_EQ(exporter->DoExport(missing.c_str(), &ei, &host, FALSE), IMPEXP_FAIL);
    const auto& calls = StandinMessageBoxCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, ExpectedCannotCreateMessage("scene.wux"));
    EXPECT_EQ(calls[0].caption, ExpectedCannotCreateCaption());
    EXPECT_FALSE(FileExists(missing));
}

}  // namespace
