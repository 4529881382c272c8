#include "convert/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <unordered_set>

#include "collect/node_route.h"
#include "format/tool_text.h"
#include "format/world_normals.h"
#include "format/wux_format.h"

namespace wux {
namespace {

std::string EntryName(const ReferenceEntry& entry, std::size_t index) {
    return "GREF entry " + std::to_string(index) + " \"" + PrintableText(entry.name) + "\"";
}

HostRows TranslationRows(double x, double y, double z) { return HostRows{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {x, y, z}}}; }

bool AllFinite(const float* values, std::size_t n) {
    return std::all_of(values, values + n, [](float v) { return std::isfinite(v); });
}
bool AllFinite(std::initializer_list<float> values) { return AllFinite(values.begin(), values.size()); }


// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    const std::size_t n = c < 0xC0 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 0;
    if (n == 0 || n > s.size() - i) return 0;
    unsigned int code = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // The shortest form only: the least code each length holds.
    const unsigned int least[] = {0, 0, 0x80, 0x800, 0x10000};
    return code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0 : n;
}

RecordNode HelperFromEntry(const ReferenceEntry& entry, std::size_t index, Warnings* warnings) {
    RecordNode node;
    const auto& t = entry.transform;
    const auto& h = entry.halfExtents;
    for (int r = 0; r < 3; ++r) node.transform[r] = {t[r][0], t[r][1], t[r][2]};  // scaled below
    const std::string where = EntryName(entry, index);
    const auto warn = [&](const char* what) { warnings->Add(WarningKind::NotReproducible, where + what); };
    if (t[0][3] != 0.0f || t[1][3] != 0.0f || t[2][3] != 0.0f || t[3][3] != 0.0f)
        warn(": fourth matrix column not zero");
    const auto zero = [](const std::array<double, 3>& v) { return !(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) > 0.0); };
    if (std::any_of(node.transform.begin(), node.transform.begin() + 3, zero)) warn(": an axis of zero length");

    // The collector stores half extent = axis length / 2 * size, with the axis length
    // measured from the transform. Any size works; the largest half extent picks the one
    // that leaves the longest axis at unit length. Its sign is the sign of every extent.
    double largest = 0.0;
    for (float e : h) largest = std::max(largest, std::fabs(double{e}));
    const auto positive = std::count_if(h, h + 3, [](float e) { return e > 0.0f; });
    const auto negative = std::count_if(h, h + 3, [](float e) { return e < 0.0f; });
    if (positive > 0 && negative > 0) warn(": half extents of mixed sign");
    if (largest > 0.0 && positive + negative < 3) warn(": a half extent of zero beside others");
    // Twice a half extent near the float limit is no float: the size is then 2 and each axis
    // as long as its half extent. Axes that long also survive the collector's measure at the
    // origin, which lies half the Y extent away from the stored position.
    const double size = 2.0 * largest > std::numeric_limits<float>::max() ? 2.0 : 2.0 * largest;
    node.size = largest == 0.0 ? 0.0 : negative > positive ? -size : size;

    for (int r = 0; r < 3; ++r) {
        const double length = node.size != 0.0 ? 2.0 * std::fabs(double{h[r]}) / std::fabs(node.size) : 1.0;
        // A zero axis would make the collector drop the helper.
        for (double& v : node.transform[r]) v *= length > 0.0 ? length : 1.0;
    }
    // The stored position lies a quarter of the size along the negative local Y axis from
    // the helper's origin.
    for (int k = 0; k < 3; ++k) node.transform[3][k] = t[3][k] + 0.25 * node.size * node.transform[1][k];
    node.name = Utf8Name(entry.name, "GREF entry " + std::to_string(index), warnings);
    if (node.name != entry.name) node.nameBytes = HexBytes(entry.name);
    return node;
}

}  // namespace

