// The stand-in scene built from a scene description.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "driver/scene_builder.h"

namespace wux {
namespace {

SceneNode MeshNode(const std::string& name, std::size_t triangles) {
    SceneNode node;
    node.name = name;
    node.origin = "nodes[0]";
    node.object.type = SceneObject::Type::Mesh;
    node.object.mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    node.object.mesh.faces.assign(triangles, {0, 1, 2});
    return node;
}

TEST(SceneBuilder, BuildsNodesObjectsAndSharedMaterials) {
    SceneDescription desc;
    SceneMaterial brick;
    brick.name = "Brick";
    brick.diffuse = {0.1f, 0.2f, 0.3f};
    SceneMap map;
    map.slot = 1;
    map.kind = SceneMap::Kind::Bitmap;
    map.path = "C:\\maps\\brick.bmp";
    map.amount = 0.5f;
    brick.maps.push_back(map);
    desc.materials.push_back(brick);

    SceneNode a = MeshNode("A", 2);
    a.object.mesh.smoothing = {0, 6};
    a.object.mesh.normals = {{1, 0, 0}, {0, 0, 1}, {0, 0, 1}};
    a.material = 0;
    a.hidden = true;
    a.local.rows[3][0] = 5;
    SceneNode child;
    child.name = "Child";
    child.material = 0;
    child.object.type = SceneObject::Type::Sphere;
    child.object.radius = 3;
    child.object.paramBlock = 2;
    a.children.push_back(child);
    desc.nodes.push_back(a);

    StandinScene scene;
    const ToolResult<void> built = BuildStandinScene(&desc, &scene);
    ASSERT_TRUE(built.Ok()) << built.Error().Text();
    const std::vector<StandinNode*> nodes = scene.AllNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->Name(), "A");
    EXPECT_TRUE(nodes[0]->IsHidden());
    EXPECT_EQ(nodes[1]->Parent(), nodes[0]);
    EXPECT_FLOAT_EQ(nodes[1]->WorldTM().GetRow(3).x, 5.0f);
    ASSERT_NE(nodes[0]->GetMtl(), nullptr);
    EXPECT_EQ(nodes[0]->GetMtl(), nodes[1]->GetMtl());  // one material, shared
    auto* mat = static_cast<StdMat*>(nodes[0]->GetMtl());
    EXPECT_FLOAT_EQ(mat->GetDiffuse(0).g, 0.2f);
    EXPECT_TRUE(mat->MapEnabled(1));
    EXPECT_FALSE(mat->MapEnabled(0));
    EXPECT_FLOAT_EQ(mat->GetTexmapAmt(1, 0), 0.5f);
    auto* bitmap = static_cast<BitmapTex*>(mat->GetSubTexmap(1));
    EXPECT_STREQ(bitmap->GetMapName(), "C:\\maps\\brick.bmp");
    EXPECT_EQ(nodes[1]->GetObjectRef()->ClassID(), Class_ID(0x11, 0));
    EXPECT_EQ(static_cast<Animatable*>(nodes[1]->GetObjectRef())->NumParamBlocks(), 1);  // second generation
    const Mesh& mesh = static_cast<TriObject*>(nodes[0]->GetObjectRef())->mesh;
    EXPECT_EQ(mesh.faces[0].smGroup, 0u);
    EXPECT_EQ(mesh.faces[1].smGroup, 6u);
    EXPECT_FLOAT_EQ(mesh.getNormal(0).x, 1.0f);  // as given
}

// Descriptions no reader checks: the mesh the host would read out of bounds is refused.
TEST(SceneBuilder, RefusesWhatTheHostCannotHoldAndNamesTheNode) {
    struct Case {
        void (*spoil)(SceneMesh&);
        const char* message;
    } cases[] = {
        {[](SceneMesh& m) { m.faces[0][2] = 7; }, "face 0 uses vertex 7, but the mesh has 3 vertices"},
        {[](SceneMesh& m) { m.tvfaces.clear(); }, "the mesh has 3 texture vertices but 0 texture faces for 1 faces"},
        {[](SceneMesh& m) { m.tvfaces[0][0] = 5; },
         "texture face 0 uses texture vertex 5, but the mesh has 3 texture vertices"},
        {[](SceneMesh& m) { m.normals.pop_back(); }, "the mesh has 2 normals for 3 vertices"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SceneDescription desc;
        desc.nodes.push_back(MeshNode("Broken", 1));
        SceneMesh& mesh = desc.nodes[0].object.mesh;
        mesh.tverts = mesh.verts;
        mesh.tvfaces = mesh.faces;
        mesh.normals.assign(3, {0, 0, 1});
        c.spoil(mesh);
        StandinScene scene;
        const ToolResult<void> built = BuildStandinScene(&desc, &scene);
        ASSERT_FALSE(built.Ok());
        EXPECT_EQ(built.Error().message, std::string("nodes[0]: node \"Broken\": ") + c.message);
    }
    {
        SceneDescription desc;
        SceneNode node = MeshNode("Inf", 1);
        node.local.rows[3][1] = std::numeric_limits<float>::infinity();
        desc.nodes.push_back(node);
        StandinScene scene;
        const ToolResult<void> built = BuildStandinScene(&desc, &scene);
        ASSERT_FALSE(built.Ok());
        const std::string& error = built.Error().message;
        EXPECT_NE(error.find("nodes[0]: node \"Inf\": its transform is not finite"), std::string::npos) << error;
    }
}

SceneNode PolyNode(const std::string& name, std::size_t quads) {
    SceneNode node;
    node.name = name;
    node.origin = "nodes[1]";
    node.object.type = SceneObject::Type::EditablePoly;
    node.object.poly.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    node.object.poly.faces.assign(quads, {0, 1, 2, 3});
    return node;
}

// The host's own mesh objects, of their own classes; a poly the host cannot hold is refused
// with the node named.
TEST(SceneBuilder, BuildsEditableMeshesAndPolys) {
    SceneDescription desc;
    SceneNode mesh = MeshNode("M", 1);
    mesh.object.type = SceneObject::Type::EditableMesh;
    desc.nodes.push_back(mesh);
    desc.nodes.push_back(PolyNode("P", 2));
    StandinScene scene;
    const ToolResult<void> built = BuildStandinScene(&desc, &scene);
    ASSERT_TRUE(built.Ok()) << built.Error().Text();
    const std::vector<StandinNode*> nodes = scene.AllNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->GetObjectRef()->ClassID(), Class_ID(EDITTRIOBJ_CLASS_ID, 0));
    EXPECT_EQ(static_cast<TriObject*>(nodes[0]->GetObjectRef())->mesh.getNumFaces(), 1);
    EXPECT_EQ(nodes[1]->GetObjectRef()->ClassID(), Class_ID(0x1bf8338d, 0x192f6098));

    desc.nodes[1].object.poly.faces[1] = {0, 1};  // a description not checked by the JSON reader
    StandinScene refused;
    const ToolResult<void> refusal = BuildStandinScene(&desc, &refused);
    ASSERT_FALSE(refusal.Ok());
    const std::string& error = refusal.Error().message;
    EXPECT_NE(error.find("nodes[1]: node \"P\": polygon 1 has 2 corners"), std::string::npos) << error;
}

}  // namespace
}  // namespace wux
