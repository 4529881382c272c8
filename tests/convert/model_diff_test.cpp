// The model diff on files built byte by byte: what counts as equal, and that each kind of
// difference is named with its chunk, record, field and offsets.
#include <gtest/gtest.h>

#include <cmath>

#include "convert/model_diff.h"
#include "tests/support/wux_bytes.h"

namespace wux {
namespace {

WuxDocument Read(const wuxtest::Built& built) {
    auto read = OpenWux(built.bytes.Span());
    EXPECT_TRUE(read.Ok()) << read.Error().message;
    return std::move(*read);
}

VertexChunk& FirstMesh(WuxDocument& doc) { return static_cast<VertexChunk&>(*doc.model->meshes->first()); }

wuxtest::File TwoMaterials() {
    wuxtest::File f;
    f.materials = {{"brick", {}, {{1, "brick.bmp", 1.0f}}}, {"glass", {}, {}}};
    f.meshes = {{0, 2}, {1, 1}};
    f.mainSphere = {1, 2, 3, 10};
    f.spheres = {{0, 0, 0, 4}};
    f.ellipsoid = std::array<float, 6>{0, 0, 0, 1, 2, 3};
    f.references = {{"Spawn", {}, {}}};
    return f;
}

TEST(WithinTolerance, RelativeAboveOneAbsoluteBelow) {
    struct Case {
        double a, b;
        bool equal;
    };
    const double nan = std::nan("");
    for (const Case& c : {Case{1000.0, 1000.009, true}, Case{1000.0, 1000.011, false}, Case{0.5, 0.500009, true},
                          Case{0.0, 0.000011, false}, Case{-2.0, 2.0, false}, Case{nan, nan, true}, Case{nan, 0.0, false},
                          Case{INFINITY, INFINITY, true}, Case{INFINITY, -INFINITY, false}, Case{INFINITY, 1e30, false}}) {
        EXPECT_EQ(WithinTolerance(c.a, c.b, 1e-5), c.equal) << c.a << " vs " << c.b;
    }
}

TEST(ModelDiff, MaterialsAreMatchedByNameAndMeshesByTheNameTheyReferTo) {
    wuxtest::File a = TwoMaterials();
    wuxtest::File b = a;
    std::swap(b.materials[0], b.materials[1]);
    b.meshes = {{1, 2}, {0, 1}};
    const DiffReport report = DiffModels(Read(wuxtest::Build(a)), Read(wuxtest::Build(b)), DiffOptions{});
    EXPECT_TRUE(report.Equal()) << FormatDiffText(report, "a", "b");
    EXPECT_NE(FormatDiffText(report, "a", "b").find("equal: a and b\n"), std::string::npos);
}

TEST(ModelDiff, EachDifferenceIsNamedWithItsPlace) {
    const wuxtest::File a = TwoMaterials();
    wuxtest::File b = a;
    b.materials[0].colour[3] = 0.25f;
    b.materials[0].maps[0].file = "other.bmp";
    b.spheres[0].radius = 5;
    b.references[0].name = "Exit";
    b.meshes.push_back({0, 1});
    const wuxtest::Built builtA = wuxtest::Build(a), builtB = wuxtest::Build(b);
    const DiffReport report = DiffModels(Read(builtA), Read(builtB), DiffOptions{});
    const std::string text = FormatDiffText(report, "a.wux", "b.wux");
    const std::size_t colourA = builtA.materials[0] + 12 + 4 + 8 + 4 * 3;  // head, name "brick" padded to 8, word 3
    for (const std::string& expected :
         {std::string("GNFO: mesh count: 2 vs 3 at offset 52 / 52"),
          "GMAT 'brick', colour block: word 3 (diffuse green): 0 vs 0.25 (difference 0.25) at offset " +
              std::to_string(colourA) + " / " + std::to_string(colourA),
          std::string("GMAT 'brick', map 0: file name: 'brick.bmp' vs 'other.bmp'"),
          std::string("GVTX #2: record: (none) vs present at offset - / ") + std::to_string(builtB.meshes[2]),
          std::string("GBND, sphere 0: radius: 4 vs 5 (difference 1)"),
          std::string("GREF, entry 0 'Spawn': name: 'Spawn' vs 'Exit'"),
          std::string("largest colour difference: 0.25 (GMAT 'brick', colour block: word 3 (diffuse green))"),
          std::string("different: 6 differences between a.wux and b.wux\n")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin\n" << text;
    }
    const nlohmann::json json = DiffJson(report, "a.wux", "b.wux");
    EXPECT_EQ(json["equal"], false);
    EXPECT_EQ(json["total"], 6);
    EXPECT_EQ(json["differences"][0]["chunk"], "GNFO");
}

TEST(ModelDiff, ListsAtMostTheCapButCountsEverything) {
    wuxtest::File a = TwoMaterials();
    a.meshes = {{0, 40}};
    wuxtest::File b = a;
    auto builtB = wuxtest::Build(b);
    WuxDocument fileB = Read(builtB);
    VertexChunk& mesh = FirstMesh(fileB);
    for (std::int32_t k = 0; k < mesh.vertexCount; ++k) mesh.vertices[k].x += 1.0f;
    DiffOptions options;
    options.maxListed = 5;
    const DiffReport report = DiffModels(Read(wuxtest::Build(a)), fileB, options);
    EXPECT_EQ(report.listed.size(), 5u);
    EXPECT_EQ(report.total, 120u);
    EXPECT_NE(FormatDiffText(report, "a", "b").find("... and 115 more\n"), std::string::npos);
}

// The file keeps no object transform: normals that one linear map turns into the other
// file's (world space, a Y-up frame) are the same model's; a single normal turned is not.
TEST(ModelDiff, NormalsInAnotherFrameAreEqualOneTurnedNormalIsNot) {
    wuxtest::File a = TwoMaterials();
    a.meshes = {{0, 40}};
    const auto built = wuxtest::Build(a);
    WuxDocument fileA = Read(built), turned = Read(built), one = Read(built);
    const MeshNormal* normals = FirstMesh(fileA).normals.get();
    for (std::int32_t k = 0; k < FirstMesh(fileA).vertexCount; ++k) {
        const float x = std::sin(0.7f * k), y = std::cos(1.3f * k), z = 0.3f + 0.2f * (k % 4);
        const float l = std::sqrt(x * x + y * y + z * z);
        FirstMesh(fileA).normals[k] = FirstMesh(one).normals[k] = {x / l, y / l, z / l};
        // Through (x, y, z) -> (20x, -z, y / 4), made unit: far from a rotation.
        const float tx = 20 * x / l, ty = -z / l, tz = y / l / 4, tl = std::sqrt(tx * tx + ty * ty + tz * tz);
        FirstMesh(turned).normals[k] = {tx / tl, ty / tl, tz / tl};
    }
    EXPECT_TRUE(DiffModels(fileA, turned, DiffOptions{}).Equal());

    FirstMesh(one).normals[7] = {-normals[7].y, normals[7].x, normals[7].z};
    const DiffReport report = DiffModels(fileA, one, DiffOptions{});
    EXPECT_FALSE(report.Equal());
    EXPECT_NE(FormatDiffText(report, "a", "b").find("GVTX #0, corner 7: normal x"), std::string::npos)
        << FormatDiffText(report, "a", "b");
    EXPECT_EQ(FormatDiffText(report, "a", "b").find("corner 6:"), std::string::npos);
}

}  // namespace
}  // namespace wux
