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
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <nlohmann/json.hpp>
#include <stb_image.h>
#include <stb_image_write.h>

#include "tests/input/scene_measure.h"
#include "tests/support/shell_run.h"
#include "tests/support/wux_bytes.h"
#include "format/mapped_file.h"
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

// Names and transforms that must come back as they are: an empty helper name and an empty
// material name, two helpers of one name, names beyond ASCII, a helper whose matrix is
// slightly skewed (one axis 0.99998 long, the axes not quite at right angles) and a mirrored
// one, and a mesh the export splits at 21,845 triangles into two records.
std::string NamesScene() {
    std::string grid = R"("verts": [)";
    const int n = 105;  // 2 * 104 * 104 = 21,632 triangles and 2 * 105 more in the last row
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) grid += (x || y ? "," : "") + ("[" + std::to_string(x) + "," + std::to_string(y) + ",0]");
    grid += R"(], "faces": [)";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int a = y * (n + 1) + x, b = a + 1, c = a + n + 2, d = a + n + 1;
            grid += (x || y ? "," : "") + ("[" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
                                           "],[" + std::to_string(a) + "," + std::to_string(c) + "," + std::to_string(d) + "]");
        }
    return R"({"materials": [{"name": "", "diffuse": [0.5, 0.5, 0.5]}, {"name": "Stahl-Grün ✓", "diffuse": [0.2, 0.3, 0.4]}],
 "nodes": [
  {"name": "", "position": [1, 2, 3], "object": {"type": "helper", "size": 10}},
  {"name": "Twin", "position": [4, 5, 6], "object": {"type": "helper", "size": 3}},
  {"name": "Twin", "position": [-4, 5, 6], "object": {"type": "helper", "size": 3}},
  {"name": "Ünïcødé ✓", "position": [0, 0, 1], "object": {"type": "helper", "size": 2}},
  {"name": "Skew", "matrix": [[0.99998, 0.0001, 0.00003], [-0.0001, 1, 0.00002], [0.00001, -0.00002, 1.00001], [7, 8, 9]],
   "object": {"type": "helper", "size": 20}},
  {"name": "Mirror", "matrix": [[-1, 0, 0], [0, 0.8, 0.6], [0, -0.9, 1.2], [1, 1, 1]], "object": {"type": "helper", "size": 4}},
  {"name": "", "material": 0, "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
  {"name": "Grid", "material": 1, "position": [3, 0, 0], "object": {"type": "mesh", )" + grid + "]}}]}";
}

// Names in the host's code page (CP1251 "Сталь" and "Ящик", not UTF-8), given as their bytes;
// two helpers whose glTF names both read "\uFFFD\uFFFD\uFFFD\uFFFD"; a UTF-8 helper beside them.
const char* const kCodePageScene = R"({"materials": [{"name": "?", "name_bytes": "d1f2e0ebfc", "diffuse": [0.5, 0.4, 0.3]}],
 "nodes": [
  {"name": "?", "name_bytes": "dff9e8ea", "position": [1, 2, 3], "object": {"type": "helper", "size": 10}},
  {"name": "?", "name_bytes": "c4e2e5f0", "position": [4, 5, 6], "object": {"type": "helper", "size": 3}},
  {"name": "Ящик", "position": [7, 8, 9], "object": {"type": "helper", "size": 2}},
  {"name": "Box", "material": 0, "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}}]})";

struct SceneCase {
    const char* name;
    std::string json;
    const char* gltfTolerance;  // JSON is held to 1e-5
    std::vector<std::string> names = {};  // the original's material and reference names, when given
};

// The names of the file's materials and reference entries, in order, as bytes.
std::vector<std::string> NamesIn(const fs::path& path) {
    const auto bytes = LoadFileBytes(path.string());
    if (!bytes.Ok()) return {"unreadable: " + bytes.Error().Text()};
    const auto read = OpenWux(SpanOf(*bytes));
    if (!read.Ok()) return {"unreadable: " + read.Error().message};
    std::vector<std::string> names;
    for (const MaterialChunk* m : Records<MaterialChunk>(*read->model->materials)) names.push_back(m->name);
    for (const ReferenceEntry* r : Records<ReferenceEntry>(*read->model->references->entries)) names.push_back(r->name);
    return names;
}

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
        if (!GetParam().names.empty()) {
            ASSERT_EQ(NamesIn(Original()), GetParam().names);
        }
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
        EXPECT_EQ(NamesIn(again), NamesIn(Original()));  // byte for byte
    }

    void Validate(const std::string& name) {
        const Result run = Command(Quote(NODE_EXE) + " " + Quote(GLTF_VALIDATOR) + " " + Quote((dir_ / name).string()), dir_);
        EXPECT_EQ(run.code, 0) << run.output;
        EXPECT_NE(run.output.find(": 0 errors"), std::string::npos) << run.output;
    }

    // Assimp reads the same number of triangles and the same area from `path` as the
    // original holds.
    void ExpectTheOriginalsTriangles(const fs::path& path) {
        const auto bytes = LoadFileBytes(Original().string());
        ASSERT_TRUE(bytes.Ok()) << bytes.Error().Text();
        const auto read = OpenWux(SpanOf(*bytes));
        ASSERT_TRUE(read.Ok()) << read.Error().message;
        const test::Measure written = test::MeasureWux(*read);
        test::Measure measured;
        ASSERT_TRUE(test::MeasureWithAssimp(path.string(), &measured));
        EXPECT_EQ(measured.triangles, written.triangles);
        EXPECT_NEAR(measured.area, written.area, 1e-5 * written.area);
    }

    fs::path dir_;
};

