// The Assimp importer against models nobody here wrote (Debian's assimp-testmodels) and
// against small files written by the tests: counts, areas and the up axis compared with
// what Assimp itself reports, materials and textures, helpers, spheres and broken inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/input/scene_measure.h"
#include "input/assimp_import.h"
#include "input/gltf_reader.h"
#include "input/mesh_reader.h"
#include "tests/support/temp_folder.h"

namespace wux {
namespace {

namespace fs = std::filesystem;
using test::Measure;

const char* const kModels = "/usr/share/assimp/models";

#define SKIP_WITHOUT_MODELS()                                                 \
    do {                                                                      \
        if (!fs::is_directory(kModels)) GTEST_SKIP() << kModels << " missing"; \
    } while (0)

std::string Model(const std::string& relative) { return std::string(kModels) + "/" + relative; }

std::string WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path.string();
}

struct Result {
    bool ok = false;
    SceneDescription scene;
    Warnings warnings;
    std::string error;
    ImportCounts counts;
};

Result Import(const std::string& path, AssimpImportOptions options = {}) {
    Result r;
    ToolResult<SceneDescription> read = IsGltfPath(path)               ? ReadGltfFile(path, options, &r.warnings, &r.counts)
                                        : HasExtension(path, ".obj") ? ReadMeshFile(path, options, &r.warnings, &r.counts)
                                                                     : ImportWithAssimp(path, options, &r.warnings, &r.counts);
    r.ok = read.Ok();
    if (r.ok) {
        r.scene = std::move(*read);
    } else {
        r.error = read.Error().Text();
    }
    return r;
}

std::size_t WarningCount(const Warnings& w, const std::string& kind) {
    for (const auto& e : w.Entries())
        if (WarningText(e.kind) == kind) return e.count;
    return 0;
}

const SceneMaterial* FindMaterial(const SceneDescription& s, const std::string& name) {
    for (const auto& m : s.materials)
        if (m.name == name) return &m;
    return nullptr;
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// --- Real models -----------------------------------------------------------------------

struct RealModel {
    const char* file;
    std::size_t minTriangles;  // a floor, so an empty import cannot pass
};

void PrintTo(const RealModel& m, std::ostream* os) { *os << m.file; }

class RealModelTest : public ::testing::TestWithParam<RealModel> {};

// Triangle count, world-space area and bounds match Assimp's own reading of the file, the
// latter two after the Y-up to Z-up turn (areas do not change under it).
TEST_P(RealModelTest, GeometryMatchesAssimp) {
    SKIP_WITHOUT_MODELS();
    const std::string path = Model(GetParam().file);
    const Result r = Import(path);
    ASSERT_TRUE(r.ok) << r.error;
    Measure expected;
    ASSERT_TRUE(test::MeasureWithAssimp(path, &expected));
    const Measure got = test::MeasureScene(r.scene);
    EXPECT_TRUE(got.allFinite);
    EXPECT_GE(got.triangles, GetParam().minTriangles);
    EXPECT_EQ(got.triangles, expected.triangles);
    EXPECT_NEAR(got.area, expected.area, 1e-4 * expected.area);
    const double extent = std::max({expected.hi[0] - expected.lo[0], expected.hi[1] - expected.lo[1],
                                    expected.hi[2] - expected.lo[2]});
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(got.lo[k], expected.lo[k], 1e-4 * extent) << "axis " << k;
        EXPECT_NEAR(got.hi[k], expected.hi[k], 1e-4 * extent) << "axis " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RealModelTest,
    ::testing::Values(RealModel{"OBJ/spider.obj", 1000},
                      RealModel{"OBJ/testmixed.obj", 1},
                      RealModel{"glTF2/BoxTextured-glTF/BoxTextured.gltf", 12},
                      RealModel{"glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", 12},
                      RealModel{"glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", 1000},
                      RealModel{"FBX/spider.fbx", 1000},
                      RealModel{"FBX/cubes_with_mirroring_and_pivot.fbx", 12},
                      RealModel{"Collada/duck.dae", 1000},
                      RealModel{"Collada/cube_tristrips.dae", 12},
                      RealModel{"3DS/fels.3ds", 100},
                      RealModel{"3DS/cube_with_diffuse_texture.3DS", 12},
                      RealModel{"ASE/ThreeCubesGreen.ASE", 36},
                      RealModel{"STL/Spider_binary.stl", 1000}),
    [](const ::testing::TestParamInfo<RealModel>& info) {
        std::string name = fs::path(info.param.file).filename().string();
        for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(AssimpRealModels, HierarchyKeepsItsLevels) {
    SKIP_WITHOUT_MODELS();
    const Result r = Import(Model("glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb"));
    ASSERT_TRUE(r.ok) << r.error;
    std::function<int(const SceneNode&)> depth = [&](const SceneNode& n) {
        int d = 0;
        for (const auto& c : n.children) d = std::max(d, depth(c));
        return d + 1;
    };
    int deepest = 0;
    for (const auto& n : r.scene.nodes) deepest = std::max(deepest, depth(n));
    EXPECT_GE(deepest, 3);
}

TEST(AssimpRealModels, LinesAndPointsAreSkippedAndCounted) {
    SKIP_WITHOUT_MODELS();
    const Result r = Import(Model("OBJ/testmixed.obj"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_GT(WarningCount(r.warnings, "primitives skipped"), 0u);
    const Result lines = Import(Model("OBJ/testline.obj"));
    ASSERT_TRUE(lines.ok) << lines.error;
    EXPECT_EQ(test::MeasureScene(lines.scene).triangles, 0u);
    EXPECT_GT(WarningCount(lines.warnings, "primitives skipped"), 0u);
}

// Material names come through; texture file names land in the slot of their kind, with
// backslash separators, and resolve to files that exist.
TEST(AssimpRealModels, MaterialsAndTextureNames) {
    SKIP_WITHOUT_MODELS();
    struct Case {
        const char* file;
        const char* material;
        int slot;
        const char* textureFile;  // what the exporter keeps: the part after the last backslash
    };
    const Case cases[] = {
        {"OBJ/spider.obj", "Skin", 1, "wal67ar_small.jpg"},
        {"OBJ/spider.obj", "HLeibTex", 1, "SpiderTex.jpg"},
        {"glTF2/BoxTextured-glTF/BoxTextured.gltf", "Texture", 1, "CesiumLogoFlat.png"},
        // Written as TEST.PNG, found as test.png beside the model (names ignore case where it was made).
        {"3DS/cube_with_diffuse_texture.3DS", "01 - Default", 1, "test.png"},
        {"Collada/duck.dae", "blinn3", 1, "duckCM.tga"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Result r = Import(Model(c.file));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(WarningCount(r.warnings, "textures missing"), 0u);
        const SceneMaterial* m = FindMaterial(r.scene, c.material);
        ASSERT_NE(m, nullptr) << c.material;
        EXPECT_TRUE(m->IsStandard());
        const SceneMap* map = nullptr;
        for (const auto& mp : m->maps)
            if (mp.slot == c.slot) map = &mp;
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->kind, SceneMap::Kind::Bitmap);
        EXPECT_EQ(map->amount, 1.0f);
        EXPECT_EQ(map->path.find('/'), std::string::npos) << map->path;
        EXPECT_EQ(FileNamePart(map->path), c.textureFile);
    }
}

// Each importer's slot table: every map of a material lands in the slot of its kind, and no
// other slot is filled. (A glTF material has no slot for occlusion or metal and roughness.)
TEST(AssimpMaterials, EachMapLandsInTheSlotOfItsKind) {
    struct Source {
        const char* file;
        std::string text;
        std::map<int, std::string> slots;  // slot: the map's file name
    };
    std::string daeImages, daeParams, daeKinds;
    for (const std::string kind : {"emission", "diffuse", "specular", "reflective", "transparent", "bump"}) {
        daeImages += "<image id=\"" + kind + "-i\"><init_from>" + kind + ".png</init_from></image>";
        daeParams += "<newparam sid=\"" + kind + "-f\"><surface type=\"2D\"><init_from>" + kind +
                     "-i</init_from></surface></newparam><newparam sid=\"" + kind + "-s\"><sampler2D><source>" + kind +
                     "-f</source></sampler2D></newparam>";
        if (kind != "bump") daeKinds += "<" + kind + "><texture texture=\"" + kind + "-s\" texcoord=\"uv\"/></" + kind + ">";
    }
    const Source sources[] = {
        {"all.obj",
         "newmtl All\nmap_Ka ambient.png\nmap_Kd diffuse.png\nmap_Ks specular.png\nmap_Ns shininess.png\n"
         "map_Ke emissive.png\nmap_d opacity.png\nmap_bump bump.png\nrefl -type sphere reflection.png\n"
         "disp displacement.png\n",
         {{0, "ambient.png"}, {1, "diffuse.png"}, {2, "specular.png"}, {3, "shininess.png"}, {5, "emissive.png"},
          {6, "opacity.png"}, {8, "bump.png"}, {9, "reflection.png"}, {11, "displacement.png"}}},
        {"all.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
           "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}],
           "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],
           "bufferViews": [{"buffer": 0, "byteLength": 36}],
           "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]}],
           "images": [{"uri": "base.png"}, {"uri": "normal.png"}, {"uri": "emissive.png"}, {"uri": "occlusion.png"},
                      {"uri": "metal.png"}],
           "textures": [{"source": 0}, {"source": 1}, {"source": 2}, {"source": 3}, {"source": 4}],
           "materials": [{"name": "All", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0},
                          "metallicRoughnessTexture": {"index": 4}}, "normalTexture": {"index": 1},
                          "emissiveTexture": {"index": 2}, "occlusionTexture": {"index": 3}}]})",
         {{1, "base.png"}, {5, "emissive.png"}, {8, "normal.png"}}},
        {"all.dae",
         "<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"
         "<library_images>" + daeImages + "</library_images><library_effects><effect id=\"fx\"><profile_COMMON>" +
             daeParams + "<technique sid=\"common\"><phong>" + daeKinds +
             "</phong><extra><technique profile=\"FCOLLADA\"><bump><texture texture=\"bump-s\" texcoord=\"uv\"/></bump>"
             "</technique></extra></technique></profile_COMMON></effect></library_effects><library_materials>"
             "<material id=\"All\" name=\"All\"><instance_effect url=\"#fx\"/></material></library_materials>"
             "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array id=\"pa\" count=\"9\">"
             "0 0 0 1 0 0 0 1 0</float_array><technique_common><accessor source=\"#pa\" count=\"3\" stride=\"3\">"
             "<param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/>"
             "</accessor></technique_common></source><vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/>"
             "</vertices><triangles material=\"m\" count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
             "<p>0 1 2</p></triangles></mesh></geometry></library_geometries><library_visual_scenes>"
             "<visual_scene id=\"s\"><node id=\"n\" name=\"n\"><instance_geometry url=\"#g\"><bind_material>"
             "<technique_common><instance_material symbol=\"m\" target=\"#All\"/></technique_common></bind_material>"
             "</instance_geometry></node></visual_scene></library_visual_scenes>"
             "<scene><instance_visual_scene url=\"#s\"/></scene></COLLADA>",
         {{1, "diffuse.png"}, {2, "specular.png"}, {5, "emission.png"}, {6, "transparent.png"}, {8, "bump.png"},
          {9, "reflective.png"}}},
    };
    const fs::path dir = fs::path(TestFolder());
    for (const Source& source : sources) {
        SCOPED_TRACE(source.file);
        std::string path = WriteFile(dir / source.file, source.text);
        if (fs::path(path).extension() == ".obj") {
            WriteFile(dir / "all.mtl", source.text);
            path = WriteFile(dir / source.file, "mtllib all.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl All\nf 1 2 3\n");
        }
        const Result r = Import(path);
        ASSERT_TRUE(r.ok) << r.error;
        const SceneMaterial* m = FindMaterial(r.scene, "All");
        ASSERT_NE(m, nullptr);
        std::map<int, std::string> slots;
        for (const SceneMap& map : m->maps) slots.emplace(map.slot, FileNamePart(map.path));
        EXPECT_EQ(slots, source.slots);
    }
}

TEST(AssimpRealModels, MaterialColoursComeFromTheSource) {
    SKIP_WITHOUT_MODELS();
    const Result r = Import(Model("FBX/phong_cube.fbx"));
    ASSERT_TRUE(r.ok) << r.error;
    const SceneMaterial* m = FindMaterial(r.scene, "phong1");
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->diffuse[0], 0.5f);
    EXPECT_FLOAT_EQ(m->ambient[1], 0.25f);
    EXPECT_FLOAT_EQ(m->specular[2], 0.5f);
    EXPECT_FLOAT_EQ(m->opacity, 0.5f);
    EXPECT_FLOAT_EQ(m->filter[0], 0.5f);  // the host's default: the source has none
}

// Writes the files it is handed at once; the export command stages them instead.
class DirectTextureFiles : public TextureFiles {
public:
    NameUse Use(const std::string& path, const std::vector<unsigned char>&) override {
        return fs::exists(path) ? NameUse::Taken : NameUse::Free;
    }
    ToolResult<void> Write(const std::string& path, const std::vector<unsigned char>& bytes) override {
        WriteFile(path, std::string(bytes.begin(), bytes.end()));
        return {};
    }
};

// A GLB's texture lives in the file: it is written beside the output and named after it.
TEST(AssimpRealModels, EmbeddedTexturesAreWrittenBesideTheOutput) {
    SKIP_WITHOUT_MODELS();
    const fs::path dir = fs::path(TestFolder());
    DirectTextureFiles files;
    AssimpImportOptions options;
    options.outputPath = (dir / "box.wux").string();
    options.textureFiles = &files;
    const Result r = Import(Model("glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"), options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(WarningCount(r.warnings, "textures missing"), 0u);
    const SceneMaterial* m = FindMaterial(r.scene, "Texture");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->maps.size(), 1u);  // diffuse and base colour name the same texture: one slot
    EXPECT_EQ(m->maps[0].slot, 1);
    const std::string name = FileNamePart(m->maps[0].path);
    EXPECT_EQ(fs::path(name).extension(), ".png");
    std::ifstream in(dir / name, std::ios::binary);
    ASSERT_TRUE(in.good()) << (dir / name);
    std::string head(8, '\0');
    in.read(&head[0], 8);
    EXPECT_EQ(head, std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(fs::file_size(dir / name), 2433u);  // the GLB's image as it is stored
}

TEST(AssimpRealModels, MissingTexturesAreReported) {
    const fs::path dir = fs::path(TestFolder());
    WriteFile(dir / "m.mtl", "newmtl Brick\nKd 0.5 0.25 0.125\nmap_Kd maps\\nowhere\\brick.bmp\nmap_bump bump.png\n"
                             "map_Ks shine.png\n");
    const std::string obj = WriteFile(dir / "m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Brick\nf 1 2 3\n");
    WriteFile(dir / "BUMP.PNG", "not really a png");
    fs::create_directory(dir / "SHINE.PNG");  // a folder is no texture, whatever its name
    const Result r = Import(obj);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(WarningCount(r.warnings, "textures missing"), 2u);
    const SceneMaterial* m = FindMaterial(r.scene, "Brick");
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->diffuse[1], 0.25f);
    ASSERT_EQ(m->maps.size(), 3u);
    EXPECT_EQ(m->maps[0].slot, 1);
    EXPECT_EQ(m->maps[0].path, "maps\\nowhere\\brick.bmp");  // handed on as written
    EXPECT_EQ(m->maps[1].slot, 2);
    EXPECT_EQ(m->maps[1].path, "shine.png");
    EXPECT_EQ(m->maps[2].slot, 8);
    EXPECT_EQ(FileNamePart(m->maps[2].path), "BUMP.PNG");
}

// --- Up axis -------------------------------------------------------------------------

// A triangle standing 10 units tall along the file's +Y.
std::string WriteTallTriangle(const fs::path& dir, const char* ext) {
    return WriteFile(dir / (std::string("tall.") + ext), "v 0 0 0\nv 1 0 0\nv 0 10 0\nf 1 2 3\n");
}

TEST(AssimpUpAxis, YUpSourceStandsOnPlusZ) {
    const fs::path dir = fs::path(TestFolder());
    const std::string obj = WriteTallTriangle(dir, "obj");
    struct Case {
        AssimpImportOptions::Up up;
        std::array<double, 3> hi;
    };
    const Case cases[] = {{AssimpImportOptions::Up::Auto, {1, 0, 10}},
                          {AssimpImportOptions::Up::Y, {1, 0, 10}},
                          {AssimpImportOptions::Up::Z, {1, 10, 0}}};
    for (const Case& c : cases) {
        AssimpImportOptions options;
        options.up = c.up;
        const Result r = Import(obj, options);
        ASSERT_TRUE(r.ok) << r.error;
        const Measure m = test::MeasureScene(r.scene);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(m.hi[k], c.hi[k], 1e-6) << "axis " << k;
        EXPECT_NEAR(m.area, 5.0, 1e-6);
    }
}

// Formats whose data is Z-up as written (3DS, a COLLADA file saying Z_UP) come out as
// written, whether the axis is found by itself or forced to z.
TEST(AssimpUpAxis, ZUpSourcesComeOutAsWritten) {
    SKIP_WITHOUT_MODELS();
    for (const char* file : {"3DS/fels.3ds", "Collada/cube_tristrips.dae"}) {
        SCOPED_TRACE(file);
        AssimpImportOptions forced;
        forced.up = AssimpImportOptions::Up::Z;
        const Result autoUp = Import(Model(file));
        const Result asWritten = Import(Model(file), forced);
        ASSERT_TRUE(autoUp.ok) << autoUp.error;
        ASSERT_TRUE(asWritten.ok) << asWritten.error;
        const Measure a = test::MeasureScene(autoUp.scene);
        const Measure b = test::MeasureScene(asWritten.scene);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(a.lo[k], b.lo[k], 1e-4) << "axis " << k;
            EXPECT_NEAR(a.hi[k], b.hi[k], 1e-4) << "axis " << k;
        }
        AssimpImportOptions yUp;
        yUp.up = AssimpImportOptions::Up::Y;
        const Result turned = Import(Model(file), yUp);
        ASSERT_TRUE(turned.ok) << turned.error;
        const Measure c = test::MeasureScene(turned.scene);
        EXPECT_NEAR(c.hi[2], b.hi[1], 1e-4);  // the written +Y now points up
    }
}


