// What the plug-in leaves out because a transform carries it beyond the float range is
// named, with its node and reason; what still fits is not.
#include "driver/lost_geometry.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "input/json_scene.h"

namespace wux {
namespace {

struct LostCase {
    const char* what;
    const char* nodes;     // the scene's "nodes" array
    std::optional<WarningKind> kind;  // none: no warning
    const char* detail;
};

const LostCase kCases[] = {
    {"a corner beyond the range", R"([{"name": "Far", "scale": [1e30, 1, 1], "object": {"type": "mesh",
        "verts": [[1,0,0],[1e9,0,0],[0,1,0],[0,0,1]], "faces": [[0,2,3],[1,2,3]]}}])",
     WarningKind::TrianglesLost, "\"Far\" at nodes[0]: 1 of 2 triangles (vertex 1 first)"},
    {"a mesh under a transform that overflows", R"([{"name": "P", "scale": [1e20, 1, 1], "children": [
        {"name": "M", "position": [1e20, 0, 0], "object": {"type": "mesh", "verts": [[0,0,0]], "faces": [[0,0,0]]}}]}])",
     WarningKind::TrianglesLost, "\"M\" at nodes[0].children[0]: all 1 triangles, its transform is not finite"},
    {"a sphere's mesh", R"([{"name": "Ball", "scale": [1e30, 1, 1], "object": {"type": "sphere", "radius": 1e10}}])",
     WarningKind::TrianglesLost, "\"Ball\" at nodes[0]: the mesh of a sphere of radius 1e+10"},
    {"a bounding sphere's radius", R"([{"name": "GBND", "scale": [1, 1, 1e30], "object": {"type": "sphere", "radius": 1e10}}])",
     WarningKind::SpheresLost, "\"GBND\" at nodes[0]: bounding sphere of radius 1e+10"},
    {"an ellipsoid's axis", R"([{"name": "GELP", "scale": [1, 1e30, 1], "object": {"type": "sphere", "radius": 1e10}}])",
     WarningKind::SpheresLost, "\"GELP\" at nodes[0]: ellipsoid of radius 1e+10"},
    {"a helper's extent", R"([{"name": "H", "scale": [3, 1, 1], "object": {"type": "helper", "size": 3e38}}])",
     WarningKind::HelpersLost, "\"H\" at nodes[0]: size 3e+38"},
    {"everything that still fits", R"([{"name": "H", "object": {"type": "helper", "size": 3e38}},
        {"name": "GBND", "scale": [1, 1, 1e28], "object": {"type": "sphere", "radius": 1e10}},
        {"name": "M", "scale": [1e30, 1, 1], "object": {"type": "mesh", "verts": [[100,0,0]], "faces": [[0,0,0]]}}])",
     std::nullopt, nullptr},
};

class LostGeometry : public ::testing::TestWithParam<LostCase> {};

TEST_P(LostGeometry, IsNamedWithItsReason) {
    const ToolResult<SceneDescription> scene =
        ParseJsonScene(std::string(R"({"nodes": )") + GetParam().nodes + "}", "s.json");
    ASSERT_TRUE(scene.Ok()) << scene.Error().Text();
    Warnings warnings;
    ReportLostGeometry(*scene, &warnings);
    if (!GetParam().kind) {
        EXPECT_TRUE(warnings.Entries().empty())
            << WarningText(warnings.Entries()[0].kind) << ": " << warnings.Entries()[0].examples[0];
        return;
    }
    ASSERT_EQ(warnings.Entries().size(), 1u);
    EXPECT_EQ(warnings.Entries()[0].kind, GetParam().kind);
    ASSERT_EQ(warnings.Entries()[0].examples.size(), 1u);
    EXPECT_NE(warnings.Entries()[0].examples[0].find(GetParam().detail), std::string::npos)
        << warnings.Entries()[0].examples[0];
}

INSTANTIATE_TEST_SUITE_P(Cases, LostGeometry, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LostCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace
}  // namespace wux
