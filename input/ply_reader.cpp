#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "format/tool_text.h"
#include "input/imported_scene.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

enum class Type : std::uint8_t { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };
constexpr std::size_t kSizes[] = {1, 1, 2, 2, 4, 4, 4, 8};  // of each type, in bytes
enum class Format { Ascii, LittleEndian, BigEndian };

std::optional<Type> TypeNamed(std::string_view name) {
    static const std::pair<std::string_view, Type> kNames[] = {
        {"char", Type::Int8},     {"int8", Type::Int8},     {"uchar", Type::UInt8},    {"uint8", Type::UInt8},
        {"short", Type::Int16},   {"int16", Type::Int16},   {"ushort", Type::UInt16},  {"uint16", Type::UInt16},
        {"int", Type::Int32},     {"int32", Type::Int32},   {"uint", Type::UInt32},    {"uint32", Type::UInt32},
        {"float", Type::Float32}, {"float32", Type::Float32}, {"double", Type::Float64}, {"float64", Type::Float64}};
    const auto it = std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& n) { return n.first == name; });
    return it == std::end(kNames) ? std::nullopt : std::optional<Type>(it->second);
}

struct PlyProperty {
    std::string name;
    Type type = Type::Float32;  // of the items, for a list
    bool list = false;
    Type countType = Type::UInt8;
};

struct PlyElement {
    std::string name;
    std::uint64_t count = 0;
    std::vector<PlyProperty> properties;
};

struct PlyHeader {
    std::optional<Format> format;  // none before the format line
    std::vector<PlyElement> elements;
    std::size_t bodyStart = 0;
};

std::optional<ToolError> ReadHeader(ByteSpan bytes, const std::string& path, PlyHeader* header) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data), bytes.size);
    const ToolError notPly = ImportError(path, "", "not a PLY file (it does not start with \"ply\")");
    if (text.substr(0, 3) != "ply") return notPly;
    std::size_t at = 0;
    for (std::size_t lineNumber = 1;; ++lineNumber) {
        if (at >= text.size()) return ImportError(path, "", "the header has no \"end_header\" line");
        std::string_view line = NextLine(text, &at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string place = "header line " + std::to_string(lineNumber);
        std::vector<std::string_view> w;
        for (std::string_view rest = line, word = NextWord(&rest); !word.empty(); word = NextWord(&rest)) w.push_back(word);
        if (lineNumber == 1) {
            if (w.size() != 1 || w[0] != "ply") return notPly;
            continue;
        }
        if (w.empty() || w[0] == "comment" || w[0] == "obj_info") continue;
        const auto bad = [&](const char* what) {
            return ImportError(path, place, std::string(what) + ": " + Quoted(std::string(line)));
        };
        if (w[0] == "end_header") {
            if (!header->format) return ImportError(path, place, "the header has no \"format\" line");
            header->bodyStart = at;
            return std::nullopt;
        } else if (w[0] == "format") {
            if (w.size() != 3) return bad("not a format line");
            if (w[1] == "ascii") header->format = Format::Ascii;
            else if (w[1] == "binary_little_endian") header->format = Format::LittleEndian;
            else if (w[1] == "binary_big_endian") header->format = Format::BigEndian;
            else return bad("unknown format");
        } else if (w[0] == "element") {
            std::uint64_t count = 0;
            const char* end = w.size() == 3 ? w[2].data() + w[2].size() : nullptr;
            const std::from_chars_result r = std::from_chars(w.size() == 3 ? w[2].data() : end, end, count);
            if (end == nullptr || r.ec != std::errc() || r.ptr != end) return bad("not an element line with a count");
            header->elements.push_back({std::string(w[1]), count, {}});
        } else if (w[0] == "property") {
            if (header->elements.empty()) return bad("a property before any element");
            const bool list = w.size() == 5 && w[1] == "list";
            if (w.size() != 3 && !list) return bad("not a property line of a known type");
            const std::optional<Type> count = list ? TypeNamed(w[2]) : Type::UInt8;
            const std::optional<Type> type = TypeNamed(w[list ? 3 : 1]);
            if (!count || !type) return bad("not a property line of a known type");
            if (list && (*count == Type::Float32 || *count == Type::Float64)) return bad("a list counted in floats");
            header->elements.back().properties.push_back({std::string(w.back()), *type, list, *count});
        }
        // Any other line describes no data (exporters write comments without the keyword):
        // passed over, as a comment is.
    }
}