// --- A scene written by the test ------------------------------------------------------

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        for (int k = 18; k >= 0; k -= 6) out += digits[(v >> k) & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        for (int k = 18; k >= 6; k -= 6) out += digits[(v >> k) & 63];
        out += "=";
    }
    return out;
}

void PutFloat(std::string* out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int k = 0; k < 4; ++k) out->push_back(static_cast<char>((u >> (8 * k)) & 0xFF));
}

// One triangle (0,0,0) (2,0,0) (0,3,0), used by several nodes: a rotated and translated
// parent with a child, a marker with a size, a group holding "GBND" and a node whose mesh
// has two primitives with two materials of the same name, and a point cloud.
std::string WriteTestGltf(const fs::path& dir) {
    std::string buffer;
    for (float f : {0.f, 0.f, 0.f, 2.f, 0.f, 0.f, 0.f, 3.f, 0.f}) PutFloat(&buffer, f);
    buffer += std::string("\x00\x00\x01\x00\x02\x00\x00\x00", 8);
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,3,6]}],
 "nodes":[
  {"name":"Parent","translation":[1,2,3],"rotation":[0,0,0.70710678,0.70710678],"children":[1,2]},
  {"name":"Child","translation":[10,0,0],"mesh":2},
  {"name":"Marker","extras":{"size":5}},
  {"name":"Group","children":[4,5]},
  {"name":"GBND","translation":[0,0,5],"mesh":2},
  {"name":"Multi","mesh":0},
  {"name":"Cloud","mesh":1}],
 "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0},
                          {"attributes":{"POSITION":0},"indices":1,"material":1}]},
   {"primitives":[{"attributes":{"POSITION":0},"mode":0}]},
   {"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],
 "materials":[{"name":"Red","pbrMetallicRoughness":{"baseColorFactor":[1,0,0,1]}},{"name":"Red"}],
 "buffers":[{"byteLength":44,"uri":"data:application/octet-stream;base64,)" + Base64(buffer) + R"("}],
 "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":6}],
 "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[2,3,0]},
   {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]})";
    return WriteFile(dir / "test.gltf", gltf);
}

