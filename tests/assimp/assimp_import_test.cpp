// The Assimp importer against models nobody here wrote (Debian's assimp-testmodels) and
// against small files written by the tests: counts, areas and the up axis compared with
// what Assimp itself reports, materials and textures, helpers, spheres and broken inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/assimp/scene_measure.h"
#include "tools/assimp_import.h"

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

// A fresh folder per test for written inputs and embedded textures.
fs::path TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) if (c == '/') c = '_';
    fs::path dir = fs::temp_directory_path() / ("wux_assimp_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

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
};

Result Import(const std::string& path, AssimpImportOptions options = {}) {
    Result r;
    r.ok = ImportWithAssimp(path, options, &r.scene, &r.warnings, &r.error);
    return r;
}

std::size_t WarningCount(const Warnings& w, const std::string& kind) {
    for (const auto& e : w.Entries())
        if (e.kind == kind) return e.count;
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
                      RealModel{"PLY/cube_uv.ply", 12},
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

// A GLB's texture lives in the file: it is written beside the output and named after it.
TEST(AssimpRealModels, EmbeddedTexturesAreWrittenBesideTheOutput) {
    SKIP_WITHOUT_MODELS();
    const fs::path dir = TempDir();
    AssimpImportOptions options;
    options.outputPath = (dir / "box.wux").string();
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
    const fs::path dir = TempDir();
    WriteFile(dir / "m.mtl", "newmtl Brick\nKd 0.5 0.25 0.125\nmap_Kd maps\\nowhere\\brick.bmp\nmap_bump bump.png\n");
    const std::string obj = WriteFile(dir / "m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Brick\nf 1 2 3\n");
    WriteFile(dir / "BUMP.PNG", "not really a png");
    const Result r = Import(obj);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(WarningCount(r.warnings, "textures missing"), 1u);
    const SceneMaterial* m = FindMaterial(r.scene, "Brick");
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->diffuse[1], 0.25f);
    ASSERT_EQ(m->maps.size(), 2u);
    EXPECT_EQ(m->maps[0].slot, 1);
    EXPECT_EQ(m->maps[0].path, "maps\\nowhere\\brick.bmp");  // handed on as written
    EXPECT_EQ(m->maps[1].slot, 8);
    EXPECT_EQ(FileNamePart(m->maps[1].path), "BUMP.PNG");
}

// --- Up axis -------------------------------------------------------------------------

// A triangle standing 10 units tall along the file's +Y.
std::string WriteTallTriangle(const fs::path& dir, const char* ext) {
    return WriteFile(dir / (std::string("tall.") + ext), "v 0 0 0\nv 1 0 0\nv 0 10 0\nf 1 2 3\n");
}

TEST(AssimpUpAxis, YUpSourceStandsOnPlusZ) {
    const fs::path dir = TempDir();
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

}  // namespace
}  // namespace wux