TEST_P(ConvertRoundTrip, JsonSceneGivesTheSameFile) { RoundTrip("scene again.json", "1e-5"); }

// Spheres and the ellipsoid are empty nodes: the GLB holds the model's triangles only.
TEST_P(ConvertRoundTrip, GlbGivesTheSameFileAndIsValid) {
    RoundTrip("model.glb", GetParam().gltfTolerance);
    Validate("model.glb");
    ExpectTheOriginalsTriangles(dir_ / "model.glb");
}

TEST_P(ConvertRoundTrip, GltfGivesTheSameFileAndIsValid) {
    fs::create_directories(dir_ / "gltf");
    RoundTrip("gltf/model.gltf", GetParam().gltfTolerance);
    Validate("gltf/model.gltf");
}

// The plug-in's file read and written again by its own writer: the same bytes.
TEST_P(ConvertRoundTrip, WuxGivesTheSameBytes) {
    const fs::path again = dir_ / "again.wux";
    const Result run = Wux("convert " + Quote(Original().string()) + " " + Quote(again.string()), dir_);
    ASSERT_EQ(run.code, 0) << run.output;
    const Result checked = Wux("check " + Quote(again.string()), dir_);
    EXPECT_EQ(checked.code, 0) << checked.output;
    const auto a = LoadFileBytes(Original().string()), b = LoadFileBytes(again.string());
    ASSERT_TRUE(a.Ok() && b.Ok());
    EXPECT_EQ(*b, *a);
}

TEST_P(ConvertRoundTrip, ObjReadByAssimpHasTheSameTrianglesAndArea) {
    const fs::path obj = dir_ / "model.obj";
    const Result run = Wux("convert " + Quote(Original().string()) + " " + Quote(obj.string()), dir_);
    ASSERT_EQ(run.code, 0) << run.output;
    ASSERT_TRUE(fs::is_regular_file(dir_ / "model.mtl"));
    ExpectTheOriginalsTriangles(obj);
}

INSTANTIATE_TEST_SUITE_P(Scenes, ConvertRoundTrip,
                         ::testing::Values(SceneCase{"Rich", kRichScene, "1e-4"}, SceneCase{"WithoutMaterials", kBareScene, "1e-4"},
                                           SceneCase{"NamesAndTransforms", NamesScene(), "1e-5"},
                                           SceneCase{"CodePageNames", kCodePageScene, "1e-5",
                                                     {"\xd1\xf2\xe0\xeb\xfc", "\xdf\xf9\xe8\xea", "\xc4\xe2\xe5\xf0",
                                                      "\xd0\xaf\xd1\x89\xd0\xb8\xd0\xba"}}),
                         [](const ::testing::TestParamInfo<SceneCase>& info) { return std::string(info.param.name); });

