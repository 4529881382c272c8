// The inputs of a batch: folders searched recursively by extension, outputs mirroring the
// relative paths, and names that would clash kept apart.
#include "cli/input_discovery.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace wux {
namespace {

namespace fs = std::filesystem;

class InputDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("wux_discovery_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        for (const char* name : {"models/a.obj", "models/a.fbx", "models/sub/b.GLTF", "models/sub/deep/c.json",
                                 "models/readme.txt", "models/sub/picture.png", "loose/b.gltf", "loose/a.obj"}) {
            fs::create_directories((dir_ / name).parent_path());
            std::ofstream(dir_ / name).put('x');
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string P(const std::string& relative) const { return (dir_ / relative).string(); }

    fs::path dir_;
};

TEST_F(InputDiscovery, FoldersAreSearchedAndOutputsMirrorTheirPaths) {
    const Discovery d = DiscoverInputs({P("models"), P("loose/b.gltf"), P("missing.obj"), P("models/a.obj")}, "out");
    std::vector<std::pair<std::string, std::string>> got;
    for (const BatchInput& input : d.inputs) got.emplace_back(input.input, input.output);
    const std::vector<std::pair<std::string, std::string>> expected = {
        // a.obj and a.fbx would both be out/a.wux: each keeps its extension.
        {P("models/a.fbx"), "out/a.fbx.wux"},
        {P("models/a.obj"), "out/a.obj.wux"},
        {P("models/sub/b.GLTF"), "out/sub/b.wux"},
        {P("models/sub/deep/c.json"), "out/sub/deep/c.wux"},
        {P("loose/b.gltf"), "out/b.wux"},
        {P("missing.obj"), ""},
        // models/a.obj given a second time is converted once.
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(d.inputs[5].error, "no such file or folder");
    EXPECT_EQ(d.skipped, 2u);  // readme.txt; picture.png is an image, not a model
}

TEST_F(InputDiscovery, NamesStillSharedGetANumber) {
    fs::create_directories(dir_ / "other");
    std::ofstream(dir_ / "other/a.obj").put('x');
    const Discovery d = DiscoverInputs({P("loose/a.obj"), P("other/a.obj")}, "out");
    ASSERT_EQ(d.inputs.size(), 2u);
    EXPECT_EQ(d.inputs[0].output, "out/a.obj.wux");
    EXPECT_EQ(d.inputs[1].output, "out/a.obj-2.wux");
}

// A run with its output folder and report inside the folder it searches does not read them
// (a second run would take the first one's report for a scene); an input folder x.wux takes
// the name the file x.obj would get.
TEST_F(InputDiscovery, OwnOutputsAreLeftOutAndFolderNamesAreTaken) {
    for (const char* name : {"models/out/sub/b.wux", "models/out/stray.obj", "models/report.json", "models/x.obj",
                             "models/x.wux/y.obj"}) {
        fs::create_directories((dir_ / name).parent_path());
        std::ofstream(dir_ / name).put('x');
    }
    const Discovery d = DiscoverInputs({P("models")}, P("models/out"), P("models/report.json"));
    std::vector<std::pair<std::string, std::string>> got;
    for (const BatchInput& input : d.inputs) got.emplace_back(input.input, input.output);
    const std::string out = P("models/out");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {P("models/a.fbx"), out + "/a.fbx.wux"},
        {P("models/a.obj"), out + "/a.obj.wux"},
        {P("models/sub/b.GLTF"), out + "/sub/b.wux"},
        {P("models/sub/deep/c.json"), out + "/sub/deep/c.wux"},
        {P("models/x.obj"), out + "/x.obj.wux"},
        {P("models/x.wux/y.obj"), out + "/x.wux/y.wux"},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(d.skipped, 2u);  // readme.txt, picture.png; nothing of the output folder
}

TEST(InputNames, ReadersAreChosenByExtensionInAnyCase) {
    for (const char* name : {"a.json", "A.JSON", "b.obj", "c.FBX", "d.glb", "e.ply", "f.3ds"})
        EXPECT_TRUE(IsConvertibleName(name)) << name;
    for (const char* name : {"a.txt", "b.wux", "c", ".obj", "d.png"}) EXPECT_FALSE(IsConvertibleName(name)) << name;
}

}  // namespace
}  // namespace wux
