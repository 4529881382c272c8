#include "bench/scene_shape.h"

#include <cstdio>

namespace {

constexpr int kTrianglesPerSpreadMesh = 10000;

SceneShape WithExtras(SceneShape shape) {
    shape.materialCount = 200;
    shape.mapsPerMaterial = 2;
    shape.helperCount = 2000;
    shape.boundSphereCount = 100;
    shape.ellipsoid = true;
    return shape;
}

std::string Numbered(const char* prefix, int index) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%05d", prefix, index);
    return text;
}

std::string CountText(int64_t triangles) {
    char text[32];
    if (triangles % 1000000 == 0)
        std::snprintf(text, sizeof text, "%lldM", static_cast<long long>(triangles / 1000000));
    else if (triangles % 1000 == 0)
        std::snprintf(text, sizeof text, "%lldk", static_cast<long long>(triangles / 1000));
    else
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(triangles));
    return text;
}

Placement Cell(int index, int perRow, float spacing, float z) {
    return {spacing * float(index % perRow), spacing * float(index / perRow), z};
}

}  // namespace

SceneShape SpreadScene(int64_t triangles) {
    SceneShape shape;
    shape.name = CountText(triangles) + " tris";
    shape.trianglesPerMesh = int(triangles < kTrianglesPerSpreadMesh ? triangles : kTrianglesPerSpreadMesh);
    shape.meshCount = int((triangles + shape.trianglesPerMesh - 1) / shape.trianglesPerMesh);
    return WithExtras(shape);
}

SceneShape ExtrasOnlyScene() {
    SceneShape shape;
    shape.name = "extras, no mesh";
    return WithExtras(shape);
}

SceneShape SingleMeshScene(int64_t triangles) {
    SceneShape shape;
    shape.name = CountText(triangles) + " tris, 1 mesh";
    shape.meshCount = 1;
    shape.trianglesPerMesh = int(triangles);
    return WithExtras(shape);
}

SceneShape OneTriangleMeshScene(int meshCount, int materialCount) {
    SceneShape shape;
    shape.name = CountText(meshCount) + " meshes, " + CountText(materialCount) + " mats";
    shape.meshCount = meshCount;
    shape.trianglesPerMesh = 1;
    shape.materialCount = materialCount;
    shape.mapsPerMaterial = 2;
    return shape;
}

Placement MeshPlacement(int index) { return Cell(index, 50, 20.0f, 0.0f); }
Placement HelperPlacement(int index) { return Cell(index, 50, 20.0f, 5.0f); }
Placement SpherePlacement(int index) { return Cell(index, 10, 40.0f, 2.0f); }
float HelperSize(int index) { return 1.0f + float(index % 7); }
float SphereRadius(int index) { return 2.0f + float(index % 13); }

std::string MeshNodeName(int index) { return Numbered("Mesh", index); }
std::string HelperName(int index) { return Numbered("Point", index); }
std::string MaterialName(int index) { return Numbered("Material #", index); }

std::string MapPath(int material, int map) {
    char text[96];
    std::snprintf(text, sizeof text, "C:\\scenes\\maps\\%s_%05d.tga", map == 0 ? "colour" : "bump", material);
    return text;
}

int MapSlot(int map) { return map == 0 ? 1 : 8; }
