// libFuzzer entry: the JSON scene reader must take any bytes, and a scene it accepts must
// hold what the scene builder relies on: indices in range, one texture face per face.
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/json_scene.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckNode(const wux::SceneNode& node, const wux::SceneDescription& scene) {
    Require(node.material < static_cast<int>(scene.materials.size()));
    const wux::SceneMesh& mesh = node.object.mesh;
    for (const auto& face : mesh.faces)
        for (std::uint32_t v : face) Require(v < mesh.verts.size());
    if (!mesh.tverts.empty()) Require(mesh.tvfaces.size() == mesh.faces.size());
    for (const auto& face : mesh.tvfaces)
        for (std::uint32_t v : face) Require(v < mesh.tverts.size());
    Require(mesh.normals.empty() || mesh.normals.size() == mesh.verts.size());
    for (const wux::SceneNode& child : node.children) CheckNode(child, scene);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const wux::ToolResult<wux::SceneDescription> scene = wux::ParseJsonScene(text, "fuzz.json");
    if (!scene.Ok()) {
        Require(!scene.Error().message.empty());
        return 0;
    }
    for (const wux::SceneNode& node : scene->nodes) CheckNode(node, *scene);
    return 0;
}
