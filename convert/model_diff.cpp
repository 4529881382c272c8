#include "convert/model_diff.h"

#include "format/tool_text.h"
#include "format/world_normals.h"
#include "format/wux_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <unordered_map>

namespace wux {
namespace {

using namespace wux_file;

std::string Number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

std::string SingleQuoted(const std::string& text) { return "'" + PrintableText(text) + "'"; }

const char* const kColourWordNames[kColourWords] = {
    "word 0",        "word 1",         "word 2 (diffuse red)",    "word 3 (diffuse green)", "word 4 (diffuse blue)",
    "word 5",        "word 6 (ambient red)", "word 7 (ambient green)", "word 8 (ambient blue)", "word 9 (opacity)",
    "word 10 (specular red)", "word 11 (specular green)", "word 12 (specular blue)", "word 13",
    "word 14 (filter red)", "word 15 (filter green)", "word 16 (filter blue)", "word 17", "word 18"};

const char* const kAxis[3] = {"x", "y", "z"};

// Where a record sits in each file; either may be missing. The record's text is made only
// when a difference is found: meshes have millions of corners that are equal.
struct Place {
    std::string chunk;
    std::string record;
    std::optional<std::size_t> offsetA, offsetB;
    const char* recordKind = nullptr;  // with recordIndex, stands for record "KIND N"
    std::size_t recordIndex = 0;

    std::string Record() const {
        return recordKind ? std::string(recordKind) + " " + std::to_string(recordIndex) : record;
    }
};

class Differ {
public:
    Differ(const WuxFile& a, const WuxFile& b, const DiffOptions& options) : a_(a), b_(b), options_(options) {}

    DiffReport Run() {
        Header();
        Materials();
        Meshes();
        Spheres();
        Ellipsoids();
        ReferenceEntries();
        return std::move(report_);
    }

private:
    void Add(Difference d) {
        ++report_.total;
        if (d.magnitude) {
            LargestDifference& largest = report_.largest[d.kind];
            if (*d.magnitude > largest.magnitude || largest.where.empty()) {
                largest.magnitude = *d.magnitude;
                largest.where = d.chunk + (d.record.empty() ? "" : ", " + d.record) + ": " + d.field;
            }
        }
        if (report_.listed.size() < options_.maxListed) report_.listed.push_back(std::move(d));
    }

    void Float(const std::string& kind, const Place& at, const std::string& field, float va, float vb,
               std::size_t fieldOffset = 0) {
        if (WithinTolerance(va, vb, options_.tolerance)) return;
        Difference d{kind, at.chunk, at.Record(), field, Number(va), Number(vb), Shift(at.offsetA, fieldOffset),
                     Shift(at.offsetB, fieldOffset), std::nullopt};
        const double delta = std::fabs(double{va} - double{vb});
        d.magnitude = std::isnan(delta) ? INFINITY : delta;
        Add(std::move(d));
    }

    template <typename T>
    void Exact(const std::string& kind, const Place& at, const std::string& field, const T& va, const T& vb,
               std::size_t fieldOffset = 0) {
        if (va == vb) return;
        Add(Difference{kind, at.chunk, at.Record(), field, Text(va), Text(vb), Shift(at.offsetA, fieldOffset),
                       Shift(at.offsetB, fieldOffset), std::nullopt});
    }

    void Missing(const std::string& kind, const Place& at, bool inA) {
        Add(Difference{kind, at.chunk, at.Record(), "record", inA ? "present" : "(none)", inA ? "(none)" : "present",
                       at.offsetA, at.offsetB, std::nullopt});
    }

    static std::string Text(const std::string& s) { return SingleQuoted(s); }
    template <typename T>
    static std::string Text(const T& v) { return std::to_string(v); }

    static std::optional<std::size_t> Shift(std::optional<std::size_t> base, std::size_t by) {
        if (!base) return base;
        return *base + by;
    }

    void Header() {
        const Place at{kInfoTag, "", a_.header.gnfo.offset, b_.header.gnfo.offset};
        Exact("count", at, "mesh count", a_.header.meshCount, b_.header.meshCount, kInfoMeshCountOffset - kInfoOffset);
        Exact("count", at, "material count", a_.header.materialCount, b_.header.materialCount,
              kInfoMaterialCountOffset - kInfoOffset);
    }

