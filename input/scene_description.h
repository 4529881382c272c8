// A scene as plain data: what the JSON reader and the Assimp importer produce, and what
// the scene builder turns into a stand-in host scene. It knows nothing of the host, so
// both importers can be tested without one.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wux {

// How much of its input a reader has read, from 0 to 1; called now and then while it reads.
using ReadProgress = std::function<void(double fraction)>;

// The host's matrix layout: rows 0, 1, 2 are the X, Y, Z axes, row 3 the translation;
// a point p becomes p.x*row0 + p.y*row1 + p.z*row2 + row3.
struct SceneMatrix {
    float rows[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};

    bool AllFinite() const {
        for (const auto& row : rows)
            for (float v : row)
                if (!std::isfinite(v)) return false;
        return true;
    }
};

struct SceneMap {
    enum class Kind { None, Bitmap, Other };
    int slot = 0;            // 0..11, the standard material's map slot
    bool enabled = true;
    Kind kind = Kind::None;  // None: the slot holds no texture map
    std::string path;        // Bitmap: the path handed to the host, backslash-separated
    std::string otherType;   // Other: the kind of map, e.g. "checker"
    float amount = 1.0f;
};

struct SceneMaterial {
    std::string name;
    std::string className = "standard";  // anything else is not a standard material
    // Defaults of a new standard material in the host.
    std::array<float, 3> ambient{0.588f, 0.588f, 0.588f};
    std::array<float, 3> diffuse{0.588f, 0.588f, 0.588f};
    std::array<float, 3> specular{0.9f, 0.9f, 0.9f};
    std::array<float, 3> filter{0.5f, 0.5f, 0.5f};
    float opacity = 1.0f;
    std::vector<SceneMap> maps;

    bool IsStandard() const { return className == "standard"; }
};

struct SceneMesh {
    std::vector<std::array<float, 3>> verts;
    std::vector<std::array<uint32_t, 3>> faces;
    std::vector<std::array<float, 3>> tverts;          // u, v, w (w unused by the exporter)
    std::vector<std::array<uint32_t, 3>> tvfaces;      // one per face when tverts is not empty
    std::vector<std::array<float, 3>> normals;         // empty, or one per vertex
    std::vector<uint32_t> smoothing;                   // empty (every face in group 1), or a group mask per face
};

// Polygons of three or more corners, as the host's editable poly holds them.
struct ScenePoly {
    std::vector<std::array<float, 3>> verts;
    std::vector<std::vector<uint32_t>> faces;    // vertex indices, 3 or more a polygon
    std::vector<std::array<float, 3>> tverts;    // u, v, w (w unused by the exporter)
    std::vector<std::vector<uint32_t>> tvfaces;  // one per polygon, of its size, when tverts is not empty
};

struct SceneObject {
    // Mesh is the plain triangle-mesh object, EditableMesh the host's editable mesh (the
    // same triangles in an object of its own class), EditablePoly the host's editable poly.
    enum class Type { None, Mesh, EditableMesh, EditablePoly, Sphere, Helper, Camera, Light, Shape };
    Type type = Type::None;
    SceneMesh mesh;       // Mesh, EditableMesh
    ScenePoly poly;       // EditablePoly
    float radius = 0.0f;  // Sphere
    int segments = 32;    // Sphere
    int paramBlock = 1;   // Sphere: its parameters in an old-style (1) or second-generation (2) block
    float size = 20.0f;   // Helper

    bool IsTriangleMesh() const { return type == Type::Mesh || type == Type::EditableMesh; }
};

struct SceneNode {
    std::string name;
    SceneMatrix local;    // relative to the parent
    SceneMatrix offset;   // object offset: object transform = offset x world
    bool hidden = false;
    int material = -1;    // index into SceneDescription::materials, -1 for none
    SceneObject object;
    std::vector<SceneNode> children;
    std::string origin;   // where the node came from, for messages: a JSON path or a source node name
};

// Calls f on every node, parents before children.
template <class F>
void ForEachNode(const std::vector<SceneNode>& nodes, const F& f) {
    for (const SceneNode& node : nodes) {
        f(node);
        ForEachNode(node.children, f);
    }
}

struct SceneDescription {
    int time = 0;  // the host's current time in ticks
    std::vector<SceneMaterial> materials;
    std::vector<SceneNode> nodes;  // the nodes below the root, in scene order
};

}  // namespace wux
