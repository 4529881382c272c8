#include "format/wux_checker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "format/tool_text.h"
#include "format/wux_format.h"

namespace wux {
namespace {

using namespace wux_file;
constexpr std::uint32_t kMaxMapChannel = kMaxMaps - 1;

// "0x0000002A".
std::string Hex(std::uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", value);
    return buf;
}

// Nine significant digits: every float's own text, however it came to be.
std::string NineDigitNumber(float value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(value));
    return buf;
}

// How the checker names the constant words it expects.
const char* ConstantText(std::uint32_t bits) {
    return bits == kInfoScaleBits ? "1.0" : bits == kColourWordEndBits ? "39.0" : "0";
}

struct Checker {
    ByteSpan bytes;
    std::size_t max;
    CheckReport report;
    const std::vector<StringField>* strings = nullptr;
    std::size_t nextString = 0;

    void Error(std::size_t offset, std::string where, std::string message) {
        Add(Problem::Severity::Error, offset, std::move(where), std::move(message));
    }
    void Warning(std::size_t offset, std::string where, std::string message) {
        Add(Problem::Severity::Warning, offset, std::move(where), std::move(message));
    }

    void Run(const WuxDocument& doc) {
        strings = &doc.strings;
        Header(doc);
        const ExportModel& model = *doc.model;
        const auto materials = Records<MaterialChunk>(*model.materials);
        const auto meshes = Records<VertexChunk>(*model.meshes);
        const auto spheres = Records<BoundSphere>(*model.bounds->spheres);
        std::size_t nextSphere = 0;
        // The tags in the required order; GBND once, GELP at most once.
        const std::string order[] = {kMaterialTag, kMeshTag, kBoundTag, kEllipsoidTag};
        const std::string* last = order;
        for (const ChunkInfo& chunk : doc.chunks) {
            const std::string* rank = std::find(std::begin(order), std::end(order), chunk.tag);
            if (rank < last) {
                Error(chunk.offset, ChunkName(chunk), chunk.tag + " chunk after a " + *last +
                                                          " chunk (order: GMAT, GVTX, GBND, GELP)");
            } else {
                last = rank;
            }
            if ((chunk.tag == kBoundTag || chunk.tag == kEllipsoidTag) && chunk.ordinal > 0) {
                Error(chunk.offset, ChunkName(chunk), "a second " + chunk.tag + " chunk (at most one allowed)");
            }
            const std::size_t n = static_cast<std::size_t>(chunk.ordinal);
            if (chunk.tag == kMaterialTag) {
                CheckMaterial(chunk, *materials[n]);
            } else if (chunk.tag == kMeshTag) {
                // One mesh's arrays at a time: a larger file needs no more memory.
                CheckMesh(chunk, *ReadMeshArrays(bytes, chunk, *meshes[n]), doc.meshConstants[n], materials.size());
            } else if (chunk.tag == kBoundTag) {
                // A second GBND's main sphere and spheres follow the first's in the list.
                const std::string where = ChunkName(chunk);
                const std::size_t count = (chunk.contentSize - kBoundHeadSize) / kSphereSize;
                Head(chunk, std::to_string(kBoundHeadSize) + " + " + std::to_string(kSphereSize) + " x " + std::to_string(count));
                const BoundSphere* main = n == 0 ? model.bounds->mainSphere.get() : spheres[nextSphere++];
                CheckSphere(chunk.offset + kChunkHeadSize, where + ", main sphere", *main, nullptr);
                for (std::size_t i = 0; i < count; ++i) {
                    CheckSphere(chunk.offset + kBoundHeadSize + kSphereSize * i, where + ", sphere " + std::to_string(i),
                                *spheres[nextSphere++], main);
                }
            } else {
                Head(chunk, "");
                // The model keeps the last GELP chunk's values.
                if (chunk.ordinal + 1 == static_cast<int>(doc.ChunkCount(kEllipsoidTag))) CheckEllipsoid(chunk, *model.ellipsoid);
            }
        }
        if (doc.ChunkCount(kBoundTag) == 0) Error(doc.gref.offset, kInfoTag, "no GBND chunk (exactly one required)");
        CheckReferences(doc);
        if (doc.trailingBytes != 0) {
            Error(doc.gref.offset + doc.gref.blockSize, kReferenceTag,
                  std::to_string(doc.trailingBytes) + " bytes follow the GREF chunk, which must end the file");
        }

        std::map<std::string, int> seen;
        for (const ChunkInfo& chunk : doc.chunks) {
            if (chunk.tag != kMaterialTag) continue;
            const std::string& name = materials[std::size_t(chunk.ordinal)]->name;
            if (seen[name]++ == 1)
                Warning(chunk.offset, ChunkName(chunk), "material name " + Quoted(name) + " appears more than once");
        }
    }

