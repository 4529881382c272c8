#include "format/wux_info.h"

#include <cmath>
#include <cstdlib>

#include "format/tool_text.h"

namespace wux {
namespace {

using json = nlohmann::ordered_json;

template <std::size_t N>
std::string Vec(const std::array<float, N>& v) {
    std::string out = "(";
    for (std::size_t i = 0; i < N; ++i) out += (i ? ", " : "") + ShortestNumber(v[i]);
    return out + ")";
}

std::string SphereText(const Sphere& s) { return "centre " + Vec(s.centre) + " radius " + ShortestNumber(s.radius); }

std::array<float, 3> Row(const Reference& e, int row) {
    return {e.transform[4 * row], e.transform[4 * row + 1], e.transform[4 * row + 2]};
}

// As the double nearest the float's shortest text, so 0.588f prints as 0.588, not as
// 0.5879999995231628. NaN and infinities have no JSON number: they become null.
json Value(float v) { return std::isfinite(v) ? json(std::strtod(ShortestNumber(v).c_str(), nullptr)) : json(nullptr); }

template <std::size_t N>
json Array(const std::array<float, N>& v) {
    json out = json::array();
    for (float f : v) out.push_back(Value(f));
    return out;
}

json SphereJson(const Sphere& s) { return json{{"centre", Array(s.centre)}, {"radius", Value(s.radius)}}; }

json ChunkJson(const ChunkInfo& c) {
    return json{{"tag", PrintableText(c.tag)}, {"offset", c.offset}, {"block_size", c.blockSize}};
}

}  // namespace

std::string InfoText(const WuxFile& file) {
    const Header& h = file.header;
    std::string out;
    out += "file: " + std::to_string(h.fileLength) + " bytes (file_size field " + std::to_string(h.fileSizeField) + ")\n";
    out += "header: " + Plural(h.meshCount, "mesh", "meshes") + ", " +
           Plural(h.materialCount, "material", "materials") + "\n";
    out += "chunks: GNFO at " + std::to_string(h.gnfo.offset) + " (" + std::to_string(h.gnfo.blockSize) + " bytes)";
    for (const ChunkInfo& c : file.chunks) {
        out += ", " + PrintableText(c.tag) + " at " + std::to_string(c.offset) + " (" + std::to_string(c.blockSize) + ")";
    }
    out += ", GREF at " + std::to_string(file.references.chunk.offset) + " (" +
           std::to_string(file.references.chunk.blockSize) + ")\n";

    out += "materials: " + std::to_string(file.materials.size()) + "\n";
    for (std::size_t i = 0; i < file.materials.size(); ++i) {
        const Material& m = file.materials[i];
        out += "  #" + std::to_string(i) + " " + Quoted(m.name.text) + "\n";
        out += "    diffuse " + Vec(m.Diffuse()) + ", ambient " + Vec(m.Ambient()) + ", specular " + Vec(m.Specular()) +
               ", filter " + Vec(m.Filter()) + ", opacity " + ShortestNumber(m.Opacity()) + "\n";
        for (const MapEntry& map : m.maps) {
            out += "    map channel " + std::to_string(map.channel) + ": " + Quoted(map.fileName.text) + ", amount " +
                   ShortestNumber(map.amount) + "\n";
        }
    }

    out += "meshes: " + std::to_string(file.meshes.size()) + "\n";
    for (std::size_t i = 0; i < file.meshes.size(); ++i) {
        const MeshChunk& m = file.meshes[i];
        out += "  #" + std::to_string(i) + " material " + std::to_string(m.materialIndex) + ", " +
               Plural(m.vertexCount, "vertex", "vertices") + ", " + Plural(m.faceCount, "triangle", "triangles");
        if (const auto box = BoundingBox(m)) out += ", box " + Vec(box->min) + " to " + Vec(box->max);
        out += "\n";
    }

    for (const Bounds& b : file.bounds) {
        out += "main sphere: " + SphereText(b.mainSphere) + "\n";
        out += "further spheres: " + std::to_string(b.spheres.size()) + "\n";
        for (const Sphere& s : b.spheres) out += "  " + SphereText(s) + "\n";
    }
    if (file.bounds.empty()) out += "main sphere: none (no GBND chunk)\n";

    if (file.ellipsoids.empty()) out += "ellipsoid: none\n";
    for (const Ellipsoid& e : file.ellipsoids) {
        out += "ellipsoid: centre " + Vec(e.centre) + ", semi-axes " + Vec(e.semiAxes) + "\n";
    }

    out += "references: " + std::to_string(file.references.entries.size()) + "\n";
    for (std::size_t i = 0; i < file.references.entries.size(); ++i) {
        const Reference& e = file.references.entries[i];
        out += "  #" + std::to_string(i) + " " + Quoted(e.name.text) + ": position " + Vec(Row(e, 3)) + ", axes " +
               Vec(Row(e, 0)) + " " + Vec(Row(e, 1)) + " " + Vec(Row(e, 2)) + ", half extents " +
               Vec(e.halfExtents) + "\n";
    }
    return out;
}

nlohmann::ordered_json InfoJson(const WuxFile& file) {
    const Header& h = file.header;
    json out;
    out["file_length"] = h.fileLength;
    out["file_size"] = h.fileSizeField;
    out["mesh_count"] = h.meshCount;
    out["material_count"] = h.materialCount;

    json chunks = json::array({ChunkJson(h.gnfo)});
    for (const ChunkInfo& c : file.chunks) chunks.push_back(ChunkJson(c));
    chunks.push_back(ChunkJson(file.references.chunk));
    out["chunks"] = chunks;

    json materials = json::array();
    for (const Material& m : file.materials) {
        json maps = json::array();
        for (const MapEntry& map : m.maps) {
            maps.push_back({{"channel", map.channel}, {"file", map.fileName.text}, {"amount", Value(map.amount)}});
        }
        materials.push_back({{"name", m.name.text},
                             {"diffuse", Array(m.Diffuse())},
                             {"ambient", Array(m.Ambient())},
                             {"specular", Array(m.Specular())},
                             {"filter", Array(m.Filter())},
                             {"opacity", Value(m.Opacity())},
                             {"maps", maps}});
    }
    out["materials"] = materials;

    json meshes = json::array();
    for (const MeshChunk& m : file.meshes) {
        json mesh{{"material", m.materialIndex}, {"vertices", m.vertexCount}, {"triangles", m.faceCount}};
        const auto box = BoundingBox(m);
        mesh["box"] = box ? json{{"min", Array(box->min)}, {"max", Array(box->max)}} : json(nullptr);
        meshes.push_back(mesh);
    }
    out["meshes"] = meshes;

    // A valid file has exactly one GBND and at most one GELP chunk; "chunks" shows any others.
    if (file.bounds.empty()) {
        out["main_sphere"] = nullptr;
        out["spheres"] = json::array();
    } else {
        out["main_sphere"] = SphereJson(file.bounds.front().mainSphere);
        json spheres = json::array();
        for (const Sphere& s : file.bounds.front().spheres) spheres.push_back(SphereJson(s));
        out["spheres"] = spheres;
    }
    out["ellipsoid"] = file.ellipsoids.empty()
                           ? json(nullptr)
                           : json{{"centre", Array(file.ellipsoids.front().centre)},
                                  {"semi_axes", Array(file.ellipsoids.front().semiAxes)}};

    json references = json::array();
    for (const Reference& e : file.references.entries) {
        json rows = json::array();
        for (int r = 0; r < 4; ++r) {
            rows.push_back(Array(std::array<float, 4>{e.transform[4 * r], e.transform[4 * r + 1],
                                                      e.transform[4 * r + 2], e.transform[4 * r + 3]}));
        }
        references.push_back({{"name", e.name.text}, {"transform", rows}, {"half_extents", Array(e.halfExtents)}});
    }
    out["references"] = references;
    return out;
}

std::string DumpInfoJson(const nlohmann::ordered_json& info) {
    return info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace wux