// The values of the file's body, one at a time from at; bounds checked on every read.
struct Body {
    ByteSpan bytes;
    std::size_t at;
    Format format;

    std::size_t Left() const { return bytes.size - at; }

    // False at the end of the data, or (ASCII) where the next word is not a number.
    bool Read(Type type, double* out) {
        if (format == Format::Ascii) {
            const char* p = reinterpret_cast<const char*>(bytes.data);
            const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
            while (at < bytes.size && space(p[at])) ++at;
            std::size_t end = at;
            while (end < bytes.size && !space(p[end])) ++end;
            if (!ParseNumber(std::string_view(p + at, end - at), out)) return false;
            at = end;
            return true;
        }
        const std::size_t size = kSizes[static_cast<std::size_t>(type)];
        if (size > Left()) return false;
        std::uint64_t bits = 0;
        for (std::size_t k = 0; k < size; ++k) {
            const std::size_t byte = format == Format::LittleEndian ? size - 1 - k : k;
            bits = bits << 8 | bytes.data[at + byte];
        }
        at += size;
        switch (type) {
            case Type::Int8: *out = static_cast<std::int8_t>(bits); break;
            case Type::UInt8: case Type::UInt16: case Type::UInt32: *out = static_cast<double>(bits); break;
            case Type::Int16: *out = static_cast<std::int16_t>(bits); break;
            case Type::Int32: *out = static_cast<std::int32_t>(bits); break;
            case Type::Float32: *out = FloatOfBits(static_cast<std::uint32_t>(bits)); break;
            case Type::Float64: std::memcpy(out, &bits, sizeof *out); break;
        }
        return true;
    }
};

// Where each vertex property goes: x y z, normal, texture coordinates.
enum Slot { kX, kY, kZ, kNx, kNy, kNz, kU, kV, kSlots, kNone = kSlots };

std::vector<int> VertexSlots(const PlyElement& e, bool* normals, bool* uvs) {
    std::vector<int> slots(e.properties.size(), kNone);
    // The names' slots from first on, when each is a property of one value.
    const auto take = [&](std::initializer_list<std::string_view> names, int first) {
        std::vector<std::size_t> found;
        for (std::string_view n : names) {
            const auto it = std::find_if(e.properties.begin(), e.properties.end(), [&](const PlyProperty& p) { return !p.list && p.name == n; });
            if (it == e.properties.end()) return false;
            found.push_back(static_cast<std::size_t>(it - e.properties.begin()));
        }
        for (std::size_t k = 0; k < found.size(); ++k) slots[found[k]] = first + static_cast<int>(k);
        return true;
    };
    take({"x", "y", "z"}, kX);
    *normals = take({"nx", "ny", "nz"}, kNx);
    *uvs = take({"u", "v"}, kU) || take({"s", "t"}, kU) || take({"texture_u", "texture_v"}, kU) ||
           take({"texture_s", "texture_t"}, kU);
    return slots;
}

constexpr std::uint32_t kBadIndex = std::numeric_limits<std::uint32_t>::max();

// An index as read: kBadIndex for one that is negative, not whole or too large.
std::uint32_t IndexOf(double v) {
    return v >= 0.0 && v < double{kBadIndex} && v == std::floor(v) ? static_cast<std::uint32_t>(v) : kBadIndex;
}

struct Geometry {
    std::vector<std::array<float, 3>> positions, normals, uvs;  // uvs: u, v, 0
    std::vector<std::array<std::uint32_t, 3>> triangles;        // indices as read, kBadIndex for a bad one
    bool hasNormals = false, hasUvs = false, hasVertices = false;
    PassedOver passed;
};