// The largest angle, in degrees, between a corner's normal and its triangle's, both in the
// space of the mesh's own positions as Assimp reads them; -1 when it cannot read the file.
double WorstNormalAngle(const fs::path& path) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path.string(), 0);
    if (scene == nullptr) return -1;
    double worst = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        if (mesh.mNormals == nullptr) return -1;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            const aiVector3D* p = mesh.mVertices;
            const aiVector3D n = ((p[face.mIndices[1]] - p[face.mIndices[0]]) ^ (p[face.mIndices[2]] - p[face.mIndices[0]])).Normalize();
            for (unsigned k = 0; k < face.mNumIndices; ++k) {
                const aiVector3D c = mesh.mNormals[face.mIndices[k]];
                worst = std::max(worst, std::acos(std::clamp(double{n * c} / c.Length(), -1.0, 1.0)) * 180 / M_PI);
            }
        }
    }
    return worst;
}

// A Y-up box with flat normals.
const char* const kYUpObj = R"(mtllib box.mtl
usemtl Clay
v -1 -1 -1
v 1 -1 -1
v 1 1 -1
v -1 1 -1
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
vn 0 0 -1
vn 0 0 1
vn 0 -1 0
vn 0 1 0
vn -1 0 0
vn 1 0 0
f 1//1 3//1 2//1
f 1//1 4//1 3//1
f 5//2 6//2 7//2
f 5//2 7//2 8//2
f 1//3 2//3 6//3
f 1//3 6//3 5//3
f 4//4 7//4 3//4
f 4//4 8//4 7//4
f 1//5 5//5 8//5
f 1//5 8//5 4//5
f 2//6 3//6 7//6
f 2//6 7//6 6//6
)";

// Sources whose normals the export keeps in the object's space under a transform: a Y-up OBJ
// and a glTF box under a rotated, unevenly scaled node. The converted GLB's normals must face
// the way its triangles do (glTF puts normals in the space of the positions), and the ways
// back through GLB and OBJ give the same file.
TEST(ConvertNormals, FaceTheirTrianglesInGlbAndComeBack) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    std::ofstream(dir / "box.obj") << kYUpObj;
    std::ofstream(dir / "box.mtl") << "newmtl Clay\nKd 0.8 0.5 0.3\n";
    std::string gltf = ReadText("/usr/share/assimp/models/glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf");
    const std::size_t at = gltf.find("\"mesh\": 0");
    ASSERT_NE(at, std::string::npos);
    gltf.insert(at, R"("rotation": [0.2, 0.3, 0.4, 0.8426149], "scale": [2, 0.5, 1.5], "translation": [3, -4, 5], )");
    std::ofstream(dir / "box.gltf") << gltf;

    for (const char* source : {"box.obj", "box.gltf"}) {
        SCOPED_TRACE(source);
        const fs::path original = dir / (std::string(source) + ".wux");
        ASSERT_NO_FATAL_FAILURE(ExportChecked(dir / source, original, dir));
        for (const char* format : {".glb", ".obj"}) {
            const fs::path converted = dir / (std::string(source) + format);
            const Result run = Wux("convert " + Quote(original.string()) + " " + Quote(converted.string()), dir);
            ASSERT_EQ(run.code, 0) << run.output;
            EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
            if (std::string(format) == ".glb") {
                EXPECT_LT(WorstNormalAngle(converted), 1.0);
            }
            const fs::path again = dir / (converted.filename().string() + ".wux");
            ASSERT_NO_FATAL_FAILURE(ExportChecked(converted, again, dir));
            const Result diff = Wux("diff --tolerance 1e-4 " + Quote(original.string()) + " " + Quote(again.string()), dir);
            EXPECT_EQ(diff.code, 0) << format << "\n" << diff.output;
        }
    }
}

