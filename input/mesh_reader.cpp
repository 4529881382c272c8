#include "input/mesh_reader.h"

#include <sys/mman.h>

#include <filesystem>
#include <utility>

#include "format/mapped_file.h"
#include "format/tool_text.h"

namespace wux {

bool HasExtension(const std::string& path, const char* ext) {
    return Lower(std::filesystem::path(path).extension().string()) == ext;
}

bool IsMeshPath(const std::string& path) {
    return HasExtension(path, ".ply") || HasExtension(path, ".stl") || HasExtension(path, ".obj");
}

ToolResult<SceneDescription> ReadMeshFile(const std::string& path, const AssimpImportOptions& options,
                                          Warnings* warnings, ImportCounts* counts) {
    return ReadMapped(path, [&](ByteSpan bytes) {
        if (HasExtension(path, ".ply")) return ParsePly(bytes, path, options, warnings, counts);
        if (HasExtension(path, ".stl")) return ParseStl(bytes, path, options, warnings, counts);
        // The mapped text's pages leave the resident set before the meshes' normals are made.
        const auto drop = [&] { madvise(const_cast<std::uint8_t*>(bytes.data), bytes.size, MADV_DONTNEED); };
        return ParseObj(bytes, path, options, warnings, counts, drop);
    });
}

void PassedOver::Report(const std::string& name, bool empty, Warnings* warnings) const {
    const std::string subject = QuotedName(name) + ": ";
    if (points > 0) warnings->Add(WarningKind::PrimitivesSkipped, subject + Plural(points, "point", "points"), points);
    if (lines > 0) warnings->Add(WarningKind::PrimitivesSkipped, subject + Plural(lines, "line", "lines"), lines);
    if (polygons > 0) warnings->Add(WarningKind::PrimitivesSkipped, subject + Plural(polygons, "polygon", "polygons"), polygons);
    if (degenerate > 0)
        warnings->Add(WarningKind::StripTrianglesDegenerate, subject + Plural(degenerate, "triangle", "triangles"), degenerate);
    if (outOfRange > 0)
        warnings->Add(WarningKind::FacesDropped, subject + Plural(outOfRange, "face", "faces") + " with a vertex index out of range", outOfRange);
    if (notFinite > 0)
        warnings->Add(WarningKind::FacesDropped, subject + Plural(notFinite, "face", "faces") + " with coordinates not finite", notFinite);
    if (empty && points + lines + polygons == 0) warnings->Add(WarningKind::EmptyMeshes, QuotedName(name));
}

SceneMatrix ReaderFrame(AssimpImportOptions::Up up) {
    if (up == AssimpImportOptions::Up::Z) return SceneMatrix();
    return SceneMatrix{{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, 0}}};
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
