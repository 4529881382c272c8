#include "cli/picture_files.h"
#include "format/tool_text.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "driver/export_files.h"
#include "format/file_bytes.h"
#include "format/tool_text.h"
#include "format/wux_reader.h"
#include "cli/progress_bar.h"
#include "writer/file_sink.h"

namespace wux {

int LoadPictureScene(const std::string& command, const std::string& path, const OverlaySet& overlays,
                     const std::vector<std::string>& textureDirs, bool decodeMaps, PictureScene* scene) {
    const auto file = LoadFileBytes(path);
    if (!file.Ok()) {
        std::cerr << "wux " << command << ": " << file.Error().Text() << "\n";
        return 2;
    }
    const ToolResult<WuxFile> read = ReadWux(SpanOf(*file));
    if (!read.Ok()) {
        std::cerr << "wux " << command << ": " << QuotedPath(path) << ": not a readable WUX file: offset " << *read.Error().offset
                  << ": " << read.Error().message << "\n";
        return 1;
    }
    TextureSearch maps{{std::filesystem::path(path).parent_path().string()}, decodeMaps};
    maps.folders.insert(maps.folders.end(), textureDirs.begin(), textureDirs.end());
    std::uint64_t triangles = 0;
    for (const MeshChunk& mesh : read->meshes) triangles += mesh.triangles.size();
    ProgressBar progress(triangles, "triangles read");
    *scene = BuildPictureScene(*read, maps, [&](std::uint64_t done) { progress.Update(done, 0); });
    progress.Clear();
    for (const std::string& missing : scene->missingMaps) std::cerr << "wux " << command << ": warning: " << missing << "\n";
    auto warn = [&](std::uint64_t count, const char* one, const char* many, const std::string& why) {
        if (count > 0)
            std::cerr << "wux " << command << ": warning: " << QuotedPath(path) << ": " << count << " " << (count == 1 ? one : many)
                      << " not drawn (" << why << ")\n";
    };
    warn(scene->droppedTriangles, "triangle", "triangles",
         "a corner outside its mesh or not a finite number; `wux check` lists them");
    if (scene->meshesSmoothed > 0)
        std::cerr << "wux " << command << ": warning: " << path << ": " << Plural(scene->meshesSmoothed, "mesh", "meshes")
                  << " lit by normals worked out from the triangles (the stored normals fit no one transform)\n";
    const std::string limit = "not finite numbers, or past the first " + std::to_string(kMaxOverlayItems);
    if (overlays.Has(OverlayKind::Spheres)) warn(scene->droppedSpheres, "sphere", "spheres", limit);
    if (overlays.Has(OverlayKind::Ellipsoid))
        warn(scene->droppedEllipsoids, "ellipsoid", "ellipsoids", "not finite numbers");
    if (overlays.Has(OverlayKind::Helpers)) warn(scene->droppedHelpers, "helper", "helpers", limit);
    return 0;
}

int WritePictureFile(const std::string& command, const std::string& input, const std::string& output,
                     const std::uint8_t* data, std::size_t size) {
    if (ToolResult<void> apart = CheckOutputsApart({input}, {output}); !apart.Ok()) {
        std::cerr << "wux " << command << ": " << apart.Error().Text() << "\n";
        return 64;
    }
    FileSink sink;
    SaveError error;
    if (!sink.open(output.c_str(), &error) || !sink.write(data, size) || !sink.finish(&error)) {
        if (error.kind == SaveError::Kind::None) error = sink.writeError();
        std::cerr << "wux " << command << ": " << error.message << "\n";
        return 2;
    }
    return 0;
}

}  // namespace wux
