#include "convert/model_diff.h"

#include "format/tool_text.h"
#include "format/world_normals.h"
#include "format/wux_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// One file's records by number, and where they lie.
struct Side {
    explicit Side(const WuxDocument& d) : doc(d), model(*d.model) {
        for (const ChunkInfo& c : d.chunks) chunkAt[c.tag].push_back(c.offset);
        std::size_t next = 0;  // the GMAT chunks hold the file's first strings, each its name and then its maps'
        for (const MaterialChunk* m : materials) {
            nameField.push_back(next);
            next += 1 + static_cast<std::size_t>(m->mapCount);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) nameField.push_back(next + i);
    }
    const StringField& Field(std::size_t i) const { return doc.strings[nameField[i]]; }
    // A map's file name field follows its channel; its amount follows the name.
    const StringField& MapField(std::size_t m, std::size_t k) const { return doc.strings[nameField[m] + 1 + k]; }
    static std::size_t After(const StringField& s) { return s.offset + 4 + s.paddedLength; }
    std::size_t ChunkAt(const char* tag, std::size_t i) const {
        const auto found = chunkAt.find(tag);
        return found == chunkAt.end() ? 0 : found->second[std::min(i, found->second.size() - 1)];
    }

    const WuxDocument& doc;
    const ExportModel& model;
    std::vector<const MaterialChunk*> materials = Records<MaterialChunk>(*model.materials);
    std::vector<const VertexChunk*> meshes = Records<VertexChunk>(*model.meshes);
    std::vector<const BoundSphere*> spheres = Records<BoundSphere>(*model.bounds->spheres);
    std::vector<const ReferenceEntry*> entries = Records<ReferenceEntry>(*model.references->entries);
    std::map<std::string, std::vector<std::size_t>> chunkAt;
    std::vector<std::size_t> nameField;  // the string index of each material's name, then of each entry's
};

std::vector<std::array<float, 3>> NormalsOf(const VertexChunk& m) {
    std::vector<std::array<float, 3>> out(static_cast<std::size_t>(m.vertexCount));
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = {m.normals[k].x, m.normals[k].y, m.normals[k].z};
    return out;
}

class Differ {
public:
    Differ(const WuxDocument& a, const WuxDocument& b, const DiffOptions& options) : a_(a), b_(b), options_(options) {}

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
    // A difference in the field `fieldOffset` bytes into the record at `at`.
    void Add(const std::string& kind, const Place& at, const std::string& field, std::string valueA, std::string valueB,
             std::size_t fieldOffset, std::optional<double> magnitude = std::nullopt) {
        ++report_.total;
        if (magnitude) {
            LargestDifference& largest = report_.largest[kind];
            if (*magnitude > largest.magnitude || largest.where.empty()) {
                largest.magnitude = *magnitude;
                largest.where = at.chunk + (at.Record().empty() ? "" : ", " + at.Record()) + ": " + field;
            }
        }
        if (report_.listed.size() >= options_.maxListed) return;
        const auto shift = [&](std::optional<std::size_t> base) { return base ? std::optional(*base + fieldOffset) : base; };
        report_.listed.push_back(Difference{kind, at.chunk, at.Record(), field, std::move(valueA), std::move(valueB),
                                            shift(at.offsetA), shift(at.offsetB), magnitude});
    }

    void Float(const std::string& kind, const Place& at, const std::string& field, float va, float vb,
               std::size_t fieldOffset = 0) {
        if (WithinTolerance(va, vb, options_.tolerance)) return;
        const double delta = std::fabs(double{va} - double{vb});
        Add(kind, at, field, Number(va), Number(vb), fieldOffset, std::isnan(delta) ? INFINITY : delta);
    }

    template <typename T>
    void Exact(const std::string& kind, const Place& at, const std::string& field, const T& va, const T& vb,
               std::size_t fieldOffset = 0) {
        if (va != vb) Add(kind, at, field, Text(va), Text(vb), fieldOffset);
    }

    static std::string Text(const std::string& s) { return SingleQuoted(s); }
    template <typename T>
    static std::string Text(const T& v) { return std::to_string(v); }