std::vector<RecordNode> RecordNodes(const ExportModel& model, Warnings* warnings) {
    std::vector<RecordNode> nodes;
    const BoundSphere& main = *model.bounds->mainSphere;
    const auto spheres = Records<BoundSphere>(*model.bounds->spheres);
    const bool mainEmpty = main.radius == 0.0f && main.x == 0.0f && main.y == 0.0f && main.z == 0.0f;
    // The main sphere goes first; every later sphere not larger than it is put in the list
    // in visiting order.
    auto add = [&](const BoundSphere& s, const std::string& what) {
        if (s.radius < 0.0f || std::isnan(s.radius))
            warnings->Add(WarningKind::NotReproducible, "GBND " + what + ": radius not a distance");
        nodes.push_back(RecordNode{true, kBoundSphereNodeName, "", TranslationRows(s.x, s.y, s.z), std::fabs(double{s.radius})});
    };
    if (!mainEmpty || !spheres.empty()) add(main, "main sphere");
    if (main.radius == 0.0f && !spheres.empty())
        warnings->Add(WarningKind::NotReproducible, "GBND: further spheres beside a main sphere of radius 0");
    for (std::size_t i = 0; i < spheres.size(); ++i) {
        if (std::fabs(spheres[i]->radius) > std::fabs(main.radius))
            warnings->Add(WarningKind::NotReproducible, "GBND sphere " + std::to_string(i) + ": larger than the main sphere");
        add(*spheres[i], "sphere " + std::to_string(i));
    }
    if (const EllipsoidChunk* e = model.ellipsoid.get()) {
        // Semi-axes are the radius times the lengths of the transform's axes: the radius is the
        // longest semi-axis and the axes are scaled to the others.
        double radius = 0.0;
        for (float s : e->semiAxes) {
            if (s < 0.0f || std::isnan(s)) warnings->Add(WarningKind::NotReproducible, "GELP: semi-axis not a length");
            radius = std::max(radius, std::fabs(double{s}));
        }
        const HostRows centre = TranslationRows(e->centre[0], e->centre[1], e->centre[2]);
        RecordNode& node = nodes.emplace_back(RecordNode{true, kEllipsoidNodeName, "", centre, radius});
        if (radius > 0.0)
            for (int k = 0; k < 3; ++k) node.transform[k][k] = std::fabs(double{e->semiAxes[k]}) / radius;
    }
    const auto entries = Records<ReferenceEntry>(*model.references->entries);
    for (std::size_t i = 0; i < entries.size(); ++i) nodes.push_back(HelperFromEntry(*entries[i], i, warnings));
    return nodes;
}

void WarnUnreproducible(const WuxDocument& doc, Warnings* warnings) {
    const auto warn = [&](const std::string& what) { warnings->Add(WarningKind::NotReproducible, what); };
    const ExportModel& model = *doc.model;
    const auto materials = Records<MaterialChunk>(*model.materials);
    const auto meshes = Records<VertexChunk>(*model.meshes);
    if (model.meshCount != model.meshes->count() || model.materialCount != model.materials->count())
        warn("GNFO: counts differ from the records");
    if (doc.ChunkCount(wux_file::kBoundTag) > 1) warn("GBND: more than one chunk, their spheres follow the first's");
    if (doc.ChunkCount(wux_file::kEllipsoidTag) > 1) warn("GELP: more than one chunk, only the last is kept");

    // Materials: the collection appends each one when a mesh first uses it.
    std::vector<bool> used(materials.size(), false);
    std::size_t nextNew = 0;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const VertexChunk& mesh = *meshes[i];
        const std::string where = "GVTX #" + std::to_string(i);
        const std::int32_t m = mesh.materialIndex;
        const auto slot = static_cast<std::size_t>(static_cast<std::uint32_t>(m));  // past the end when negative
        if (slot >= materials.size()) {
            if (!(m == 0 && materials.empty())) warn(where + ": material index " + std::to_string(m) + " out of range");
        } else if (!used[slot]) {
            if (slot != nextNew) warn(where + ": material " + std::to_string(m) + " before the ones it follows");
            used[slot] = true;
            ++nextNew;
        }
        const auto faceCount = static_cast<std::size_t>(mesh.faceCount);
        if (static_cast<std::size_t>(mesh.vertexCount) != 3 * faceCount || faceCount > wux_file::kMaxTrianglesPerMesh)
            warn(where + ": not one vertex per triangle corner");
        bool soup = true, zeroBlocks = true;
        for (std::size_t c = 0; c < 3 * faceCount; ++c) {
            soup = soup && mesh.triangles[c] == c;
            zeroBlocks = zeroBlocks && mesh.faceBlocks[c] == 0;
        }
        if (!soup) warn(where + ": triangles share or reorder corners");
        if (!zeroBlocks) warn(where + ": face blocks not zero");
        if (doc.meshConstants[i] != wux_file::kMeshConstantBits) warn(where + ": constant differs from the writer's");
    }
    std::unordered_set<std::string> names;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const MaterialChunk& material = *materials[i];
        const std::string where = "GMAT " + Quoted(material.name);
        if (!used[i]) warn(where + ": used by no mesh");
        if (!names.insert(material.name).second) warn(where + ": name used twice");
        if (std::any_of(std::begin(wux_file::kColourConstants), std::end(wux_file::kColourConstants),
                        [&](const wux_file::ColourConstant& fixed) {
                            return wux_file::FloatBits(material.colourBlock[fixed.word]) != fixed.bits;
                        }))
            warn(where + ": fixed colour words differ from the writer's");
        for (std::int32_t k = 0; k < material.mapCount; ++k) {
            const MaterialMap& map = material.maps[k];
            if (static_cast<std::uint32_t>(map.channel) >= wux_file::kMaxMaps ||
                (k > 0 && static_cast<std::uint32_t>(map.channel) <= static_cast<std::uint32_t>(material.maps[k - 1].channel)))
                warn(where + ": map slots out of order or out of range");
            if (map.fileName.find('\\') != std::string::npos || map.fileName.empty())
                warn(where + ": map file name empty or holding a backslash");
        }
    }
    const auto entries = Records<ReferenceEntry>(*model.references->entries);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (doc.endWords[i] != wux_file::kReferenceEndWord)
            warn(EntryName(*entries[i], i) + ": end word differs from the writer's");
}

