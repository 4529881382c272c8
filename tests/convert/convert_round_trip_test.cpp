// End to end through the wux command: generated scenes are exported, converted to a JSON
// scene, GLB, glTF and OBJ, and the JSON and glTF files exported again; `wux diff` must find
// the files equal (JSON at 1e-5, glTF at 1e-4), the Khronos validator must find no error in
// the glTF files, and Assimp must read the OBJ file with the same triangles and area. Every
// WUX file written is checked.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/assimp/scene_measure.h"
#include "tests/support/shell_run.h"
#include "tests/support/wux_bytes.h"
#include "format/file_bytes.h"
#include "format/wux_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

using test::Quote;
using test::ReadText;

struct Result {
    int code = -1;
    std::string output;  // standard output and error
};

Result Command(const std::string& command, const fs::path& dir) {
    const fs::path log = dir / "output.txt";
    const int status = std::system((command + " >" + Quote(log.string()) + " 2>&1").c_str());
    return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(log)};
}

Result Wux(const std::string& args, const fs::path& dir) { return Command(Quote(WUX_EXE) + " " + args, dir); }

// Exports a scene file to a WUX file and checks it.
void ExportChecked(const fs::path& scene, const fs::path& wux, const fs::path& dir) {
    const Result exported = Wux("export " + Quote(scene.string()) + " " + Quote(wux.string()), dir);
    ASSERT_EQ(exported.code, 0) << exported.output;
    const Result checked = Wux("check " + Quote(wux.string()), dir);
    ASSERT_EQ(checked.code, 0) << checked.output;
}

// A 2 by 2 24-bit BMP.
void WriteBmp(const fs::path& path) {
    const unsigned char bmp[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0,
                                 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

// A textured box under rotation and scale, a quad, a two-sided triangle fan; materials with
// maps (one file missing), opacity and filter colours; helpers rotated, scaled, mirrored
// and of size 0; three bounding spheres met in an order that fills the list; a rotated,
// scaled ellipsoid.
const char* const kRichScene = R"({
  "materials": [
    {"name": "Brick", "diffuse": [0.67, 0.29, 0.27], "ambient": [0.3, 0.13, 0.12], "specular": [0.2, 0.2, 0.25],
     "maps": [{"slot": 1, "map": {"type": "bitmap", "path": "C:\\maps\\brick.bmp"}},
              {"slot": 8, "map": {"type": "bitmap", "path": "bump.tga"}, "amount": 0.3}]},
    {"name": "Metal", "diffuse": [0.4, 0.4, 0.45], "specular": [1, 1, 1],
     "maps": [{"slot": 2, "map": {"type": "bitmap", "path": "metal.bmp"}, "amount": 0.8}]},
    {"name": "Glass", "diffuse": [0.6, 0.8, 0.9], "filter": [0.6, 0.8, 0.9], "opacity": 0.4}
  ],
  "nodes": [
    {"name": "Box", "material": 1, "position": [10, -20, 5], "rotation": [0, 0, 0.3826834, 0.9238795],
     "scale": [2, 1.5, 0.5],
     "object": {"type": "mesh",
       "verts": [[-5,-5,-5],[5,-5,-5],[5,5,-5],[-5,5,-5],[-5,-5,5],[5,-5,5],[5,5,5],[-5,5,5]],
       "faces": [[0,2,1],[0,3,2],[4,5,6],[4,6,7],[0,1,5],[0,5,4],[1,2,6],[1,6,5],[2,3,7],[2,7,6],[3,0,4],[3,4,7]],
       "tverts": [[0,0],[1,0],[1,1],[0,1]],
       "tvfaces": [[0,2,1],[0,3,2],[0,1,2],[0,2,3],[0,1,2],[0,2,3],[0,1,2],[0,2,3],[0,1,2],[0,2,3],[0,1,2],[0,2,3]]}},
    {"name": "Floor", "material": 0,
     "object": {"type": "mesh", "verts": [[-100,-100,0],[100,-100,0],[100,100,0],[-100,100,0]],
       "faces": [[0,1,2],[0,2,3]], "tverts": [[0,0],[4,0],[4,4],[0,4]], "tvfaces": [[0,1,2],[0,2,3]]}},
    {"name": "Pane", "material": 2, "position": [0, 30, 10], "rotation": [0.5, 0.5, 0.5, 0.5],
     "object": {"type": "mesh", "verts": [[0,0,0],[20,0,0],[20,0,15],[0,0,15]], "faces": [[0,1,2],[0,2,3]],
       "tverts": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]], "tvfaces": [[0,1,2],[0,2,3]]}},
    {"name": "Again", "material": 0, "position": [-50, 0, 0],
     "object": {"type": "mesh", "verts": [[0,0,0],[10,0,0],[0,10,0]], "faces": [[0,1,2]],
       "tverts": [[0.25,0.5],[0.75,0.5],[0.25,1]], "tvfaces": [[0,1,2]]}},
    {"name": "Spawn", "position": [12, 4, 0], "object": {"type": "helper", "size": 10}},
    {"name": "Turned", "position": [-3, 7, 2.5], "rotation": [0.2, 0.3, 0.4, 0.8426149],
     "scale": [2, 3, 4], "object": {"type": "helper", "size": 6}},
    {"name": "Mirror", "position": [1, 2, 3], "scale": [-1, 1, 2], "object": {"type": "helper", "size": 4}},
    {"name": "Point", "position": [5, 5, 5], "object": {"type": "helper", "size": 0}},
    {"name": "GBND", "position": [0, 0, 5], "object": {"type": "sphere", "radius": 5}},
    {"name": "GBND", "position": [1, 2, 3], "scale": [1, 1, 2], "object": {"type": "sphere", "radius": 60}},
    {"name": "GBND", "position": [-7, 8, 9], "object": {"type": "sphere", "radius": 30}},
    {"name": "GELP", "position": [3, -2, 40], "rotation": [0, 0.3826834, 0, 0.9238795], "scale": [2, 1, 0.5],
     "object": {"type": "sphere", "radius": 4}}
  ]
})";