    void Add(Problem::Severity severity, std::size_t offset, std::string where, std::string message) {
        (severity == Problem::Severity::Error ? report.errorCount : report.warningCount)++;
        if (report.problems.size() < max) {
            report.problems.push_back(Problem{severity, offset, std::move(where), std::move(message)});
        } else {
            ++report.omitted;
        }
    }

    void Finite(std::size_t offset, const std::string& where, const char* field, float value) {
        if (!std::isfinite(value)) Error(offset, where, std::string(field) + " is not finite (" + NineDigitNumber(value) + ")");
    }
    void Finite(std::size_t offset, const std::string& where, const char* field, const float* values, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Finite(offset + 4 * i, where, field, values[i]);
    }
    void Magic(std::size_t offset, const std::string& where, std::uint32_t magic) {
        if (magic != kMagic)
            Error(offset, where, "magic " + std::to_string(magic) + ", expected " + std::to_string(kMagic));
    }
    // A word a valid file fixes, named with its value as a number and as bits.
    void FixedWord(std::size_t offset, const std::string& where, const std::string& name, std::uint32_t bits,
                   std::uint32_t expected, const std::string& expectedText) {
        if (bits != expected) {
            Error(offset, where,
                  name + " is " + NineDigitNumber(FloatFromBits(bits)) + " (" + Hex(bits) + "), expected " +
                      expectedText);
        }
    }
    void ZeroWord(std::size_t offset, const std::string& where, const std::string& name, std::uint32_t bits) {
        if (bits != 0) Error(offset, where, name + " is " + Hex(bits) + ", expected 0");
    }

    void Header(const WuxDocument& doc) {
        if (doc.fileSizeField != doc.fileLength) {
            Error(kFileSizeOffset, kFileTag, "file_size " + std::to_string(doc.fileSizeField) + " differs from the file length " +
                                 std::to_string(doc.fileLength));
        }
        Magic(kInfoOffset + kMagicOffset, kInfoTag, doc.gnfo.magic);
        for (std::size_t i = 0; i < doc.reserved.size(); ++i) {
            ZeroWord(kInfoReservedOffset + 4 * i, kInfoTag, "reserved word " + std::to_string(i), doc.reserved[i]);
        }
        FixedWord(kInfoScaleOffset, kInfoTag, "word at offset " + std::to_string(kInfoScaleOffset), doc.scaleBits,
                  kInfoScaleBits, ConstantText(kInfoScaleBits));
        const auto meshCount = static_cast<std::uint32_t>(doc.model->meshCount);
        const auto materialCount = static_cast<std::uint32_t>(doc.model->materialCount);
        if (meshCount != std::uint32_t(doc.model->meshes->count())) {
            Error(kInfoMeshCountOffset, kInfoTag, "mesh count " + std::to_string(meshCount) + " differs from the " +
                                  std::to_string(doc.model->meshes->count()) + " GVTX chunk(s) in the file");
        }
        if (materialCount != std::uint32_t(doc.model->materials->count())) {
            Error(kInfoMaterialCountOffset, kInfoTag, "material count " + std::to_string(materialCount) + " differs from the " +
                                  std::to_string(doc.model->materials->count()) + " GMAT chunk(s) in the file");
        }
    }

    void Head(const ChunkInfo& chunk, const std::string& formula) {
        const std::string where = ChunkName(chunk);
        Magic(chunk.offset + kMagicOffset, where, chunk.magic);
        if (chunk.blockSize != chunk.contentSize) {
            Error(chunk.offset + kBlockSizeOffset, where,
                  "block_size " + std::to_string(chunk.blockSize) + " differs from its content, " +
                      std::to_string(chunk.contentSize) + " bytes" + (formula.empty() ? "" : " (" + formula + ")"));
        }
    }

