// The JSON scene reader: what a good scene turns into, and that every kind of mistake is
// refused with the JSON path of the offending value.
#include "input/json_scene.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace wux {
namespace {

SceneDescription ParseOk(const std::string& text) {
    ToolResult<SceneDescription> scene = ParseJsonScene(text, "scene.json");
    EXPECT_TRUE(scene.Ok()) << scene.Error().Text();
    return scene.Ok() ? std::move(*scene) : SceneDescription{};
}

void ExpectRow(const SceneMatrix& m, int r, float x, float y, float z) {
    EXPECT_NEAR(m.rows[r][0], x, 1e-6f) << "row " << r;
    EXPECT_NEAR(m.rows[r][1], y, 1e-6f) << "row " << r;
    EXPECT_NEAR(m.rows[r][2], z, 1e-6f) << "row " << r;
}

TEST(JsonScene, ReadsEveryPartOfAScene) {
    const SceneDescription scene = ParseOk(R"({
      "time": 160,
      "materials": [
        {"name": "Brick", "diffuse": [0.5, 0.25, 0.125], "opacity": 0.75,
         "maps": [{"slot": 1, "map": {"type": "bitmap", "path": "C:\\maps\\brick.bmp"}, "amount": 0.5},
                  {"slot": 8, "enabled": false, "map": {"type": "checker"}},
                  {"slot": 3, "map": null}]},
        {"name": "Multi", "class": "multi"}
      ],
      "nodes": [
        {"name": "Box", "material": 1, "hidden": true,
         "matrix": [[1,0,0],[0,2,0],[0,0,3],[4,5,6]],
         "offset": {"position": [1, 0, 0]},
         "object": {"type": "mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]],
                    "tverts": [[0,0],[1,0,0.5],[0,1]], "tvfaces": [[2,1,0]],
                    "normals": [[0,0,1],[0,0,1],[0,0,1]], "smoothing": [4294967295]},
         "children": [{"name": "", "object": {"type": "helper"}},
                      {"name": "GBND", "object": {"type": "sphere", "radius": 10, "segments": 16, "param_block": 2}}]},
        {"name": "Cam", "object": {"type": "camera"}}
      ]})");
    EXPECT_EQ(scene.time, 160);
    ASSERT_EQ(scene.materials.size(), 2u);
    const SceneMaterial& brick = scene.materials[0];
    EXPECT_TRUE(brick.IsStandard());
    EXPECT_FLOAT_EQ(brick.diffuse[1], 0.25f);
    EXPECT_FLOAT_EQ(brick.ambient[0], 0.588f);  // host default kept
    EXPECT_FLOAT_EQ(brick.specular[2], 0.9f);
    EXPECT_FLOAT_EQ(brick.filter[0], 0.5f);
    EXPECT_FLOAT_EQ(brick.opacity, 0.75f);
    ASSERT_EQ(brick.maps.size(), 3u);
    EXPECT_EQ(brick.maps[0].slot, 1);
    EXPECT_EQ(brick.maps[0].kind, SceneMap::Kind::Bitmap);
    EXPECT_EQ(brick.maps[0].path, "C:\\maps\\brick.bmp");
    EXPECT_FLOAT_EQ(brick.maps[0].amount, 0.5f);
    EXPECT_TRUE(brick.maps[0].enabled);
    EXPECT_EQ(brick.maps[1].kind, SceneMap::Kind::Other);
    EXPECT_EQ(brick.maps[1].otherType, "checker");
    EXPECT_FALSE(brick.maps[1].enabled);
    EXPECT_FLOAT_EQ(brick.maps[1].amount, 1.0f);
    EXPECT_EQ(brick.maps[2].kind, SceneMap::Kind::None);
    EXPECT_FALSE(scene.materials[1].IsStandard());

