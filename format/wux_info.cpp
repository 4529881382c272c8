#include "format/wux_info.h"

#include <cmath>
#include <cstdlib>

#include "format/tool_text.h"

namespace wux {
namespace {

using namespace wux_file;

using json = nlohmann::ordered_json;

std::string Vec(const float* v, std::size_t n = 3) {
    std::string out = "(";
    for (std::size_t i = 0; i < n; ++i) out += (i ? ", " : "") + ShortestNumber(v[i]);
    return out + ")";
}
std::string Vec(const std::array<float, 3>& v) { return Vec(v.data()); }

// As the double nearest the float's shortest text, so 0.588f prints as 0.588, not as
// 0.5879999995231628. NaN and infinities have no JSON number: they become null.
json Value(float v) { return std::isfinite(v) ? json(std::strtod(ShortestNumber(v).c_str(), nullptr)) : json(nullptr); }

json Array(const float* v, std::size_t n = 3) {
    json out = json::array();
    for (std::size_t i = 0; i < n; ++i) out.push_back(Value(v[i]));
    return out;
}
json Array(const std::array<float, 3>& v) { return Array(v.data()); }

json ChunkJson(const ChunkInfo& c) {
    return json{{"tag", PrintableText(c.tag)}, {"offset", c.offset}, {"block_size", c.blockSize}};
}

// Both summaries, written side by side in one walk over the file so that they list the same.
struct Summary {
    std::string text;
    json value;
};

Summary Summarize(const WuxDocument& doc) {
    const ExportModel& model = *doc.model;
    const auto meshCount = static_cast<std::uint32_t>(model.meshCount);
    const auto materialCount = static_cast<std::uint32_t>(model.materialCount);
    Summary out;
    std::string& text = out.text;
    text += "file: " + std::to_string(doc.fileLength) + " bytes (file_size field " + std::to_string(doc.fileSizeField) + ")\n";
    text += "header: " + Plural(meshCount, "mesh", "meshes") + ", " + Plural(materialCount, "material", "materials") + "\n";
    out.value = json{{"file_length", doc.fileLength},
                     {"file_size", doc.fileSizeField},
                     {"mesh_count", meshCount},
                     {"material_count", materialCount}};

    text += "chunks: GNFO at " + std::to_string(doc.gnfo.offset) + " (" + std::to_string(doc.gnfo.blockSize) + " bytes)";
    json chunks = json::array({ChunkJson(doc.gnfo)});
    for (const ChunkInfo& c : doc.chunks) {
        text += ", " + PrintableText(c.tag) + " at " + std::to_string(c.offset) + " (" + std::to_string(c.blockSize) + ")";
        chunks.push_back(ChunkJson(c));
    }
    text += ", GREF at " + std::to_string(doc.gref.offset) + " (" + std::to_string(doc.gref.blockSize) + ")\n";
    chunks.push_back(ChunkJson(doc.gref));
    out.value["chunks"] = chunks;

    const auto materials = Records<MaterialChunk>(*model.materials);
    text += "materials: " + std::to_string(materials.size()) + "\n";
    json materialsJson = json::array();
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const MaterialChunk& m = *materials[i];
        text += "  #" + std::to_string(i) + " " + Quoted(m.name) + "\n";
        text += "    diffuse " + Vec(Colour(m, kDiffuseWord)) + ", ambient " + Vec(Colour(m, kAmbientWord)) +
                ", specular " + Vec(Colour(m, kSpecularWord)) + ", filter " + Vec(Colour(m, kFilterWord)) + ", opacity " +
                ShortestNumber(m.colourBlock[kOpacityWord]) + "\n";
        json maps = json::array();
        for (std::int32_t k = 0; k < m.mapCount; ++k) {
            const MaterialMap& map = m.maps[k];
            const auto channel = static_cast<std::uint32_t>(map.channel);
            text += "    map channel " + std::to_string(channel) + ": " + Quoted(map.fileName) + ", amount " +
                    ShortestNumber(map.amount) + "\n";
            maps.push_back({{"channel", channel}, {"file", map.fileName}, {"amount", Value(map.amount)}});
        }
        materialsJson.push_back({{"name", m.name},
                                 {"diffuse", Array(Colour(m, kDiffuseWord))},
                                 {"ambient", Array(Colour(m, kAmbientWord))},
                                 {"specular", Array(Colour(m, kSpecularWord))},
                                 {"filter", Array(Colour(m, kFilterWord))},
                                 {"opacity", Value(m.colourBlock[kOpacityWord])},
                                 {"maps", maps}});
    }
    out.value["materials"] = materialsJson;