void ExpectRow(const SceneMatrix& m, int row, std::array<float, 3> want) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(m.rows[row][k], want[k], 1e-6) << "row " << row << " column " << k;
}

// Local transforms come in the host's row layout, the frame turn folded into the top level.
TEST(AssimpWrittenScene, TransformsKeepTheHierarchy) {
    const Result r = Import(WriteTestGltf(fs::path(TestFolder())));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.scene.nodes.size(), 3u);
    const SceneNode& parent = r.scene.nodes[0];
    EXPECT_EQ(parent.name, "Parent");
    // glTF: +90 degrees about Y-up's Z, then the turn to Z-up: X goes to +Z, Y to -X, Z to -Y.
    ExpectRow(parent.local, 0, {0, 0, 1});
    ExpectRow(parent.local, 1, {-1, 0, 0});
    ExpectRow(parent.local, 2, {0, -1, 0});
    ExpectRow(parent.local, 3, {1, -3, 2});
    ASSERT_EQ(parent.children.size(), 2u);
    const SceneNode& child = parent.children[0];
    EXPECT_EQ(child.name, "Child");
    ExpectRow(child.local, 0, {1, 0, 0});
    ExpectRow(child.local, 3, {10, 0, 0});
    SceneMatrix world;
    ASSERT_TRUE(test::FindWorld(r.scene, "Child", &world));
    const auto origin = test::Apply(world, {0, 0, 0});
    EXPECT_NEAR(origin[0], 1, 1e-5);
    EXPECT_NEAR(origin[1], -3, 1e-5);
    EXPECT_NEAR(origin[2], 12, 1e-5);
    ASSERT_EQ(child.object.type, SceneObject::Type::EditableMesh);
    EXPECT_EQ(child.object.mesh.faces.size(), 1u);
    // None in the source: worked out from the face, in the node's own space.
    ASSERT_EQ(child.object.mesh.normals.size(), child.object.mesh.verts.size());
    for (const auto& n : child.object.mesh.normals) EXPECT_NEAR(n[2], 1.0f, 1e-6);
}