    ASSERT_EQ(scene.nodes.size(), 2u);
    const SceneNode& box = scene.nodes[0];
    EXPECT_EQ(box.origin, "nodes[0]");
    EXPECT_TRUE(box.hidden);
    EXPECT_EQ(box.material, 1);
    ExpectRow(box.local, 1, 0, 2, 0);
    ExpectRow(box.local, 3, 4, 5, 6);
    ExpectRow(box.offset, 3, 1, 0, 0);
    ASSERT_EQ(box.object.type, SceneObject::Type::Mesh);
    EXPECT_EQ(box.object.mesh.tvfaces[0][0], 2u);
    EXPECT_FLOAT_EQ(box.object.mesh.tverts[1][2], 0.5f);
    EXPECT_FLOAT_EQ(box.object.mesh.tverts[2][2], 0.0f);
    EXPECT_EQ(box.object.mesh.smoothing, std::vector<uint32_t>{0xFFFFFFFFu});
    ASSERT_EQ(box.children.size(), 2u);
    EXPECT_EQ(box.children[0].object.type, SceneObject::Type::Helper);
    EXPECT_FLOAT_EQ(box.children[0].object.size, 20.0f);
    EXPECT_EQ(box.children[1].origin, "nodes[0].children[1]");
    EXPECT_FLOAT_EQ(box.children[1].object.radius, 10.0f);
    EXPECT_EQ(box.children[1].object.segments, 16);
    EXPECT_EQ(box.children[1].object.paramBlock, 2);
    EXPECT_EQ(scene.nodes[1].object.type, SceneObject::Type::Camera);
    EXPECT_EQ(scene.nodes[1].material, -1);
}

TEST(JsonScene, ReadsTheHostsEditableObjects) {
    const SceneDescription scene = ParseOk(R"({"nodes": [
        {"name": "M", "object": {"type": "editable_mesh", "verts": [[0,0,0],[1,0,0],[0,1,0]], "faces": [[0,1,2]]}},
        {"name": "P", "object": {"type": "editable_poly", "verts": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]],
                                 "faces": [[0,1,2,3],[3,2,1]], "tverts": [[0,0],[1,0],[1,1],[0,1,0.5]],
                                 "tvfaces": [[0,1,2,3],[3,2,1]]}}]})");
    ASSERT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes[0].object.type, SceneObject::Type::EditableMesh);
    EXPECT_EQ(scene.nodes[0].object.mesh.faces.size(), 1u);
    const SceneObject& poly = scene.nodes[1].object;
    ASSERT_EQ(poly.type, SceneObject::Type::EditablePoly);
    EXPECT_EQ(poly.poly.faces, (std::vector<std::vector<uint32_t>>{{0, 1, 2, 3}, {3, 2, 1}}));
    EXPECT_EQ(poly.poly.tvfaces, poly.poly.faces);
    EXPECT_FLOAT_EQ(poly.poly.tverts[3][2], 0.5f);
}

TEST(JsonScene, PositionRotationScaleComposeScaleThenRotationThenTranslation) {
    const SceneDescription scene = ParseOk(R"({"nodes": [
        {"name": "a", "rotation": [0, 0, 0.7071068, 0.7071068]},
        {"name": "b", "position": [1, 2, 3], "rotation": [0, 0, 0.7071068, 0.7071068], "scale": [2, 3, 4]},
        {"name": "c", "offset": {"scale": [5, 5, 5]}}]})");
    // (1,0,0) turns into (0,1,0): row 0 is the image of the X axis.
    ExpectRow(scene.nodes[0].local, 0, 0, 1, 0);
    ExpectRow(scene.nodes[0].local, 1, -1, 0, 0);
    ExpectRow(scene.nodes[0].local, 2, 0, 0, 1);
    ExpectRow(scene.nodes[1].local, 0, 0, 2, 0);
    ExpectRow(scene.nodes[1].local, 1, -3, 0, 0);
    ExpectRow(scene.nodes[1].local, 2, 0, 0, 4);
    ExpectRow(scene.nodes[1].local, 3, 1, 2, 3);
    ExpectRow(scene.nodes[2].local, 0, 1, 0, 0);
    ExpectRow(scene.nodes[2].offset, 2, 0, 0, 5);
}

