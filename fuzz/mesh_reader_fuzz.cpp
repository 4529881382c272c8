// libFuzzer entry, built once per reader of ours (WUX_FUZZ_PARSE: ParsePly, ParseStl, ParseGltf, ...):
// the reader must take any bytes, and a scene it accepts must hold what the scene builder
// relies on: indices in range, one texture face and one normal per face corner's vertex,
// nothing non-finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/gltf_reader.h"
#include "input/mesh_reader.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckNodes(const std::vector<wux::SceneNode>& nodes) {
    for (const wux::SceneNode& node : nodes) {
        CheckNodes(node.children);
        const wux::SceneMesh& mesh = node.object.mesh;
        Require(node.local.AllFinite());
        Require(!node.object.IsTriangleMesh() || (!mesh.faces.empty() && mesh.normals.size() == mesh.verts.size()));
        for (const auto& face : mesh.faces)
            for (std::uint32_t v : face) Require(v < mesh.verts.size());
        Require(mesh.tverts.empty() || mesh.tvfaces.size() == mesh.faces.size());
        for (const auto& face : mesh.tvfaces)
            for (std::uint32_t v : face) Require(v < mesh.tverts.size());
        for (const auto& p : mesh.verts) Require(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
        for (const auto& t : mesh.tverts) Require(std::isfinite(t[0]) && std::isfinite(t[1]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    wux::Warnings warnings;
    const wux::ToolResult<wux::SceneDescription> scene =
        wux::WUX_FUZZ_PARSE(wux::ByteSpan{data, size}, "fuzz.in", wux::AssimpImportOptions{}, &warnings);
    if (!scene.Ok()) {
        Require(!scene.Error().message.empty());
        return 0;
    }
    CheckNodes(scene->nodes);
    return 0;
}