TEST(AssimpWrittenScene, HelpersFollowTheOption) {
    const std::string path = WriteTestGltf(fs::path(TestFolder()));
    using H = AssimpImportOptions::Helpers;
    struct Case {
        H helpers;
        std::vector<std::string> expected;  // helper names in scene order
    };
    const Case cases[] = {{H::Markers, {"Marker"}}, {H::All, {"Parent", "Marker", "Group"}}, {H::None, {}}};
    for (const Case& c : cases) {
        AssimpImportOptions options;
        options.helpers = c.helpers;
        const Result r = Import(path, options);
        ASSERT_TRUE(r.ok) << r.error;
        std::vector<std::string> names;
        std::function<void(const SceneNode&)> walk = [&](const SceneNode& n) {
            if (n.object.type == SceneObject::Type::Helper) {
                names.push_back(n.name);
                EXPECT_FLOAT_EQ(n.object.size, n.name == "Marker" ? 5.0f : 20.0f) << n.name;
            }
            for (const auto& ch : n.children) walk(ch);
        };
        for (const auto& n : r.scene.nodes) walk(n);
        EXPECT_EQ(names, c.expected);
    }
}

TEST(AssimpWrittenScene, GbndBecomesASphere) {
    const Result r = Import(WriteTestGltf(fs::path(TestFolder())));
    ASSERT_TRUE(r.ok) << r.error;
    SceneMatrix world;
    const SceneNode* node = nullptr;
    ASSERT_TRUE(test::FindWorld(r.scene, "GBND", &world, &node));
    EXPECT_EQ(node->object.type, SceneObject::Type::Sphere);
    EXPECT_FLOAT_EQ(node->object.radius, 3.0f);  // the farthest vertex, (0,3,0), in the node's space
    const auto centre = test::Apply(world, {0, 0, 0});
    EXPECT_NEAR(centre[1], -5, 1e-5);  // glTF's +Z (towards the viewer) is the host's -Y
}