// Bundled Assimp models whose smoothed parts have a few normals turned past their faces (the
// transform is still recovered), and one whose material name is not UTF-8: the way back
// through GLB gives the same file.
TEST(ConvertNormals, BundledModelsComeBackThroughGlb) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    for (const char* model : {"FBX/spider.fbx", "OBJ/spider.obj", "OBJ/regr01.obj"}) {
        SCOPED_TRACE(model);
        const fs::path original = dir / "model.wux", glb = dir / "model.glb", again = dir / "again.wux";
        ASSERT_NO_FATAL_FAILURE(ExportChecked(fs::path("/usr/share/assimp/models") / model, original, dir));
        const Result run = Wux("convert " + Quote(original.string()) + " " + Quote(glb.string()), dir);
        ASSERT_EQ(run.code, 0) << run.output;
        EXPECT_EQ(run.output.find("normals no one transform"), std::string::npos) << run.output;
        ASSERT_NO_FATAL_FAILURE(ExportChecked(glb, again, dir));
        const Result diff = Wux("diff --tolerance 1e-4 " + Quote(original.string()) + " " + Quote(again.string()), dir);
        EXPECT_EQ(diff.code, 0) << diff.output;
        EXPECT_EQ(NamesIn(again), NamesIn(original));  // byte for byte
    }
}

// The pixels of an image file's bytes, four channels each; empty when they are no image.
std::vector<unsigned char> Pixels(const std::string& bytes) {
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                  static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) return {};
    std::vector<unsigned char> out(pixels, pixels + 4 * width * height);
    stbi_image_free(pixels);
    return out;
}

// Two maps of one stem, wood.png and wood.bmp, the second turned into a PNG for glTF: two
// images, each with its own file's pixels, whether copied beside a .gltf or held in a .glb.
TEST(ConvertTextures, MapsOfOneStemStayTwoImagesEachWithItsOwnPixels) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    WriteBmp(dir / "wood.bmp");
    const unsigned char png[2 * 2 * 3] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    ASSERT_NE(stbi_write_png((dir / "wood.png").c_str(), 2, 2, 3, png, 6), 0);
    std::ofstream(dir / "scene.json") << R"({
      "materials": [{"name": "Wood", "maps": [{"slot": 1, "map": {"type": "bitmap", "path": "wood.png"}},
                                              {"slot": 2, "map": {"type": "bitmap", "path": "wood.bmp"}}]}],
      "nodes": [{"name": "Board", "material": 0, "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]],
                 "faces": [[0,1,2]], "tverts": [[0,0],[1,0],[0,1]], "tvfaces": [[0,1,2]]}}]})";
    ASSERT_NO_FATAL_FAILURE(ExportChecked(dir / "scene.json", dir / "wood.wux", dir));
    fs::create_directories(dir / "gltf");
    for (const std::string name : {"gltf/model.gltf", "model.glb"}) {
        SCOPED_TRACE(name);
        const fs::path out = dir / name;
        const Result run = Wux("convert " + Quote((dir / "wood.wux").string()) + " " + Quote(out.string()) +
                                   " --texture-dir " + Quote(dir.string()),
                               dir);
        ASSERT_EQ(run.code, 0) << run.output;
        nlohmann::json gltf;
        std::string bin;
        const std::string file = ReadText(out);
        if (out.extension() == ".glb") {
            // Header, then the JSON chunk and the binary chunk, each after its length and type.
            auto word = [&](std::size_t at) {
                std::uint32_t v = 0;
                std::memcpy(&v, file.data() + at, 4);
                return std::size_t{v};
            };
            ASSERT_GT(file.size(), 20u);
            const std::size_t jsonLength = word(12);
            gltf = nlohmann::json::parse(file.substr(20, jsonLength));
            bin = file.substr(20 + jsonLength + 8, word(20 + jsonLength));
        } else {
            gltf = nlohmann::json::parse(file);
        }
        ASSERT_EQ(gltf["images"].size(), 2u) << gltf.dump(1);
        for (const auto& map : gltf["materials"][0]["extras"]["wux"]["maps"]) {
            const std::string source = map["file"];
            SCOPED_TRACE(source);
            ASSERT_TRUE(map.contains("texture")) << map.dump();
            const auto& image = gltf["images"][gltf["textures"][map["texture"].get<int>()]["source"].get<int>()];
            std::string bytes;
            if (image.contains("uri")) {
                bytes = ReadText(out.parent_path() / image["uri"].get<std::string>());
            } else {
                const auto& view = gltf["bufferViews"][image["bufferView"].get<int>()];
                bytes = bin.substr(view.value("byteOffset", 0), view["byteLength"].get<std::size_t>());
            }
            const std::vector<unsigned char> pixels = Pixels(bytes);
            EXPECT_FALSE(pixels.empty());
            EXPECT_EQ(pixels, Pixels(ReadText(dir / source)));
        }
    }
}

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
    const auto read = OpenWux(SpanOf(bytes));
    ASSERT_TRUE(read.Ok());
    std::size_t mesh = 0;
    while (read->chunks.at(mesh).tag != "GVTX") ++mesh;
    const std::size_t at = read->chunks.at(mesh + 2).offset + 28 + 20 * 4 + 4;  // mesh 2, corner 4, y
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
    // --json promises JSON on standard output even when a file cannot be read.
    const Result missing = Wux("diff --json " + Quote(original.string()) + " " + Quote((dir / "missing.wux").string()), dir);
    EXPECT_EQ(missing.code, 2);
    const auto failure = nlohmann::json::parse(missing.output.substr(missing.output.find('{')), nullptr, false);
    ASSERT_FALSE(failure.is_discarded()) << missing.output;
    EXPECT_EQ(failure["error"]["code"], 2);
    EXPECT_EQ(failure["error"]["file"], (dir / "missing.wux").string());
}