    // The next padded string of the file, holding text; returns its field.
    const StringField& String(const std::string& text, const std::string& where, const char* field) {
        const StringField& s = (*strings)[nextString++];
        const std::size_t length = text.size();
        const std::string name = std::string(field) + " " + Quoted(text);
        if (s.paddedLength % 4 != 0) {
            Error(s.offset, where, name + ": padded length " + std::to_string(s.paddedLength) + " is not a multiple of 4");
        }
        if (length >= s.paddedLength) {
            Error(s.offset, where, name + ": no zero byte follows the characters within the padded length " +
                                       std::to_string(s.paddedLength));
            return s;
        }
        for (std::size_t i = 0; i < s.padding.size(); ++i) {
            if (s.padding[i] != 0) {
                Error(s.offset + 4 + length + i, where,
                      name + ": padding byte is " + Hex(static_cast<std::uint8_t>(s.padding[i])) + ", expected 0");
                return s;
            }
        }
        if (s.paddedLength - length > 4) {
            Warning(s.offset, where, name + ": padded to " + std::to_string(s.paddedLength) + " bytes, " +
                                         std::to_string(PaddedLength(length)) + " expected for " +
                                         std::to_string(length) + " characters");
        }
        return s;
    }

    void CheckMaterial(const ChunkInfo& chunk, const MaterialChunk& m) {
        const std::string where = ChunkName(chunk);
        const StringField& name = (*strings)[nextString];
        Head(chunk, std::to_string(kChunkHeadSize) + " + name " + std::to_string(4 + std::size_t{name.paddedLength}) +
                        " + " + std::to_string(kColourBlockSize) + " + 4 + " + std::to_string(m.mapCount) +
                        " map entries");
        String(m.name, where, "name");
        const std::size_t colourOffset = name.offset + 4 + name.paddedLength;
        for (const ColourConstant& c : kColourConstants) {
            FixedWord(colourOffset + 4 * c.word, where, "colour word " + std::to_string(c.word),
                      FloatBits(m.colourBlock[c.word]), c.bits, ConstantText(c.bits));
        }
        Finite(colourOffset, where, "colour word", m.colourBlock, kColourWords);
        std::size_t at = colourOffset + kColourBlockSize + 4;
        for (std::int32_t i = 0; i < m.mapCount; ++i) {
            const MaterialMap& map = m.maps[i];
            const auto channel = static_cast<std::uint32_t>(map.channel);
            const std::string mapWhere = where + ", map " + std::to_string(i);
            if (channel > kMaxMapChannel) {
                Error(at, mapWhere, "channel " + std::to_string(map.channel) + " outside 0.." + std::to_string(kMaxMapChannel));
            } else if (i > 0 && channel <= static_cast<std::uint32_t>(m.maps[i - 1].channel)) {
                Error(at, mapWhere, "channel " + std::to_string(channel) + " does not follow channel " +
                                        std::to_string(static_cast<std::uint32_t>(m.maps[i - 1].channel)) + " in ascending order");
            }
            const StringField& file = String(map.fileName, mapWhere, "file name");
            at = file.offset + 4 + file.paddedLength;
            Finite(at, mapWhere, "amount", map.amount);
            at += 4;
        }
    }