TEST(AssimpWrittenScene, EachMeshOfANodeGetsANodeAndItsOwnMaterial) {
    const Result r = Import(WriteTestGltf(fs::path(TestFolder())));
    ASSERT_TRUE(r.ok) << r.error;
    SceneMatrix world;
    const SceneNode* multi = nullptr;
    ASSERT_TRUE(test::FindWorld(r.scene, "Multi", &world, &multi));
    ASSERT_EQ(multi->object.type, SceneObject::Type::EditableMesh);
    ASSERT_EQ(multi->children.size(), 1u);
    const SceneNode& second = multi->children[0];
    ASSERT_EQ(second.object.type, SceneObject::Type::EditableMesh);
    ExpectRow(second.local, 3, {0, 0, 0});
    ASSERT_GE(multi->material, 0);
    ASSERT_GE(second.material, 0);
    // Same-named materials would merge in the exporter, which tells them apart by name.
    EXPECT_EQ(r.scene.materials[multi->material].name, "Red");
    EXPECT_EQ(r.scene.materials[second.material].name, "Red (2)");
    EXPECT_EQ(WarningCount(r.warnings, "material names made unique"), 1u);
    const auto& red = r.scene.materials[multi->material].diffuse;
    EXPECT_FLOAT_EQ(red[0], 1.0f);
    EXPECT_FLOAT_EQ(red[1], 0.0f);
    // The point cloud gives no mesh; its three points are counted.
    EXPECT_EQ(WarningCount(r.warnings, "primitives skipped"), 3u);
    const SceneNode* cloud = nullptr;
    ASSERT_TRUE(test::FindWorld(r.scene, "Cloud", &world, &cloud));
    EXPECT_EQ(cloud->object.type, SceneObject::Type::None);
}

