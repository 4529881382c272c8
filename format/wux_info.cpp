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

std::string SphereText(const BoundSphere& s) {
    const float centre[3] = {s.x, s.y, s.z};
    return "centre " + Vec(centre) + " radius " + ShortestNumber(s.radius);
}

// As the double nearest the float's shortest text, so 0.588f prints as 0.588, not as
// 0.5879999995231628. NaN and infinities have no JSON number: they become null.
json Value(float v) { return std::isfinite(v) ? json(std::strtod(ShortestNumber(v).c_str(), nullptr)) : json(nullptr); }

json Array(const float* v, std::size_t n = 3) {
    json out = json::array();
    for (std::size_t i = 0; i < n; ++i) out.push_back(Value(v[i]));
    return out;
}
json Array(const std::array<float, 3>& v) { return Array(v.data()); }

json SphereJson(const BoundSphere& s) {
    const float centre[3] = {s.x, s.y, s.z};
    return json{{"centre", Array(centre)}, {"radius", Value(s.radius)}};
}

json ChunkJson(const ChunkInfo& c) {
    return json{{"tag", PrintableText(c.tag)}, {"offset", c.offset}, {"block_size", c.blockSize}};
}

}  // namespace

std::string InfoText(const WuxDocument& doc) {
    const ExportModel& model = *doc.model;
    std::string out;
    out += "file: " + std::to_string(doc.fileLength) + " bytes (file_size field " + std::to_string(doc.fileSizeField) + ")\n";
    out += "header: " + Plural(static_cast<std::uint32_t>(model.meshCount), "mesh", "meshes") + ", " +
           Plural(static_cast<std::uint32_t>(model.materialCount), "material", "materials") + "\n";
    out += "chunks: GNFO at " + std::to_string(doc.gnfo.offset) + " (" + std::to_string(doc.gnfo.blockSize) + " bytes)";
    for (const ChunkInfo& c : doc.chunks) {
        out += ", " + PrintableText(c.tag) + " at " + std::to_string(c.offset) + " (" + std::to_string(c.blockSize) + ")";
    }
    out += ", GREF at " + std::to_string(doc.gref.offset) + " (" + std::to_string(doc.gref.blockSize) + ")\n";

    const auto materials = Records<MaterialChunk>(*model.materials);
    out += "materials: " + std::to_string(materials.size()) + "\n";
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const MaterialChunk& m = *materials[i];
        out += "  #" + std::to_string(i) + " " + Quoted(m.name) + "\n";
        out += "    diffuse " + Vec(Colour(m, kDiffuseWord)) + ", ambient " + Vec(Colour(m, kAmbientWord)) +
               ", specular " + Vec(Colour(m, kSpecularWord)) + ", filter " + Vec(Colour(m, kFilterWord)) + ", opacity " +
               ShortestNumber(m.colourBlock[kOpacityWord]) + "\n";
        for (std::int32_t k = 0; k < m.mapCount; ++k) {
            out += "    map channel " + std::to_string(static_cast<std::uint32_t>(m.maps[k].channel)) + ": " +
                   Quoted(m.maps[k].fileName) + ", amount " + ShortestNumber(m.maps[k].amount) + "\n";
        }
    }

    const auto meshes = Records<VertexChunk>(*model.meshes);
    out += "meshes: " + std::to_string(meshes.size()) + "\n";
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const VertexChunk& m = *meshes[i];
        out += "  #" + std::to_string(i) + " material " + std::to_string(m.materialIndex) + ", " +
               Plural(static_cast<std::uint32_t>(m.vertexCount), "vertex", "vertices") + ", " +
               Plural(static_cast<std::uint32_t>(m.faceCount), "triangle", "triangles");
        if (const auto box = BoundingBox(m)) out += ", box " + Vec(box->min) + " to " + Vec(box->max);
        out += "\n";
    }

    const auto spheres = Records<BoundSphere>(*model.bounds->spheres);
    if (doc.ChunkCount(wux_file::kBoundTag) == 0) {
        out += "main sphere: none (no GBND chunk)\n";
    } else {
        out += "main sphere: " + SphereText(*model.bounds->mainSphere) + "\n";
        out += "further spheres: " + std::to_string(spheres.size()) + "\n";
        for (const BoundSphere* s : spheres) out += "  " + SphereText(*s) + "\n";
    }

    if (!model.ellipsoid) out += "ellipsoid: none\n";
    else out += "ellipsoid: centre " + Vec(model.ellipsoid->centre) + ", semi-axes " + Vec(model.ellipsoid->semiAxes) + "\n";

    const auto entries = Records<ReferenceEntry>(*model.references->entries);
    out += "references: " + std::to_string(entries.size()) + "\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ReferenceEntry& e = *entries[i];
        out += "  #" + std::to_string(i) + " " + Quoted(e.name) + ": position " + Vec(e.transform[3]) + ", axes " +
               Vec(e.transform[0]) + " " + Vec(e.transform[1]) + " " + Vec(e.transform[2]) + ", half extents " +
               Vec(e.halfExtents) + "\n";
    }
    return out;
}

