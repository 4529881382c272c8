#include <gtest/gtest.h>

#include "tests/support/wux_bytes.h"
#include "format/wux_info.h"

namespace {

wux::WuxDocument ReadRich() {
    const wuxtest::Built built = wuxtest::Build(wuxtest::RichFile());
    auto read = wux::OpenWux(built.bytes.Span());
    EXPECT_TRUE(read.Ok()) << read.Error().message;
    return std::move(*read);
}

TEST(WuxInfo, JsonHoldsEveryPartOfTheFile) {
    const nlohmann::ordered_json info = wux::InfoJson(ReadRich());
    EXPECT_EQ(info["mesh_count"], 2);
    EXPECT_EQ(info["material_count"], 2);
    EXPECT_EQ(info["chunks"].size(), 8u);  // GNFO, 6 inside, GREF
    EXPECT_EQ(info["chunks"][0]["tag"], "GNFO");
    EXPECT_EQ(info["chunks"][7]["tag"], "GREF");

    const auto& brick = info["materials"][0];
    EXPECT_EQ(brick["name"], "brick");
    // Floats appear as their shortest decimal text, not as widened doubles.
    EXPECT_EQ(brick["specular"].dump(), "[0.9,0.9,0.9]");
    EXPECT_EQ(brick["maps"][1]["channel"], 8);
    EXPECT_EQ(brick["maps"][1]["file"], "bump.bmp");
    EXPECT_EQ(info["materials"][1]["opacity"], 0.25);

    const auto& mesh = info["meshes"][1];
    EXPECT_EQ(mesh["material"], 1);
    EXPECT_EQ(mesh["vertices"], 12);
    EXPECT_EQ(mesh["triangles"], 4);
    EXPECT_EQ(mesh["box"]["min"].dump(), "[0.0,0.0,-11.0]");
    EXPECT_EQ(mesh["box"]["max"].dump(), "[11.0,22.0,0.0]");

    EXPECT_EQ(info["main_sphere"]["radius"], 10.0);
    EXPECT_EQ(info["spheres"].size(), 2u);
    EXPECT_EQ(info["ellipsoid"]["semi_axes"].dump(), "[8.0,4.0,2.0]");
    EXPECT_EQ(info["references"][1]["name"], "Dummy");
    EXPECT_EQ(info["references"][1]["transform"][3].dump(), "[7.0,8.0,9.0,0.0]");
    EXPECT_EQ(info["references"][1]["half_extents"].dump(), "[1.0,2.0,3.0]");
}

TEST(WuxInfo, EmptyFileHasNullEllipsoidAndNoBox) {
    wuxtest::File file;
    file.meshes = {{0, 0}};
    const auto read = wux::OpenWux(wuxtest::Build(file).bytes.Span());
    ASSERT_TRUE(read.Ok());
    const auto info = wux::InfoJson(*read);
    EXPECT_TRUE(info["ellipsoid"].is_null());
    EXPECT_TRUE(info["meshes"][0]["box"].is_null());
    EXPECT_TRUE(info["materials"].empty());
}

TEST(WuxInfo, NonFiniteValuesAndNonUtf8NamesStillDump) {
    wuxtest::File file = wuxtest::RichFile();
    file.references[0].name = "\xCF\xF0\xE8\xE2\xE5\xF2";  // CP1251 text, not UTF-8
    file.references[0].halfExtents[0] = std::numeric_limits<float>::quiet_NaN();
    const auto read = wux::OpenWux(wuxtest::Build(file).bytes.Span());
    ASSERT_TRUE(read.Ok());
    const std::string json = wux::DumpInfoJson(wux::InfoJson(*read));
    EXPECT_NE(json.find("null"), std::string::npos);
    const std::string text = wux::InfoText(*read);
    EXPECT_NE(text.find("\"\\xCF\\xF0\\xE8\\xE2\\xE5\\xF2\""), std::string::npos) << text;
    EXPECT_NE(text.find("half extents (nan, 10, 10)"), std::string::npos) << text;
}

TEST(WuxInfo, TextListsMaterialsMeshesSpheresAndReferences) {
    const std::string text = wux::InfoText(ReadRich());
    for (const char* line : {"header: 2 meshes, 2 materials\n", "  #0 \"brick\"\n",
                             "    map channel 8: \"bump.bmp\", amount 0.5\n",
                             "  #1 material 1, 12 vertices, 4 triangles, box (0, 0, -11) to (11, 22, 0)\n",
                             "main sphere: centre (1, 2, 3) radius 10\n", "further spheres: 2\n",
                             "ellipsoid: centre (1, 2, 3), semi-axes (8, 4, 2)\n",
                             "  #1 \"Dummy\": position (7, 8, 9), axes (0, 1, 0) (-1, 0, 0) (0, 0, 1), half extents (1, 2, 3)\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line << "in:\n" << text;
    }
}

}  // namespace