void WarnNotFinite(const ExportModel& model, Warnings* warnings) {
    const auto warn = [&](bool ok, const std::string& where) {
        if (!ok) warnings->Add(WarningKind::ValuesNotFinite, where);
    };
    const auto meshes = Records<VertexChunk>(*model.meshes);
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        bool ok = true;
        for (std::int32_t k = 0; k < meshes[i]->vertexCount; ++k) {
            const MeshVertex& v = meshes[i]->vertices[k];
            const MeshNormal& n = meshes[i]->normals[k];
            ok = ok && AllFinite({v.x, v.y, v.z, v.u, v.v, n.x, n.y, n.z});
        }
        warn(ok, "GVTX #" + std::to_string(i));
    }
    for (const MaterialChunk* m : Records<MaterialChunk>(*model.materials)) {
        bool ok = AllFinite(m->colourBlock, MaterialChunk::kColourWords);
        for (std::int32_t k = 0; k < m->mapCount; ++k) ok = ok && std::isfinite(m->maps[k].amount);
        warn(ok, "GMAT " + Quoted(m->name));
    }
    const BoundSphere& main = *model.bounds->mainSphere;
    bool ok = AllFinite({main.x, main.y, main.z, main.radius});
    for (const BoundSphere* s : Records<BoundSphere>(*model.bounds->spheres))
        ok = ok && AllFinite({s->x, s->y, s->z, s->radius});
    warn(ok, "GBND");
    if (model.ellipsoid) warn(AllFinite(model.ellipsoid->centre, 3) && AllFinite(model.ellipsoid->semiAxes, 3), "GELP");
    const auto entries = Records<ReferenceEntry>(*model.references->entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bool entryOk = AllFinite(entries[i]->halfExtents, 3);
        for (const auto& row : entries[i]->transform) entryOk = entryOk && AllFinite(row, 4);
        warn(entryOk, EntryName(*entries[i], i));
    }
}

std::vector<Corner> MeshCorners(const VertexChunk& mesh, std::size_t meshIndex, CornerNormals normals,
                                Warnings* warnings) {
    WorldNormals world;
    if (normals == CornerNormals::World) {
        world = MeshWorldNormals(mesh);
        if (!world.fitted) warnings->Add(WarningKind::NormalsWorkedOut, "GVTX #" + std::to_string(meshIndex));
    }
    std::vector<Corner> corners;
    const auto faceCount = static_cast<std::size_t>(mesh.faceCount), vertexCount = static_cast<std::size_t>(mesh.vertexCount);
    corners.reserve(3 * faceCount);
    for (std::size_t t = 0; t < faceCount; ++t) {
        const std::uint16_t* triangle = &mesh.triangles[3 * t];
        if (triangle[0] >= vertexCount || triangle[1] >= vertexCount || triangle[2] >= vertexCount) {
            warnings->Add(WarningKind::TrianglesDropped, "GVTX #" + std::to_string(meshIndex) + ", triangle " + std::to_string(t));
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& v = mesh.vertices[triangle[k]];
            const MeshNormal& n = mesh.normals[triangle[k]];
            const std::array<float, 3> normal = normals == CornerNormals::World ? world.corners[3 * t + k]
                                                                               : std::array<float, 3>{n.x, n.y, n.z};
            corners.push_back(Corner{{v.x, v.y, v.z}, {v.u, v.v}, normal});
        }
    }
    if (corners.empty() && normals == CornerNormals::World)
        warnings->Add(WarningKind::EmptyMeshesLeftOut, "GVTX #" + std::to_string(meshIndex));
    return corners;
}

double ShortFloat(double value) {
    const float f = static_cast<float>(value);
    return std::isfinite(f) ? std::strtod(ShortestNumber(f).c_str(), nullptr) : 0.0;
}

void AppendFloat(std::string* out, float value) { *out += ShortestNumber(std::isfinite(value) ? value : 0.0f); }


std::string Utf8Name(const std::string& text, const std::string& where, Warnings* warnings) {
    std::string out;
    for (std::size_t i = 0, n = 0; i < text.size(); i += n == 0 ? 1 : n) {
        n = Utf8Length(text, i);
        if (n == 0) out += "\xEF\xBF\xBD";
        else out.append(text, i, n);
    }
    // Each byte replaced gives three: the text grew where anything was replaced.
    if (out.size() != text.size()) warnings->Add(WarningKind::NamesNotUtf8, where);
    return out;
}

}  // namespace wux