nlohmann::ordered_json InfoJson(const WuxDocument& doc) {
    const ExportModel& model = *doc.model;
    json out;
    out["file_length"] = doc.fileLength;
    out["file_size"] = doc.fileSizeField;
    out["mesh_count"] = static_cast<std::uint32_t>(model.meshCount);
    out["material_count"] = static_cast<std::uint32_t>(model.materialCount);

    json chunks = json::array({ChunkJson(doc.gnfo)});
    for (const ChunkInfo& c : doc.chunks) chunks.push_back(ChunkJson(c));
    chunks.push_back(ChunkJson(doc.gref));
    out["chunks"] = chunks;

    json materials = json::array();
    for (const MaterialChunk* m : Records<MaterialChunk>(*model.materials)) {
        json maps = json::array();
        for (std::int32_t k = 0; k < m->mapCount; ++k) {
            maps.push_back({{"channel", static_cast<std::uint32_t>(m->maps[k].channel)},
                            {"file", m->maps[k].fileName},
                            {"amount", Value(m->maps[k].amount)}});
        }
        materials.push_back({{"name", m->name},
                             {"diffuse", Array(Colour(*m, kDiffuseWord))},
                             {"ambient", Array(Colour(*m, kAmbientWord))},
                             {"specular", Array(Colour(*m, kSpecularWord))},
                             {"filter", Array(Colour(*m, kFilterWord))},
                             {"opacity", Value(m->colourBlock[kOpacityWord])},
                             {"maps", maps}});
    }
    out["materials"] = materials;

    json meshes = json::array();
    for (const VertexChunk* m : Records<VertexChunk>(*model.meshes)) {
        json mesh{{"material", m->materialIndex},
                  {"vertices", static_cast<std::uint32_t>(m->vertexCount)},
                  {"triangles", static_cast<std::uint32_t>(m->faceCount)}};
        const auto box = BoundingBox(*m);
        mesh["box"] = box ? json{{"min", Array(box->min)}, {"max", Array(box->max)}} : json(nullptr);
        meshes.push_back(mesh);
    }
    out["meshes"] = meshes;

    // "chunks" shows a file's GBND and GELP chunks beyond the one of each a valid file has.
    json spheres = json::array();
    for (const BoundSphere* s : Records<BoundSphere>(*model.bounds->spheres)) spheres.push_back(SphereJson(*s));
    out["main_sphere"] = doc.ChunkCount(wux_file::kBoundTag) == 0 ? json(nullptr) : SphereJson(*model.bounds->mainSphere);
    out["spheres"] = spheres;
    out["ellipsoid"] = !model.ellipsoid ? json(nullptr)
                                        : json{{"centre", Array(model.ellipsoid->centre)},
                                               {"semi_axes", Array(model.ellipsoid->semiAxes)}};

    json references = json::array();
    for (const ReferenceEntry* e : Records<ReferenceEntry>(*model.references->entries)) {
        json rows = json::array();
        for (const auto& row : e->transform) rows.push_back(Array(row, 4));
        references.push_back({{"name", e->name}, {"transform", rows}, {"half_extents", Array(e->halfExtents)}});
    }
    out["references"] = references;
    return out;
}

std::string DumpInfoJson(const nlohmann::ordered_json& info) {
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace wux