    // Three words in a row: the fields "<prefix>x", "<prefix>y" and "<prefix>z".
    void Xyz(const char* kind, const Place& at, const char* prefix, const float* va, const float* vb, std::size_t offset) {
        for (std::size_t c = 0; c < 3; ++c) Float(kind, at, prefix + std::string(1, "xyz"[c]), va[c], vb[c], offset + 4 * c);
    }

    // Pairs the records both files hold by number; those of either beyond are missing in the other.
    template <typename Pair, typename Miss>
    static void Paired(std::size_t countA, std::size_t countB, Pair pair, Miss miss) {
        const std::size_t n = std::min(countA, countB);
        for (std::size_t i = 0; i < n; ++i) pair(i);
        for (std::size_t i = n; i < countA; ++i) miss(i, true);
        for (std::size_t i = n; i < countB; ++i) miss(i, false);
    }

    // A record only one file holds, at offset `at` in that file.
    void Missing(const std::string& kind, const std::string& chunk, const std::string& record, bool inA, std::size_t at) {
        const std::optional<std::size_t> there = at, none;
        Add(kind, Place{chunk, record, inA ? there : none, inA ? none : there}, "record", inA ? "present" : "(none)",
            inA ? "(none)" : "present", 0);
    }

    void Header() {
        const Place at{kInfoTag, "", a_.doc.gnfo.offset, b_.doc.gnfo.offset};
        Exact("count", at, "mesh count", std::uint32_t(a_.model.meshCount), std::uint32_t(b_.model.meshCount),
              kInfoMeshCountOffset - kInfoOffset);
        Exact("count", at, "material count", std::uint32_t(a_.model.materialCount), std::uint32_t(b_.model.materialCount),
              kInfoMaterialCountOffset - kInfoOffset);
    }

    void Materials() {
        // Each name's first material, looked up in a map: files of many materials stay linear.
        const auto byName = [](const Side& side) {
            std::unordered_map<std::string, std::size_t> found;
            for (std::size_t i = 0; i < side.materials.size(); ++i) found.emplace(side.materials[i]->name, i);
            return found;
        };
        const auto inA = byName(a_), inB = byName(b_);
        const auto chunk = [](const MaterialChunk* m) { return std::string(kMaterialTag) + " " + SingleQuoted(m->name); };
        for (std::size_t i = 0; i < a_.materials.size(); ++i) {
            const auto found = inB.find(a_.materials[i]->name);
            if (found != inB.end()) MaterialPair(chunk(a_.materials[i]), i, found->second);
            else Missing("material", chunk(a_.materials[i]), "", true, a_.ChunkAt(kMaterialTag, i));
        }
        for (std::size_t i = 0; i < b_.materials.size(); ++i)
            if (inA.count(b_.materials[i]->name) == 0)
                Missing("material", chunk(b_.materials[i]), "", false, b_.ChunkAt(kMaterialTag, i));
    }

    void MaterialPair(const std::string& chunk, std::size_t ia, std::size_t ib) {
        const MaterialChunk& ma = *a_.materials[ia];
        const MaterialChunk& mb = *b_.materials[ib];
        const std::size_t colourA = Side::After(a_.Field(ia)), colourB = Side::After(b_.Field(ib));
        const Place colours{chunk, "colour block", colourA, colourB};
        for (std::size_t w = 0; w < kColourWords; ++w)
            Float(w == static_cast<std::size_t>(kOpacityWord) ? "opacity" : "colour", colours, kColourWordNames[w],
                  ma.colourBlock[w], mb.colourBlock[w], 4 * w);
        Exact("count", Place{chunk, "", colourA + kColourBlockSize, colourB + kColourBlockSize}, "map count", ma.mapCount,
              mb.mapCount);
        const auto pair = [&](std::size_t i) {
            const MaterialMap& pa = ma.maps[i];
            const MaterialMap& pb = mb.maps[i];
            const StringField& fa = a_.MapField(ia, i);
            const StringField& fb = b_.MapField(ib, i);
            const Place at{chunk, "map " + std::to_string(i), fa.offset - 4, fb.offset - 4};
            Exact("map", at, "channel", std::uint32_t(pa.channel), std::uint32_t(pb.channel));
            Exact("map", Place{chunk, at.record, fa.offset, fb.offset}, "file name", pa.fileName, pb.fileName);
            Float("amount", Place{chunk, at.record, Side::After(fa), Side::After(fb)}, "amount", pa.amount, pb.amount);
        };
        Paired(std::size_t(ma.mapCount), std::size_t(mb.mapCount), pair, [&](std::size_t i, bool inA) {
            Missing("map", chunk, "map " + std::to_string(i), inA, (inA ? a_ : b_).MapField(inA ? ia : ib, i).offset - 4);
        });
    }

