// End to end: the wux command exports test models through the plug-in, and the written
// files pass the checker and hold what Assimp reports for the source (triangles, area in
// world space, material and texture names). Broken inputs fail without writing anything.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/input/scene_measure.h"
#include "tests/support/shell_run.h"
#include "format/mapped_file.h"
#include "format/wux_reader.h"
#include "tests/support/mesh_volume.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

const char* const kModels = "/usr/share/assimp/models";

std::string Model(const std::string& relative) { return std::string(kModels) + "/" + relative; }

using test::Quote;
using test::ReadText;

// Runs wux with the arguments; its standard error goes to *err.
int RunWux(const std::string& args, const fs::path& dir, std::string* err) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string cmd = Quote(WUX_EXE) + " " + args + " >/dev/null 2>" + Quote(errFile.string());
    const int status = std::system(cmd.c_str());
    *err = ReadText(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Case {
    const char* file;
    const char* material;     // a material name that must come through, or empty
    const char* textureFile;  // a map file name that must come through, or empty
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.file; }

class WuxExportTest : public ::testing::TestWithParam<Case> {};

TEST_P(WuxExportTest, WrittenFileIsValidAndMatchesTheSource) {
    if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " missing";
    const Case& c = GetParam();
    const test::TestDir testDir("wux_e2e_");
    const fs::path& dir = testDir.path();
    const fs::path out = dir / "model.wux";
    std::string err;
    ASSERT_EQ(RunWux("export " + Quote(Model(c.file)) + " " + Quote(out.string()), dir, &err), 0) << err;
    ASSERT_EQ(RunWux("check " + Quote(out.string()), dir, &err), 0) << err;
    EXPECT_TRUE(PassesChecker(out.string()));

    const auto bytes = LoadFileBytes(out.string());
    ASSERT_TRUE(bytes.Ok()) << bytes.Error().Text();
    const auto read = OpenWux(SpanOf(*bytes));
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const WuxDocument& wux = *read;

    test::Measure expected;
    ASSERT_TRUE(test::MeasureWithAssimp(Model(c.file), &expected));
    const test::Measure written = test::MeasureWux(wux);
    EXPECT_EQ(written.triangles, expected.triangles);
    EXPECT_NEAR(written.area, expected.area, 1e-4 * expected.area);

    if (*c.material != '\0') {
        bool materialFound = false, textureFound = *c.textureFile == '\0';
        for (const MaterialChunk* m : Records<MaterialChunk>(*wux.model->materials)) {
            if (m->name != c.material) continue;
            materialFound = true;
            for (std::int32_t k = 0; k < m->mapCount; ++k) textureFound = textureFound || m->maps[k].fileName == c.textureFile;
        }
        EXPECT_TRUE(materialFound) << c.material;
        EXPECT_TRUE(textureFound) << c.textureFile;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, WuxExportTest,
    ::testing::Values(Case{"OBJ/spider.obj", "Skin", "wal67ar_small.jpg"},
                      Case{"OBJ/testmixed.obj", "", ""},
                      Case{"glTF2/BoxTextured-glTF/BoxTextured.gltf", "Texture", "CesiumLogoFlat.png"},
                      // The embedded image is written beside the output and named after it.
                      Case{"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", "Texture", "model_Texture_diffuse.png"},
                      Case{"glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", "", ""},
                      Case{"FBX/spider.fbx", "", ""},
                      Case{"Collada/duck.dae", "blinn3", "duckCM.tga"},
                      Case{"3DS/cube_with_diffuse_texture.3DS", "01 - Default", "test.png"},
                      Case{"PLY/cube_uv.ply", "", ""},
                      Case{"STL/Spider_binary.stl", "", ""}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = fs::path(info.param.file).filename().string();
        for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// A cube of edge 2 with outward triangles, as glTF (scale filled in) and as a JSON mesh.
std::string GltfCube(const std::string& scale) {
    return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
  "nodes": [{"mesh": 0, "scale": )" + scale + R"(}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
  "buffers": [{"byteLength": 168, "uri": "data:application/octet-stream;base64,AACAvwAAgL8AAIC/AACAPwAAgL8AAIC/AACAvwAAgD8AAIC/AACAPwAAgD8AAIC/AACAvwAAgL8AAIA/AACAPwAAgL8AAIA/AACAvwAAgD8AAIA/AACAPwAAgD8AAIA/AAACAAMAAAADAAEABAAFAAcABAAHAAYAAAABAAUAAAAFAAQAAgAGAAcAAgAHAAMAAAAEAAYAAAAGAAIAAQADAAcAAQAHAAUA"}],
  "bufferViews": [{"buffer": 0, "byteLength": 96}, {"buffer": 0, "byteOffset": 96, "byteLength": 72}],
  "accessors": [{"bufferView": 0, "componentType": 5126, "count": 8, "type": "VEC3", "min": [-1, -1, -1], "max": [1, 1, 1]},
                {"bufferView": 1, "componentType": 5123, "count": 36, "type": "SCALAR"}]})";
}

std::string JsonCubeNode(const std::string& name, const std::string& transform, const std::string& children = "") {
    return R"({"name": ")" + name + "\", " + transform + R"(, "object": {"type": "mesh",
      "verts": [[-1,-1,-1],[1,-1,-1],[-1,1,-1],[1,1,-1],[-1,-1,1],[1,-1,1],[-1,1,1],[1,1,1]],
      "faces": [[0,2,3],[0,3,1],[4,5,7],[4,7,6],[0,1,5],[0,5,4],[2,6,7],[2,7,3],[0,4,6],[0,6,2],[1,3,7],[1,7,5]]})" +
           (children.empty() ? "" : ", \"children\": [" + children + "]") + "}";
}