// Hostile but valid records: each conversion keeps the value, or says what it changed.
TEST(ConvertHostileRecords, KeepTheValueOrSaySo) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    const auto convert = [&](const wuxtest::File& f, const std::string& out) {
        const wuxtest::Built built = wuxtest::Build(f);
        const fs::path in = dir / (out + ".in.wux");
        std::ofstream(in, std::ios::binary)
            .write(reinterpret_cast<const char*>(built.bytes.data.data()), static_cast<std::streamsize>(built.bytes.data.size()));
        const Result run = Wux("convert " + Quote(in.string()) + " " + Quote((dir / out).string()), dir);
        EXPECT_EQ(run.code, 0) << run.output;
        return run.output;
    };
    // The converted file exported again, checked and read back.
    const auto again = [&](const std::string& converted) {
        const fs::path wux = dir / (converted + ".wux");
        ExportChecked(dir / converted, wux, dir);
        const auto bytes = LoadFileBytes(wux.string());
        EXPECT_TRUE(bytes.Ok());
        ToolResult<WuxDocument> read = OpenWux(SpanOf(*bytes));
        EXPECT_TRUE(read.Ok());
        return std::move(*read);
    };
    wuxtest::Mesh triangle;
    triangle.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

    // Twice the half extent is beyond the float range.
    wuxtest::File huge;
    huge.meshes = {triangle};  // a glTF scene of one node would make it Assimp's root, never a helper
    huge.references = {{"Huge", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}, {3.4e38f, 3.4e38f, 3.4e38f}}};
    for (const char* out : {"huge.json", "huge.glb"}) {
        SCOPED_TRACE(out);
        convert(huge, out);
        const WuxDocument back = again(out);
        const auto entries = Records<ReferenceEntry>(*back.model->references->entries);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(std::vector<float>(entries[0]->halfExtents, entries[0]->halfExtents + 3),
                  (std::vector<float>{3.4e38f, 3.4e38f, 3.4e38f}));
    }

    // An empty OBJ object would come back as a helper of size 20.
    wuxtest::File empty;
    empty.meshes = {wuxtest::Mesh(0, 0), triangle};
    EXPECT_NE(convert(empty, "empty.obj").find("mesh records without triangles left out"), std::string::npos);
    const WuxDocument back = again("empty.obj");
    EXPECT_EQ(back.model->meshes->count(), 1);
    EXPECT_EQ(back.model->references->entries->count(), 0);

    // Not finite: written as 0 by every conversion, and said.
    wuxtest::File odd;
    odd.materials.resize(1);
    odd.materials[0].name = "Odd";
    odd.materials[0].colour[6] = INFINITY;
    odd.meshes = {triangle};
    odd.meshes[0].positions[1][0] = NAN;
    for (const char* out : {"odd.json", "odd.obj", "odd.glb"}) {
        const std::string said = convert(odd, out);
        EXPECT_NE(said.find("values not finite written as 0: 2 (GVTX #0, GMAT \"Odd\")"), std::string::npos) << out << said;
    }

    // A file that only starts like a PNG is no image to embed.
    wuxtest::File mapped;
    mapped.materials.resize(1);
    mapped.materials[0].name = "Brick";
    mapped.materials[0].maps = {{1, "fake.png", 1.0f}};
    mapped.meshes = {triangle};
    std::ofstream(dir / "fake.png", std::ios::binary) << "\x89PNG\r\n\x1a\nnot an image at all";
    const std::string said = convert(mapped, "mapped.glb");
    EXPECT_NE(said.find("map files not found or not readable"), std::string::npos) << said;
    EXPECT_NE(said.find("fake.png: cannot decode the image"), std::string::npos) << said;
    const Result valid = Command(Quote(NODE_EXE) + " " + Quote(GLTF_VALIDATOR) + " " + Quote((dir / "mapped.glb").string()), dir);
    EXPECT_NE(valid.output.find(": 0 errors"), std::string::npos) << valid.output;
}

