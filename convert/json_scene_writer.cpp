#include "convert/json_scene_writer.h"

#include <nlohmann/json.hpp>

#include "convert/json_number.h"
#include "convert/mesh_corners.h"
#include "convert/record_inverse.h"

namespace wux {
namespace {

using Json = nlohmann::json;

template <std::size_t N, typename T>
Json Floats(const std::array<T, N>& values) {
    Json out = Json::array();
    for (T v : values) out.push_back(ShortFloat(v));
    return out;
}

Json Rows(const HostRows& rows) {
    Json out = Json::array();
    for (const auto& row : rows) out.push_back(Floats(row));
    return out;
}

Json MaterialJson(const Material& m, Warnings* warnings) {
    const std::string where = "GMAT '" + PrintableText(m.name.text) + "'";
    Json maps = Json::array();
    for (const MaterialMap& map : m.maps) {
        maps.push_back({{"slot", map.channel},
                        {"map", {{"type", "bitmap"}, {"path", Utf8Name(map.fileName.text, where, warnings)}}},
                        {"amount", ShortFloat(map.amount)}});
    }
    Json out{{"name", Utf8Name(m.name.text, where, warnings)},
             {"diffuse", Floats(m.Diffuse())},
             {"ambient", Floats(m.Ambient())},
             {"specular", Floats(m.Specular())},
             {"filter", Floats(m.Filter())},
             {"opacity", ShortFloat(m.Opacity())}};
    if (!maps.empty()) out["maps"] = std::move(maps);
    return out;
}

Json MeshNode(const WuxFile& file, std::size_t index, Warnings* warnings) {
    const Mesh& mesh = file.meshes[index];
    const std::vector<Corner> corners = MeshCorners(mesh, index, warnings);
    Json verts = Json::array(), faces = Json::array(), tverts = Json::array(), normals = Json::array();
    bool anyUv = false;
    for (std::size_t k = 0; k < corners.size(); ++k) {
        const Corner& c = corners[k];
        verts.push_back(Floats(c.position));
        // The host holds v with 0 at the bottom; the file stores 1 - v.
        tverts.push_back(Json::array({ShortFloat(c.uv[0]), ShortFloat(1.0f - c.uv[1])}));
        normals.push_back(Floats(c.normal));
        anyUv = anyUv || c.uv[0] != 0.0f || c.uv[1] != 0.0f;
        if (k % 3 == 2) faces.push_back(Json::array({k - 2, k - 1, k}));
    }
    Json object{{"type", "mesh"}, {"verts", std::move(verts)}, {"faces", faces}};
    // Without texture vertices the plug-in writes u = v = 0, which is what the record holds.
    if (anyUv) {
        object["tverts"] = std::move(tverts);
        object["tvfaces"] = std::move(faces);
    }
    if (!corners.empty()) object["normals"] = std::move(normals);
    Json node{{"name", "mesh " + std::to_string(index)}};
    const std::int32_t m = mesh.materialIndex;
    if (m >= 0 && static_cast<std::size_t>(m) < file.materials.size()) node["material"] = m;
    node["object"] = std::move(object);
    return node;
}

Json SphereNodeJson(const char* name, const SphereNode& sphere) {
    return Json{{"name", name}, {"matrix", Rows(sphere.transform)},
                {"object", {{"type", "sphere"}, {"radius", ShortFloat(sphere.radius)}}}};
}

}  // namespace

std::string WuxToJsonScene(const WuxFile& file, Warnings* warnings) {
    WarnUnreproducible(file, warnings);
    Json materials = Json::array();
    for (const Material& m : file.materials) materials.push_back(MaterialJson(m, warnings));

    // Records of each kind keep their order; kinds do not depend on one another.
    Json nodes = Json::array();
    for (std::size_t i = 0; i < file.meshes.size(); ++i) nodes.push_back(MeshNode(file, i, warnings));
    for (const SphereNode& s : BoundSphereNodes(file.bounds, warnings)) nodes.push_back(SphereNodeJson("GBND", s));
    for (const SphereNode& s : EllipsoidNodes(file.ellipsoids, warnings)) nodes.push_back(SphereNodeJson("GELP", s));
    for (std::size_t i = 0; i < file.references.entries.size(); ++i) {
        const ReferenceEntry& entry = file.references.entries[i];
        const HelperNode helper = HelperFromEntry(entry, i, warnings);
        nodes.push_back(Json{{"name", Utf8Name(helper.name, "GREF entry " + std::to_string(i), warnings)},
                             {"matrix", Rows(helper.transform)},
                             {"object", {{"type", "helper"}, {"size", ShortFloat(helper.size)}}}});
    }
    // One material or node a line: readable, and still small for large meshes.
    auto lines = [](const Json& list) {
        std::string out = "[";
        for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ",\n  " : "\n  ") + list[i].dump();
        return out + (list.empty() ? "]" : "\n ]");
    };
    return "{\"materials\": " + lines(materials) + ",\n \"nodes\": " + lines(nodes) + "}\n";
}

}  // namespace wux
