#include "convert/convert.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "format/tool_text.h"

namespace wux {
namespace {

using Json = nlohmann::json;

Json MaterialJson(const MaterialChunk& m, Warnings* warnings) {
    const std::string where = "GMAT \"" + PrintableText(m.name) + "\"";
    Json maps = Json::array();
    for (std::int32_t k = 0; k < m.mapCount; ++k) {
        const MaterialMap& map = m.maps[k];
        maps.push_back({{"slot", static_cast<std::uint32_t>(map.channel)},
                        {"map", {{"type", "bitmap"}, {"path", Utf8Name(map.fileName, where, warnings)}}},
                        {"amount", ShortFloat(map.amount)}});
    }
    Json out{{"name", Utf8Name(m.name, where, warnings)},
             {"diffuse", ShortFloats(Colour(m, wux_file::kDiffuseWord))},
             {"ambient", ShortFloats(Colour(m, wux_file::kAmbientWord))},
             {"specular", ShortFloats(Colour(m, wux_file::kSpecularWord))},
             {"filter", ShortFloats(Colour(m, wux_file::kFilterWord))},
             {"opacity", ShortFloat(m.colourBlock[wux_file::kOpacityWord])}};
    if (!maps.empty()) out["maps"] = std::move(maps);
    // A name that is not UTF-8 (the host's code page) comes back from its bytes.
    if (out["name"] != m.name) out["name_bytes"] = HexBytes(m.name);
    return out;
}

// [[a,b,c],...]: the values each corner gives.
template <typename Values>
void AppendList(std::string* out, const std::vector<Corner>& corners, Values values) {
    *out += '[';
    for (std::size_t k = 0; k < corners.size(); ++k) {
        const auto v = values(corners[k]);
        for (std::size_t i = 0; i < v.size(); ++i) {
            *out += i ? "," : k ? ",[" : "[";
            AppendFloat(out, v[i]);
        }
        *out += ']';
    }
    *out += ']';
}

// A mesh node written straight as text: large meshes would cost a JSON value per number.
std::string MeshNode(const VertexChunk& mesh, std::size_t index, std::size_t materialCount, Warnings* warnings) {
    const std::vector<Corner> corners = MeshCorners(mesh, index, CornerNormals::Stored, warnings);
    std::string out = "{\"name\":\"mesh " + std::to_string(index) + "\"";
    const std::int32_t m = mesh.materialIndex;
    if (m >= 0 && static_cast<std::size_t>(m) < materialCount) out += ",\"material\":" + std::to_string(m);
    out += ",\"object\":{\"type\":\"mesh\",\"verts\":";
    AppendList(&out, corners, [](const Corner& c) { return c.position; });
    std::string faces = "[";
    for (std::size_t k = 0; k < corners.size(); k += 3)
        faces += (k ? ",[" : "[") + std::to_string(k) + "," + std::to_string(k + 1) + "," + std::to_string(k + 2) + "]";
    faces += "]";
    out += ",\"faces\":" + faces;
    // Without texture vertices the plug-in writes u = v = 0, which is what the record holds.
    if (std::any_of(corners.begin(), corners.end(), [](const Corner& c) { return c.uv[0] != 0.0f || c.uv[1] != 0.0f; })) {
        // The host holds v with 0 at the bottom; the file stores 1 - v.
        out += ",\"tverts\":";
        AppendList(&out, corners, [](const Corner& c) { return std::array<float, 2>{c.uv[0], 1.0f - c.uv[1]}; });
        out += ",\"tvfaces\":" + faces;
    }
    if (!corners.empty()) {
        out += ",\"normals\":";
        AppendList(&out, corners, [](const Corner& c) { return c.normal; });
    }
    return out + "}}";
}

}  // namespace

std::string WuxToJsonScene(const WuxDocument& doc, Warnings* warnings) {
    WarnUnreproducible(doc, warnings);
    const ExportModel& model = *doc.model;
    std::vector<std::string> materials, nodes;
    for (const MaterialChunk* m : Records<MaterialChunk>(*model.materials))
        materials.push_back(MaterialJson(*m, warnings).dump());

    // Records of each kind keep their order; kinds do not depend on one another.
    const auto meshes = Records<VertexChunk>(*model.meshes);
    for (std::size_t i = 0; i < meshes.size(); ++i)
        nodes.push_back(MeshNode(*meshes[i], i, static_cast<std::size_t>(model.materials->count()), warnings));
    for (const RecordNode& n : RecordNodes(model, warnings)) {
        const Json object = n.sphere ? Json{{"type", "sphere"}, {"radius", ShortFloat(n.size)}}
                                     : Json{{"type", "helper"}, {"size", ShortFloat(n.size)}};
        Json node{{"name", n.name}, {"matrix", Json::array()}, {"object", object}};
        for (const auto& row : n.transform) node["matrix"].push_back(ShortFloats(row));
        if (!n.nameBytes.empty()) node["name_bytes"] = n.nameBytes;
        nodes.push_back(node.dump());
    }
    // One material or node a line: readable, and still small for large meshes.
    auto lines = [](const std::vector<std::string>& list) {
        std::string out = "[";
        for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ",\n  " : "\n  ") + list[i];
        return out + (list.empty() ? "]" : "\n ]");
    };
    return "{\"materials\": " + lines(materials) + ",\n \"nodes\": " + lines(nodes) + "}\n";
}

}  // namespace wux