struct BadCase {
    const char* what;
    const char* json;
    const char* expected;  // a part of the message
};

class JsonSceneRejects : public ::testing::TestWithParam<BadCase> {};

TEST_P(JsonSceneRejects, NamesThePlace) {
    const ToolResult<SceneDescription> scene = ParseJsonScene(GetParam().json, "in.json");
    ASSERT_FALSE(scene.Ok());
    const std::string text = scene.Error().Text();
    EXPECT_EQ(text.rfind("in.json: ", 0), 0u) << text;
    EXPECT_NE(text.find(GetParam().expected), std::string::npos) << text;
}

#define MESH3 R"("verts": [[0,0,0],[1,0,0],[0,1,0]])"

const BadCase kBadCases[] = {
    {"syntax", R"({"nodes": [1,,2]})", "byte 13: "},
    {"not an object", R"([])", "top level: expected an object"},
    {"nodes missing", R"({"materials": []})", "top level: missing required key \"nodes\""},
    {"unknown top key", R"({"nodes": [], "colour": 1})", "colour: unknown key"},
    {"unknown node key", R"({"nodes": [{"name": "a", "visible": true}]})", "nodes[0].visible: unknown key"},
    {"name missing", R"({"nodes": [{}]})", "nodes[0]: missing required key \"name\""},
    {"name not a string", R"({"nodes": [{"name": 3}]})", "nodes[0].name: expected a string, found a number"},
    {"hidden wrong type", R"({"nodes": [{"name": "a", "hidden": 0}]})", "nodes[0].hidden: expected true or false"},
    {"vertex index out of range",
     R"({"nodes": [{"name": "a", "children": [{"name": "b", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [[0,1,2],[0,1,40]]}}]}]})",
     "nodes[0].children[0].object.faces[1]: vertex index 40 out of range (3 vertices)"},
    {"fractional index", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3 R"(, "faces": [[0,1.5,2]]}}]})",
     "nodes[0].object.faces[0][1]: expected an integer index"},
    {"face of four", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3 R"(, "faces": [[0,1,2,0]]}}]})",
     "nodes[0].object.faces[0]: expected 3 indices, found 4"},
    {"vertex of two", R"({"nodes": [{"name": "a", "object": {"type": "mesh", "verts": [[0,0]], "faces": []}}]})",
     "nodes[0].object.verts[0]: expected 3 numbers, found 2"},
    {"smoothing short", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3 R"(, "faces": [[0,1,2]], "smoothing": []}}]})",
     "nodes[0].object.smoothing: expected one group mask per face (1), found 0"},
    {"smoothing beyond 32 bits", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [[0,1,2]], "smoothing": [4294967296]}}]})",
     "nodes[0].object.smoothing[0]: group mask 4294967296 out of range (0 to 4294967295)"},
    {"smoothing not an integer", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [[0,1,2]], "smoothing": [[1]]}}]})",
     "nodes[0].object.smoothing[0]: expected an integer group mask, found an array"},
    {"param_block 3", R"({"nodes": [{"name": "a", "object": {"type": "sphere", "radius": 1, "param_block": 3}}]})",
     "nodes[0].object.param_block: param_block 3 is neither 1 nor 2"},
    {"faces missing", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3 R"(}}]})",
     "nodes[0].object: missing required key \"faces\""},
    {"tvfaces missing", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [[0,1,2]], "tverts": [[0,0]]}}]})",
     "nodes[0].object: \"tvfaces\" is required"},
    {"tvfaces count", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [[0,1,2]], "tverts": [[0,0]], "tvfaces": []}}]})",
     "nodes[0].object.tvfaces: expected one texture face per face (1), found 0"},
    {"normals count", R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
     R"(, "faces": [], "normals": [[0,0,1]]}}]})",
     "nodes[0].object.normals: expected one normal per vertex (3), found 1"},
    {"polygon index out of range", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,2,3]]}}]})",
     "nodes[0].object.faces[0]: vertex index 3 out of range (3 vertices)"},
    {"polygon index negative", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,-2]]}}]})",
     "nodes[0].object.faces[0][2]: index -2 out of range"},
    {"polygon not an array", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [3]}}]})",
     "nodes[0].object.faces[0]: expected an array, found a number"},
    {"texture polygons missing", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,2]], "tverts": [[0,0]]}}]})",
     "nodes[0].object.tvfaces: expected one texture polygon per polygon (1), found 0"},
    {"texture polygon of another size", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,2],[2,1,0]], "tverts": [[0,0],[1,1]], "tvfaces": [[0,1,1],[0,1,1,0]]}}]})",
     "nodes[0].object.tvfaces[1]: expected 3 indices, as many as its polygon, found 4"},
    {"texture polygon index out of range", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,2]], "tverts": [[0,0]], "tvfaces": [[0,0,1]]}}]})",
     "nodes[0].object.tvfaces[0]: texture vertex index 1 out of range (1 texture vertices)"},
    {"texture polygons without tverts", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [[0,1,2]], "tvfaces": [[0,1,2]]}}]})",
     "nodes[0].object.tvfaces: texture polygons given without \"tverts\""},
    {"normals on a poly", R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3
     R"(, "faces": [], "normals": []}}]})",
     "nodes[0].object.normals: unknown key"},
    {"editable mesh face of four", R"({"nodes": [{"name": "a", "object": {"type": "editable_mesh", )" MESH3
     R"(, "faces": [[0,1,2,0]]}}]})",
     "nodes[0].object.faces[0]: expected 3 indices, found 4"},
    {"map slot twice", R"({"materials": [{"name": "m", "maps": [{"slot": 1}, {"slot": 1}]}], "nodes": []})",
     "materials[0].maps[1].slot: map slot 1 given twice"},
    {"unknown map type", R"({"materials": [{"name": "m", "maps": [{"slot": 1, "map": {"type": "noise"}}]}], "nodes": []})",
     "materials[0].maps[0].map.type: unknown map type \"noise\""},
    {"bitmap without path", R"({"materials": [{"name": "m", "maps": [{"slot": 1, "map": {"type": "bitmap"}}]}], "nodes": []})",
     "materials[0].maps[0].map: missing required key \"path\""},
    {"colour of two", R"({"materials": [{"name": "m", "diffuse": [1, 1]}], "nodes": []})",
     "materials[0].diffuse: expected 3 numbers, found 2"},
    {"number above double range", R"({"nodes": [{"name": "a", "position": [1e999, 0, 0]}]})",
     "byte 38: number overflow"},
    {"rotation not unit", R"({"nodes": [{"name": "a", "rotation": [0, 0, 0.5, 0.5]}]})",
     "nodes[0].rotation: rotation quaternion is not of unit length"},
    {"matrix with position", R"({"nodes": [{"name": "a", "matrix": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], "position": [0,0,0]}]})",
     "nodes[0].matrix: \"matrix\" cannot be combined"},
    {"matrix of three rows", R"({"nodes": [{"name": "a", "matrix": [[1,0,0],[0,1,0],[0,0,1]]}]})",
     "nodes[0].matrix: expected 4 rows, found 3"},
    {"offset unknown key", R"({"nodes": [{"name": "a", "offset": {"translate": [0,0,0]}}]})",
     "nodes[0].offset.translate: unknown key"},
    {"unknown object type", R"({"nodes": [{"name": "a", "object": {"type": "teapot"}}]})",
     "nodes[0].object.type: unknown object type \"teapot\""},
    {"sphere without radius", R"({"nodes": [{"name": "GBND", "object": {"type": "sphere"}}]})",
     "nodes[0].object: missing required key \"radius\""},
    {"camera with extras", R"({"nodes": [{"name": "c", "object": {"type": "camera", "fov": 45}}]})",
     "nodes[0].object.fov: unknown key"},
    {"time not an integer", R"({"time": 1.5, "nodes": []})", "time: expected an integer"},
    {"NUL in a name", R"({"nodes": [{"name": "a\u0000b"}]})", "nodes[0].name: the string contains a NUL character"},
    {"name_bytes not hex", R"({"materials": [{"name": "a", "name_bytes": "c0e"}], "nodes": []})",
     "materials[0].name_bytes: expected pairs of hex digits"},
    {"name_bytes with a NUL", R"({"nodes": [{"name": "a", "name_bytes": "6100"}]})", "nodes[0].name_bytes: the name contains a NUL byte"},
    {"duplicate key", R"({"nodes": [{"name": "a", "name": "b"}]})", "byte 25: key \"name\" given twice"},
    {"duplicate key through an escape", R"({"nodes": [], "nod\u0065s": []})", "byte 14: key \"nodes\" given twice"},
    {"duplicate key inside an unknown key's value", R"({"nodes": [], "x": {"a": 1, "a": 2}})",
     "byte 28: key \"a\" given twice"},
    {"text after the top-level value", R"({"nodes": []} {})", "unexpected '{'; expected end of input"},
    // Schema faults come in a fixed order whatever the order of the keys in the text.
    {"faces before verts", R"({"nodes": [{"name": "a", "object": {"faces": [[0,1,2],[0,1,3]], "type": "mesh", )" MESH3 R"(}}]})",
     "nodes[0].object.faces[1]: vertex index 3 out of range (3 vertices)"},
    {"index before a later corner's type fault", R"({"nodes": [{"name": "a", "object": {"faces": [[7,1.5,2]], )" MESH3
     R"(, "type": "mesh"}}]})",
     "nodes[0].object.faces[0]: vertex index 7 out of range (3 vertices)"},
    {"material index before the materials", R"({"nodes": [{"name": "a", "material": 2}], "materials": [{"name": "m"}]})",
     "nodes[0].material: material index 2 out of range (1 materials)"},
    {"unknown key after the children", R"({"nodes": [{"name": "a", "children": [{}], "colour": 1}]})",
     "nodes[0].colour: unknown key"},
    {"materials after the nodes outrank them", R"({"nodes": [{}], "materials": 3})",
     "materials: expected an array, found a number"},
};