    // A mesh's material by the name it refers to, so that two files listing the same
    // materials in another order still agree.
    static std::string MaterialRef(const Side& side, std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) < side.materials.size())
            return SingleQuoted(side.materials[static_cast<std::size_t>(index)]->name);
        return "index " + std::to_string(index) + " (no such material)";
    }

    void Meshes() {
        Paired(a_.meshes.size(), b_.meshes.size(), [&](std::size_t i) { MeshPair(i); }, [&](std::size_t i, bool inA) {
            Missing("mesh", "GVTX #" + std::to_string(i), "", inA, (inA ? a_ : b_).ChunkAt(kMeshTag, i));
        });
    }

    void MeshPair(std::size_t i) {
        const VertexChunk& ma = *a_.meshes[i];
        const VertexChunk& mb = *b_.meshes[i];
        const std::string chunk = "GVTX #" + std::to_string(i);
        const std::size_t atA = a_.ChunkAt(kMeshTag, i), atB = b_.ChunkAt(kMeshTag, i);
        const Place head{chunk, "", atA, atB};
        const std::string refA = MaterialRef(a_, ma.materialIndex), refB = MaterialRef(b_, mb.materialIndex);
        if (refA != refB) Add("material", head, "material", refA, refB, kMeshMaterialOffset);
        Float("constant", head, "constant", FloatFromBits(a_.doc.meshConstants[i]), FloatFromBits(b_.doc.meshConstants[i]),
              kMeshConstantOffset);
        Exact("count", head, "vertex count", std::uint32_t(ma.vertexCount), std::uint32_t(mb.vertexCount), kMeshVertexCountOffset);
        Exact("count", head, "face count", std::uint32_t(ma.faceCount), std::uint32_t(mb.faceCount), kMeshFaceCountOffset);
        // Where each array starts in a file: vertices, triangles, normals, face blocks.
        const auto starts = [](std::size_t at, const VertexChunk& m) {
            const std::size_t vertices = at + kMeshHeadSize, triangles = vertices + kVertexSize * std::size_t(m.vertexCount);
            const std::size_t normals = triangles + kTriangleSize * std::size_t(m.faceCount);
            return std::array<std::size_t, 4>{vertices, triangles, normals, normals + kNormalSize * std::size_t(m.vertexCount)};
        };
        const auto [verticesA, trianglesA, normalsA, blocksA] = starts(atA, ma);
        const auto [verticesB, trianglesB, normalsB, blocksB] = starts(atB, mb);
        const std::size_t corners = std::size_t(std::min(ma.vertexCount, mb.vertexCount));
        for (std::size_t k = 0; k < corners; ++k) {
            const MeshVertex& va = ma.vertices[k];
            const MeshVertex& vb = mb.vertices[k];
            const Place at{chunk, "", verticesA + kVertexSize * k, verticesB + kVertexSize * k, "corner", k};
            const float wordsA[5] = {va.x, va.y, va.z, va.u, va.v}, wordsB[5] = {vb.x, vb.y, vb.z, vb.u, vb.v};
            for (std::size_t w = 0; w < 5; ++w)
                Float(w < 3 ? "position" : "uv", at, std::string(1, "xyzuv"[w]), wordsA[w], wordsB[w], 4 * w);
        }
        const auto normalsOfA = NormalsOf(ma), normalsOfB = NormalsOf(mb);
        const std::size_t normals = SameUpToFrame(normalsOfA, normalsOfB) ? 0 : corners;
        for (std::size_t k = 0; k < normals; ++k) {
            const Place at{chunk, "", normalsA + kNormalSize * k, normalsB + kNormalSize * k, "corner", k};
            Xyz("normal", at, "normal ", normalsOfA[k].data(), normalsOfB[k].data(), 0);
        }
        const std::size_t triangles = std::size_t(std::min(ma.faceCount, mb.faceCount));
        for (std::size_t t = 0; t < triangles; ++t) {
            const Place at{chunk, "", trianglesA + kTriangleSize * t, trianglesB + kTriangleSize * t, "triangle", t};
            for (std::size_t c = 0; c < 3; ++c)
                Exact("index", at, "index " + std::to_string(c), ma.triangles[3 * t + c], mb.triangles[3 * t + c], 2 * c);
        }
        for (std::size_t t = 0; t < triangles; ++t) {
            const Place at{chunk, "", blocksA + kFaceBlockSize * t, blocksB + kFaceBlockSize * t, "face block", t};
            for (std::size_t c = 0; c < 3; ++c)
                Exact("face block", at, "word " + std::to_string(c), ma.faceBlocks[3 * t + c], mb.faceBlocks[3 * t + c], 4 * c);
        }
    }

    // The file keeps normals in each object's own space and no object transform, so two
    // records whose normals one linear map turns into each other's hold the same model's
    // normals in two frames: a conversion writes them in world space, OBJ in a Y-up one.
    bool SameUpToFrame(const std::vector<std::array<float, 3>>& a, const std::vector<std::array<float, 3>>& b) const {
        const auto same = [this](const std::array<float, 3>& x, const std::array<float, 3>& y) {
            const auto close = [this](float p, float q) { return WithinTolerance(p, q, options_.tolerance); };
            return std::equal(x.begin(), x.end(), y.begin(), close);
        };
        if (a.size() != b.size()) return false;
        if (std::equal(a.begin(), a.end(), b.begin(), same)) return true;
        const std::optional<Matrix3> map = FitDirectionMap(a, b);
        if (!map) return false;
        const Matrix3 identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (same(a[k], b[k])) continue;
            const auto turned = MapDirection(*map, a[k]), unit = MapDirection(identity, b[k]);
            if (!turned || !unit || !same(*turned, *unit)) return false;
        }
        return true;
    }

    void Spheres() {
        const bool inA = a_.doc.ChunkCount(kBoundTag) > 0, inB = b_.doc.ChunkCount(kBoundTag) > 0;
        const std::size_t atA = a_.ChunkAt(kBoundTag, 0), atB = b_.ChunkAt(kBoundTag, 0);
        if (inA != inB) Missing("sphere", kBoundTag, "", inA, inA ? atA : atB);
        if (!inA || !inB) return;
        // A sphere `offset` bytes into either chunk.
        const auto pair = [&](const std::string& record, std::size_t offset, const BoundSphere& sa, const BoundSphere& sb) {
            const Place at{kBoundTag, record, atA + offset, atB + offset};
            const float ca[3] = {sa.x, sa.y, sa.z}, cb[3] = {sb.x, sb.y, sb.z};
            Xyz("sphere centre", at, "centre ", ca, cb, 0);
            Float("sphere radius", at, "radius", sa.radius, sb.radius, kSphereRadiusOffset);
        };
        pair("main sphere", kChunkHeadSize, *a_.model.bounds->mainSphere, *b_.model.bounds->mainSphere);
        Exact("count", Place{kBoundTag, "", atA, atB}, "sphere count", a_.spheres.size(), b_.spheres.size(),
              kChunkHeadSize + kSphereSize);
        const std::size_t n = std::min(a_.spheres.size(), b_.spheres.size());
        for (std::size_t i = 0; i < n; ++i)
            pair("sphere " + std::to_string(i), kBoundHeadSize + kSphereSize * i, *a_.spheres[i], *b_.spheres[i]);
    }

    // The model keeps a file's last GELP chunk.
    void Ellipsoids() {
        const EllipsoidChunk* ea = a_.model.ellipsoid.get();
        const EllipsoidChunk* eb = b_.model.ellipsoid.get();
        const std::size_t atA = a_.ChunkAt(kEllipsoidTag, SIZE_MAX), atB = b_.ChunkAt(kEllipsoidTag, SIZE_MAX);
        if (ea && eb) {
            const Place at{kEllipsoidTag, "", atA + kChunkHeadSize, atB + kChunkHeadSize};
            Xyz("ellipsoid centre", at, "centre ", ea->centre, eb->centre, 0);
            Xyz("ellipsoid semi-axes", at, "semi-axis ", ea->semiAxes, eb->semiAxes, kEllipsoidSemiAxesOffset - kChunkHeadSize);
        } else if (ea || eb) {
            Missing("ellipsoid", kEllipsoidTag, "", ea != nullptr, ea ? atA : atB);
        }
    }

    void ReferenceEntries() {
        const std::size_t countA = a_.entries.size(), countB = b_.entries.size();
        Exact("count", Place{kReferenceTag, "", a_.doc.gref.offset, b_.doc.gref.offset}, "entry count", countA, countB,
              kChunkHeadSize);
        const auto pair = [&](std::size_t i) {
            const ReferenceEntry& ea = *a_.entries[i];
            const ReferenceEntry& eb = *b_.entries[i];
            const StringField& na = a_.Field(a_.materials.size() + i);
            const StringField& nb = b_.Field(b_.materials.size() + i);
            const std::string record = "entry " + std::to_string(i) + " " + SingleQuoted(ea.name);
            Exact("name", Place{kReferenceTag, record, na.offset, nb.offset}, "name", ea.name, eb.name);
            const Place matrix{kReferenceTag, record, Side::After(na), Side::After(nb)};
            for (std::size_t w = 0; w < 16; ++w)
                Float("transform", matrix, "transform [" + std::to_string(w / 4) + "][" + std::to_string(w % 4) + "]",
                      ea.transform[w / 4][w % 4], eb.transform[w / 4][w % 4], 4 * w);
            Xyz("half extents", matrix, "half extent ", ea.halfExtents, eb.halfExtents, kTransformSize);
            Exact("end word", matrix, "end word", a_.doc.endWords[i], b_.doc.endWords[i], kTransformSize + kHalfExtentsSize);
        };
        Paired(countA, countB, pair, [&](std::size_t i, bool inA) {
            const Side& side = inA ? a_ : b_;
            Missing("reference", kReferenceTag, "entry " + std::to_string(i) + " " + SingleQuoted(side.entries[i]->name),
                    inA, side.Field(side.materials.size() + i).offset);
        });
    }

    const Side a_;
    const Side b_;
    const DiffOptions& options_;
    DiffReport report_;
};

}  // namespace