std::optional<ToolError> ReadBody(ByteSpan bytes, const std::string& path, const PlyHeader& header, const ReadProgress& progress,
                                  Geometry* g) {
    Body body{bytes, header.bodyStart, *header.format};
    std::vector<std::uint32_t> polygon;
    for (const PlyElement& e : header.elements) {
        if (e.properties.empty()) continue;  // nothing to read, however many it declares
        const bool vertex = e.name == "vertex", face = e.name == "face", strips = e.name == "tristrips";
        std::vector<int> slots(e.properties.size(), kNone);
        int indexList = -1;
        if (vertex) {
            if (g->hasVertices) return ImportError(path, "", "more than one vertex element");
            slots = VertexSlots(e, &g->hasNormals, &g->hasUvs);
            if (std::count_if(slots.begin(), slots.end(), [](int s) { return s <= kZ; }) != 3)
                return ImportError(path, "", "the vertex element has no x, y and z properties");
            if (e.count >= kBadIndex) return ImportError(path, "", "more vertices than 32-bit indices reach");
            g->hasVertices = true;
            // No more room than the bytes left could fill, whatever the header says.
            const std::size_t room = std::min<std::uint64_t>(e.count, body.Left() / e.properties.size() + 1);
            g->positions.reserve(room);
            if (g->hasNormals) g->normals.reserve(room);
            if (g->hasUvs) g->uvs.reserve(room);
        } else if (face || strips) {
            for (std::size_t i = 0; i < e.properties.size() && indexList < 0; ++i)
                if (e.properties[i].list && (e.properties[i].name == "vertex_indices" || e.properties[i].name == "vertex_index"))
                    indexList = static_cast<int>(i);
            if (indexList < 0) return ImportError(path, "", "the " + e.name + " element has no vertex_indices list");
        }
        // A fan, as Assimp makes of a convex polygon.
        const auto fan = [&] {
            if (!g->passed.Fans(polygon.size())) return;
            for (std::size_t k = 1; k + 1 < polygon.size(); ++k)
                g->triangles.push_back({polygon[0], polygon[k], polygon[k + 1]});
        };
        // The common layouts are read without a dispatch per value: rows of little-endian floats, and
        // faces of one uchar-counted list of 32-bit indices. Others, and rows the file cuts short, go
        // value by value.
        const bool little = header.format == Format::LittleEndian;
        const auto float32 = [](const PlyProperty& p) { return !p.list && p.type == Type::Float32; };
        const std::size_t floatRow = little && std::all_of(e.properties.begin(), e.properties.end(), float32) ? 4 * e.properties.size() : 0;
        const PlyProperty& first = e.properties[0];
        const bool indexRow = little && face && e.properties.size() == 1 && first.countType == Type::UInt8 &&
                              (first.type == Type::Int32 || first.type == Type::UInt32);
        std::array<std::uint32_t, 2> last{};  // a strip's last two corners
        std::uint64_t run = 0;                 // and how many it has so far
        for (std::uint64_t n = 0; n < e.count; ++n) {
            if (progress && n % kProgressStep == 0)
                progress(static_cast<double>(body.at) / static_cast<double>(bytes.size));
            std::array<double, kSlots + 1> row{};
            const std::uint8_t* at = bytes.data + body.at;
            if (floatRow > 0 && floatRow <= body.Left()) {
                for (std::size_t p = 0; p < slots.size(); ++p) row[static_cast<std::size_t>(slots[p])] = FloatAt(at + 4 * p);
                body.at += floatRow;
            } else if (indexRow && body.Left() > 0 && 4 * std::size_t{at[0]} < body.Left()) {
                polygon.resize(at[0]);
                for (std::size_t k = 0; k < polygon.size(); ++k) {
                    const std::uint32_t index = U32At(at + 1 + 4 * k);
                    polygon[k] = first.type == Type::Int32 && index >> 31 ? kBadIndex : index;  // negative
                }
                body.at += 1 + 4 * polygon.size();
                fan();
            }
            const bool read = at != bytes.data + body.at;  // by a fast path above
            for (std::size_t p = 0; !read && p < e.properties.size(); ++p) {
                const PlyProperty& prop = e.properties[p];
                const auto cut = [&] {
                    const bool end = header.format != Format::Ascii || body.Left() == 0;
                    return ImportError(path, "byte " + std::to_string(body.at),
                                       (end ? "the file ends in " : "not a number in ") + e.name + " " + std::to_string(n) + " of " +
                                           std::to_string(e.count) + " (property " + prop.name + ")");
                };
                double v = 0.0;
                if (!prop.list) {
                    if (!body.Read(prop.type, &v)) return cut();
                    row[static_cast<std::size_t>(slots[p])] = v;
                    continue;
                }
                if (!body.Read(prop.countType, &v)) return cut();
                if (!(v >= 0.0) || v != std::floor(v))
                    return ImportError(path, "byte " + std::to_string(body.at),
                                       "a list of " + std::to_string(v) + " items in " + e.name + " " + std::to_string(n));
                const bool keep = static_cast<int>(p) == indexList;
                polygon.clear();
                run = 0;
                // Every item takes at least a byte, so this ends with the file.
                for (double k = 0; k < v; ++k) {
                    double item = 0.0;
                    if (!body.Read(prop.type, &item)) return cut();
                    if (!keep) continue;
                    if (!strips) {
                        polygon.push_back(IndexOf(item));
                    } else if (item == -1.0 || (prop.type == Type::UInt32 && item == double{kBadIndex})) {
                        run = 0;  // -1 (or its unsigned twin) starts a new strip
                    } else {
                        // Every three running corners a triangle, every second one turned so that all face one way.
                        const std::uint32_t a = last[0], b = last[1], c = IndexOf(item);
                        if (++run >= 3 && (a == b || b == c || a == c)) ++g->passed.degenerate;
                        else if (run >= 3) g->triangles.push_back(run % 2 == 0 ? std::array<std::uint32_t, 3>{b, a, c} : std::array<std::uint32_t, 3>{a, b, c});
                        last = {b, c};
                    }
                }
                if (face && keep) fan();
            }
            if (vertex) {
                g->positions.push_back({ToFloat(row[kX]), ToFloat(row[kY]), ToFloat(row[kZ])});
                if (g->hasNormals) g->normals.push_back({ToFloat(row[kNx]), ToFloat(row[kNy]), ToFloat(row[kNz])});
                if (g->hasUvs) g->uvs.push_back({ToFloat(row[kU]), ToFloat(row[kV]), 0.0f});
            }
        }
    }
    if (!g->hasVertices) return ImportError(path, "", "the file has no vertex element");
    return std::nullopt;
}

}  // namespace

