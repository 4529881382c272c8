#include "picture/html_page.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "format/tool_text.h"
#include "format/wux_format.h"

namespace wux {

// The viewer's script and style, built into the program from picture/viewer/ by embed_text.cmake.
extern const char kViewerScript[];
extern const char kViewerStyle[];

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    // The last group of one or two bytes is padded with zero bits and "=".
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? bytes[i + k] : 0u);
        for (std::size_t k = 0; k < 4; ++k) out.push_back(k <= n ? kDigits[(v >> (18 - 6 * k)) & 63] : '=');
    }
    return out;
}

namespace {

// Little-endian whatever the machine, as the page's typed arrays read them.
void PutU32(std::vector<std::uint8_t>* out, std::uint32_t v) {
    for (int shift : {0, 8, 16, 24}) out->push_back(static_cast<std::uint8_t>(v >> shift));
}
void PutF32(std::vector<std::uint8_t>* out, float f) { PutU32(out, wux_file::FloatBits(f)); }
void PutPoint(std::vector<std::uint8_t>* out, Vec3 p, Vec3 origin) {
    const Vec3 q = p - origin;
    PutF32(out, static_cast<float>(q.x));
    PutF32(out, static_cast<float>(q.y));
    PutF32(out, static_cast<float>(q.z));
}

nlohmann::json PointJson(Vec3 p) { return nlohmann::json::array({p.x, p.y, p.z}); }
nlohmann::json BoundsJson(const Bounds3& b, Vec3 origin) {
    return {{"min", PointJson(b.min - origin)}, {"max", PointJson(b.max - origin)}};
}

// A corner as the page stores it: position, normal in bytes, texture coordinates.
using CornerKey = std::array<std::uint32_t, 6>;
struct CornerHash {
    std::size_t operator()(const CornerKey& k) const {
        return std::hash<std::string_view>()({reinterpret_cast<const char*>(k.data()), sizeof k});
    }
};
// A unit normal in signed bytes, as the page's normalised BYTE attribute reads them.
std::uint32_t PackedNormal(const std::array<float, 3>& n) {
    std::uint32_t out = 0;
    for (int k = 0; k < 3; ++k)
        out |= std::uint32_t(std::uint8_t(std::int8_t(std::lround(std::clamp(n[k], -1.0f, 1.0f) * 127)))) << (8 * k);
    return out;
}

// The group's triangle soup as shared corners and indices: a soup repeats each corner of a
// closed surface about six times, and the page is smaller for every one it does not repeat.
nlohmann::json GroupJson(const MaterialGroup& group, Vec3 origin, const TriangleProgress& progress, std::uint64_t* done) {
    std::unordered_map<CornerKey, std::uint32_t, CornerHash> index;
    index.reserve(group.positions.size() / 4);
    std::vector<std::uint8_t> positions, normals, uvs, indices;
    indices.reserve(4 * group.positions.size());
    const bool textured = !group.uvs.empty();
    Bounds3 bounds;
    for (std::size_t i = 0; i < group.positions.size(); ++i) {
        if (progress && i % 3 == 0 && ++*done % kProgressStep == 0) progress(*done);
        const auto& p = group.positions[i];
        const std::array<float, 2> uv = textured ? group.uvs[i] : std::array<float, 2>{};
        const CornerKey key{wux_file::FloatBits(p[0]), wux_file::FloatBits(p[1]), wux_file::FloatBits(p[2]), PackedNormal(group.normals[i]), wux_file::FloatBits(uv[0]), wux_file::FloatBits(uv[1])};
        const auto found = index.emplace(key, static_cast<std::uint32_t>(index.size()));
        if (found.second) {
            const Vec3 v{p[0], p[1], p[2]};
            PutPoint(&positions, v, origin);
            PutU32(&normals, key[3]);
            if (textured) {
                PutF32(&uvs, uv[0]);
                PutF32(&uvs, uv[1]);
            }
            bounds.Add(v);
        }
        PutU32(&indices, found.first->second);
    }
    nlohmann::json out = {{"name", group.name},
                          {"colour", group.colour},
                          {"opacity", group.opacity},
                          {"filter", group.filter},
                          {"fromFile", group.fromFile},
                          {"meshes", group.meshCount},
                          {"triangles", group.TriangleCount()},
                          {"positions", Base64(positions)},
                          {"normals", Base64(normals)},
                          {"indices", Base64(indices)}};
    if (textured) {
        out["texture"] = group.texture;
        out["amount"] = group.textureAmount;
        out["uvs"] = Base64(uvs);
    }
    if (!bounds.Empty()) out["bounds"] = BoundsJson(bounds, origin);
    return out;
}

nlohmann::json OverlayJson(const OverlayLines& lines, bool shown, Vec3 origin) {
    std::vector<std::uint8_t> points;
    points.reserve(24 * lines.segments.size());
    for (const Segment& s : lines.segments) {
        PutPoint(&points, s.a, origin);
        PutPoint(&points, s.b, origin);
    }
    nlohmann::json out = {{"name", OverlayName(lines.kind)},
                          {"count", lines.itemCount},
                          {"colour", OverlayColour(lines.kind)},
                          {"shown", shown},
                          {"lines", Base64(points)}};
    if (!lines.bounds.Empty()) out["bounds"] = BoundsJson(lines.bounds, origin);
    return out;
}

// The text with each character the table names replaced by its text, in one pass whatever the
// page's size.
std::string Escaped(const std::string& text, std::initializer_list<std::pair<char, const char*>> table) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto entry = std::find_if(table.begin(), table.end(), [c](const auto& e) { return e.first == c; });
        if (entry != table.end()) out += entry->second;
        else out += c;
    }
    return out;
}

}  // namespace