// Meshes whose nodes have no material: index 0 with no material records.
const char* const kBareScene = R"({
  "nodes": [
    {"name": "A", "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
    {"name": "B", "position": [4, 4, 4], "object": {"type": "sphere", "radius": 2, "segments": 6}}
  ]
})";

struct SceneCase {
    const char* name;
    const char* json;
};

void PrintTo(const SceneCase& c, std::ostream* os) { *os << c.name; }

class ConvertRoundTrip : public ::testing::TestWithParam<SceneCase> {
protected:
    void SetUp() override {
        dir_ = test::FreshTestDir("wux_convert_");
        std::ofstream(dir_ / "scene.json") << GetParam().json;
        // Map files beside the WUX file: one BMP, one missing (bump.tga); one in another folder.
        WriteBmp(dir_ / "brick.bmp");
        fs::create_directories(dir_ / "maps");
        WriteBmp(dir_ / "maps" / "METAL.BMP");
        ASSERT_NO_FATAL_FAILURE(ExportChecked(dir_ / "scene.json", Original(), dir_));
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    fs::path Original() const { return dir_ / "original.wux"; }

    // Converts the original to `name`, exports that again and compares the two.
    void RoundTrip(const std::string& name, const char* tolerance) {
        const fs::path converted = dir_ / name;
        const Result run = Wux("convert " + Quote(Original().string()) + " " + Quote(converted.string()) +
                                " --texture-dir " + Quote((dir_ / "maps").string()),
                            dir_);
        ASSERT_EQ(run.code, 0) << run.output;
        const fs::path again = dir_ / (name + ".wux");
        ASSERT_NO_FATAL_FAILURE(ExportChecked(converted, again, dir_));
        const Result diff = Wux("diff --tolerance " + std::string(tolerance) + " " + Quote(Original().string()) + " " +
                                 Quote(again.string()),
                             dir_);
        EXPECT_EQ(diff.code, 0) << diff.output;
    }

    void Validate(const std::string& name) {
        const Result run = Command(Quote(NODE_EXE) + " " + Quote(GLTF_VALIDATOR) + " " + Quote((dir_ / name).string()), dir_);
        EXPECT_EQ(run.code, 0) << run.output;
        EXPECT_NE(run.output.find(": 0 errors"), std::string::npos) << run.output;
    }

    fs::path dir_;
};

TEST_P(ConvertRoundTrip, JsonSceneGivesTheSameFile) { RoundTrip("scene again.json", "1e-5"); }

TEST_P(ConvertRoundTrip, GlbGivesTheSameFileAndIsValid) {
    RoundTrip("model.glb", "1e-4");
    Validate("model.glb");
}

TEST_P(ConvertRoundTrip, GltfGivesTheSameFileAndIsValid) {
    fs::create_directories(dir_ / "gltf");
    RoundTrip("gltf/model.gltf", "1e-4");
    Validate("gltf/model.gltf");
}

TEST_P(ConvertRoundTrip, ObjReadByAssimpHasTheSameTrianglesAndArea) {
    const fs::path obj = dir_ / "model.obj";
    const Result run = Wux("convert " + Quote(Original().string()) + " " + Quote(obj.string()), dir_);
    ASSERT_EQ(run.code, 0) << run.output;
    ASSERT_TRUE(fs::is_regular_file(dir_ / "model.mtl"));

    const auto bytes = LoadFileBytes(Original().string());
    ASSERT_TRUE(bytes.Ok()) << bytes.Error().Text();
    const auto read = ReadWux(SpanOf(*bytes));
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    const test::Measure written = test::MeasureWux(*read);
    test::Measure measured;
    ASSERT_TRUE(test::MeasureWithAssimp(obj.string(), &measured));
    EXPECT_EQ(measured.triangles, written.triangles);
    EXPECT_NEAR(measured.area, written.area, 1e-5 * written.area);
}

INSTANTIATE_TEST_SUITE_P(Scenes, ConvertRoundTrip,
                         ::testing::Values(SceneCase{"Rich", kRichScene}, SceneCase{"WithoutMaterials", kBareScene}),
                         [](const ::testing::TestParamInfo<SceneCase>& info) { return std::string(info.param.name); });

// One vertex moved: the diff names the mesh record and the corner, and says different.
TEST(ConvertDiff, AMovedVertexIsNamedWithItsRecordAndCorner) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    std::ofstream(dir / "scene.json") << kRichScene;
    const fs::path original = dir / "original.wux";
    ASSERT_NO_FATAL_FAILURE(ExportChecked(dir / "scene.json", original, dir));