    const auto meshes = Records<VertexChunk>(*model.meshes);
    text += "meshes: " + std::to_string(meshes.size()) + "\n";
    json meshesJson = json::array();
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const VertexChunk& m = *meshes[i];
        const auto vertices = static_cast<std::uint32_t>(m.vertexCount), triangles = static_cast<std::uint32_t>(m.faceCount);
        const auto box = BoundingBox(m);
        text += "  #" + std::to_string(i) + " material " + std::to_string(m.materialIndex) + ", " +
                Plural(vertices, "vertex", "vertices") + ", " + Plural(triangles, "triangle", "triangles");
        if (box) text += ", box " + Vec(box->min) + " to " + Vec(box->max);
        text += "\n";
        meshesJson.push_back({{"material", m.materialIndex},
                              {"vertices", vertices},
                              {"triangles", triangles},
                              {"box", box ? json{{"min", Array(box->min)}, {"max", Array(box->max)}} : json(nullptr)}});
    }
    out.value["meshes"] = meshesJson;

    // Spheres come only from GBND chunks: without one the list is empty. "chunks" shows a
    // file's GBND and GELP chunks beyond the one of each a valid file has.
    const auto spheres = Records<BoundSphere>(*model.bounds->spheres);
    json spheresJson = json::array();
    const auto sphere = [&](const BoundSphere& s, const std::string& prefix) {
        const float centre[3] = {s.x, s.y, s.z};
        text += prefix + "centre " + Vec(centre) + " radius " + ShortestNumber(s.radius) + "\n";
        return json{{"centre", Array(centre)}, {"radius", Value(s.radius)}};
    };
    const bool bound = doc.ChunkCount(kBoundTag) != 0;
    if (!bound) text += "main sphere: none (no GBND chunk)\n";
    out.value["main_sphere"] = bound ? sphere(*model.bounds->mainSphere, "main sphere: ") : json(nullptr);
    if (bound) text += "further spheres: " + std::to_string(spheres.size()) + "\n";
    for (const BoundSphere* s : spheres) spheresJson.push_back(sphere(*s, "  "));
    out.value["spheres"] = spheresJson;

    if (!model.ellipsoid) {
        text += "ellipsoid: none\n";
        out.value["ellipsoid"] = nullptr;
    } else {
        const EllipsoidChunk& e = *model.ellipsoid;
        text += "ellipsoid: centre " + Vec(e.centre) + ", semi-axes " + Vec(e.semiAxes) + "\n";
        out.value["ellipsoid"] = json{{"centre", Array(e.centre)}, {"semi_axes", Array(e.semiAxes)}};
    }

    const auto entries = Records<ReferenceEntry>(*model.references->entries);
    text += "references: " + std::to_string(entries.size()) + "\n";
    json references = json::array();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ReferenceEntry& e = *entries[i];
        text += "  #" + std::to_string(i) + " " + Quoted(e.name) + ": position " + Vec(e.transform[3]) + ", axes " +
                Vec(e.transform[0]) + " " + Vec(e.transform[1]) + " " + Vec(e.transform[2]) + ", half extents " +
                Vec(e.halfExtents) + "\n";
        json rows = json::array();
        for (const auto& row : e.transform) rows.push_back(Array(row, 4));
        references.push_back({{"name", e.name}, {"transform", rows}, {"half_extents", Array(e.halfExtents)}});
    }
    out.value["references"] = references;
    return out;
}

}  // namespace

std::string InfoText(const WuxDocument& doc) { return Summarize(doc).text; }

nlohmann::ordered_json InfoJson(const WuxDocument& doc) { return Summarize(doc).value; }

std::string DumpInfoJson(const nlohmann::ordered_json& info) {
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace wux
