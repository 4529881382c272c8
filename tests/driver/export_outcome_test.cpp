// What the loaded plug-in passes over or leaves out, as the export's warnings name it: each
// scene is built in the stand-in host and exported by the plug-in library.
#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "driver/plugin_loader.h"
#include "driver/scene_builder.h"
#include "input/json_scene.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_check.h"

namespace wux {
namespace {

std::string Triangles(int n) {
    std::string faces;
    for (int i = 0; i < n; ++i) faces += i ? ",[0,1,2]" : "[0,1,2]";
    return R"({"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [)" + faces + "]}";
}

struct OutcomeCase {
    const char* what;
    std::string scene;     // materials and nodes of a JSON scene
    std::string warnings;  // as the export prints them
    bool nodesWithoutObject = true;
};

const OutcomeCase kCases[] = {
    {"nodes no collector takes", R"("nodes": [{"name": "Cam", "object": {"type": "camera"}}, {"name": "Lamp",
        "object": {"type": "light"}}, {"name": "Path", "object": {"type": "shape"}}, {"name": "Group"},
        {"name": "Flat", "scale": [1, 1, 0], "object": {"type": "helper"}},
        {"name": "GBND", "object": {"type": "camera"}}])",
     "warning: nodes passed over: 6 (\"Cam\" at nodes[0]: camera; \"Lamp\" at nodes[1]: light; \"Path\" at nodes[2]: "
     "shape, which makes no mesh; ...)\n"},
    {"an imported file's grouping nodes are the importer's to name",
     R"("nodes": [{"name": "Group"}, {"name": "Flat", "scale": [1, 1, 0], "object": {"type": "helper"}}])",
     "warning: nodes passed over: 1 (\"Flat\" at nodes[1]: helper scaled to zero)\n", false},
    {"a sphere node that is no sphere",
     R"("nodes": [{"name": "GELP", "object": {"type": "mesh", "verts": [], "faces": []}}])",
     "warning: nodes passed over: 1 (\"GELP\" at nodes[0]: GELP node without a radius parameter)\n"},
    {"names of several nodes are not given a place",
     R"("nodes": [{"name": "Cam", "object": {"type": "camera"}}, {"name": "Cam", "object": {"type": "camera"}},
        {"name": "", "object": {"type": "light"}}])",
     "warning: nodes passed over: 3 (\"Cam\": camera; (unnamed) at nodes[2]: light)\n"},
    {"meshes split", R"("nodes": [{"name": "Big", "object": )" + Triangles(43691) + R"(}, {"name": "Exact", "object": )" +
                         Triangles(21845) + "}]",
     "warning: meshes split: 1 (\"Big\" at nodes[0]: 43691 triangles into 3 records)\n"},
    {"materials: maps without a bitmap, meshes without one, names shared", R"("materials": [
        {"name": "M", "maps": [{"slot": 8, "map": {"type": "checker"}}, {"slot": 3}]},
        {"name": "M", "diffuse": [1, 0, 0]}, {"name": "Multi", "class": "multi"}],
      "nodes": [{"name": "A", "material": 0, "object": )" + Triangles(1) + R"(},
        {"name": "B", "material": 1, "object": )" + Triangles(1) + R"(},
        {"name": "C", "material": 2, "object": )" + Triangles(1) + R"(},
        {"name": "D", "object": )" + Triangles(1) + "}]",
     "warning: map slots without a bitmap left out: 2 (\"M\" slot 3: no map; \"M\" slot 8: not a bitmap)\n"
     "warning: materials sharing a name (the first one is written): 1 (\"M\")\n"
     "warning: meshes without a standard material (given material 0): 2 (\"C\" at nodes[2]: material \"Multi\" is "
     "not a standard material; \"D\" at nodes[3]: no material)\n"},
    {"no material written, so material 0 is no other mesh's",
     R"("nodes": [{"name": "D", "object": )" + Triangles(1) + "}]", ""},
    {"corners beyond the float range", R"("nodes": [{"name": "Far", "scale": [1e30, 1, 1], "object": {"type": "mesh",
        "verts": [[1,0,0],[1e9,0,0],[0,1,0],[0,0,1]], "faces": [[0,2,3],[1,2,3]]}},
        {"name": "P", "scale": [1e20, 1, 1], "children": [{"name": "M", "position": [1e20, 0, 0], "object": )" +
                                          Triangles(1) + "}]}]",
     "warning: triangles left out (beyond the float range in world space): 2 (\"Far\" at nodes[0]: 1 of 2 triangles; "
     "\"M\" at nodes[1].children[0]: 1 of 1 triangles)\n",
     false},
    {"spheres and helpers beyond the float range", R"("nodes": [
        {"name": "GBND", "scale": [1, 1, 1e30], "object": {"type": "sphere", "radius": 1e10}},
        {"name": "GELP", "scale": [1, 1e30, 1], "object": {"type": "sphere", "radius": 1e10}},
        {"name": "H", "scale": [3, 1, 1], "object": {"type": "helper", "size": 3e38}}])",
     "warning: spheres left out (a radius beyond the float range in world space): 2 (\"GBND\" at nodes[0]: bounding "
     "sphere; \"GELP\" at nodes[1]: ellipsoid)\n"
     "warning: helpers left out (a size or position beyond the float range in world space): 1 (\"H\" at nodes[2])\n"},
    {"everything that still fits", R"("nodes": [{"name": "H", "object": {"type": "helper", "size": 3e38}},
        {"name": "GBND", "scale": [1, 1, 1e28], "object": {"type": "sphere", "radius": 1e10}},
        {"name": "M", "scale": [1e30, 1, 1], "object": {"type": "mesh", "verts": [[100,0,0]], "faces": [[0,0,0]]}}])",
     ""},
};

class ExportOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(ExportOutcome, NamesWhatThePluginPassedOverOrLeftOut) {
    ToolResult<SceneDescription> scene = ParseJsonScene("{" + GetParam().scene + "}", "s.json");
    ASSERT_TRUE(scene.Ok()) << scene.Error().Text();
    StandinScene standin;
    ASSERT_TRUE(BuildStandinScene(&*scene, &standin).Ok());
    PluginLibrary plugin;
    ASSERT_TRUE(plugin.Load(WUX_PLUGIN_PATH).Ok());
    TempFolder folder;
    const std::string path = folder.Path("s.wux");
    StandinInterface host;
    StandinExpInterface ei(&standin);
    const ToolResult<int> exported = plugin.Export(path, &ei, &host);
    ASSERT_TRUE(exported.Ok() && *exported == IMPEXP_SUCCESS);
    EXPECT_TRUE(PassesChecker(path));

    Warnings warnings;
    plugin.AddOutcome(scene->nodes, GetParam().nodesWithoutObject, &warnings);
    EXPECT_EQ(FormatWarnings(warnings), GetParam().warnings);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportOutcome, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<OutcomeCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace
}  // namespace wux
