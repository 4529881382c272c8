#pragma once

#include <memory>
#include <string>

#include "bench/scene_shape.h"
#include "format/tool_error.h"

struct aiScene;

// The peer's copy of a benchmark scene: the same triangle soup the exporter
// writes (world-space corners, texture coordinates and vertex normals, three
// corners per triangle), the same materials with their colours and two bitmap
// maps, and the helpers, "GBND" spheres and "GELP" node as empty nodes.
struct AssimpScene {
    explicit AssimpScene(const SceneShape& shape);
    ~AssimpScene();
    AssimpScene(const AssimpScene&) = delete;
    AssimpScene& operator=(const AssimpScene&) = delete;

    const aiScene& scene() const { return *scene_; }

private:
    std::unique_ptr<aiScene> scene_;
};

// Assimp's export of the scene in one of its formats ("plyb", "stlb", "glb2"),
// timed from the call to the closed file. The seconds, or an Io error with
// Assimp's reason.
wux::ToolResult<double> ExportWithAssimp(const AssimpScene& scene, const char* formatId, const std::string& path);