    auto loaded = LoadFileBytes(original.string());
    ASSERT_TRUE(loaded.Ok()) << loaded.Error().Text();
    std::vector<std::uint8_t>& bytes = *loaded;
    const auto read = ReadWux(SpanOf(bytes));
    ASSERT_TRUE(read.Ok());
    const MeshChunk& mesh = read->meshes.at(2);
    const std::size_t at = mesh.VerticesOffset() + 20 * 4 + 4;  // corner 4, y
    float y;
    std::memcpy(&y, &bytes[at], 4);
    y += 0.5f;
    std::memcpy(&bytes[at], &y, 4);
    const fs::path moved = dir / "moved.wux";
    std::ofstream(moved, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(Wux("check " + Quote(moved.string()), dir).code, 0);

    const Result diff = Wux("diff " + Quote(original.string()) + " " + Quote(moved.string()), dir);
    EXPECT_EQ(diff.code, 1) << diff.output;
    EXPECT_NE(diff.output.find("GVTX #2, corner 4: y: "), std::string::npos) << diff.output;
    EXPECT_NE(diff.output.find("at offset " + std::to_string(at) + " / " + std::to_string(at)), std::string::npos)
        << diff.output;
    EXPECT_NE(diff.output.find("largest position difference: 0.5"), std::string::npos) << diff.output;
    EXPECT_EQ(diff.output.substr(diff.output.rfind("different: 1 difference ")).find('\n'),
              diff.output.substr(diff.output.rfind("different: 1 difference ")).size() - 1)
        << "the verdict is the last line:\n" << diff.output;

    const Result json = Wux("diff --json " + Quote(original.string()) + " " + Quote(moved.string()), dir);
    EXPECT_EQ(json.code, 1);
    EXPECT_NE(json.output.find("\"corner 4\""), std::string::npos) << json.output;

    EXPECT_EQ(Wux("diff " + Quote(original.string()) + " " + Quote((dir / "missing.wux").string()), dir).code, 2);
}

// Failures name the file and leave nothing behind: no output, no temporary, an earlier file
// at OUT untouched.
TEST(ConvertFailures, NameTheFileAndWriteNothing) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    std::ofstream(dir / "scene.json") << kBareScene;
    const fs::path original = dir / "original.wux";
    ASSERT_NO_FATAL_FAILURE(ExportChecked(dir / "scene.json", original, dir));
    std::ofstream(dir / "not.wux") << "not a WUX file";
    std::ofstream(dir / "kept.json") << "earlier";
    // WUX files under names a conversion writes: its .bin, its .mtl, its output.
    for (const char* name : {"model.bin", "m.mtl", "t.json"}) fs::copy_file(original, dir / name);
    struct Case {
        std::string in, out;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {original.string(), (dir / "model.fbx").string(), 1, "unknown output format '.fbx'"},
        {original.string(), (dir / "no folder" / "model.gltf").string(), 1, "cannot create \"" + (dir / "no folder" / "model.gltf").string() + "\": No such file or directory"},
        {(dir / "not.wux").string(), (dir / "kept.json").string(), 1, "not a readable WUX file: offset 0"},
        {(dir / "missing.wux").string(), (dir / "kept.json").string(), 2, "missing.wux"},
        {(dir / "model.bin").string(), (dir / "model.gltf").string(), 64, "model.bin: is the input " + (dir / "model.bin").string()},
        {(dir / "m.mtl").string(), (dir / "m.obj").string(), 64, "m.mtl: is the input " + (dir / "m.mtl").string()},
        {(dir / "t.json").string(), (dir / "." / "t.json").string(), 64, "t.json: is the input " + (dir / "t.json").string()},
    };
    for (const Case& c : cases) {
        const Result run = Wux("convert " + Quote(c.in) + " " + Quote(c.out), dir);
        EXPECT_EQ(run.code, c.code) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.message << "\nin\n" << run.output;
    }
    EXPECT_EQ(ReadText(dir / "kept.json"), "earlier");
    for (const char* name : {"model.bin", "m.mtl", "t.json"}) EXPECT_EQ(ReadText(dir / name), ReadText(original)) << name;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"kept.json", "m.mtl", "model.bin", "not.wux", "original.wux", "output.txt",
                                              "scene.json", "t.json"}));
}