ToolResult<SceneDescription> ParsePly(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts) {
    PlyHeader header;
    if (std::optional<ToolError> failed = ReadHeader(bytes, path, &header)) return *failed;
    Geometry g;
    if (std::optional<ToolError> failed = ReadBody(bytes, path, header, options.progress, &g)) return *failed;

    PassedOver passed = g.passed;
    if (g.triangles.empty() && passed.points + passed.lines + passed.degenerate == 0) passed.points = g.positions.size();  // a point cloud
    const std::string name = std::filesystem::path(path).stem().string();
    SceneMesh mesh;
    mesh.faces = std::move(g.triangles);
    const std::vector<std::uint32_t> used =
        KeepTriangles(&mesh, g.positions.size(), [&g](std::uint32_t i) { return g.positions[i]; }, name, passed, warnings);
    if (g.hasNormals) mesh.normals = Gather(used, [&g](std::uint32_t i) { return g.normals[i]; });
    if (g.hasUvs) mesh.tverts = Gather(used, [&g](std::uint32_t i) { return g.uvs[i]; });
    g = Geometry();  // the mesh holds what is kept: the geometry is not held twice from here
    SceneDescription scene;
    if (!mesh.faces.empty()) scene.nodes.push_back(MeshNode(std::move(mesh), name, ReaderFrame(options.up), -1, options, warnings, counts));
    return scene;
}

}  // namespace wux
