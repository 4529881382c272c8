#include "cli/picture_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "writer/staged_files.h"

namespace wux {

PictureScene LoadPictureScene(const std::string& path, const OverlaySet& overlays,
                              const std::vector<std::string>& textureDirs, bool decodeMaps) {
    const ToolResult<WuxDocument> read = OpenWux(path);
    if (!read.Ok()) throw read.Error();
    TextureSearch maps{{std::filesystem::path(path).parent_path().string()}, decodeMaps};
    maps.folders.insert(maps.folders.end(), textureDirs.begin(), textureDirs.end());
    std::uint64_t triangles = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*read->model->meshes)) triangles += std::uint64_t(mesh->faceCount);
    ProgressBar progress(triangles, "triangles read");
    PictureScene scene = BuildPictureScene(*read, maps, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    for (const std::string& missing : scene.missingMaps) Warn(missing);
    auto warn = [&](std::uint64_t count, const char* one, const char* many, const std::string& why) {
        if (count > 0)
            Warn(QuotedPath(path) + ": " + std::to_string(count) + " " + (count == 1 ? one : many) + " not drawn (" + why +
                 ")");
    };
    warn(scene.droppedTriangles, "triangle", "triangles",
         "a corner outside its mesh or not a finite number; `wux check` lists them");
    if (scene.meshesSmoothed > 0)
        Warn(QuotedPath(path) + ": " + Plural(scene.meshesSmoothed, "mesh", "meshes") +
             " lit by normals worked out from the triangles (the stored normals fit no one transform)");
    const std::string limit = "not finite numbers, or past the first " + std::to_string(kMaxOverlayItems);
    if (overlays.Has(OverlayKind::Spheres)) warn(scene.droppedSpheres, "sphere", "spheres", limit);
    if (overlays.Has(OverlayKind::Ellipsoid))
        warn(scene.droppedEllipsoids, "ellipsoid", "ellipsoids", "not finite numbers");
    if (overlays.Has(OverlayKind::Helpers)) warn(scene.droppedHelpers, "helper", "helpers", limit);
    return scene;
}

void WritePictureFile(const std::string& input, const std::string& output, const std::uint8_t* data,
                      std::size_t size) {
    StagedFiles files;
    ToolResult<void> written = files.Add(output, data, size);
    if (written.Ok()) written = files.Commit({input});
    if (!written.Ok()) throw written.Error();
}

}  // namespace wux