// Three materials named alike: two identical (one record, shared), one different (its own
// record under a name of its own).
TEST(AssimpWrittenScene, IdenticalMaterialsBecomeOneRecord) {
    std::string buffer;
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) PutFloat(&buffer, f);
    const std::string gltf = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1,2]}],
 "nodes":[{"name":"A","mesh":0},{"name":"B","mesh":1},{"name":"C","mesh":2}],
 "meshes":[{"primitives":[{"attributes":{"POSITION":0},"material":0}]},
           {"primitives":[{"attributes":{"POSITION":0},"material":1}]},
           {"primitives":[{"attributes":{"POSITION":0},"material":2}]}],
 "materials":[{"name":"Wood","pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,0,1]}},
              {"name":"Wood","pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,0,1]}},
              {"name":"Wood","pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,0.125,1]}}],
 "buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" + Base64(buffer) + R"("}],
 "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36}],
 "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}]})";
    const Result r = Import(WriteFile(fs::path(TestFolder()) / "wood.gltf", gltf));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.scene.materials.size(), 2u);
    EXPECT_EQ(r.counts.materialsMerged, 1u);
    const SceneNode *a = nullptr, *b = nullptr, *c = nullptr;
    SceneMatrix world;
    ASSERT_TRUE(test::FindWorld(r.scene, "A", &world, &a));
    ASSERT_TRUE(test::FindWorld(r.scene, "B", &world, &b));
    ASSERT_TRUE(test::FindWorld(r.scene, "C", &world, &c));
    EXPECT_EQ(a->material, b->material);
    EXPECT_NE(a->material, c->material);
    EXPECT_EQ(r.scene.materials[a->material].name, "Wood");
    EXPECT_EQ(r.scene.materials[c->material].name, "Wood (2)");
    EXPECT_FLOAT_EQ(r.scene.materials[c->material].diffuse[2], 0.125f);
}

// --- Normals -------------------------------------------------------------------------