    void CheckMesh(const ChunkInfo& chunk, const VertexChunk& m, std::uint32_t constant, std::size_t materialChunks) {
        const std::string where = ChunkName(chunk);
        const std::size_t o = chunk.offset;
        const auto vertexCount = static_cast<std::uint32_t>(m.vertexCount), faceCount = static_cast<std::uint32_t>(m.faceCount);
        Head(chunk, std::to_string(kMeshHeadSize) + " + " + std::to_string(kBytesPerVertex) + " x " +
                        std::to_string(vertexCount) + " + " + std::to_string(kBytesPerTriangle) + " x " + std::to_string(faceCount));
        const bool indexOk = materialChunks == 0 ? m.materialIndex == 0
                                                 : m.materialIndex >= 0 && std::size_t(m.materialIndex) < materialChunks;
        if (!indexOk) {
            Error(o + kMeshMaterialOffset, where, "material index " + std::to_string(m.materialIndex) +
                                     (materialChunks == 0 ? " with no materials in the file (0 expected)"
                                                          : " outside 0.." + std::to_string(materialChunks - 1)));
        }
        FixedWord(o + kMeshConstantOffset, where, "constant", constant, kMeshConstantBits, Hex(kMeshConstantBits));
        if (std::uint64_t{vertexCount} != 3 * std::uint64_t{faceCount}) {
            Error(o + kMeshVertexCountOffset, where,
                  "vertex count " + std::to_string(vertexCount) + " is not 3 x face count " + std::to_string(faceCount));
        }
        const bool tooLarge = faceCount > kMaxTrianglesPerMesh;
        if (tooLarge) {
            Error(o + kMeshFaceCountOffset, where,
                  std::to_string(faceCount) + " triangles: u16 indices address at most " +
                      std::to_string(kMaxTrianglesPerMesh) + " triangles of a mesh");
        } else if (faceCount == 0) {
            Warning(o + kMeshFaceCountOffset, where, "mesh has no triangles");
        }
        // Beyond the u16 limit no triangle can hold its expected indices: one error above says so.
        CheckMeshArrays(o + kMeshHeadSize, m, where, tooLarge ? kMaxTrianglesPerMesh : faceCount);
    }

