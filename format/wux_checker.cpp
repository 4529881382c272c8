#include "format/wux_checker.h"

#include <cmath>
#include <map>

#include "format/tool_text.h"
#include "format/wux_format.h"

namespace wux {
namespace {

using namespace wux_file;
constexpr std::uint32_t kMaxMapChannel = kMaxMaps - 1;
const std::string kMagicText = std::to_string(kMagic);

// How the checker names the constant words it expects.
const char* ConstantText(std::uint32_t bits) {
    return bits == kInfoScaleBits ? "1.0" : bits == kColourWordEndBits ? "39.0" : "0";
}

class Checker {
public:
    Checker(ByteSpan bytes, std::size_t maxProblems) : bytes_(bytes), max_(maxProblems) {}

    void Error(std::size_t offset, std::string where, std::string message) {
        Add(Problem::Severity::Error, offset, std::move(where), std::move(message));
    }
    void Warning(std::size_t offset, std::string where, std::string message) {
        Add(Problem::Severity::Warning, offset, std::move(where), std::move(message));
    }

    CheckReport Take() { return std::move(report_); }

    void Run(const WuxFile& file);

private:
    void Add(Problem::Severity severity, std::size_t offset, std::string where, std::string message) {
        (severity == Problem::Severity::Error ? report_.errorCount : report_.warningCount)++;
        if (report_.problems.size() < max_) {
            report_.problems.push_back(Problem{severity, offset, std::move(where), std::move(message)});
        } else {
            ++report_.omitted;
        }
    }

    void Finite(std::size_t offset, const std::string& where, const char* field, float value) {
        if (!std::isfinite(value)) Error(offset, where, std::string(field) + " is not finite (" + NineDigitNumber(value) + ")");
    }
    template <std::size_t N>
    void Finite(std::size_t offset, const std::string& where, const char* field, const std::array<float, N>& values) {
        for (std::size_t i = 0; i < N; ++i) Finite(offset + 4 * i, where, field, values[i]);
    }

    void Header(const WuxFile& file);
    void Head(const ChunkInfo& chunk, const std::string& formula);
    void String(const PaddedString& s, const std::string& where, const char* field);
    void CheckMaterial(const Material& m);
    void CheckMesh(const MeshChunk& m, std::size_t materialChunks);
    // Triangles below patternLimit must hold the indices 3i, 3i + 1, 3i + 2.
    void CheckMeshArrays(const MeshChunk& m, const std::string& where, std::size_t patternLimit);
    void CheckBounds(const Bounds& b);
    void CheckEllipsoid(const Ellipsoid& e);
    void CheckReferences(const References& r);

