// Records no scene could give are still converted, each named in a warning; records the
// plug-in writes give none.
#include <gtest/gtest.h>

#include <algorithm>

#include <functional>

#include "convert/convert.h"
#include "tests/support/wux_bytes.h"

namespace wux {
namespace {

const std::array<float, 19> kWriterColours{0, 0, 0.5f, 0.5f, 0.5f, 1, 0.2f, 0.2f, 0.2f, 1,
                                           0.9f, 0.9f, 0.9f, 1, 0.5f, 0.5f, 0.5f, 1, 39};

// A file as the plug-in writes it: materials in the order of first use, spheres main first.
wuxtest::File AsWritten() {
    wuxtest::File f;
    f.materials = {{"brick", kWriterColours, {{1, "brick.bmp", 1.0f}, {8, "bump.tga", 0.3f}}},
                   {"glass", kWriterColours, {}}};
    f.meshes = {{0, 2}, {1, 1}, {0, 1}};
    f.mainSphere = {1, 2, 3, 10};
    f.spheres = {{0, 0, 0, 4}, {5, 5, 5, 10}};
    f.ellipsoid = std::array<float, 6>{0, 0, 0, 1, 2, 3};
    f.references = {{"Spawn", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, -2, 1, 0}, {5, 5, 5}},
                    {"Point", {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 0}}};
    return f;
}

std::string WarningsOf(const wuxtest::File& f) {
    auto read = OpenWux(wuxtest::Build(f).bytes.Span());
    EXPECT_TRUE(read.Ok()) << read.Error().message;
    Warnings warnings;
    WuxToJsonScene(*read, &warnings);
    std::string text;
    for (const Warnings::Entry& e : warnings.Entries()) {
        text += std::string(WarningText(e.kind)) + ":";
        for (const std::string& example : e.examples) text += " [" + example + "]";
        text += "\n";
    }
    return text;
}

TEST(RecordInverse, AFileAsThePluginWritesItGivesNoWarning) { EXPECT_EQ(WarningsOf(AsWritten()), ""); }

TEST(RecordInverse, RecordsNoSceneGivesAreNamed) {
    struct Case {
        const char* expected;
        std::function<void(wuxtest::File&)> change;
    };
    const Case cases[] = {
        {"GMAT \"glass\": used by no mesh", [](wuxtest::File& f) { f.meshes = {{0, 1}}; }},
        {"GVTX #0: material 1 before the ones it follows", [](wuxtest::File& f) { f.meshes = {{1, 1}, {0, 1}}; }},
        {"GVTX #1: material index 7 out of range", [](wuxtest::File& f) { f.meshes[1].material = 7; }},
        {"GMAT \"brick\": fixed colour words differ", [](wuxtest::File& f) { f.materials[0].colour[18] = 40; }},
        {"GMAT \"brick\": map slots out of order", [](wuxtest::File& f) { std::swap(f.materials[0].maps[0], f.materials[0].maps[1]); }},
        {"GMAT \"brick\": name used twice", [](wuxtest::File& f) { f.materials[1].name = "brick"; }},
        {"GBND sphere 1: larger than the main sphere", [](wuxtest::File& f) { f.spheres[1].radius = 11; }},
        {"GBND sphere 0: radius not a distance", [](wuxtest::File& f) { f.spheres[0].radius = -1; }},
        {"GELP: semi-axis not a length", [](wuxtest::File& f) { f.ellipsoid = std::array<float, 6>{0, 0, 0, 1, -2, 3}; }},
        {"GREF entry 0 \"Spawn\": half extents of mixed sign", [](wuxtest::File& f) { f.references[0].halfExtents = {5, -5, 5}; }},
        {"GREF entry 0 \"Spawn\": a half extent of zero beside others", [](wuxtest::File& f) { f.references[0].halfExtents = {5, 0, 5}; }},
        {"GREF entry 1 \"Point\": fourth matrix column not zero", [](wuxtest::File& f) { f.references[1].transform[7] = 1; }},
    };
    for (const Case& c : cases) {
        wuxtest::File f = AsWritten();
        c.change(f);
        const std::string warnings = WarningsOf(f);
        EXPECT_NE(warnings.find(c.expected), std::string::npos) << c.expected << "\nin\n" << warnings;
        EXPECT_NE(warnings.find(WarningText(WarningKind::NotReproducible)), std::string::npos) << warnings;
    }
}

// The helper's size shift: the origin lies a quarter of the size along local Y from the
// stored position, and the axes carry half extent / (size / 2).
TEST(RecordInverse, HelperNodeUndoesTheSizeShift) {
    wuxtest::File f;
    f.references = {{"Turned", {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 0}, {10, 15, 20}}};  // 90 degrees about Z
    auto read = OpenWux(wuxtest::Build(f).bytes.Span());
    ASSERT_TRUE(read.Ok()) << read.Error().message;
    Warnings warnings;
    const std::vector<RecordNode> nodes = RecordNodes(*read->model, &warnings);
    EXPECT_TRUE(warnings.Entries().empty());
    ASSERT_EQ(nodes.size(), 1u);
    const RecordNode& node = nodes[0];
    EXPECT_FALSE(node.sphere);
    EXPECT_DOUBLE_EQ(node.size, 40.0);
    const HostRows expected{{{0, 0.5, 0}, {-0.75, 0, 0}, {0, 0, 1}, {10 - 7.5, 20, 30}}};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(node.transform[r][k], expected[r][k], 1e-12) << r << "," << k;
}

}  // namespace
}  // namespace wux
