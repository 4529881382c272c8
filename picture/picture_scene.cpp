#include "picture/picture_scene.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "format/file_bytes.h"
#include "format/world_normals.h"
#include "format/tool_text.h"

namespace wux {
namespace {

float Channel(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

template <std::size_t N>
bool AllFinite(const std::array<float, N>& values) {
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

bool Finite(const Sphere& s) { return AllFinite(s.centre) && std::isfinite(s.radius); }
bool Finite(const Ellipsoid& e) { return AllFinite(e.centre) && AllFinite(e.semiAxes); }
bool Finite(const Reference& r) { return AllFinite(r.transform) && AllFinite(r.halfExtents); }

// Keeps what can be drawn, up to the limit, and counts the rest.
template <typename T>
void Keep(const T& item, std::vector<T>* kept, std::uint64_t* dropped) {
    if (Finite(item) && kept->size() < kMaxOverlayItems) kept->push_back(item);
    else ++*dropped;
}

// Appends the mesh's triangles whose corners all lie inside the mesh and are finite.
void AddMesh(const MeshChunk& mesh, MaterialGroup* group, PictureScene* scene) {
    ++group->meshCount;
    const WorldNormals normals = MeshWorldNormals(mesh);
    if (!normals.fitted) ++scene->meshesSmoothed;
    const bool textured = group->texture >= 0;
    group->positions.reserve(group->positions.size() + 3 * mesh.triangles.size());
    group->normals.reserve(group->positions.capacity());
    if (textured) group->uvs.reserve(group->positions.capacity());
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        const auto& triangle = mesh.triangles[t];
        bool drawable = true;
        for (std::uint16_t corner : triangle) {
            if (corner >= mesh.vertices.size()) {
                drawable = false;
                break;
            }
            const Vertex& v = mesh.vertices[corner];
            drawable = drawable && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
        }
        if (!drawable) {
            ++scene->droppedTriangles;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const Vertex& v = mesh.vertices[triangle[k]];
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
int LoadMap(const std::string& file, const Material& material, const TextureSearch& search, TextureFolders* folders,
            std::unordered_map<std::string, int>* known, PictureScene* scene) {
    const auto [entry, fresh] = known->emplace(file, -1);
    if (!fresh) return entry->second;
    const std::string drawnAs = "; drawn in its material's diffuse colour";
    const std::optional<std::string> path = folders->Find(file);
    if (!path) {
        scene->missingMaps.push_back("map file " + Quoted(file) + " of material " + Quoted(material.name.text) +
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

PictureScene BuildPictureScene(const WuxFile& file, const TextureSearch& maps, const TriangleProgress& progress) {
    PictureScene scene;
    std::unordered_map<std::string, int> known;
    TextureFolders folders(maps.folders);
    for (const Material& material : file.materials) {
        MaterialGroup group;
        group.name = PrintableText(material.name.text);
        const auto diffuse = material.Diffuse(), filter = material.Filter();
        group.colour = {Channel(diffuse[0]), Channel(diffuse[1]), Channel(diffuse[2])};
        group.filter = {Channel(filter[0]), Channel(filter[1]), Channel(filter[2])};
        // Not a finite number: drawn solid, as the file's viewers do.
        group.opacity = std::isfinite(material.Opacity()) ? Channel(material.Opacity()) : 1.0f;
        const auto map = std::find_if(material.maps.begin(), material.maps.end(),
                                      [](const MapEntry& m) { return m.channel == wux_file::kDiffuseMapChannel; });
        if (map != material.maps.end() && !maps.folders.empty()) {
            group.texture = LoadMap(map->fileName.text, material, maps, &folders, &known, &scene);
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
    for (const MeshChunk& mesh : file.meshes) {
        const bool known = mesh.materialIndex >= 0 && static_cast<std::size_t>(mesh.materialIndex) < unnamed;
        AddMesh(mesh, known ? &scene.groups[static_cast<std::size_t>(mesh.materialIndex)] : &noMaterial, &scene);
        ++scene.meshCount;
        const std::uint64_t before = done;
        done += mesh.triangles.size();
        if (progress && done / kProgressStep != before / kProgressStep) progress(done);
    }
    if (noMaterial.meshCount > 0) scene.groups.push_back(std::move(noMaterial));

    // A sphere of radius 0 is the empty main sphere of a scene without spheres, not a sphere.
    for (const Bounds& bounds : file.bounds) {
        if (bounds.mainSphere.radius != 0.0f) Keep(bounds.mainSphere, &scene.spheres, &scene.droppedSpheres);
        for (const Sphere& sphere : bounds.spheres)
            if (sphere.radius != 0.0f) Keep(sphere, &scene.spheres, &scene.droppedSpheres);
    }
    for (const Ellipsoid& ellipsoid : file.ellipsoids) Keep(ellipsoid, &scene.ellipsoids, &scene.droppedEllipsoids);
    for (const Reference& helper : file.references.entries) Keep(helper, &scene.helpers, &scene.droppedHelpers);
    return scene;
}

}  // namespace wux