INSTANTIATE_TEST_SUITE_P(Cases, JsonSceneRejects, ::testing::ValuesIn(kBadCases),
                         [](const ::testing::TestParamInfo<BadCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// Every numeric range of a scene at both bounds: the values at the bounds are read, those
// just beyond are refused with the place and the range.
TEST(JsonScene, EveryRangeHoldsAtBothBounds) {
    struct Beyond {
        const char* value;
        const char* expected;  // a part of the message
    };
    struct Range {
        const char* scene;  // '%' stands for the value
        std::vector<const char*> inside;
        std::vector<Beyond> beyond;
    };
    const Range ranges[] = {
        {R"({"nodes": [{"name": "s", "object": {"type": "sphere", "radius": 1, "segments": %}}]})",
         {"4", "200"},
         {{"3", "nodes[0].object.segments: segments 3 out of range (4 to 200)"},
          {"201", "nodes[0].object.segments: segments 201 out of range (4 to 200)"},
          {"100000", "nodes[0].object.segments: segments 100000 out of range (4 to 200)"}}},
        {R"({"materials": [{"name": "m", "maps": [{"slot": %}]}], "nodes": []})",
         {"0", "11"},
         {{"-1", "materials[0].maps[0].slot: map slot -1 out of range (0 to 11)"},
          {"12", "materials[0].maps[0].slot: map slot 12 out of range (0 to 11)"}}},
        {R"({"time": %, "nodes": []})",
         {"-2147483648", "2147483647"},
         {{"-2147483649", "time: integer -2147483649 is out of range"},
          {"2147483648", "time: integer 2147483648 is out of range"}}},
        // The largest float, its shortest spelling and the last double below the point where
        // rounding to float overflows; that point itself and beyond.
        {R"({"nodes": [{"name": "a", "position": [%, 0, 0]}]})",
         {"3.4028235e38", "-3.4028235e38", "3.4028235677973362e38", "-3.4028235677973362e38"},
         {{"3.4028235677973366e38", "nodes[0].position[0]: number 3.4028235677973366e+38 is out of float range"},
          {"-3.4028235677973366e38", "nodes[0].position[0]: number -3.4028235677973366e+38 is out of float range"},
          {"3.4028236e38", "nodes[0].position[0]: number 3.4028236e+38 is out of float range"}}},
        {R"({"nodes": [{"name": "a", "rotation": [0, 0, 0, %]}]})",
         {"0.9991", "1.0009"},
         {{"0.9989", "nodes[0].rotation: rotation quaternion is not of unit length"},
          {"1.0011", "nodes[0].rotation: rotation quaternion is not of unit length"}}},
        {R"({"materials": [{"name": "m"}, {"name": "n"}], "nodes": [{"name": "a", "material": %}]})",
         {"0", "1"},
         {{"-1", "nodes[0].material: material index -1 out of range (2 materials)"},
          {"2", "nodes[0].material: material index 2 out of range (2 materials)"}}},
        {R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3 R"(, "faces": [[0, 1, %]]}}]})",
         {"0", "2"},
         {{"-1", "nodes[0].object.faces[0]: vertex index -1 out of range (3 vertices)"},
          {"3", "nodes[0].object.faces[0]: vertex index 3 out of range (3 vertices)"}}},
        {R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
         R"(, "faces": [[0, 1, 2]], "tverts": [[0, 0], [1, 1]], "tvfaces": [[0, 0, %]]}}]})",
         {"0", "1"},
         {{"-1", "nodes[0].object.tvfaces[0]: texture vertex index -1 out of range (2 texture vertices)"},
          {"2", "nodes[0].object.tvfaces[0]: texture vertex index 2 out of range (2 texture vertices)"}}},
        {R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3 R"(, "faces": [[0, 1, %]]}}]})",
         {"2"},
         {{"-1", "nodes[0].object.faces[0][2]: index -1 out of range"},
          {"3", "nodes[0].object.faces[0]: vertex index 3 out of range (3 vertices)"}}},
        // Counts: the numbers of a texture vertex, the corners of a polygon.
        {R"({"nodes": [{"name": "a", "object": {"type": "mesh", )" MESH3
         R"(, "faces": [], "tverts": [[%]], "tvfaces": []}}]})",
         {"0, 0", "0, 0, 0"},
         {{"0", "nodes[0].object.tverts[0]: expected 2 or 3 numbers, found 1"},
          {"0, 0, 0, 0", "nodes[0].object.tverts[0]: expected 2 or 3 numbers, found 4"}}},
        {R"({"nodes": [{"name": "a", "object": {"type": "editable_poly", )" MESH3 R"(, "faces": [[%]]}}]})",
         {"0, 1, 2"},
         {{"0, 1", "nodes[0].object.faces[0]: a polygon needs 3 or more vertex indices, found 2"}}},
    };
    for (const Range& range : ranges) {
        const std::string scene = range.scene;
        const std::size_t at = scene.find('%');
        const auto with = [&](const char* value) { return scene.substr(0, at) + value + scene.substr(at + 1); };
        for (const char* value : range.inside) {
            SCOPED_TRACE(with(value));
            const ToolResult<SceneDescription> read = ParseJsonScene(with(value), "in.json");
            EXPECT_TRUE(read.Ok()) << read.Error().Text();
        }
        for (const Beyond& beyond : range.beyond) {
            SCOPED_TRACE(with(beyond.value));
            const ToolResult<SceneDescription> read = ParseJsonScene(with(beyond.value), "in.json");
            ASSERT_FALSE(read.Ok());
            EXPECT_NE(read.Error().Text().find(std::string("in.json: ") + beyond.expected), std::string::npos)
                << read.Error().Text();
        }
    }
}

TEST(JsonScene, DeepNestingIsRefusedWithoutRecursing) {
    std::string text = "{\"nodes\": [";
    const int depth = 100000;
    for (int i = 0; i < depth; ++i) text += "{\"name\": \"n\", \"children\": [";
    for (int i = 0; i < depth; ++i) text += "]}";
    text += "]}";
    const ToolResult<SceneDescription> scene = ParseJsonScene(text, "deep.json");
    ASSERT_FALSE(scene.Ok());
    EXPECT_EQ(scene.Error().kind, ToolError::Kind::Syntax);
    EXPECT_NE(scene.Error().message.find("nesting deeper than"), std::string::npos) << scene.Error().message;
}

TEST(JsonScene, NestingBelowTheLimitIsRead) {
    std::string text = "{\"nodes\": [";
    const int depth = 200;
    for (int i = 0; i < depth; ++i) text += "{\"name\": \"n\", \"children\": [";
    for (int i = 0; i < depth; ++i) text += "]}";
    text += "]}";
    const SceneDescription scene = ParseOk(text);
    const SceneNode* node = &scene.nodes[0];
    int levels = 1;
    while (!node->children.empty()) node = &node->children[0], ++levels;
    EXPECT_EQ(levels, depth);
}

// What the text may not hold after its value: a NUL ends the parser's reading early.
TEST(JsonScene, NulBytesAreSyntaxErrors) {
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {std::string("{\"nodes\": []}\0", 14), "byte 13: unexpected NUL character after the top-level value"},
        {std::string("{\"nodes\": []}\0{\"x\": 1}", 22), "byte 13: unexpected NUL character after the top-level value"},
        {std::string("{\"nodes\": [\0]}", 14), "unexpected NUL character; expected '[', '{', or a literal"},
    };
    for (const auto& c : cases) {
        const ToolResult<SceneDescription> scene = ParseJsonScene(c.text, "in.json");
        ASSERT_FALSE(scene.Ok());
        EXPECT_EQ(scene.Error().kind, ToolError::Kind::Syntax);
        EXPECT_NE(scene.Error().Text().find(c.expected), std::string::npos) << scene.Error().Text();
    }
}

// 3.4028235e38 is the shortest spelling of the largest float; it rounds to it, not beyond.
TEST(JsonScene, NumbersThatRoundToAFiniteFloatAreRead) {
    const SceneDescription scene =
        ParseOk(R"({"nodes": [{"name": "a", "position": [3.4028235e38, -3.4028235e38, 1e-50]}]})");
    EXPECT_EQ(scene.nodes[0].local.rows[3][0], FLT_MAX);
    EXPECT_EQ(scene.nodes[0].local.rows[3][1], -FLT_MAX);
    EXPECT_EQ(scene.nodes[0].local.rows[3][2], 0.0f);
}

// The reader keeps nothing of the text but the scene, so the keys may come in any order.
TEST(JsonScene, KeyOrderDoesNotMatter) {
    const SceneDescription a = ParseOk(R"({"materials": [{"name": "m"}, {"name": "n"}],
        "nodes": [{"name": "x", "material": 1, "object": {"type": "mesh", )" MESH3 R"(, "faces": [[0,1,2]],
                   "tverts": [[0,0],[1,1]], "tvfaces": [[0,1,1]]}}]})");
    const SceneDescription b = ParseOk(R"({"nodes": [{"object": {"tvfaces": [[0,1,1]], "faces": [[0,1,2]],
        "tverts": [[0,0],[1,1]], )" MESH3 R"(, "type": "mesh"}, "material": 1, "name": "x"}],
        "materials": [{"name": "m"}, {"name": "n"}]})");
    for (const SceneDescription* s : {&a, &b}) {
        ASSERT_EQ(s->nodes.size(), 1u);
        EXPECT_EQ(s->nodes[0].material, 1);
        EXPECT_EQ(s->nodes[0].object.mesh.verts.size(), 3u);
        EXPECT_EQ(s->nodes[0].object.mesh.faces, (std::vector<std::array<std::uint32_t, 3>>{{0, 1, 2}}));
        EXPECT_EQ(s->nodes[0].object.mesh.tvfaces, (std::vector<std::array<std::uint32_t, 3>>{{0, 1, 1}}));
    }
}

