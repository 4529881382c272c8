#include "picture/picture_scene.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "format/mapped_file.h"
#include "format/world_normals.h"
#include "format/tool_text.h"

namespace wux {
namespace {

float Channel(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

bool AllFinite(const float* values, std::size_t n) {
    return std::all_of(values, values + n, [](float v) { return std::isfinite(v); });
}

bool Finite(const BoundSphere& s) { return IsFinite(Vec3{s.x, s.y, s.z}) && std::isfinite(s.radius); }
bool Finite(const EllipsoidChunk& e) { return AllFinite(e.centre, 3) && AllFinite(e.semiAxes, 3); }
bool Finite(const ReferenceEntry& r) { return AllFinite(&r.transform[0][0], 16) && AllFinite(r.halfExtents, 3); }

// Keeps what can be drawn, up to the limit, and counts the rest.
template <typename T>
void Keep(const T& item, std::vector<T>* kept, std::uint64_t* dropped) {
    if (Finite(item) && kept->size() < kMaxOverlayItems) kept->push_back(item);
    else ++*dropped;
}

// Appends the mesh's triangles whose corners all lie inside the mesh and are finite.
void AddMesh(const VertexChunk& mesh, MaterialGroup* group, PictureScene* scene) {
    ++group->meshCount;
    const WorldNormals normals = MeshWorldNormals(mesh);
    if (!normals.fitted) ++scene->meshesSmoothed;
    const bool textured = group->texture >= 0;
    const auto faceCount = static_cast<std::size_t>(mesh.faceCount);
    group->positions.reserve(group->positions.size() + 3 * faceCount);
    group->normals.reserve(group->positions.capacity());
    if (textured) group->uvs.reserve(group->positions.capacity());
    for (std::size_t t = 0; t < faceCount; ++t) {
        const std::uint16_t* triangle = &mesh.triangles[3 * t];
        const bool drawable = std::all_of(triangle, triangle + 3, [&](std::uint16_t index) {
            if (index >= mesh.vertexCount) return false;
            const MeshVertex& v = mesh.vertices[index];
            return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
        });
        if (!drawable) {
            ++scene->droppedTriangles;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& v = mesh.vertices[triangle[k]];
            group->positions.push_back({v.x, v.y, v.z});
            group->normals.push_back(normals.corners[3 * t + k]);
            scene->meshBounds.Add(Vec3{v.x, v.y, v.z});
            if (textured) group->uvs.push_back({std::isfinite(v.u) ? v.u : 0.0f, std::isfinite(v.v) ? v.v : 0.0f});
        }
        ++scene->triangleCount;
    }
}

// A material's map file as an index into scene->textures, each file loaded once; -1 with one
// line in scene->missingMaps when it cannot be found or read.
int LoadMap(const std::string& file, const MaterialChunk& material, const TextureSearch& search, TextureFolders* folders,
            std::unordered_map<std::string, int>* known, PictureScene* scene) {
    const auto [entry, fresh] = known->emplace(file, -1);
    if (!fresh) return entry->second;
    const std::string drawnAs = "; drawn in its material's diffuse colour";
    const std::optional<std::string> path = folders->Find(file);
    if (!path) {
        scene->missingMaps.push_back("map file " + Quoted(file) + " of material " + Quoted(material.name) +
                                     " not found" + drawnAs);
        return -1;
    }
    PictureTexture texture;
    texture.name = PrintableText(file);
    ToolError error;
    if (search.decode) {
        const auto bytes = LoadFileBytes(*path);
        auto pixels = bytes.Ok() ? DecodeTexture(*bytes, *path, 3) : ToolResult<TexturePixels>(bytes.Error());
        if (pixels.Ok()) texture.rgb = std::move(*pixels);
        else error = pixels.Error();
    } else if (auto image = LoadTextureImage(*path); image.Ok()) {
        texture.mimeType = image->mimeType;
        texture.bytes = std::move(image->bytes);
    } else {
        error = image.Error();
    }
    if (!error.message.empty()) {
        scene->missingMaps.push_back(error.Text() + drawnAs);
        return -1;
    }
    scene->textures.push_back(std::move(texture));
    return entry->second = static_cast<int>(scene->textures.size() - 1);
}

}  // namespace

PictureScene BuildPictureScene(const WuxDocument& doc, const TextureSearch& maps, const TriangleProgress& progress) {
    PictureScene scene;
    std::unordered_map<std::string, int> known;
    TextureFolders folders(maps.folders);
    const ExportModel& model = *doc.model;
    for (const MaterialChunk* material : Records<MaterialChunk>(*model.materials)) {
        MaterialGroup group;
        group.name = PrintableText(material->name);
        const auto diffuse = Colour(*material, wux_file::kDiffuseWord), filter = Colour(*material, wux_file::kFilterWord);
        group.colour = {Channel(diffuse[0]), Channel(diffuse[1]), Channel(diffuse[2])};
        group.filter = {Channel(filter[0]), Channel(filter[1]), Channel(filter[2])};
        // Not a finite number: drawn solid, as the file's viewers do.
        const float opacity = material->colourBlock[wux_file::kOpacityWord];
        group.opacity = std::isfinite(opacity) ? Channel(opacity) : 1.0f;
        const MaterialMap* end = material->maps + material->mapCount;
        const MaterialMap* map = std::find_if(material->maps, end, [](const MaterialMap& entry) {
            return static_cast<std::uint32_t>(entry.channel) == wux_file::kDiffuseMapChannel;
        });
        if (map != end && !maps.folders.empty()) {
            group.texture = LoadMap(map->fileName, *material, maps, &folders, &known, &scene);
            group.textureAmount = Channel(map->amount);
        }
        group.fromFile = true;
        scene.groups.push_back(std::move(group));
    }
    const std::size_t unnamed = scene.groups.size();
    MaterialGroup noMaterial;
    noMaterial.name = "(no material)";
    noMaterial.colour = kNoMaterialColour;

    std::uint64_t done = 0;
    for (const VertexChunk* mesh : Records<VertexChunk>(*model.meshes)) {
        const bool known = mesh->materialIndex >= 0 && static_cast<std::size_t>(mesh->materialIndex) < unnamed;
        AddMesh(*mesh, known ? &scene.groups[static_cast<std::size_t>(mesh->materialIndex)] : &noMaterial, &scene);
        ++scene.meshCount;
        const std::uint64_t before = done;
        done += static_cast<std::uint64_t>(mesh->faceCount);
        if (progress && done / kProgressStep != before / kProgressStep) progress(done);
    }
    if (noMaterial.meshCount > 0) scene.groups.push_back(std::move(noMaterial));

    // A sphere of radius 0 is the empty main sphere of a scene without spheres, not a sphere.
    if (model.bounds->mainSphere->radius != 0.0f) Keep(*model.bounds->mainSphere, &scene.spheres, &scene.droppedSpheres);
    for (const BoundSphere* sphere : Records<BoundSphere>(*model.bounds->spheres))
        if (sphere->radius != 0.0f) Keep(*sphere, &scene.spheres, &scene.droppedSpheres);
    if (model.ellipsoid) Keep(*model.ellipsoid, &scene.ellipsoids, &scene.droppedEllipsoids);
    for (const ReferenceEntry* helper : Records<ReferenceEntry>(*model.references->entries))
        Keep(*helper, &scene.helpers, &scene.droppedHelpers);
    return scene;
}

}  // namespace wux