bool WithinTolerance(double a, double b, double tolerance) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b)) return a == b;
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= tolerance * scale;
}

DiffReport DiffModels(const WuxDocument& a, const WuxDocument& b, const DiffOptions& options) {
    return Differ(a, b, options).Run();
}

std::string FormatDiffText(const DiffReport& report, const std::string& nameA, const std::string& nameB) {
    const auto offset = [](std::optional<std::size_t> at) { return at ? std::to_string(*at) : std::string("-"); };
    std::ostringstream out;
    for (const Difference& d : report.listed) {
        out << d.chunk;
        if (!d.record.empty()) out << ", " << d.record;
        out << ": " << d.field << ": " << d.valueA << " vs " << d.valueB;
        if (d.magnitude) out << " (difference " << Number(*d.magnitude) << ")";
        out << " at offset " << offset(d.offsetA) << " / " << offset(d.offsetB) << "\n";
    }
    if (report.total > report.listed.size()) out << "... and " << report.total - report.listed.size() << " more\n";
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
    const auto offset = [](std::optional<std::size_t> at) { return at ? nlohmann::json(*at) : nlohmann::json(nullptr); };
    const auto magnitude = [](double m) { return std::isfinite(m) ? nlohmann::json(m) : nlohmann::json("inf"); };
    nlohmann::json list = nlohmann::json::array();
    for (const Difference& d : report.listed) {
        nlohmann::json item{{"kind", d.kind}, {"chunk", d.chunk}, {"record", d.record}, {"field", d.field},
                            {"a", d.valueA}, {"b", d.valueB}, {"offsetA", offset(d.offsetA)},
                            {"offsetB", offset(d.offsetB)}};
        if (d.magnitude) item["difference"] = magnitude(*d.magnitude);
        list.push_back(std::move(item));
    }
    nlohmann::json largest = nlohmann::json::object();
    for (const auto& [kind, l] : report.largest) largest[kind] = {{"difference", magnitude(l.magnitude)}, {"where", l.where}};
    return nlohmann::json{{"a", nameA},
                          {"b", nameB},
                          {"equal", report.Equal()},
                          {"total", report.total},
                          {"differences", list},
                          {"largest", largest}};
}

}  // namespace wux