    // Each name's first material, looked up in a map: files of many materials stay linear.
    static std::unordered_map<std::string, const Material*> ByName(const WuxFile& file) {
        std::unordered_map<std::string, const Material*> byName;
        for (const Material& m : file.materials) byName.emplace(m.name.text, &m);
        return byName;
    }

    void Materials() {
        const auto inA = ByName(a_), inB = ByName(b_);
        for (const Material& ma : a_.materials) {
            const auto found = inB.find(ma.name.text);
            const Material* mb = found == inB.end() ? nullptr : found->second;
            const std::string chunk = std::string(kMaterialTag) + " " + SingleQuoted(ma.name.text);
            if (mb == nullptr) {
                Missing("material", Place{chunk, "", ma.chunk.offset, std::nullopt}, true);
                continue;
            }
            MaterialPair(chunk, ma, *mb);
        }
        for (const Material& mb : b_.materials) {
            if (inA.count(mb.name.text) == 0)
                Missing("material", Place{std::string(kMaterialTag) + " " + SingleQuoted(mb.name.text), "", std::nullopt,
                                          mb.chunk.offset},
                        false);
        }
    }

    void MaterialPair(const std::string& chunk, const Material& ma, const Material& mb) {
        const Place colours{chunk, "colour block", ma.colourOffset, mb.colourOffset};
        for (std::size_t w = 0; w < ma.colourBlock.size(); ++w) {
            Float(w == static_cast<std::size_t>(kOpacityWord) ? "opacity" : "colour", colours, kColourWordNames[w],
                  ma.colourBlock[w], mb.colourBlock[w], 4 * w);
        }
        const std::size_t countOffsetA = ma.colourOffset + kColourBlockSize, countOffsetB = mb.colourOffset + kColourBlockSize;
        Exact("count", Place{chunk, "", countOffsetA, countOffsetB}, "map count", ma.mapCount, mb.mapCount);
        const std::size_t maps = std::min(ma.maps.size(), mb.maps.size());
        for (std::size_t i = 0; i < maps; ++i) {
            const MapEntry& pa = ma.maps[i];
            const MapEntry& pb = mb.maps[i];
            const Place at{chunk, "map " + std::to_string(i), pa.offset, pb.offset};
            Exact("map", at, "channel", pa.channel, pb.channel);
            Exact("map", Place{chunk, at.record, pa.fileName.offset, pb.fileName.offset}, "file name",
                  pa.fileName.text, pb.fileName.text);
            const std::size_t amountA = pa.fileName.offset + 4 + pa.fileName.paddedLength;
            const std::size_t amountB = pb.fileName.offset + 4 + pb.fileName.paddedLength;
            Float("amount", Place{chunk, at.record, amountA, amountB}, "amount", pa.amount, pb.amount);
        }
        for (std::size_t i = maps; i < ma.maps.size(); ++i)
            Missing("map", Place{chunk, "map " + std::to_string(i), ma.maps[i].offset, std::nullopt}, true);
        for (std::size_t i = maps; i < mb.maps.size(); ++i)
            Missing("map", Place{chunk, "map " + std::to_string(i), std::nullopt, mb.maps[i].offset}, false);
    }

    // A mesh's material by the name it refers to, so that two files listing the same
    // materials in another order still agree.
    static std::string MaterialRef(const WuxFile& file, std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) < file.materials.size())
            return SingleQuoted(file.materials[static_cast<std::size_t>(index)].name.text);
        return "index " + std::to_string(index) + " (no such material)";
    }

    void Meshes() {
        const std::size_t n = std::min(a_.meshes.size(), b_.meshes.size());
        for (std::size_t i = 0; i < n; ++i) MeshPair(a_.meshes[i], b_.meshes[i]);
        for (std::size_t i = n; i < a_.meshes.size(); ++i)
            Missing("mesh", Place{ChunkName(a_.meshes[i].chunk), "", a_.meshes[i].chunk.offset, std::nullopt}, true);
        for (std::size_t i = n; i < b_.meshes.size(); ++i)
            Missing("mesh", Place{ChunkName(b_.meshes[i].chunk), "", std::nullopt, b_.meshes[i].chunk.offset}, false);
    }