    ByteSpan bytes_;
    std::size_t max_;
    CheckReport report_;
};

void Checker::Header(const WuxFile& file) {
    const auto& h = file.header;
    if (h.fileSizeField != h.fileLength) {
        Error(kFileSizeOffset, kFileTag, "file_size " + std::to_string(h.fileSizeField) + " differs from the file length " +
                             std::to_string(h.fileLength));
    }
    if (h.gnfo.magic != kMagic) {
        Error(kInfoOffset + kMagicOffset, kInfoTag, "magic " + std::to_string(h.gnfo.magic) + ", expected " + kMagicText);
    }
    for (std::size_t i = 0; i < h.reserved.size(); ++i) {
        if (h.reserved[i] != 0) {
            Error(kInfoReservedOffset + 4 * i, kInfoTag, "reserved word " + std::to_string(i) + " is " + Hex(h.reserved[i]) + ", expected 0");
        }
    }
    if (FloatBits(h.one) != kInfoScaleBits) {
        Error(kInfoScaleOffset, kInfoTag, "word at offset " + std::to_string(kInfoScaleOffset) + " is " + NineDigitNumber(h.one) + " (" +
                                            Hex(FloatBits(h.one)) + "), expected " + ConstantText(kInfoScaleBits));
    }
    if (h.meshCount != file.meshes.size()) {
        Error(kInfoMeshCountOffset, kInfoTag, "mesh count " + std::to_string(h.meshCount) + " differs from the " +
                              std::to_string(file.meshes.size()) + " GVTX chunk(s) in the file");
    }
    if (h.materialCount != file.materials.size()) {
        Error(kInfoMaterialCountOffset, kInfoTag, "material count " + std::to_string(h.materialCount) + " differs from the " +
                              std::to_string(file.materials.size()) + " GMAT chunk(s) in the file");
    }
}

void Checker::Head(const ChunkInfo& chunk, const std::string& formula) {
    const std::string where = ChunkName(chunk);
    if (chunk.magic != kMagic) {
        Error(chunk.offset + kMagicOffset, where, "magic " + std::to_string(chunk.magic) + ", expected " + kMagicText);
    }
    if (chunk.blockSize != chunk.contentSize) {
        Error(chunk.offset + kBlockSizeOffset, where,
              "block_size " + std::to_string(chunk.blockSize) + " differs from its content, " +
                  std::to_string(chunk.contentSize) + " bytes" + (formula.empty() ? "" : " (" + formula + ")"));
    }
}

void Checker::String(const PaddedString& s, const std::string& where, const char* field) {
    const std::size_t length = s.text.size();
    const std::string name = std::string(field) + " " + Quoted(s.text);
    if (s.paddedLength % 4 != 0) {
        Error(s.offset, where, name + ": padded length " + std::to_string(s.paddedLength) + " is not a multiple of 4");
    }
    if (length >= s.paddedLength) {
        Error(s.offset, where, name + ": no zero byte follows the characters within the padded length " +
                                   std::to_string(s.paddedLength));
        return;
    }
    const std::uint8_t* padding = bytes_.data + s.offset + 4 + length;
    for (std::size_t i = 0; i < s.paddedLength - length; ++i) {
        if (padding[i] != 0) {
            Error(s.offset + 4 + length + i, where, name + ": padding byte is " + Hex(padding[i]) + ", expected 0");
            return;
        }
    }
    if (s.paddedLength - length > 4) {
        Warning(s.offset, where, name + ": padded to " + std::to_string(s.paddedLength) + " bytes, " +
                                     std::to_string(PaddedLength(length)) + " expected for " +
                                     std::to_string(length) + " characters");
    }
}

void Checker::CheckMaterial(const Material& m) {
    const std::string where = ChunkName(m.chunk);
    Head(m.chunk, std::to_string(kChunkHeadSize) + " + name " + std::to_string(4 + std::size_t{m.name.paddedLength}) +
                      " + " + std::to_string(kColourBlockSize) + " + 4 + " + std::to_string(m.maps.size()) +
                      " map entries");
    String(m.name, where, "name");
    for (const ColourConstant& c : kColourConstants) {
        const float value = m.colourBlock[c.word];
        if (FloatBits(value) != c.bits) {
            Error(m.colourOffset + 4 * c.word, where,
                  "colour word " + std::to_string(c.word) + " is " + NineDigitNumber(value) + " (" + Hex(FloatBits(value)) +
                      "), expected " + ConstantText(c.bits));
        }
    }
    Finite(m.colourOffset, where, "colour word", m.colourBlock);
    const std::size_t countOffset = m.colourOffset + kColourBlockSize;
    if (m.mapCount > kMaxMaps) {
        Error(countOffset, where, "map count " + std::to_string(m.mapCount) + " exceeds " + std::to_string(kMaxMaps));
    }
    for (std::size_t i = 0; i < m.maps.size(); ++i) {
        const MapEntry& map = m.maps[i];
        const std::string mapWhere = where + ", map " + std::to_string(i);
        if (map.channel > kMaxMapChannel) {
            Error(map.offset, mapWhere, "channel " + std::to_string(static_cast<std::int32_t>(map.channel)) +
                                            " outside 0.." + std::to_string(kMaxMapChannel));
        } else if (i > 0 && map.channel <= m.maps[i - 1].channel) {
            Error(map.offset, mapWhere, "channel " + std::to_string(map.channel) + " does not follow channel " +
                                            std::to_string(m.maps[i - 1].channel) + " in ascending order");
        }
        String(map.fileName, mapWhere, "file name");
        Finite(map.fileName.offset + 4 + map.fileName.paddedLength, mapWhere, "amount", map.amount);
    }
}

void Checker::CheckMesh(const MeshChunk& m, std::size_t materialChunks) {
    const std::string where = ChunkName(m.chunk);
    const std::size_t o = m.chunk.offset;
    Head(m.chunk, std::to_string(kMeshHeadSize) + " + " + std::to_string(kBytesPerVertex) + " x " +
                      std::to_string(m.vertexCount) + " + " + std::to_string(kBytesPerTriangle) + " x " +
                      std::to_string(m.faceCount));
    const bool indexOk = materialChunks == 0 ? m.materialIndex == 0
                                             : m.materialIndex >= 0 && std::size_t(m.materialIndex) < materialChunks;
    if (!indexOk) {
        Error(o + kMeshMaterialOffset, where, "material index " + std::to_string(m.materialIndex) +
                                 (materialChunks == 0 ? " with no materials in the file (0 expected)"
                                                      : " outside 0.." + std::to_string(materialChunks - 1)));
    }
    if (FloatBits(m.constant) != kMeshConstantBits) {
        Error(o + kMeshConstantOffset, where,
              "constant is " + NineDigitNumber(m.constant) + " (" + Hex(FloatBits(m.constant)) + "), expected " +
                  Hex(kMeshConstantBits));
    }
    if (std::uint64_t{m.vertexCount} != 3 * std::uint64_t{m.faceCount}) {
        Error(o + kMeshVertexCountOffset, where,
              "vertex count " + std::to_string(m.vertexCount) + " is not 3 x face count " + std::to_string(m.faceCount));
    }
    const bool tooLarge = m.faceCount > kMaxTrianglesPerMesh;
    if (tooLarge) {
        Error(o + kMeshFaceCountOffset, where,
              std::to_string(m.faceCount) + " triangles: u16 indices address at most " +
                  std::to_string(kMaxTrianglesPerMesh) + " triangles of a mesh");
    } else if (m.faceCount == 0) {
        Warning(o + kMeshFaceCountOffset, where, "mesh has no triangles");
    }
    // Beyond the u16 limit no triangle can hold its expected indices: one error above says so.
    CheckMeshArrays(m, where, tooLarge ? kMaxTrianglesPerMesh : m.triangles.size());
}

void Checker::CheckMeshArrays(const MeshChunk& m, const std::string& where, std::size_t patternLimit) {
    for (std::size_t k = 0; k < m.vertices.size(); ++k) {
        const Vertex& v = m.vertices[k];
        const std::array<float, 5> values{v.x, v.y, v.z, v.u, v.v};
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (!std::isfinite(values[j])) {
                Error(m.VerticesOffset() + kVertexSize * k + 4 * j, where + ", vertex " + std::to_string(k),
                      std::string("xyzuv").substr(j, 1) + " is not finite (" + NineDigitNumber(values[j]) + ")");
            }
        }
    }
    for (std::size_t i = 0; i < m.triangles.size(); ++i) {
        const auto& t = m.triangles[i];
        const std::size_t at = m.TrianglesOffset() + kTriangleSize * i;
        bool inRange = true;
        for (int j = 0; j < 3; ++j) {
            if (t[j] >= m.vertexCount) {
                Error(at + 2 * j, where + ", triangle " + std::to_string(i),
                      "index " + std::to_string(t[j]) + " out of range (" + std::to_string(m.vertexCount) + " vertices)");
                inRange = false;
            }
        }
        if (inRange && i < patternLimit && (t[0] != 3 * i || t[1] != 3 * i + 1 || t[2] != 3 * i + 2)) {
            Error(at, where + ", triangle " + std::to_string(i),
                  "indices (" + std::to_string(t[0]) + ", " + std::to_string(t[1]) + ", " + std::to_string(t[2]) +
                      "), expected (" + std::to_string(3 * i) + ", " + std::to_string(3 * i + 1) + ", " +
                      std::to_string(3 * i + 2) + ")");
        }
    }
    for (std::size_t k = 0; k < m.normals.size(); ++k) {
        Finite(m.NormalsOffset() + kNormalSize * k, where + ", normal " + std::to_string(k), "component", m.normals[k]);
    }
    for (std::size_t i = 0; i < m.faceBlocks.size(); ++i) {
        for (int j = 0; j < 3; ++j) {
            if (m.faceBlocks[i][j] != 0) {
                Error(m.FaceBlocksOffset() + kFaceBlockSize * i + 4 * j, where + ", face block " + std::to_string(i),
                      "word " + std::to_string(j) + " is " + Hex(m.faceBlocks[i][j]) + ", expected 0");
            }
        }
    }
}

void Checker::CheckBounds(const Bounds& b) {
    const std::string where = ChunkName(b.chunk);
    Head(b.chunk, std::to_string(kBoundHeadSize) + " + " + std::to_string(kSphereSize) + " x " +
                      std::to_string(b.sphereCount));
    const std::size_t mainOffset = b.chunk.offset + kChunkHeadSize;
    Finite(mainOffset, where + ", main sphere", "value", b.mainSphere.centre);
    Finite(mainOffset + kSphereRadiusOffset, where + ", main sphere", "radius", b.mainSphere.radius);
    if (b.mainSphere.radius < 0) {
        Warning(mainOffset + kSphereRadiusOffset, where + ", main sphere", "negative radius " + NineDigitNumber(b.mainSphere.radius));
    }
    for (std::size_t i = 0; i < b.spheres.size(); ++i) {
        const Sphere& s = b.spheres[i];
        const std::size_t at = b.chunk.offset + kBoundHeadSize + kSphereSize * i;
        const std::string sphereWhere = where + ", sphere " + std::to_string(i);
        Finite(at, sphereWhere, "centre", s.centre);
        Finite(at + kSphereRadiusOffset, sphereWhere, "radius", s.radius);
        if (s.radius > b.mainSphere.radius) {
            Warning(at + kSphereRadiusOffset, sphereWhere, "radius " + NineDigitNumber(s.radius) + " exceeds the main sphere's " +
                                              NineDigitNumber(b.mainSphere.radius));
        }
    }
}

void Checker::CheckEllipsoid(const Ellipsoid& e) {
    const std::string where = ChunkName(e.chunk);
    Head(e.chunk, "");
    const std::size_t semiAxes = e.chunk.offset + kEllipsoidSemiAxesOffset;
    Finite(e.chunk.offset + kChunkHeadSize, where, "centre", e.centre);
    Finite(semiAxes, where, "semi-axis", e.semiAxes);
    for (std::size_t i = 0; i < 3; ++i) {
        if (e.semiAxes[i] < 0) Warning(semiAxes + 4 * i, where, "negative semi-axis " + NineDigitNumber(e.semiAxes[i]));
    }
}

void Checker::CheckReferences(const References& r) {
    const std::string where = ChunkName(r.chunk);
    Head(r.chunk, std::to_string(kReferenceHeadSize) + " + " + std::to_string(r.entries.size()) + " entries");
    for (std::size_t i = 0; i < r.entries.size(); ++i) {
        const Reference& e = r.entries[i];
        const std::string entryWhere = where + ", entry " + std::to_string(i) + " " + Quoted(e.name.text);
        String(e.name, entryWhere, "name");
        const std::size_t t = e.TransformOffset();
        Finite(t, entryWhere, "transform value", e.transform);
        for (int row = 0; row < 4; ++row) {
            const float w = e.transform[4 * row + 3];
            if (w != 0.0f) {
                Error(t + kTransformRowSize * row + 12, entryWhere, "transform row " + std::to_string(row) + " ends in " + NineDigitNumber(w) +
                                                         ", expected 0.0");
            }
        }
        Finite(t + kTransformSize, entryWhere, "half extent", e.halfExtents);
        if (e.halfExtents[0] == 0 && e.halfExtents[1] == 0 && e.halfExtents[2] == 0) {
            Warning(t + kTransformSize, entryWhere, "helper has zero size");
        }
        if (e.endWord != kReferenceEndWord) {
            Error(t + kTransformSize + kHalfExtentsSize, entryWhere,
                  "end word " + Hex(e.endWord) + ", expected " + Hex(kReferenceEndWord));
        }
    }
}

void Checker::Run(const WuxFile& file) {
    Header(file);
    const std::size_t materialChunks = file.materials.size();
    // Rank of each tag in the required order; GBND once, GELP at most once.
    const std::map<std::string, int> rank{{kMaterialTag, 0}, {kMeshTag, 1}, {kBoundTag, 2}, {kEllipsoidTag, 3}};
    int lastRank = -1;
    std::string lastTag;
    for (const ChunkInfo& chunk : file.chunks) {
        const int r = rank.at(chunk.tag);
        if (r < lastRank) {
            Error(chunk.offset, ChunkName(chunk), chunk.tag + " chunk after a " + lastTag +
                                                      " chunk (order: GMAT, GVTX, GBND, GELP)");
        } else {
            lastRank = r;
            lastTag = chunk.tag;
        }
        if ((chunk.tag == kBoundTag || chunk.tag == kEllipsoidTag) && chunk.ordinal > 0) {
            Error(chunk.offset, ChunkName(chunk), "a second " + chunk.tag + " chunk (at most one allowed)");
        }
        const std::size_t n = static_cast<std::size_t>(chunk.ordinal);
        if (chunk.tag == kMaterialTag) {
            CheckMaterial(file.materials[n]);
        } else if (chunk.tag == kMeshTag) {
            // One mesh's arrays at a time: a larger file needs no more memory.
            MeshChunk mesh = file.meshes[n];
            ReadMeshArrays(bytes_, &mesh);
            CheckMesh(mesh, materialChunks);
        } else if (chunk.tag == kBoundTag) {
            CheckBounds(file.bounds[n]);
        } else {
            CheckEllipsoid(file.ellipsoids[n]);
        }
    }
    if (file.bounds.empty()) {
        Error(file.references.chunk.offset, kInfoTag, "no GBND chunk (exactly one required)");
    }
    CheckReferences(file.references);
    if (file.header.trailingBytes != 0) {
        const std::size_t end = file.references.chunk.offset + file.references.chunk.blockSize;
        Error(end, kReferenceTag, std::to_string(file.header.trailingBytes) + " bytes follow the GREF chunk, which must end the file");
    }

    std::map<std::string, int> seen;
    for (const Material& m : file.materials) {
        if (seen[m.name.text]++ == 1) {
            Warning(m.chunk.offset, ChunkName(m.chunk), "material name " + Quoted(m.name.text) + " appears more than once");
        }
    }
}

}  // namespace

CheckReport CheckWux(ByteSpan bytes, std::size_t maxProblems) {
    Checker checker(bytes, maxProblems);
    ToolResult<WuxFile> read = ReadWuxWithoutMeshArrays(bytes);
    if (!read.Ok()) {
        // The reader's message starts with its place ("GVTX #1: ..."), which is the problem's where.
        const std::string& message = read.Error().message;
        const std::size_t colon = message.find(": ");
        if (colon == std::string::npos) checker.Error(*read.Error().offset, "", message);
        else checker.Error(*read.Error().offset, message.substr(0, colon), message.substr(colon + 2));
    } else {
        checker.Run(*read);
    }
    return checker.Take();
}

std::string FormatProblem(const Problem& problem) {
    std::string out = problem.severity == Problem::Severity::Error ? "error: " : "warning: ";
    out += "offset " + std::to_string(problem.offset);
    if (!problem.where.empty()) out += " (" + problem.where + ")";
    out += ": " + problem.message;
    return out;
}

std::string FormatReport(const CheckReport& report) {
    std::string out;
    for (const Problem& p : report.problems) out += FormatProblem(p) + "\n";
    if (report.omitted > 0) out += "... and " + std::to_string(report.omitted) + " more\n";
    return out;
}

}  // namespace wux
