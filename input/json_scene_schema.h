// What each part of a JSON scene must be (docs/json-scene.md): the checks and conversions
// of the JSON scene reader. The reader streams the text and hands these functions the small
// values of one node, object or material at a time, and the elements of a mesh's large arrays
// one by one, so no tree of the whole document is ever built. Each check names the JSON path
// of the value it refuses; several faults in one object are reported in a fixed order (unknown
// keys first, then the keys in the order below), whatever the order of the keys in the text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "input/scene_description.h"

namespace wux::json_scene {

using Json = nlohmann::json;

// A value the scene does not allow, at a JSON path. Thrown by the checks; the reader keeps the
// first one of each place and turns the winner into a ToolError.
struct SchemaProblem {
    std::string path;
    std::string what;
};

std::string Index(const std::string& path, std::size_t i);
std::string Member(const std::string& path, const std::string& key);

// A value that should be a short array of scalars: its items, or the value itself when it is
// something else (an object or array met where a scalar belongs stands in as an empty one).
struct Items {
    const Json* value = nullptr;  // when not an array
    const Json* items = nullptr;
    std::size_t size = 0;
    bool isArray = false;

    static Items Of(const Json& v);
    static Items Array(const std::vector<Json>& items) { return Items{nullptr, items.data(), items.size(), true}; }
    static Items Other(const Json& v) { return Items{&v, nullptr, 0, false}; }
};

// Top level: its own keys, "time" and "materials"; "nodes" comes from the stream.
void CheckTopLevelKeys(const Json& top);
int ReadTime(const Json& top);
std::vector<SceneMaterial> ReadMaterials(const Json& materials);
// "nodes" must be there, as an array.
void CheckNodesKey(const Json& top);

// A node's material index when the materials are not all read yet: checked at the end.
struct PendingMaterial {
    std::string path;
    Json value;
};

// A node's own keys, in order up to "material" (its object and children come from the
// stream). materialCount is null while the scene's materials are not read yet; the index
// is then kept in *pending for CheckPendingMaterial.
void ReadNodeOwnKeys(const Json& node, const std::string& path, const std::size_t* materialCount, SceneNode* out,
                     std::optional<PendingMaterial>* pending);
void CheckPendingMaterial(const PendingMaterial& pending, std::size_t materialCount);
// A node, or a node's "object", that is not an object; "children" that is not an array.
// expected is "expected an object" or "expected an array"; value the value or a stand-in of its type.
SchemaProblem WrongType(const char* expected, const Json& value, const std::string& path);

// The large arrays of a mesh or polygon object, filled element by element as the text is
// read; each keeps its first fault. Face indices are checked against the vertex count only
// when the object ends, since "faces" may come before "verts"; and faces are kept as lists
// of indices, since "type" (triangles or polygons) may come last.
class MeshArrays {
public:
    enum class Part { Verts, Faces, TVerts, TVFaces, Normals, Smoothing, Count };

    // Which part a key of an object names, if any.
    static std::optional<Part> PartOf(std::string_view key);

    void Begin(Part part, const std::string& path);
    // One element of an array begun with Begin; index counts from 0.
    void Add(Part part, std::size_t index, const Items& element);
    bool Streamed(Part part) const { return parts_[Slot(part)].streamed; }

    // The whole object: its keys (the arrays above stand in as empty arrays) and the parts.
    SceneObject Finish(const Json& object, const std::string& path);

private:
    // A face index that cannot be a vertex index (negative or beyond 32 bits) is kept as this,
    // with its text for the message.
    static constexpr std::uint32_t kUnrepresentable = 0xFFFFFFFFu;

    struct PartState {
        bool streamed = false;
        std::string path;
        std::optional<SchemaProblem> problem;  // read as triangles for faces and tvfaces
        std::size_t problemIndex = 0;                 // the element with the problem
        std::vector<std::uint32_t> partialFace;       // corners of that element read before it
        std::size_t count = 0;                        // elements read
        // faces and tvfaces: every element's indices one after the other, where each ends,
        // the first fault of the elements read as polygons, the first index that cannot be one.
        std::vector<std::uint32_t> indices;
        std::vector<std::size_t> ends;
        std::optional<SchemaProblem> polygonProblem;
        std::optional<std::string> firstUnrepresentable;
    };
    static std::size_t Slot(Part part) { return static_cast<std::size_t>(part); }

    void AddIndexList(PartState& state, std::size_t index, const Items& element);
    static void CheckTriangleShape(PartState& state, std::size_t index, const Items& element);
    static void CheckPolygon(const PartState& state, std::size_t index, const Items& element);
    std::vector<std::array<std::uint32_t, 3>> Triangles(Part part) const;
    std::vector<std::vector<std::uint32_t>> Polygons(Part part) const;
    SceneMesh FinishMesh(const Json& object, const std::string& path);
    ScenePoly FinishPoly(const Json& object, const std::string& path);
    void CheckTriangles(Part part, const std::vector<std::array<std::uint32_t, 3>>& triangles, std::size_t count,
                        const char* what, const char* countWhat) const;
    void ThrowProblem(Part part) const;

    std::array<PartState, static_cast<std::size_t>(Part::Count)> parts_;
    SceneMesh mesh_;
};

}  // namespace wux::json_scene