// Layout faults the reader can interpret come out in the writer's normal layout: the same
// bytes as the file without them.
TEST(ConvertWux, FaultsOfTheLayoutAreWrittenInTheNormalLayout) {
    const test::TestDir testDir("wux_convert_");
    const fs::path& dir = testDir.path();
    const wuxtest::Built built = wuxtest::Build(wuxtest::RichFile());
    const struct {
        const char* fault;
        std::function<void(wuxtest::Bytes&)> plant;
    } cases[] = {
        {"file_size", [](wuxtest::Bytes& b) { b.PatchU32(4, 7); }},
        {"magic and reserved word", [&](wuxtest::Bytes& b) { b.PatchU32(built.bounds + 8, 0); b.PatchU32(36, 1); }},
        {"GNFO counts and 1.0 word", [](wuxtest::Bytes& b) { b.PatchU32(52, 9); b.PatchU32(56, 0); b.PatchF32(48, 2); }},
        {"mesh constant and end word", [&](wuxtest::Bytes& b) { b.PatchU32(built.meshes[0] + 16, 0); b.PatchU32(built.references + 16 + 12 + 76, 0); }},
        {"padding and bytes after GREF", [&](wuxtest::Bytes& b) { b.data[built.materials[0] + 16 + 6] = 'x'; b.data.insert(b.data.end(), 3, 7); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        wuxtest::Bytes bytes = built.bytes;
        c.plant(bytes);
        const fs::path in = dir / "faulty.wux", out = dir / "normal.wux";
        std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data.data()), std::streamsize(bytes.Size()));
        const Result run = Wux("convert " + Quote(in.string()) + " " + Quote(out.string()), dir);
        ASSERT_EQ(run.code, 0) << run.output;
        const Result checked = Wux("check " + Quote(out.string()), dir);
        EXPECT_EQ(checked.code, 0) << checked.output;
        const auto written = LoadFileBytes(out.string());
        ASSERT_TRUE(written.Ok());
        EXPECT_EQ(*written, built.bytes.data);
    }
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
        {original.string(), (dir / "model.fbx").string(), 64, "model.fbx: the output is a JSON scene, glTF, OBJ or WUX file, so its name must end in .json, .glb, .gltf, .obj or .wux"},
        {original.string(), (dir / "." / "original.wux").string(), 64, "original.wux: is the input " + original.string()},
        {original.string(), (dir / "no folder" / "again.wux").string(), 3, (dir / "no folder" / "again.wux").string()},
        {original.string(), "-", 0, "\"nodes\""},
        {original.string(), (dir / "no folder" / "model.gltf").string(), 3, "cannot create \"" + (dir / "no folder" / "model.gltf").string() + "\": No such file or directory"},
        {(dir / "not.wux").string(), (dir / "kept.json").string(), 2, "not a readable WUX file: offset 0"},
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
    const char png[] = "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01"
                       "\x08\x02\x00\x00\x00\x90\x77\x53\xDE\x00\x00\x00\x0C\x49\x44\x41\x54\x78\x9C\x63\xF8\xCF"
                       "\xC0\x00\x00\x03\x01\x01\x00\xC9\xFE\x92\xEF\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82";
    std::ofstream(dir / "in" / "model.gltf", std::ios::binary).write(png, sizeof png - 1);
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
