#include "picture/picture_scene.h"
#include "format/tool_text.h"

#include <algorithm>
#include <cmath>

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
    group->positions.reserve(group->positions.size() + 3 * mesh.triangles.size());
    for (const auto& triangle : mesh.triangles) {
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
        for (std::uint16_t corner : triangle) {
            const Vertex& v = mesh.vertices[corner];
            group->positions.push_back({v.x, v.y, v.z});
            scene->meshBounds.Add(Vec3{v.x, v.y, v.z});
        }
        ++scene->triangleCount;
    }
}

}  // namespace

PictureScene BuildPictureScene(const WuxFile& file) {
    PictureScene scene;
    for (const Material& material : file.materials) {
        MaterialGroup group;
        group.name = PrintableText(material.name.text);
        const auto diffuse = material.Diffuse();
        group.colour = {Channel(diffuse[0]), Channel(diffuse[1]), Channel(diffuse[2])};
        group.fromFile = true;
        scene.groups.push_back(std::move(group));
    }
    const std::size_t unnamed = scene.groups.size();
    MaterialGroup noMaterial;
    noMaterial.name = "(no material)";
    noMaterial.colour = kNoMaterialColour;

    for (const MeshChunk& mesh : file.meshes) {
        const bool known = mesh.materialIndex >= 0 && static_cast<std::size_t>(mesh.materialIndex) < unnamed;
        AddMesh(mesh, known ? &scene.groups[static_cast<std::size_t>(mesh.materialIndex)] : &noMaterial, &scene);
        ++scene.meshCount;
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