// A material index spelt -0 is 0, whether the materials come before the node or after it.
TEST(JsonScene, MaterialIndexMinusZeroIsZeroInEitherOrder) {
    for (const char* text : {R"({"materials": [{"name": "m"}], "nodes": [{"name": "a", "material": -0}]})",
                             R"({"nodes": [{"name": "a", "material": -0}], "materials": [{"name": "m"}]})"})
        EXPECT_EQ(ParseOk(text).nodes.at(0).material, 0) << text;
}

class JsonSceneFile : public ::testing::Test {
protected:
    void SetUp() override { dir_ = TestFolder(); }
    std::filesystem::path dir_;
};

// A file is read in chunks: values cut by a chunk's end read the same as from one string.
TEST_F(JsonSceneFile, ReadsAFileLargerThanAChunkLikeTheSameText) {
    std::string text = R"({"nodes": [{"name": "m", "object": {"type": "mesh", "verts": [)";
    const std::size_t count = 200000;  // about 3 MB: several chunks
    for (std::size_t i = 0; i < count; ++i) text += (i ? "," : "") + std::string("[0.125,-2.5,") + std::to_string(i) + "]";
    text += R"(], "faces": [[0,1,2]]}}]})";
    const auto path = dir_ / "big.json";
    std::ofstream(path, std::ios::binary) << text;
    const ToolResult<SceneDescription> read = ReadJsonSceneFile(path.string());
    ASSERT_TRUE(read.Ok()) << read.Error().Text();
    const SceneDescription& fromFile = *read;
    const SceneDescription fromText = ParseOk(text);
    ASSERT_EQ(fromFile.nodes[0].object.mesh.verts.size(), count);
    EXPECT_EQ(fromFile.nodes[0].object.mesh.verts, fromText.nodes[0].object.mesh.verts);
    EXPECT_EQ(fromFile.nodes[0].object.mesh.verts[count - 1][2], static_cast<float>(count - 1));
}

// A FIFO would block the reader, a device never end: refused before a byte is read.
TEST_F(JsonSceneFile, RefusesFilesThatAreNotRegular) {
    const auto fifo = dir_ / "fifo.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* expected;
    } cases[] = {
        {fifo.string(), ": not a regular file (a FIFO)"},
        {"/dev/zero", ": not a regular file (a character device)"},
        {dir_.string(), ": is a directory, not a file"},
    };
    for (const auto& c : cases) {
        const ToolResult<SceneDescription> scene = ReadJsonSceneFile(c.path);
        ASSERT_FALSE(scene.Ok());
        EXPECT_EQ(scene.Error().kind, ToolError::Kind::Input);
        EXPECT_EQ(scene.Error().Text(), c.path + c.expected + (c.path == dir_.string() ? "" : "; only regular files are read"));
    }
}

TEST(JsonScene, MissingFileIsAnIoError) {
    const ToolResult<SceneDescription> scene = ReadJsonSceneFile("/nonexistent/scene.json");
    ASSERT_FALSE(scene.Ok());
    EXPECT_EQ(scene.Error().kind, ToolError::Kind::Input);
    EXPECT_EQ(scene.Error().file, "/nonexistent/scene.json");
}

}  // namespace
}  // namespace wux