// A mirrored node keeps its triangles facing outward, like its unmirrored twin; two mirrors
// cancel out. Every mesh of every file has the cube's volume, 8, with a positive sign.
TEST(WuxExportMirrored, NodesWindOutwardLikeTheirTwins) {
    const test::TestDir testDir("wux_e2e_");
    const fs::path& dir = testDir.path();
    struct Input {
        const char* name;
        std::string text;
        std::size_t meshes;
    };
    const Input inputs[] = {
        {"plain.gltf", GltfCube("[1, 1, 1]"), 1},
        {"mirrored.gltf", GltfCube("[-1, 1, 1]"), 1},
        {"twice.gltf", GltfCube("[-1, -1, 1]"), 1},
        {"nodes.json",
         "{\"nodes\": [" + JsonCubeNode("plain", "\"position\": [0, 0, 0]") + ", " +
             JsonCubeNode("scaled", "\"scale\": [1, -1, 1]") + ", " +
             JsonCubeNode("matrix", "\"matrix\": [[1,0,0],[0,0,1],[0,1,0],[5,0,0]]") + ", " +
             JsonCubeNode("twice", "\"scale\": [-1, 1, -1]") + ", " +
             JsonCubeNode("parent", "\"scale\": [-1, 1, 1]", JsonCubeNode("child", "\"scale\": [1, 1, -1]")) + "]}",
         6},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        const fs::path source = dir / input.name;
        std::ofstream(source) << input.text;
        const fs::path output = dir / (std::string(input.name) + ".wux");
        std::string err;
        ASSERT_EQ(RunWux("export " + Quote(source.string()) + " " + Quote(output.string()), dir, &err), 0) << err;
        ASSERT_TRUE(PassesChecker(output.string()));
        const std::vector<std::uint8_t> bytes = ReadFileBytes(output.string());
        const auto file = OpenWux(SpanOf(bytes));
        ASSERT_TRUE(file.Ok());
        ASSERT_EQ(std::size_t(file->model->meshes->count()), input.meshes);
        for (const VertexChunk* mesh : Records<VertexChunk>(*file->model->meshes)) EXPECT_NEAR(SignedVolume(*mesh), 8.0, 1e-4);
    }
}

// Golden bytes: imported models keep the bytes they have always exported to, given normals
// and all (FNV-1a of the file).
TEST(WuxExportGolden, ImportedModelsExportTheSameBytes) {
    if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " missing";
    const test::TestDir testDir("wux_e2e_");
    const struct {
        const char* file;
        std::size_t size;
        std::uint64_t hash;
    } cases[] = {
        {"glTF2/BoxTextured-glTF/BoxTextured.gltf", 1640, 0x00f12a4d25e2634au},
        // Our OBJ reader rounds each number as written (Assimp's was a bit off on 308 coordinates);
        // the normals are worked out from the faces.
        {"OBJ/spider.obj", 157136, 0xf4534bdb8a4b8e3au},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path output = testDir.path() / "golden.wux";
        std::string err;
        ASSERT_EQ(RunWux("export " + Quote(Model(c.file)) + " " + Quote(output.string()), testDir.path(), &err), 0) << err;
        EXPECT_TRUE(PassesChecker(output.string()));
        const std::vector<unsigned char> bytes = ReadFileBytes(output.string());
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const unsigned char b : bytes) hash = (hash ^ b) * 0x100000001b3u;
        EXPECT_EQ(bytes.size(), c.size);
        EXPECT_EQ(hash, c.hash);
    }
}

TEST(WuxExportBroken, FailsNamingTheFileAndWritesNothing) {
    const test::TestDir testDir("wux_e2e_");
    const fs::path& dir = testDir.path();
    const fs::path empty = dir / "empty.obj";
    std::ofstream(empty).close();
    const fs::path index = dir / "index.obj";
    std::ofstream(index) << "v 0 0 0\nv 1 0 0\nv 0 1 zero\nf 1 2 3\n";
    const fs::path kept = dir / "kept.wux";
    std::ofstream(kept) << "earlier contents";
    for (const fs::path& input : {empty, index}) {
        SCOPED_TRACE(input.string());
        std::string err;
        const fs::path fresh = dir / "fresh.wux";
        EXPECT_NE(RunWux("export " + Quote(input.string()) + " " + Quote(fresh.string()), dir, &err), 0);
        EXPECT_NE(err.find(input.string()), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(fresh));
        EXPECT_NE(RunWux("export " + Quote(input.string()) + " " + Quote(kept.string()), dir, &err), 0);
        EXPECT_EQ(ReadText(kept), "earlier contents");
    }
}

}  // namespace
}  // namespace wux
