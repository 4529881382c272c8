// Our own readers of mesh formats (PLY, STL, OBJ), read instead of Assimp, and what they share:
// the file mapped whole (not copied), numbers as text, what is passed over and how it is said,
// and how a mesh becomes a node: an editable mesh, the top nodes turned as --up asks.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "format/wux_reader.h"
#include "input/assimp_import.h"

namespace wux {

// Whether the path ends in ext (".stl"), in any letter case.
bool HasExtension(const std::string& path, const char* ext);

// A .ply, .stl or .obj path, in any letter case: a file ReadMeshFile reads.
bool IsMeshPath(const std::string& path);

// The scene in the PLY, STL or OBJ file at path, told by its extension; or an Io error (the file
// cannot be opened) or an Import error naming the file and, in its place, the byte, line or
// header line where the fault lies.
ToolResult<SceneDescription> ReadMeshFile(const std::string& path, const AssimpImportOptions& options,
                                          Warnings* warnings, ImportCounts* counts = nullptr);

// The same from bytes in memory, one format each; path names the file in errors and the node.
// PLY (not Assimp's, whose 5.2.5 reader makes one triangle of a "tristrips" element): ASCII or
// binary of either byte order, "face" polygons and "tristrips" strips, positions, normals and
// the first pair of texture coordinates, into one node; never read in part (data cut short of
// what the header declares, or a value that is not a number, is refused).
ToolResult<SceneDescription> ParsePly(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr);

// STL, binary and ASCII: each facet keeps its own three corners, each with the facet's normal,
// as Assimp gives them; a binary file is one node named after the file, an ASCII file one node
// per solid. A binary file whose head declares another number of triangles than it holds is
// read whole, with a warning.
ToolResult<SceneDescription> ParseStl(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr);

// OBJ with its MTL material libraries (found beside path), laid out as Assimp lays them out:
// one node per object or group, holding its first material's triangles, each further
// material's as a child node NAME_1, NAME_2, ...; every face corner its own vertex. textRead
// is called once the bytes are read, before the meshes are made.
ToolResult<SceneDescription> ParseObj(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts = nullptr,
                                      const std::function<void()>& textRead = nullptr);

// Rows, lines or facets read between two reports of the share read.
constexpr std::size_t kProgressStep = 1 << 14;

// An Import error in the file at path; place ("line 4", "byte 12") may be empty.
inline ToolError ImportError(const std::string& path, const std::string& place, const std::string& message) {
    return ToolError{ToolError::Kind::Import, path, place, std::nullopt, message};
}

// v as a float: +-infinity beyond float's range, where a cast is undefined, so that the
// readers' checks for values not finite catch it.
inline float ToFloat(double v) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    return v > std::numeric_limits<float>::max() ? kInf : v < -std::numeric_limits<float>::max() ? -kInf : static_cast<float>(v);
}

// Little-endian values of binary files, their bytes put together explicitly (one load once compiled).
inline std::uint32_t U32At(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24; }

inline float FloatOfBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline float FloatAt(const std::uint8_t* p) { return FloatOfBits(U32At(p)); }

inline bool Finite(const std::array<float, 3>& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// A word of text that is a number and nothing else (a leading '+' allowed); beyond T's range,
// +-infinity or 0 as strtod gives it.
template <typename T>
bool ParseNumber(std::string_view word, T* out) {
    const char *first = word.data() + (word.size() > 1 && word[0] == '+'), *end = word.data() + word.size();  // from_chars takes no '+'
    const std::from_chars_result r = std::from_chars(first, end, *out);
    if (r.ptr != end || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) return false;
    if (r.ec == std::errc()) return true;
    const std::string text(first, end);
    *out = std::is_same_v<T, float> ? std::strtof(text.c_str(), nullptr) : std::strtod(text.c_str(), nullptr);
    return true;
}

inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The line of text at *at, without its '\n'; *at moves past it.
inline std::string_view NextLine(std::string_view text, std::size_t* at) {
    const std::size_t end = std::min(text.find('\n', *at), text.size());
    const std::string_view line = text.substr(*at, end - *at);
    *at = std::min(end + 1, text.size());
    return line;
}

// The first word of a line *s (words part at spaces and tabs), taken off it.
inline std::string_view NextWord(std::string_view* s) {
    *s = Trim(*s);
    const std::size_t end = std::min(s->find_first_of(" \t"), s->size());
    const std::string_view word = s->substr(0, end);
    s->remove_prefix(end);
    return word;
}

// What a reader passed over in one mesh, each said under the mesh's name ("\"Rail\": 2 lines").
struct PassedOver {
    std::size_t points = 0, lines = 0, polygons = 0, degenerate = 0, outOfRange = 0, notFinite = 0;

    // Whether a polygon of n corners makes triangles; one of fewer is counted as a point or a line.
    bool Fans(std::size_t n) {
        if (n < 3) ++(n == 2 ? lines : points);
        return n >= 3;
    }

    // Says each under the mesh's name and, for a mesh left empty (empty) of which nothing was
    // passed over as a primitive, that it is empty.
    void Report(const std::string& name, bool empty, Warnings* warnings) const;
};

// The top nodes' transform: Y-up data (the default, as Assimp takes these formats) turned by
// +90 degrees about X, (x, y, z) to (x, -z, y); none for --up z.
SceneMatrix ReaderFrame(AssimpImportOptions::Up up);

// A node holding mesh (faces not empty) as an editable mesh, finished by FinishImportedMesh.
SceneNode MeshNode(SceneMesh&& mesh, const std::string& name, const SceneMatrix& local, int material,
                   const AssimpImportOptions& options, Warnings* warnings, ImportCounts* counts);

// parse run on the file at path, mapped whole; an Io error naming the file when it cannot be
// opened or is cut short while it is read.
ToolResult<SceneDescription> ReadMapped(const std::string& path,
                                        const std::function<ToolResult<SceneDescription>(ByteSpan)>& parse);

}  // namespace wux