std::size_t ZeroNormals(const std::vector<SceneNode>& nodes) {
    std::size_t zero = 0;
    for (const SceneNode& n : nodes) {
        for (const auto& v : n.object.mesh.normals) zero += (v[0] == 0 && v[1] == 0 && v[2] == 0) ? 1 : 0;
        zero += ZeroNormals(n.children);
    }
    return zero;
}

// Files without normals: a cube gets flat faces, a double-sided sheet (faces with reversed
// twins on the same vertices) one normal per side and no zero normal.
TEST(AssimpNormals, ComputedFromTheGeometryWhenTheSourceHasNone) {
    const fs::path dir = fs::path(TestFolder());
    const std::string cube = WriteFile(dir / "cube.obj",
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\nv 1 0 1\nv 0 1 1\nv 1 1 1\n"
        "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n");
    const std::string sheet = WriteFile(dir / "sheet.obj",
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\nf 1 4 3 2\n");
    for (const std::string& path : {cube, sheet}) {
        SCOPED_TRACE(path);
        const Result r = Import(path, {});
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(ZeroNormals(r.scene.nodes), 0u);
        EXPECT_GT(r.counts.normals.computed, 0u);
        const SceneMesh& m = r.scene.nodes.at(0).object.mesh;
        ASSERT_EQ(m.normals.size(), m.verts.size());
        for (const auto& face : m.faces) {
            const auto& a = m.verts[face[0]];
            const auto& b = m.verts[face[1]];
            const auto& c = m.verts[face[2]];
            const std::array<double, 3> u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const std::array<double, 3> n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            for (uint32_t k : face) {
                const auto& got = m.normals[k];
                EXPECT_NEAR((got[0] * n[0] + got[1] * n[1] + got[2] * n[2]) / len, 1.0, 1e-6);
            }
        }
    }
}

// A scan's normals of any length come out unit length, their direction kept, and counted
// (PLY files go to our own reader, which finishes meshes as the Assimp importer does).
TEST(AssimpNormals, SourceNormalsAreMadeUnitLength) {
    const std::string ply = WriteFile(fs::path(TestFolder()) / "scan.ply",
        "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
        "property float nx\nproperty float ny\nproperty float nz\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n"
        "0 0 0 0 0 0.05\n1 0 0 0.3 0 0.4\n0 1 0 0 6 8\n3 0 1 2\n");
    Result r;
    ToolResult<SceneDescription> read = ReadMeshFile(ply, {}, &r.warnings, &r.counts);
    ASSERT_TRUE(read.Ok()) << read.Error().Text();
    r.scene = std::move(*read);
    EXPECT_EQ(r.counts.normals.rescaled, 3u);
    const SceneMesh& m = r.scene.nodes.at(0).object.mesh;
    ASSERT_EQ(m.normals.size(), 3u);
    // Source directions (0,0,1), (0.6,0,0.8), (0,0.6,0.8) in Y-up; node space keeps them.
    const std::array<std::array<float, 3>, 3> want{{{0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0.6f, 0.8f}}};
    for (std::size_t i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(m.normals[i][k], want[i][k], 1e-6) << i << "," << k;
}

// --- Broken inputs -------------------------------------------------------------------

// A COLLADA node whose matrix has an infinite translation.
const char* const kInfiniteMatrixDae = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><up_axis>Y_UP</up_axis></asset>
  <library_geometries><geometry id="tri"><mesh>
    <source id="pos"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
      <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/>
        <param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
    <vertices id="v"><input semantic="POSITION" source="#pos"/></vertices>
    <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
  </mesh></geometry></library_geometries>
  <library_visual_scenes><visual_scene id="s">
    <node id="n"><matrix>1 0 0 inf 0 1 0 0 0 0 1 0 0 0 0 1</matrix><instance_geometry url="#tri"/></node>
  </visual_scene></library_visual_scenes>
  <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>
)";

TEST(AssimpBrokenInputs, RefusedWithTheFileNamed) {
    const fs::path dir = fs::path(TestFolder());
    struct Case {
        std::string path;
        const char* words;  // part of the message
    };
    std::vector<Case> cases = {
        {WriteFile(dir / "empty.obj", ""), "no vertices"},
        {WriteFile(dir / "empty.glb", ""), "the JSON cannot be read"},
        {(dir / "absent.fbx").string(), "no such file"},
        {WriteFile(dir / "matrix.dae", kInfiniteMatrixDae), "node 'n': its transform holds a value that is not finite"},
    };
    if (fs::is_directory(kModels)) {
        std::ifstream glb(Model("glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(glb)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 1200u);
        cases.push_back({WriteFile(dir / "cut.glb", bytes.substr(0, 1200)), "the GLB head declares 4696 bytes, the file holds 1200"});
        cases.push_back({Model("FBX/transparentTest.fbx"), "Assimp cannot read"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Result r = Import(c.path);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error.find(c.path), 0u) << r.error;
        EXPECT_NE(r.error.find(c.words), std::string::npos) << r.error;
        EXPECT_TRUE(r.scene.nodes.empty());
    }
}

// Non-finite coordinates drop the faces that use them; non-finite normals are left for the
// host to build; nothing non-finite reaches the scene.
TEST(AssimpBrokenInputs, NonFiniteDataIsRepaired) {
    const fs::path dir = fs::path(TestFolder());
    const std::string obj = WriteFile(dir / "inf.obj",
        "v 0 0 0\nv inf 0 0\nv 0 1 0\nv 0 0 1\nv 1 nan 0\nvn nan 0 1\nvt 0 0\n"
        "f 1/1/1 2/1/1 3/1/1\nf 1/1/1 3/1/1 4/1/1\nf 1/1/1 4/1/1 5/1/1\n");
    const Result r = Import(obj);
    ASSERT_TRUE(r.ok) << r.error;
    const Measure m = test::MeasureScene(r.scene);
    EXPECT_TRUE(m.allFinite);
    EXPECT_EQ(m.triangles, 1u);
    EXPECT_NEAR(m.area, 0.5, 1e-6);
    EXPECT_EQ(WarningCount(r.warnings, "faces dropped"), 2u);
    EXPECT_EQ(WarningCount(r.warnings, "normals rebuilt"), 1u);
}

// Each example names its node in quotes and says how many cases it stands for, so that the
// count and the examples agree; "..." only stands for examples left out.
TEST(AssimpBrokenInputs, WarningExamplesQuoteTheNodeAndAgreeWithTheCount) {
    const fs::path dir = fs::path(TestFolder());
    const std::string obj = WriteFile(dir / "rail.obj",
        "o rail\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nl 1 2\nl 2 3\nl 3 4\nf 1 2 3\n"
        "o bad\nv inf 0 0\nf 1 2 5\nf 1 5 3\n");
    const Result r = Import(obj);
    ASSERT_TRUE(r.ok) << r.error;
    std::map<std::string, Warnings::Entry> byKind;
    for (const auto& e : r.warnings.Entries()) byKind[WarningText(e.kind)] = e;
    EXPECT_EQ(byKind["primitives skipped"].count, 3u);
    EXPECT_EQ(byKind["primitives skipped"].examples, std::vector<std::string>{"\"rail\": 3 lines"});
    EXPECT_FALSE(byKind["primitives skipped"].moreExamples);
    EXPECT_EQ(byKind["faces dropped"].count, 2u);
    EXPECT_EQ(byKind["faces dropped"].examples,
              std::vector<std::string>{"\"bad\": 2 faces with coordinates not finite"});

    Warnings w;
    for (const char* node : {"a", "b", "a", "c", "d"}) w.Add(WarningKind::NodesPassedOver, QuotedName(node) + ": bone");
    ASSERT_EQ(w.Entries().size(), 1u);
    EXPECT_EQ(w.Entries()[0].count, 5u);
    EXPECT_EQ(w.Entries()[0].examples, (std::vector<std::string>{"\"a\": bone", "\"b\": bone", "\"c\": bone"}));
    EXPECT_TRUE(w.Entries()[0].moreExamples);
}

// A point cloud or an empty solid would make Assimp's validation refuse the whole file; they
// are taken out first and counted.
TEST(AssimpBrokenInputs, MeshesWithoutFacesAreTakenOut) {
    SKIP_WITHOUT_MODELS();
    struct Case {
        const char* file;
        std::size_t triangles;
        const char* warning;
    };
    const Case cases[] = {{"OBJ/point_cloud.obj", 0, "primitives skipped"},
                          {"STL/triangle_with_empty_solid.stl", 1, "empty meshes skipped"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Result r = Import(Model(c.file));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(test::MeasureScene(r.scene).triangles, c.triangles);
        EXPECT_GT(WarningCount(r.warnings, c.warning), 0u);
    }
}

// Whatever Assimp makes of these test models with bad data, the result is an error or a
// scene with nothing non-finite in it.
TEST(AssimpBrokenInputs, BadTestModelsGiveAnErrorOrAFiniteScene) {
    SKIP_WITHOUT_MODELS();
    for (const char* file : {"glTF2/IndexOutOfRange/IndexOutOfRange.gltf",
                             "glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf",
                             "glTF2/IncorrectVertexArrays/Cube.gltf",
                             "glTF2/BoxBadNormals-glTF-Binary/BoxBadNormals.glb",
                             "FBX/cubes_with_outofrange_float.fbx"}) {
        SCOPED_TRACE(file);
        const Result r = Import(Model(file));
        if (r.ok) {
            EXPECT_TRUE(test::MeasureScene(r.scene).allFinite);
        } else {
            EXPECT_EQ(r.error.find(Model(file)), 0u) << r.error;
        }
    }
}

}  // namespace
}  // namespace wux