    void MeshPair(const MeshChunk& ma, const MeshChunk& mb) {
        const std::string chunk = ChunkName(ma.chunk);
        const Place head{chunk, "", ma.chunk.offset, mb.chunk.offset};
        const std::string refA = MaterialRef(a_, ma.materialIndex), refB = MaterialRef(b_, mb.materialIndex);
        if (refA != refB)
            Add(Difference{"material", chunk, "", "material", refA, refB, ma.chunk.offset + kMeshMaterialOffset,
                           mb.chunk.offset + kMeshMaterialOffset, std::nullopt});
        Float("constant", head, "constant", ma.constant, mb.constant, kMeshConstantOffset);
        Exact("count", head, "vertex count", ma.vertexCount, mb.vertexCount, kMeshVertexCountOffset);
        Exact("count", head, "face count", ma.faceCount, mb.faceCount, kMeshFaceCountOffset);
        const std::size_t corners = std::min(ma.vertices.size(), mb.vertices.size());
        for (std::size_t k = 0; k < corners; ++k) {
            const Vertex& va = ma.vertices[k];
            const Vertex& vb = mb.vertices[k];
            const Place at{chunk, "", ma.VerticesOffset() + kVertexSize * k, mb.VerticesOffset() + kVertexSize * k,
                           "corner", k};
            // The vertex's five words in the file's order: x, y, z, u, v.
            Float("position", at, "x", va.x, vb.x, 4 * 0);
            Float("position", at, "y", va.y, vb.y, 4 * 1);
            Float("position", at, "z", va.z, vb.z, 4 * 2);
            Float("uv", at, "u", va.u, vb.u, 4 * 3);
            Float("uv", at, "v", va.v, vb.v, 4 * 4);
        }
        const std::size_t normals = SameUpToFrame(ma.normals, mb.normals) ? 0 : std::min(ma.normals.size(), mb.normals.size());
        for (std::size_t k = 0; k < normals; ++k) {
            const Place at{chunk, "", ma.NormalsOffset() + kNormalSize * k, mb.NormalsOffset() + kNormalSize * k, "corner", k};
            for (int c = 0; c < 3; ++c)
                Float("normal", at, std::string("normal ") + kAxis[c], ma.normals[k][c], mb.normals[k][c],
                      4 * static_cast<std::size_t>(c));
        }
        const std::size_t triangles = std::min(ma.triangles.size(), mb.triangles.size());
        for (std::size_t t = 0; t < triangles; ++t) {
            const Place at{chunk, "", ma.TrianglesOffset() + kTriangleSize * t, mb.TrianglesOffset() + kTriangleSize * t,
                           "triangle", t};
            for (int c = 0; c < 3; ++c)
                Exact("index", at, "index " + std::to_string(c), ma.triangles[t][c], mb.triangles[t][c],
                      2 * static_cast<std::size_t>(c));
        }
        const std::size_t blocks = std::min(ma.faceBlocks.size(), mb.faceBlocks.size());
        for (std::size_t t = 0; t < blocks; ++t) {
            const Place at{chunk, "", ma.FaceBlocksOffset() + kFaceBlockSize * t, mb.FaceBlocksOffset() + kFaceBlockSize * t,
                           "face block", t};
            for (int c = 0; c < 3; ++c)
                Exact("face block", at, "word " + std::to_string(c), ma.faceBlocks[t][c], mb.faceBlocks[t][c],
                      4 * static_cast<std::size_t>(c));
        }
    }

    bool SameNormal(const std::array<float, 3>& a, const std::array<float, 3>& b) const {
        for (int c = 0; c < 3; ++c)
            if (!WithinTolerance(a[c], b[c], options_.tolerance)) return false;
        return true;
    }

    // The file keeps normals in each object's own space and no object transform, so two
    // records whose normals one linear map turns into each other's hold the same model's
    // normals in two frames: a conversion writes them in world space, OBJ in a Y-up one.
    bool SameUpToFrame(const std::vector<std::array<float, 3>>& a, const std::vector<std::array<float, 3>>& b) const {
        if (a.size() != b.size()) return false;
        std::size_t k = 0;
        while (k < a.size() && SameNormal(a[k], b[k])) ++k;
        if (k == a.size()) return true;
        const std::optional<Matrix3> map = FitDirectionMap(a, b);
        if (!map) return false;
        const Matrix3 identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        for (; k < a.size(); ++k) {
            if (SameNormal(a[k], b[k])) continue;
            const auto turned = MapDirection(*map, a[k]), unit = MapDirection(identity, b[k]);
            if (!turned || !unit || !SameNormal(*turned, *unit)) return false;
        }
        return true;
    }

