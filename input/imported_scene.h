// What the importers of node scenes (Assimp's formats, glTF) share: the object each source
// node becomes, the triangles kept of a source mesh, texture files looked for beside the
// source, embedded textures written beside the output, and the list of materials that merges
// identical ones and keeps names unique.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "format/texture_lookup.h"
#include "input/assimp_import.h"
#include "input/mesh_reader.h"

namespace wux {

// A fault of the source file, said where it lies; each importer turns it into its error.
struct ImportFault {
    std::string message;
};
[[noreturn]] void FailImport(std::string message);

// Refuse a node nested deeper than the importers walk (they recurse), and a transform that
// is not finite.
void CheckNodeDepth(const std::string& name, int depth);
void CheckNodeTransform(const std::string& name, bool finite);

// A node of the source scene as an importer describes it to ImportNode.
struct SourceNode {
    std::string name;
    SceneMatrix local;         // relative to the parent, in the host's frame
    bool hasMesh = false;      // it names meshes (perhaps none usable)
    std::size_t meshes = 0;    // how many
    bool camera = false, light = false;
    bool bone = false;         // a joint without meshes, or a node below one
    bool leaf = false;         // it has no children
    bool root = false;         // the file's own container, never a helper
    std::function<SceneNode(std::size_t)> mesh;  // mesh i as MeshNode makes it, or a node without an object
    std::function<float()> radius;               // the farthest vertex of its meshes from its origin
    std::function<float()> helperSize;
};

// The node a source node becomes, as the host's importer lays nodes out (its source children
// are the caller's to add): a sphere for the sphere node names (a unit one without meshes),
// the first triangle mesh on the node and each further one on a child at its origin, a camera,
// a light, nothing for a bone, else a helper as options.helpers asks.
SceneNode ImportNode(const SourceNode& source, const AssimpImportOptions& options, Warnings* warnings);

constexpr float kDefaultHelperSize = 20.0f;

// A helper's size from its source node's "size", a number or text that starts with one (text
// is read when not null); the default for other text, and one not finite is said.
float HelperSize(const std::string& nodeName, double size, const char* text, Warnings* warnings);

// Keeps of mesh->faces the triangles whose corners are below vertexCount at finite positions,
// renumbered onto the vertices they use in the order of first use, whose positions fill
// mesh->verts; returns their source indices, for the other attributes. Says what was passed
// over (what the source skipped, in passed, and the faces dropped here), and that the mesh is
// empty when nothing is left and nothing was skipped.
std::vector<std::uint32_t> KeepTriangles(SceneMesh* mesh, std::size_t vertexCount,
                                         const std::function<std::array<float, 3>(std::uint32_t)>& position,
                                         const std::string& nodeName, PassedOver passed, Warnings* warnings);

// f(i) of each source index i in used, in order.
template <class F>
std::vector<std::array<float, 3>> Gather(const std::vector<std::uint32_t>& used, const F& f) {
    std::vector<std::array<float, 3>> out;
    out.reserve(used.size());
    for (std::uint32_t i : used) out.push_back(f(i));
    return out;
}

class TextureResolver {
public:
    TextureResolver(const std::string& sourcePath, const AssimpImportOptions& options, Warnings* warnings);

    // The path handed to the host for a texture file the source names (relative to its folder).
    std::string External(const std::string& reference);
    // An embedded texture: its bytes, its own name in the source (perhaps none) and a format
    // hint such as "png".
    struct Image {
        std::vector<unsigned char> bytes;
        std::string ownName, extension;
    };
    // The host path of the embedded texture known by key; the first time, read() gives it and
    // it is named beside the output (after its own name, else MATERIAL_KIND) and kept until
    // WritePending.
    std::string Embedded(const std::string& key, const std::function<Image()>& read, const std::string& materialName,
                         int slot);
    // Writes the embedded textures, once the whole import has succeeded.
    ToolResult<void> WritePending() const;

private:
    struct PendingTexture {
        std::string fileName;  // in the output's folder
        std::vector<unsigned char> bytes;
        bool write = true;  // false when the folder already holds these very bytes under that name
    };
    TextureFiles* files_;
    Warnings* warnings_;
    std::filesystem::path sourceDir_, outputDir_;
    std::string outputStem_;
    std::map<std::string, std::string> external_, embedded_;
    std::map<std::string, TextureFolders> folders_;  // each folder listed once, when first needed
    std::set<std::string> usedNames_;
    std::map<std::string, int> nextSuffix_;
    std::vector<PendingTexture> pending_;
};

// The scene's materials: a material identical to one already added under the same source
// name is that one (counted in *merged); a different one whose name is taken gets a name of
// its own, as the exporter tells materials apart by name alone.
class MaterialList {
public:
    MaterialList(std::vector<SceneMaterial>* out, std::size_t* merged, Warnings* warnings)
        : out_(out), merged_(merged), warnings_(warnings) {}
    // The scene index of the source's material number index, read() the first time it is asked for.
    int Of(std::size_t index, const std::function<SceneMaterial()>& read);

private:
    std::vector<int> bySource_;  // per source material, its scene index or -1
    std::vector<SceneMaterial>* out_;
    std::size_t* merged_;
    Warnings* warnings_;
    std::map<std::string, std::vector<int>> bySourceName_;  // scene indices of the materials of each source name
    std::set<std::string> names_;
    std::map<std::string, int> nextSuffix_;  // per name, so many equal names stay linear
};

}  // namespace wux