// What a file names goes out safely: a texture copy never takes the name of a user's file
// or of the conversion's own files, an image that claims too many pixels is not decoded, and
// names in the .mtl stay one word of UTF-8, so that none adds a statement.
TEST(ConvertNames, TexturesTakeFreeNamesAndMtlNamesStayOneWord) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    wuxtest::File file;
    wuxtest::Material brick;
    brick.name = "brick";
    brick.maps = {{1, "brick.bmp", 1}, {2, "model.gltf", 1}, {6, "huge.bmp", 1}};
    wuxtest::Material evil;
    evil.name = "evil\nnewmtl x\xFF";
    evil.maps = {{1, "a.png\nmap_Kd /etc/passwd", 1}};
    file.materials = {brick, evil};
    file.meshes = {{0, 1}, {1, 1}};
    const fs::path model = dir / "in" / "model.wux";
    const auto bytes = wuxtest::Build(file).bytes.data;
    std::ofstream(model, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    WriteBmp(dir / "in" / "brick.bmp");
    // A PNG under the output's name, and a 54-byte BMP that claims 16384 x 16384 pixels.
    std::ofstream(dir / "in" / "model.gltf", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n", 8) << "rest";
    std::string huge = ReadText(dir / "in" / "brick.bmp").substr(0, 54);
    huge[18] = huge[22] = 0;
    huge[19] = huge[23] = 0x40;
    std::ofstream(dir / "in" / "huge.bmp", std::ios::binary) << huge;
    std::ofstream(dir / "out" / "brick.png") << "the user's own";

    const Result gltf = Wux("convert " + Quote(model.string()) + " " + Quote((dir / "out" / "model.gltf").string()), dir);
    ASSERT_EQ(gltf.code, 0) << gltf.output;
    EXPECT_EQ(ReadText(dir / "out" / "brick.png"), "the user's own");
    EXPECT_EQ(ReadText(dir / "out" / "model.gltf").substr(0, 1), "{");
    EXPECT_EQ(ReadText(dir / "out" / "brick_2.png").substr(1, 3), "PNG");
    EXPECT_EQ(ReadText(dir / "out" / "model_2.gltf"), ReadText(dir / "in" / "model.gltf"));
    EXPECT_NE(gltf.output.find("\"brick.png\" written as \"brick_2.png\""), std::string::npos) << gltf.output;
    EXPECT_NE(gltf.output.find("huge.bmp: the image claims 16384x16384 pixels"), std::string::npos) << gltf.output;

    const Result obj = Wux("convert " + Quote(model.string()) + " " + Quote((dir / "out" / "model.obj").string()), dir);
    ASSERT_EQ(obj.code, 0) << obj.output;
    const std::string mtl = ReadText(dir / "out" / "model.mtl");
    EXPECT_EQ(mtl.find("\nmap_Kd /etc/passwd"), std::string::npos) << mtl;
    EXPECT_EQ(mtl.find("\nnewmtl x"), std::string::npos) << mtl;
    EXPECT_EQ(mtl.find('\xFF'), std::string::npos) << mtl;
    EXPECT_NE(mtl.find("\nmap_Kd a.png_map_Kd_/etc/passwd\n"), std::string::npos) << mtl;
    EXPECT_NE(obj.output.find("names not valid UTF-8"), std::string::npos) << obj.output;
}

}  // namespace
}  // namespace wux
