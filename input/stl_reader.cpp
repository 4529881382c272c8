#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "format/tool_text.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

using Point = std::array<float, 3>;

constexpr std::size_t kHead = 84, kRecord = 50;  // binary: 80 bytes of text and the count; per triangle

// One solid's triangles as Assimp lays them out: three corners of its own per facet.
struct Solid {
    std::string name;
    SceneMesh mesh;
    PassedOver passed;

    // A facet of three or more corners, fanned from its first; fewer are counted.
    void AddFacet(const Point& normal, const std::vector<Point>& corners) {
        if (!passed.Fans(corners.size())) return;
        if (!std::all_of(corners.begin(), corners.end(), Finite)) {
            passed.notFinite += corners.size() - 2;
            return;
        }
        for (std::size_t k = 1; k + 1 < corners.size(); ++k) {
            const auto first = static_cast<std::uint32_t>(mesh.verts.size());
            mesh.faces.push_back({first, first + 1, first + 2});
            mesh.verts.insert(mesh.verts.end(), {corners[0], corners[k], corners[k + 1]});
            mesh.normals.insert(mesh.normals.end(), 3, normal);
        }
    }
};

// Binary when the size fits the head's count, or when the file does not start with "solid",
// or when its first record holds bytes no text file has (binary heads often start "solid").
bool IsBinary(ByteSpan bytes, bool solid) {
    if (bytes.size < kHead) return false;
    if (!solid || bytes.size == kHead + kRecord * std::uint64_t{U32At(bytes.data + 80)}) return true;
    return std::any_of(bytes.data + kHead, bytes.data + std::min(bytes.size, kHead + kRecord),
                       [](std::uint8_t c) { return c >= 0x7F || (c < 0x20 && !std::isspace(c)); });
}

void ReadBinary(ByteSpan bytes, const ReadProgress& progress, Warnings* warnings, Solid* solid) {
    const std::uint32_t declared = U32At(bytes.data + 80);
    const std::size_t records = (bytes.size - kHead) / kRecord;
    if (records != declared)
        warnings->Add(WarningKind::FacesMissing,
                      "the file declares " + Plural(declared, "triangle", "triangles") + ", " + std::to_string(records) + " read",
                      records > declared ? records - declared : declared - records);
    solid->mesh.verts.reserve(3 * records);
    solid->mesh.normals.reserve(3 * records);
    solid->mesh.faces.reserve(records);
    std::vector<Point> corners(3);
    for (std::size_t i = 0; i < records; ++i) {
        if (progress && i % kProgressStep == 0) progress(static_cast<double>(i) / static_cast<double>(records));
        const std::uint8_t* r = bytes.data + kHead + i * kRecord;
        for (std::size_t k = 0; k < 3; ++k) corners[k] = {FloatAt(r + 12 + 12 * k), FloatAt(r + 16 + 12 * k), FloatAt(r + 20 + 12 * k)};
        solid->AddFacet({FloatAt(r), FloatAt(r + 4), FloatAt(r + 8)}, corners);
    }
}

// Every solid of a text file; an error names the line of a word out of place.
std::optional<ToolError> ReadAscii(ByteSpan bytes, const std::string& path, const ReadProgress& progress,
                                   std::vector<Solid>* solids) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data), bytes.size);
    std::size_t at = 0, facets = 0;
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto next = [&] {
        while (at < text.size() && space(text[at])) ++at;
        const std::size_t start = at;
        while (at < text.size() && !space(text[at])) ++at;
        return text.substr(start, at - start);
    };
    const auto restOfLine = [&] {
        std::string_view rest = NextLine(text, &at);
        while (!rest.empty() && space(rest.front())) rest.remove_prefix(1);
        while (!rest.empty() && space(rest.back())) rest.remove_suffix(1);
        return std::string(rest);
    };
    const auto point = [&](Point* p) {
        return std::all_of(p->begin(), p->end(), [&](float& v) { return ParseNumber(next(), &v); });
    };
    Point normal{};
    std::vector<Point> corners;
    bool inSolid = false, inFacet = false;
    const auto endFacet = [&] {
        if (inFacet) solids->back().AddFacet(normal, corners);
        inFacet = false;
        corners.clear();
    };
    for (std::string_view w = next(); !w.empty(); w = next()) {
        const auto fail = [&](const std::string& message) {
            return ImportError(path, "line " + std::to_string(1 + std::count(text.begin(), text.begin() + at, '\n')), message);
        };
        if (w == "solid") {
            endFacet();
            solids->emplace_back();
            solids->back().name = restOfLine();
            inSolid = true;
        } else if (!inSolid) {
            return fail(Quoted(std::string(w)) + " outside a solid");
        } else if (w == "facet") {
            endFacet();
            if (next() != "normal" || !point(&normal)) return fail("not a facet normal of three numbers");
            inFacet = true;
            if (progress && ++facets % kProgressStep == 0) progress(static_cast<double>(at) / static_cast<double>(text.size()));
        } else if (w == "vertex") {
            corners.emplace_back();
            if (!point(&corners.back())) return fail("not a vertex of three numbers");
            if (!inFacet) return fail("a vertex outside a facet");
        } else if (w == "endfacet") {
            endFacet();
        } else if (w == "endsolid") {
            endFacet();
            restOfLine();
            inSolid = false;
        } else if (w != "outer" && w != "loop" && w != "endloop") {
            return fail(Quoted(std::string(w)) + " is not a word of an STL file");
        }
    }
    endFacet();
    return std::nullopt;
}

}  // namespace

ToolResult<SceneDescription> ParseStl(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts) {
    const std::string stem = std::filesystem::path(path).stem().string();
    const bool solid = bytes.size >= 5 && std::memcmp(bytes.data, "solid", 5) == 0;
    std::vector<Solid> solids;
    if (IsBinary(bytes, solid)) {
        solids.emplace_back();
        ReadBinary(bytes, options.progress, warnings, &solids.back());
    } else if (!solid) {
        return ImportError(path, "", "not an STL file: shorter than a binary file's 84-byte head, and not text starting with \"solid\"");
    } else if (std::optional<ToolError> failed = ReadAscii(bytes, path, options.progress, &solids)) {
        return *failed;
    }
    SceneDescription scene;
    for (Solid& solid : solids) {
        const std::string name = solid.name.empty() ? stem : solid.name;
        solid.passed.Report(name, solid.mesh.faces.empty(), warnings);
        if (!solid.mesh.faces.empty())
            scene.nodes.push_back(MeshNode(std::move(solid.mesh), name, ReaderFrame(options.up), -1, options, warnings, counts));
    }
    return scene;
}

}  // namespace wux
