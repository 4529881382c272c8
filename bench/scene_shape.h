#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What one benchmark scene holds. Mesh node i uses material i % materialCount,
// so a scene with fewer meshes than materials exports only the materials its
// meshes use (the exporter collects materials through mesh nodes).
struct SceneShape {
    std::string name;
    int meshCount = 0;
    int trianglesPerMesh = 0;
    int materialCount = 0;
    int mapsPerMaterial = 2;
    int helperCount = 0;
    int boundSphereCount = 0;  // nodes named "GBND"
    bool ellipsoid = false;    // one node named "GELP"

    int64_t triangles() const { return int64_t(meshCount) * trianglesPerMesh; }
    int materialsUsed() const { return meshCount < materialCount ? meshCount : materialCount; }
};

// A scene of the given number of triangles in meshes of 10,000 triangles, with
// 200 materials of two maps each, 2,000 helpers, 100 "GBND" spheres and a "GELP" node.
SceneShape SpreadScene(int64_t triangles);
// The extras alone (no mesh): what every export of a spread scene costs on top
// of its triangles.
SceneShape ExtrasOnlyScene();
// The same extras around one mesh of the given number of triangles.
SceneShape SingleMeshScene(int64_t triangles);
// meshCount one-triangle meshes over materialCount materials and nothing else:
// with one material per mesh it exercises the material lookup.
SceneShape OneTriangleMeshScene(int meshCount, int materialCount);

// Where node i of a kind is placed: a grid of cells 20 units apart.
struct Placement {
    float x, y, z;
};
Placement MeshPlacement(int index);
Placement HelperPlacement(int index);
Placement SpherePlacement(int index);
float HelperSize(int index);
float SphereRadius(int index);

// Names of the scene's parts, the same for the exporter's scene and the peer's.
std::string MeshNodeName(int index);
std::string HelperName(int index);
std::string MaterialName(int index);
// Bitmap path of map slot k of material m, in a folder so that the exporter
// keeps only the file name.
std::string MapPath(int material, int map);
// Standard-material map slot of a material's k-th map: diffuse (1), then bump (8).
int MapSlot(int map);