    void SpherePair(const Place& at, const Sphere& sa, const Sphere& sb) {
        for (int c = 0; c < 3; ++c)
            Float("sphere centre", at, std::string("centre ") + kAxis[c], sa.centre[c], sb.centre[c],
                  4 * static_cast<std::size_t>(c));
        Float("sphere radius", at, "radius", sa.radius, sb.radius, kSphereRadiusOffset);
    }

    void Spheres() {
        static const Bounds kNone{};
        const Bounds& ba = a_.bounds.empty() ? kNone : a_.bounds.front();
        const Bounds& bb = b_.bounds.empty() ? kNone : b_.bounds.front();
        if (a_.bounds.empty() != b_.bounds.empty()) {
            Missing("sphere", Place{kBoundTag, "", Opt(a_.bounds.empty(), ba.chunk.offset),
                                    Opt(b_.bounds.empty(), bb.chunk.offset)},
                    !a_.bounds.empty());
            return;
        }
        if (a_.bounds.empty()) return;
        SpherePair(Place{kBoundTag, "main sphere", ba.chunk.offset + kChunkHeadSize, bb.chunk.offset + kChunkHeadSize},
                   ba.mainSphere, bb.mainSphere);
        Exact("count", Place{kBoundTag, "", ba.chunk.offset, bb.chunk.offset}, "sphere count", ba.sphereCount,
              bb.sphereCount, kChunkHeadSize + kSphereSize);
        const std::size_t n = std::min(ba.spheres.size(), bb.spheres.size());
        for (std::size_t i = 0; i < n; ++i)
            SpherePair(Place{kBoundTag, "sphere " + std::to_string(i), ba.chunk.offset + kBoundHeadSize + kSphereSize * i,
                             bb.chunk.offset + kBoundHeadSize + kSphereSize * i},
                       ba.spheres[i], bb.spheres[i]);
    }

    static std::optional<std::size_t> Opt(bool missing, std::size_t offset) {
        if (missing) return std::nullopt;
        return offset;
    }

    void Ellipsoids() {
        const std::size_t n = std::min(a_.ellipsoids.size(), b_.ellipsoids.size());
        for (std::size_t i = 0; i < n; ++i) {
            const Ellipsoid& ea = a_.ellipsoids[i];
            const Ellipsoid& eb = b_.ellipsoids[i];
            const Place at{kEllipsoidTag, n > 1 ? "ellipsoid " + std::to_string(i) : "", ea.chunk.offset + kChunkHeadSize,
                           eb.chunk.offset + kChunkHeadSize};
            for (int c = 0; c < 3; ++c)
                Float("ellipsoid centre", at, std::string("centre ") + kAxis[c], ea.centre[c], eb.centre[c],
                      4 * static_cast<std::size_t>(c));
            for (int c = 0; c < 3; ++c)
                Float("ellipsoid semi-axes", at, std::string("semi-axis ") + kAxis[c], ea.semiAxes[c],
                      eb.semiAxes[c], kEllipsoidSemiAxesOffset - kChunkHeadSize + 4 * static_cast<std::size_t>(c));
        }
        for (std::size_t i = n; i < a_.ellipsoids.size(); ++i)
            Missing("ellipsoid", Place{kEllipsoidTag, "", a_.ellipsoids[i].chunk.offset, std::nullopt}, true);
        for (std::size_t i = n; i < b_.ellipsoids.size(); ++i)
            Missing("ellipsoid", Place{kEllipsoidTag, "", std::nullopt, b_.ellipsoids[i].chunk.offset}, false);
    }

