// WUX files into other formats: a JSON scene `wux export` reads back, glTF 2.0 and Wavefront
// OBJ, and what the three share: the way back from records to scene nodes, a mesh record's
// triangle corners, the numbers and names they write.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/wux_reader.h"
#include "input/warnings.h"
#include "writer/staged_files.h"

namespace wux {

// What each format keeps, and how, is in docs/wux-tool.md ("wux convert").

// A WUX file as a JSON scene (docs/json-scene.md) that `wux export` turns back into the same file.
std::string WuxToJsonScene(const WuxDocument& doc, Warnings* warnings);

// A WUX file as glTF 2.0: a .glb output holds everything; a .gltf one has a .bin and copies
// of the images beside it. Map files are looked for in textureDirs, in order.
ToolResult<void> WriteGltf(const WuxDocument& file, const std::string& outputPath,
                           const std::vector<std::string>& textureDirs, StagedFiles* outputs, Warnings* warnings);

// A WUX file as Wavefront OBJ: stages OUT.obj and OUT.mtl (same stem) in *outputs; OUT.obj's
// text is written as it is made.
ToolResult<void> WriteObj(const WuxDocument& doc, const std::string& outputPath, StagedFiles* outputs, Warnings* warnings);

// The way back from records to scene nodes: for each kind of record the node that the
// plug-in's own collection turns into that record again. The collectors measure lengths
// from the node's transform, so these choose transforms and sizes that measure back to the
// stored values. Records no scene could give (mixed-sign half extents, spheres in an order
// the collection never writes, ...) are still turned into the nearest node, with a warning.

// The host's matrix layout: rows 0, 1, 2 the X, Y, Z axes, row 3 the translation.
using HostRows = std::array<std::array<double, 3>, 4>;

// A node besides the meshes: a sphere primitive ("GBND" or "GELP") whose radius is the size,
// or a helper of the size, under its object transform. The name is UTF-8 (Utf8Name());
// nameBytes holds an entry's own bytes as HexBytes() when they differ, else nothing.
struct RecordNode {
    bool sphere = false;
    std::string name, nameBytes;
    HostRows transform{};
    double size = 0.0;
};

// The nodes besides the meshes in the order the scene must visit them. First the "GBND"
// spheres: the main sphere, then the further spheres in their order, so that each of those
// is rejected into the list in turn (none for a main sphere of radius 0 at the origin
// without further spheres); then the "GELP" node, if the file has one; then a helper per
// reference entry. Warnings name the record, e.g. GREF entry 2 "Spawn": ...
std::vector<RecordNode> RecordNodes(const ExportModel& model, Warnings* warnings);

// Warnings for records that no re-export gives back as they are.
void WarnUnreproducible(const WuxDocument& doc, Warnings* warnings);

// A warning naming each record that holds a value not finite, which every conversion writes
// as 0 (JSON and OBJ have no such numbers, glTF must not hold them).
void WarnNotFinite(const ExportModel& model, Warnings* warnings);

// A mesh record as the triangle corners it draws, looked up through its indices: for a record
// as the exporter writes it (one vertex per corner), its vertex list as it stands.
struct Corner {
    std::array<float, 3> position{};
    std::array<float, 2> uv{};  // as stored: v is 1 - the host's v, 0 at the top of the image
    std::array<float, 3> normal{};
};

enum class CornerNormals {
    Stored,  // in the object's own space, as the file keeps them (for the JSON scene)
    World,   // in world space like the positions (format/world_normals.h); a record whose
             // normals cannot be turned gets smooth ones, with a warning naming it. For glTF
             // and OBJ, where a mesh without faces would come back as an empty node, that is
             // a helper: such a record gives no corners, with a warning that it is left out.
};

// Triangles with an index past the record's vertices are left out, with a warning naming it.
std::vector<Corner> MeshCorners(const VertexChunk& mesh, std::size_t meshIndex, CornerNormals normals,
                                Warnings* warnings);

// The shortest decimal that reads back as the same f32, as a double: 0.1f is written as
// 0.1, not as 0.10000000149011612. Values not finite become 0.
double ShortFloat(double value);

template <typename T, std::size_t N>
nlohmann::json ShortFloats(const std::array<T, N>& values) {
    nlohmann::json out = nlohmann::json::array();
    for (T v : values) out.push_back(ShortFloat(v));
    return out;
}

// Appends the shortest decimal that reads back as the same f32 (a number JSON and OBJ both
// read); a value not finite is written as 0.
void AppendFloat(std::string* out, float value);

// The text as JSON may hold it: valid UTF-8 as it is, other bytes replaced by U+FFFD with a
// warning naming `where`.
std::string Utf8Name(const std::string& text, const std::string& where, Warnings* warnings);

}  // namespace wux
