// What the glTF reader passes over is said, never dropped in silence: double-sided materials
// and unusable values in the extras `wux convert` writes (the usable ones kept).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "input/assimp_import.h"
#include "input/gltf_reader.h"
#include "tests/input/scene_measure.h"
#include "tests/support/temp_folder.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// One triangle whose material is double-sided and carries extras as `wux convert` writes
// them, some of them unusable; a double-sided material no mesh uses, and one only a sphere
// ("GBND") uses, neither of which the file keeps.
const char* const kGltf = R"({
  "asset": {"version": "2.0", "extras": {"wux": {"version": 1}}},
  "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
  "bufferViews": [{"buffer": 0, "byteLength": 36}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]}],
  "materials": [
    {"name": "Brick", "doubleSided": true, "extras": {"wux": {
       "ambient": [0.1, "red", 0.3], "specular": [0.2, 0.3, 0.4],
       "maps": [{"slot": 1, "file": "brick.png", "amount": 0.5}, {"slot": "two", "file": "x.png"},
                {"slot": 8, "file": "bump.png", "amount": "loud"}, {"slot": 1, "file": "again.png"},
                {"slot": 12, "file": "far.png"}]}}},
    {"name": "Unused", "doubleSided": true},
    {"name": "Bounds", "doubleSided": true}
  ],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]},
             {"primitives": [{"attributes": {"POSITION": 0}, "material": 2}]}],
  "nodes": [{"name": "Wall", "mesh": 0}, {"name": "GBND", "mesh": 1}],
  "scenes": [{"nodes": [0, 1]}], "scene": 0
})";

TEST(AssimpImportWarnings, GltfMaterialsKeepWhatIsUsableAndSayWhatIsNot) {
    const std::string path = (fs::path(TestFolder()) / "wall.gltf").string();
    WriteFileBytes(path, kGltf);
    Warnings warnings;
    const ToolResult<SceneDescription> read = ReadGltfFile(path, {}, &warnings);
    ASSERT_TRUE(read.Ok()) << read.Error().Text();
    ASSERT_EQ(read->materials.size(), 1u);
    const SceneMaterial& m = read->materials[0];
    EXPECT_EQ(m.ambient, (SceneMaterial{}.ambient)) << "a bad colour keeps what Assimp gave";
    EXPECT_EQ(m.specular, (std::array<float, 3>{0.2f, 0.3f, 0.4f}));
    ASSERT_EQ(m.maps.size(), 2u);
    EXPECT_EQ(m.maps[0].slot, 1);
    EXPECT_EQ(m.maps[0].path, "brick.png");
    EXPECT_EQ(m.maps[0].amount, 0.5f);
    EXPECT_EQ(m.maps[1].slot, 8);
    EXPECT_EQ(m.maps[1].amount, 1.0f);

    const Warnings::Entry* repaired = test::FindWarning(warnings, WarningKind::ValuesRepaired);
    ASSERT_NE(repaired, nullptr);
    EXPECT_EQ(repaired->count, 5u);  // ambient, maps[1], maps[2].amount, maps[3], maps[4]
    EXPECT_EQ(repaired->examples.at(0), "\"Brick\": extras.wux.ambient not three numbers, left as read");
    const Warnings::Entry* sided = test::FindWarning(warnings, WarningKind::DoubleSidedDropped);
    ASSERT_NE(sided, nullptr);
    EXPECT_EQ(sided->count, 1u);
    EXPECT_EQ(sided->examples, std::vector<std::string>{"\"Brick\""});
}

// A file needing an extension goes to Assimp, which must still say its materials were double-sided.
TEST(AssimpImportWarnings, DoubleSidedIsSaidOnTheAssimpPathToo) {
    std::string text = kGltf;
    text.insert(1, R"("extensionsRequired": ["KHR_materials_unlit"], "extensionsUsed": ["KHR_materials_unlit"],)");
    const std::string path = (fs::path(TestFolder()) / "unlit.gltf").string();
    WriteFileBytes(path, text);
    Warnings warnings;
    const ToolResult<SceneDescription> read = ReadGltfFile(path, {}, &warnings);
    ASSERT_TRUE(read.Ok()) << read.Error().Text();
    const Warnings::Entry* sided = test::FindWarning(warnings, WarningKind::DoubleSidedDropped);
    ASSERT_NE(sided, nullptr);
    EXPECT_EQ(sided->examples.at(0), "\"Brick\"");
}

}  // namespace
}  // namespace wux