std::string BuildViewerPage(const PictureScene& scene, const PageOptions& options, const TriangleProgress& progress) {
    std::vector<OverlayLines> overlays;
    Bounds3 all = scene.meshBounds;
    for (OverlayKind kind : kOverlayKinds) {
        overlays.push_back(BuildOverlayLines(scene, kind));
        all.Add(overlays.back().bounds);
    }
    // Arrays relative to the middle of everything: single-precision coordinates far from the
    // origin would make the picture shake.
    const Vec3 origin = all.Empty() ? Vec3{} : all.Centre();

    nlohmann::json data;
    data["title"] = PrintableText(options.title);
    data["origin"] = PointJson(origin);
    data["meshes"] = scene.meshCount;
    data["triangles"] = scene.triangleCount;
    data["droppedTriangles"] = scene.droppedTriangles;
    data["groups"] = nlohmann::json::array();
    std::uint64_t done = 0;
    for (const MaterialGroup& group : scene.groups) data["groups"].push_back(GroupJson(group, origin, progress, &done));
    data["textures"] = nlohmann::json::array();
    for (const PictureTexture& texture : scene.textures)
        data["textures"].push_back({{"name", texture.name}, {"type", texture.mimeType}, {"bytes", Base64(texture.bytes)}});
    data["overlays"] = nlohmann::json::array();
    for (const OverlayLines& lines : overlays) data["overlays"].push_back(OverlayJson(lines, options.overlays.Has(lines.kind), origin));

    std::string page;
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    page += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "script-src 'unsafe-inline'; style-src 'unsafe-inline'\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += "<meta name=\"generator\" content=\"wux view\">\n";
    const std::string title = Escaped(PrintableText(options.title), {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}});
    page += "<title>" + title + " - wux view</title>\n";
    page += "<style>\n";
    page += kViewerStyle;
    page += "</style>\n</head>\n<body data-drawn=\"no\">\n";
    page += "<canvas id=\"wux-canvas\"></canvas>\n<aside id=\"wux-panel\"></aside>\n";
    page += "<script type=\"application/json\" id=\"wux-data\">";
    // JSON inside a script element: "<" only appears in strings, where \u003c means the same
    // and cannot close the element.
    page += Escaped(data.dump(-1, ' ', true), {{'<', "\\u003c"}});
    page += "</script>\n<script>\n";
    page += kViewerScript;
    page += "</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace wux