    // Triangles below patternLimit must hold the indices 3i, 3i + 1, 3i + 2.
    void CheckMeshArrays(std::size_t offset, const VertexChunk& m, const std::string& where, std::size_t patternLimit) {
        const auto vertexCount = static_cast<std::size_t>(m.vertexCount), faceCount = static_cast<std::size_t>(m.faceCount);
        static const char* const kVertexFields[5] = {"x", "y", "z", "u", "v"};
        for (std::size_t k = 0; k < vertexCount; ++k) {
            const MeshVertex& v = m.vertices[k];
            const float values[5] = {v.x, v.y, v.z, v.u, v.v};
            for (std::size_t j = 0; j < 5; ++j) {
                Finite(offset + kVertexSize * k + 4 * j, where + ", vertex " + std::to_string(k), kVertexFields[j],
                       values[j]);
            }
        }
        offset += kVertexSize * vertexCount;
        for (std::size_t i = 0; i < faceCount; ++i) {
            const std::uint16_t* t = &m.triangles[3 * i];
            const std::size_t at = offset + kTriangleSize * i;
            bool inRange = true;
            for (int j = 0; j < 3; ++j) {
                if (t[j] >= vertexCount) {
                    Error(at + 2 * j, where + ", triangle " + std::to_string(i),
                          "index " + std::to_string(t[j]) + " out of range (" + std::to_string(vertexCount) + " vertices)");
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
        offset += kTriangleSize * faceCount;
        for (std::size_t k = 0; k < vertexCount; ++k) {
            const MeshNormal& n = m.normals[k];
            const float values[3] = {n.x, n.y, n.z};
            Finite(offset + kNormalSize * k, where + ", normal " + std::to_string(k), "component", values, 3);
        }
        offset += kNormalSize * vertexCount;
        for (std::size_t i = 0; i < 3 * faceCount; ++i) {
            if (m.faceBlocks[i] != 0) {
                ZeroWord(offset + 4 * i, where + ", face block " + std::to_string(i / 3),
                         "word " + std::to_string(i % 3), m.faceBlocks[i]);
            }
        }
    }

    // main is null for the main sphere itself.
    void CheckSphere(std::size_t at, const std::string& where, const BoundSphere& s, const BoundSphere* main) {
        const float centre[3] = {s.x, s.y, s.z};
        Finite(at, where, main ? "centre" : "value", centre, 3);
        Finite(at + kSphereRadiusOffset, where, "radius", s.radius);
        if (main == nullptr && s.radius < 0) {
            Warning(at + kSphereRadiusOffset, where, "negative radius " + NineDigitNumber(s.radius));
        } else if (main != nullptr && s.radius > main->radius) {
            Warning(at + kSphereRadiusOffset, where, "radius " + NineDigitNumber(s.radius) + " exceeds the main sphere's " +
                                                         NineDigitNumber(main->radius));
        }
    }

    void CheckEllipsoid(const ChunkInfo& chunk, const EllipsoidChunk& e) {
        const std::string where = ChunkName(chunk);
        const std::size_t semiAxes = chunk.offset + kEllipsoidSemiAxesOffset;
        Finite(chunk.offset + kChunkHeadSize, where, "centre", e.centre, 3);
        Finite(semiAxes, where, "semi-axis", e.semiAxes, 3);
        for (std::size_t i = 0; i < 3; ++i) {
            if (e.semiAxes[i] < 0) Warning(semiAxes + 4 * i, where, "negative semi-axis " + NineDigitNumber(e.semiAxes[i]));
        }
    }

    void CheckReferences(const WuxDocument& doc) {
        const std::string where = ChunkName(doc.gref);
        const std::vector<const ReferenceEntry*> entries = Records<ReferenceEntry>(*doc.model->references->entries);
        Head(doc.gref, std::to_string(kReferenceHeadSize) + " + " + std::to_string(entries.size()) + " entries");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ReferenceEntry& e = *entries[i];
            const std::string entryWhere = where + ", entry " + std::to_string(i) + " " + Quoted(e.name);
            const StringField& name = String(e.name, entryWhere, "name");
            const std::size_t t = name.offset + 4 + name.paddedLength;
            Finite(t, entryWhere, "transform value", &e.transform[0][0], 16);
            for (int row = 0; row < 4; ++row) {
                const float w = e.transform[row][3];
                if (w != 0.0f) {
                    Error(t + kTransformRowSize * row + 12, entryWhere, "transform row " + std::to_string(row) + " ends in " + NineDigitNumber(w) +
                                                             ", expected 0.0");
                }
            }
            Finite(t + kTransformSize, entryWhere, "half extent", e.halfExtents, 3);
            if (e.halfExtents[0] == 0 && e.halfExtents[1] == 0 && e.halfExtents[2] == 0) {
                Warning(t + kTransformSize, entryWhere, "helper has zero size");
            }
            if (doc.endWords[i] != kReferenceEndWord) {
                Error(t + kTransformSize + kHalfExtentsSize, entryWhere,
                      "end word " + Hex(doc.endWords[i]) + ", expected " + Hex(kReferenceEndWord));
            }
        }
    }
};

}  // namespace

CheckReport CheckWux(ByteSpan bytes, std::size_t maxProblems) {
    Checker checker{bytes, maxProblems, {}};
    ToolResult<WuxDocument> read = OpenWux(bytes, false);
    if (!read.Ok()) {
        // The reader's message starts with its place ("GVTX #1: ..."), which is the problem's where.
        const std::string& message = read.Error().message;
        const std::size_t colon = message.find(": ");
        if (colon == std::string::npos) checker.Error(*read.Error().offset, "", message);
        else checker.Error(*read.Error().offset, message.substr(0, colon), message.substr(colon + 2));
    } else {
        checker.Run(*read);
    }
    return std::move(checker.report);
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

nlohmann::ordered_json CheckJson(const std::string& file, const CheckReport& report) {
    nlohmann::ordered_json errors = nlohmann::ordered_json::array(), warnings = nlohmann::ordered_json::array();
    for (const Problem& p : report.problems) {
        (p.severity == Problem::Severity::Error ? errors : warnings)
            .push_back({{"offset", p.offset}, {"where", p.where}, {"message", p.message}});
    }
    return {{"file", file},
            {"valid", report.Valid()},
            {"errors", std::move(errors)},
            {"warnings", std::move(warnings)},
            {"error_count", report.errorCount},
            {"warning_count", report.warningCount},
            {"omitted", report.omitted}};
}

nlohmann::ordered_json UnreadableCheckJson(const std::string& file, const std::string& error) {
    CheckReport report;
    report.problems.push_back(Problem{Problem::Severity::Error, 0, "", error});
    report.errorCount = 1;
    nlohmann::ordered_json json = CheckJson(file, report);
    json["errors"][0]["offset"] = nullptr;
    return json;
}

}  // namespace wux