    void ReferenceEntries() {
        const References& ra = a_.references;
        const References& rb = b_.references;
        Exact("count", Place{kReferenceTag, "", ra.chunk.offset, rb.chunk.offset}, "entry count", ra.entryCount,
              rb.entryCount, kChunkHeadSize);
        const std::size_t n = std::min(ra.entries.size(), rb.entries.size());
        for (std::size_t i = 0; i < n; ++i) {
            const Reference& ea = ra.entries[i];
            const Reference& eb = rb.entries[i];
            const std::string record = "entry " + std::to_string(i) + " " + SingleQuoted(ea.name.text);
            Exact("name", Place{kReferenceTag, record, ea.name.offset, eb.name.offset}, "name", ea.name.text, eb.name.text);
            const Place matrix{kReferenceTag, record, ea.TransformOffset(), eb.TransformOffset()};
            for (std::size_t w = 0; w < ea.transform.size(); ++w)
                Float("transform", matrix, "transform [" + std::to_string(w / 4) + "][" + std::to_string(w % 4) + "]",
                      ea.transform[w], eb.transform[w], 4 * w);
            for (int c = 0; c < 3; ++c)
                Float("half extents", matrix, std::string("half extent ") + kAxis[c], ea.halfExtents[c],
                      eb.halfExtents[c], kTransformSize + 4 * static_cast<std::size_t>(c));
            Exact("end word", matrix, "end word", ea.endWord, eb.endWord, kTransformSize + kHalfExtentsSize);
        }
        for (std::size_t i = n; i < ra.entries.size(); ++i)
            Missing("reference", Place{kReferenceTag, "entry " + std::to_string(i) + " " + SingleQuoted(ra.entries[i].name.text),
                                       ra.entries[i].offset, std::nullopt},
                    true);
        for (std::size_t i = n; i < rb.entries.size(); ++i)
            Missing("reference", Place{kReferenceTag, "entry " + std::to_string(i) + " " + SingleQuoted(rb.entries[i].name.text),
                                       std::nullopt, rb.entries[i].offset},
                    false);
    }

    const WuxFile& a_;
    const WuxFile& b_;
    const DiffOptions& options_;
    DiffReport report_;
};

std::string OffsetText(const std::optional<std::size_t>& offset) {
    return offset ? std::to_string(*offset) : std::string("-");
}

}  // namespace

bool WithinTolerance(double a, double b, double tolerance) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b)) return a == b;
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= tolerance * scale;
}

DiffReport DiffModels(const WuxFile& a, const WuxFile& b, const DiffOptions& options) {
    return Differ(a, b, options).Run();
}

std::string FormatDiffText(const DiffReport& report, const std::string& nameA, const std::string& nameB) {
    std::ostringstream out;
    for (const Difference& d : report.listed) {
        out << d.chunk;
        if (!d.record.empty()) out << ", " << d.record;
        out << ": " << d.field << ": " << d.valueA << " vs " << d.valueB;
        if (d.magnitude) out << " (difference " << Number(*d.magnitude) << ")";
        out << " at offset " << OffsetText(d.offsetA) << " / " << OffsetText(d.offsetB) << "\n";
    }
    if (report.total > report.listed.size())
        out << "... and " << report.total - report.listed.size() << " more\n";
    for (const auto& [kind, largest] : report.largest)
        out << "largest " << kind << " difference: " << Number(largest.magnitude) << " (" << largest.where << ")\n";
    if (report.Equal()) {
        out << "equal: " << nameA << " and " << nameB << "\n";
    } else {
        out << "different: " << report.total << (report.total == 1 ? " difference" : " differences") << " between "
            << nameA << " and " << nameB << "\n";
    }
    return out.str();
}

nlohmann::json DiffJson(const DiffReport& report, const std::string& nameA, const std::string& nameB) {
    nlohmann::json list = nlohmann::json::array();
    for (const Difference& d : report.listed) {
        nlohmann::json item{{"kind", d.kind}, {"chunk", d.chunk}, {"record", d.record}, {"field", d.field},
                            {"a", d.valueA}, {"b", d.valueB}};
        item["offsetA"] = d.offsetA ? nlohmann::json(*d.offsetA) : nlohmann::json(nullptr);
        item["offsetB"] = d.offsetB ? nlohmann::json(*d.offsetB) : nlohmann::json(nullptr);
        if (d.magnitude) item["difference"] = std::isfinite(*d.magnitude) ? nlohmann::json(*d.magnitude) : nlohmann::json("inf");
        list.push_back(std::move(item));
    }
    nlohmann::json largest = nlohmann::json::object();
    for (const auto& [kind, l] : report.largest)
        largest[kind] = {{"difference", std::isfinite(l.magnitude) ? nlohmann::json(l.magnitude) : nlohmann::json("inf")},
                         {"where", l.where}};
    return nlohmann::json{{"a", nameA},
                          {"b", nameB},
                          {"equal", report.Equal()},
                          {"total", report.total},
                          {"differences", list},
                          {"largest", largest}};
}

}  // namespace wux
