#include "input/mesh_reader.h"

#include <filesystem>
#include <utility>

#include "format/mapped_file.h"
#include "format/tool_text.h"

namespace wux {

bool HasExtension(const std::string& path, const char* ext) {
    return Lower(std::filesystem::path(path).extension().string()) == ext;
}

SceneMatrix ReaderFrame(AssimpImportOptions::Up up) {
    SceneMatrix m;
    if (up == AssimpImportOptions::Up::Z) return m;
    m.rows[1][1] = 0.0f;
    m.rows[1][2] = 1.0f;
    m.rows[2][1] = -1.0f;
    m.rows[2][2] = 0.0f;
    return m;
}

SceneNode MeshNode(SceneMesh&& mesh, const std::string& name, const SceneMatrix& local, int material,
                   const AssimpImportOptions& options, Warnings* warnings, ImportCounts* counts) {
    SceneNode node;
    node.name = node.origin = name;
    node.local = local;
    node.material = material;
    node.object.type = SceneObject::Type::EditableMesh;
    node.object.mesh = std::move(mesh);
    ImportCounts ownCounts;
    FinishImportedMesh(&node.object.mesh, name, options.smoothAngleDegrees,
                       &(counts != nullptr ? counts : &ownCounts)->normals, warnings);
    return node;
}

ToolResult<SceneDescription> ReadMapped(const std::string& path,
                                        const std::function<ToolResult<SceneDescription>(ByteSpan)>& parse) {
    MappedFile file;
    if (ToolResult<void> opened = file.OpenWhole(path); !opened.Ok()) return opened.Error();
    ToolResult<SceneDescription> scene = parse(file.Span());
    if (ToolResult<void> intact = file.Intact(); !intact.Ok()) return intact.Error();
    return scene;
}

}  // namespace wux
