#include "input/gltf_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "input/imported_scene.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The file needs what only Assimp reads (glTF 1.0, a required extension).
struct NeedsAssimp {};

const Json kNull;

const Json& Field(const Json& j, const char* key) {
    if (!j.is_object()) return kNull;
    const auto it = j.find(key);
    return it == j.end() ? kNull : *it;
}

std::string Str(std::size_t n) { return std::to_string(n); }

// A count or an index: fallback when absent, a fault when not a non-negative integer.
std::size_t Count(const Json& v, const std::string& where, std::size_t fallback = 0) {
    if (v.is_null()) return fallback;
    if (!v.is_number_unsigned()) FailImport(where + " is not a count or an index");
    return v.get<std::size_t>();
}

// The array of n numbers at v into out (left as it is when v is absent).
template <std::size_t N>
void Numbers(const Json& v, const std::string& where, std::array<double, N>* out) {
    if (v.is_null()) return;
    if (!v.is_array() || v.size() != N || !std::all_of(v.begin(), v.end(), [](const Json& x) { return x.is_number(); }))
        FailImport(where + " is not " + Str(N) + " numbers");
    for (std::size_t i = 0; i < N; ++i) (*out)[i] = v[i].get<double>();
}

// The list at v (empty when absent), or a fault.
const Json& List(const Json& v, const std::string& where) {
    static const Json kEmpty = Json::array();
    if (!v.is_null() && !v.is_array()) FailImport(where + " is not a list");
    return v.is_null() ? kEmpty : v;
}

// Bytes of a component of type 5120 (BYTE) to 5126 (FLOAT); 0 for any other type.
std::size_t ComponentSize(std::size_t type) {
    constexpr std::size_t kSizes[] = {1, 1, 2, 2, 0, 4, 4};
    return type >= 5120 && type <= 5126 ? kSizes[type - 5120] : 0;
}

// One component as a number, a normalized integer mapped to 0..1 or -1..1.
double Component(const std::uint8_t* p, std::size_t type, bool normalized) {
    const auto scaled = [normalized](double v, double max) { return normalized ? std::max(v / max, -1.0) : v; };
    switch (type) {
        case 5120: return scaled(static_cast<std::int8_t>(p[0]), 127.0);
        case 5121: return scaled(p[0], 255.0);
        case 5122: return scaled(static_cast<std::int16_t>(p[0] | p[1] << 8), 32767.0);
        case 5123: return scaled(p[0] | p[1] << 8, 65535.0);
        case 5125: return U32At(p);
        default: return FloatAt(p);
    }
}

struct Accessor {
    const std::uint8_t* data = nullptr;  // none: every value 0, but for the sparse ones
    std::size_t stride = 0, comps = 0, count = 0, type = 5126;
    bool normalized = false;
    bool plain = false;                    // no sparse values, not normalized: items straight from data
    std::vector<std::size_t> sparseIndex;  // increasing
    std::vector<double> sparseValues;      // comps per index

    double Value(std::size_t i, std::size_t k) const {
        // The common layout read without the general steps, which took most of a large file's reading.
        if (plain && type == 5126) return FloatAt(data + i * stride + k * 4);
        const auto it = std::lower_bound(sparseIndex.begin(), sparseIndex.end(), i);
        if (it != sparseIndex.end() && *it == i) return sparseValues[static_cast<std::size_t>(it - sparseIndex.begin()) * comps + k];
        return data == nullptr ? 0.0 : Component(data + i * stride + k * ComponentSize(type), type, normalized);
    }
    std::array<float, 3> Vec3(std::size_t i) const {
        return {static_cast<float>(Value(i, 0)), static_cast<float>(Value(i, 1)), static_cast<float>(Value(i, 2))};
    }
    // Item i of a SCALAR of an unsigned integer type.
    std::uint32_t Index(std::size_t i) const {
        return static_cast<std::uint32_t>(plain ? Component(data + i * stride, type, false) : Value(i, 0));
    }
};

// "data:[MIME][;base64],DATA": its bytes, and its MIME type in *mime when asked.
std::vector<std::uint8_t> DataUri(const std::string& uri, const std::string& where, std::string* mime = nullptr) {
    const std::size_t comma = uri.find(',');
    const std::string head = uri.substr(5, comma == std::string::npos ? 0 : comma - 5);
    if (comma == std::string::npos || head.size() < 7 || head.compare(head.size() - 7, 7, ";base64") != 0)
        FailImport(where + ": a data URI that is not base64");
    if (mime != nullptr) *mime = head.substr(0, head.find(';'));
    std::vector<std::uint8_t> out;
    out.reserve((uri.size() - comma) / 4 * 3);
    std::uint32_t bits = 0;
    int have = 0;
    for (std::size_t i = comma + 1; i < uri.size() && uri[i] != '='; ++i) {
        const char c = uri[i];
        const int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26 : c >= '0' && c <= '9' ? c - '0' + 52
                    : c == '+' || c == '-' ? 62 : c == '/' || c == '_' ? 63 : -1;
        if (v < 0) FailImport(where + ": a data URI with a character base64 has not at " + Str(i));
        bits = bits << 6 | static_cast<std::uint32_t>(v);
        if ((have += 6) >= 8) out.push_back(static_cast<std::uint8_t>(bits >> (have -= 8)));
    }
    return out;
}

// A URI's path with its %XX escapes decoded.
std::string UriPath(const std::string& uri) {
    std::string out, byte;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const bool escaped = uri[i] == '%' && i + 2 < uri.size() && BytesFromHex(uri.substr(i + 1, 2), &byte);
        out += escaped ? byte : uri.substr(i, 1);
        i += escaped ? 2 : 0;
    }
    return out;
}

bool FiniteFloat(const Json& v) { return v.is_number() && std::isfinite(ToFloat(v.get<double>())); }

// The name the WUX file had: extras.wux.nameBytes where the writer kept one that is not UTF-8,
// else extras.wux.name, else name.
std::string WuxName(const Json& wux, std::string name, const std::string& where, Warnings* warnings) {
    if (Field(wux, "name").is_string()) name = Field(wux, "name").get<std::string>();
    const Json& hex = Field(wux, "nameBytes");
    std::string bytes;
    if (hex.is_string() && BytesFromHex(hex.get<std::string>(), &bytes) && bytes.find('\0') == std::string::npos) return bytes;
    if (!hex.is_null()) warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.nameBytes not pairs of hex digits, name left as read");
    return name;
}

// What `wux convert` keeps of a material in its extras.wux beyond glTF's own model, its name
// first. Each value that is there but not usable keeps what the material had, with a warning
// naming the material and the key.
void ApplyWuxMaterial(const Json& extras, SceneMaterial* material, Warnings* warnings) {
    material->name = WuxName(extras, material->name, QuotedName(material->name), warnings);
    const std::string where = QuotedName(material->name);
    for (const auto& [key, colour] : {std::pair<const char*, std::array<float, 3>*>{"ambient", &material->ambient},
                                      {"specular", &material->specular}, {"filter", &material->filter},
                                      {"diffuse", &material->diffuse}}) {
        const Json& v = Field(extras, key);
        if (v.is_array() && v.size() == 3 && std::all_of(v.begin(), v.end(), FiniteFloat))
            for (std::size_t k = 0; k < 3; ++k) (*colour)[k] = static_cast<float>(v[k].get<double>());
        else if (!v.is_null())
            warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux." + key + " not three numbers, left as read");
    }
    const Json& opacity = Field(extras, "opacity");
    if (FiniteFloat(opacity)) material->opacity = opacity.get<float>();
    else if (!opacity.is_null()) warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.opacity not a number, left as read");
    const Json& maps = Field(extras, "maps");
    if (!maps.is_array()) {
        if (!maps.is_null()) warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.maps not a list, maps left as read");
        return;
    }
    std::vector<SceneMap>& read = material->maps;
    read.clear();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const std::string entry = where + ": extras.wux.maps[" + Str(i) + "]";
        const Json& slot = Field(maps[i], "slot");
        const Json& file = Field(maps[i], "file");
        const std::int64_t s = slot.is_number_integer() && file.is_string() ? slot.get<std::int64_t>() : -1;
        if (s < 0 || s > 11 || std::any_of(read.begin(), read.end(), [s](const SceneMap& x) { return x.slot == s; })) {
            warnings->Add(WarningKind::ValuesRepaired, entry + " not a map file of a slot 0 to 11 of its own, left out");
            continue;
        }
        read.push_back({static_cast<int>(s), true, SceneMap::Kind::Bitmap, file.get<std::string>(), "", 1.0f});
        const Json& amount = Field(maps[i], "amount");
        if (FiniteFloat(amount)) read.back().amount = amount.get<float>();
        else if (!amount.is_null()) warnings->Add(WarningKind::ValuesRepaired, entry + ".amount not a number, 1 kept");
    }
    std::sort(read.begin(), read.end(), [](const SceneMap& a, const SceneMap& b) { return a.slot < b.slot; });
}

class Reader {
public:
    Reader(const std::string& path, const AssimpImportOptions& options, bool files, Warnings* warnings, ImportCounts* counts)
        : path_(path), options_(options), files_(files), warnings_(warnings), counts_(counts),
          textures_(path, options, warnings), materials_(&scene_.materials, &counts->materialsMerged, warnings) {}

    SceneDescription Read(ByteSpan bytes) {
        Load(bytes);
        wux_ = !Field(Field(Field(doc_, "asset"), "extras"), "wux").is_null();
        const Json& nodes = Field(doc_, "nodes");
        reached_.assign(List(nodes, "nodes").size(), false);
        for (const Json& skin : List(Field(doc_, "skins"), "skins"))
            for (const Json& joint : List(Field(skin, "joints"), "skins[].joints")) bones_.insert(Count(joint, "skins[].joints[]"));
        materialCount_ = List(Field(doc_, "materials"), "materials").size();

        const Json& scene = Field(doc_, "scene");
        Count(scene, "scene");  // a fault even in a file without scenes
        if (!List(Field(doc_, "scenes"), "scenes").empty()) {
            const Found chosen = Find("scenes", scene, "scene");
            const std::string where = chosen.at + ".nodes";
            const Json& roots = List(Field(chosen.item, "nodes"), where);
            for (std::size_t i = 0; i < roots.size(); ++i) ReadNode(roots[i], where + "[" + Str(i) + "]", 1, false, &scene_.nodes);
        } else {
            // Without a scene, every node that is no node's child is a top node.
            std::vector<bool> child(reached_.size(), false);
            for (const Json& n : List(nodes, "nodes"))
                for (const Json& c : List(Field(n, "children"), "nodes[].children"))
                    if (c.is_number_unsigned() && c.get<std::size_t>() < child.size()) child[c.get<std::size_t>()] = true;
            for (std::size_t i = 0; i < child.size(); ++i)
                if (!child[i]) ReadNode(Json(i), "nodes", 1, false, &scene_.nodes);
        }
        for (const auto& file : files_open_)
            if (const ToolResult<void> intact = file.Intact(); !intact.Ok()) FailImport(intact.Error().Text());
        if (const ToolResult<void> written = textures_.WritePending(); !written.Ok()) FailImport(written.Error().Text());
        return std::move(scene_);
    }

private:
    // An item of one of the file's lists, named as "accessors[2]" in messages.
    struct Found {
        const Json& item;
        std::size_t index;
        std::string at;
    };

    // The item of the list that ref (at where + key) indexes, or a fault.
    Found Find(const char* list, const Json& ref, const std::string& where, const std::string& key = "") const {
        const std::size_t index = Count(ref, where + key);
        const Json& items = Field(doc_, list);
        if (!items.is_array() || index >= items.size()) FailImport(where + " names " + list + "[" + Str(index) + "], which the file lacks");
        return {items[index], index, list + ("[" + Str(index) + "]")};
    }

    void Load(ByteSpan bytes) {
        ByteSpan json = bytes;
        if (bytes.size >= 4 && std::memcmp(bytes.data, "glTF", 4) == 0) {
            if (bytes.size < 20) FailImport("a GLB file of " + Str(bytes.size) + " bytes, shorter than its head");
            if (U32At(bytes.data + 4) != 2) throw NeedsAssimp{};
            const std::size_t length = U32At(bytes.data + 8);
            if (length > bytes.size || length < 20)
                FailImport("the GLB head declares " + Str(length) + " bytes, the file holds " + Str(bytes.size));
            for (std::size_t at = 12; length - at >= 8;) {
                const std::size_t size = U32At(bytes.data + at), type = U32At(bytes.data + at + 4);
                if (size > length - at - 8) FailImport("byte " + Str(at) + ": a chunk of " + Str(size) + " bytes, past the end of the file");
                if (at == 12 && type != 0x4E4F534A) FailImport("byte 12: the first chunk is not JSON");
                if (at == 12) json = {bytes.data + 20, size};
                else if (type == 0x004E4942 && bin_.data == nullptr) bin_ = {bytes.data + at + 8, size};
                at += 8 + size;
            }
            glb_ = true;
        }
        try {
            doc_ = Json::parse(json.data, json.data + json.size);
        } catch (const Json::parse_error& e) {
            const std::string what = e.what();
            FailImport("the JSON cannot be read: " + what.substr(std::min(what.find("] ") + 2, what.size())));
        }
        if (!doc_.is_object()) FailImport("the JSON is not an object");
        const Json& version = Field(Field(doc_, "asset"), "version");
        if (!version.is_string() || version.get<std::string>().rfind("2.", 0) != 0 || !Field(doc_, "extensionsRequired").empty())
            throw NeedsAssimp{};
        limit_ = bytes.size;
        const Json& buffers = List(Field(doc_, "buffers"), "buffers");
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            const std::string where = "buffers[" + Str(i) + "]";
            const std::size_t length = Count(Field(buffers[i], "byteLength"), where + ".byteLength");
            const Json& uri = Field(buffers[i], "uri");
            ByteSpan data;
            if (uri.is_null() && glb_ && i == 0) {
                data = bin_;
            } else if (!uri.is_string()) {
                FailImport(where + " has no uri" + (glb_ ? "" : " (only a GLB file's first buffer may lack one)"));
            } else if (uri.get<std::string>().rfind("data:", 0) == 0) {
                decoded_.push_back(DataUri(uri.get<std::string>(), where));
                data = SpanOf(decoded_.back());
            } else {
                if (!files_) FailImport(where + ": a file beside the file, which is not read here");
                const fs::path file = fs::path(path_).parent_path() / UriPath(uri.get<std::string>());
                if (const ToolResult<void> opened = files_open_.emplace_back().OpenWhole(file.string()); !opened.Ok())
                    FailImport(where + ": " + opened.Error().Text());
                data = files_open_.back().Span();
            }
            if (length > data.size) FailImport(where + ": byteLength " + Str(length) + ", but it holds " + Str(data.size) + " bytes");
            buffers_.push_back({data.data, length});
            limit_ += length;
        }
    }

    // The bytes of a buffer view, and its byteStride in *stride.
    ByteSpan View(const Json& ref, const std::string& where, std::size_t* stride = nullptr) {
        const auto [view, v, at] = Find("bufferViews", ref, where, ".bufferView");
        const std::size_t buffer = Find("buffers", Field(view, "buffer"), at, ".buffer").index;  // one in buffers_ each
        const ByteSpan b = buffers_[buffer];
        const std::size_t offset = Count(Field(view, "byteOffset"), at + ".byteOffset");
        const std::size_t length = Count(Field(view, "byteLength"), at + ".byteLength");
        if (stride != nullptr) *stride = Count(Field(view, "byteStride"), at + ".byteStride");
        if (length > b.size || offset > b.size - length)
            FailImport(at + ": " + Str(length) + " bytes from byte " + Str(offset) + ", past the end of buffers[" + Str(buffer) + "] of " + Str(b.size));
        return {b.data + offset, length};
    }

    // Points the accessor at count items of its size from j's byteOffset in its bufferView.
    void Bind(Accessor* a, const Json& j, const std::string& where) {
        std::size_t stride = 0;
        const ByteSpan bytes = View(Field(j, "bufferView"), where, &stride);
        const std::size_t offset = Count(Field(j, "byteOffset"), where + ".byteOffset");
        const std::size_t size = a->comps * ComponentSize(a->type);
        a->stride = stride == 0 ? size : stride;
        if (a->count > 0 && (offset > bytes.size || size > bytes.size - offset || a->count - 1 > (bytes.size - offset - size) / a->stride))
            FailImport(where + ": " + Str(a->count) + " items of " + Str(size) + " bytes every " + Str(a->stride) + " from byte " +
                       Str(offset) + " do not fit in its buffer view of " + Str(bytes.size) + " bytes");
        a->data = bytes.data + offset;
    }

    Accessor ReadAccessor(const Json& ref, const std::string& from) {
        const auto [j, index, where] = Find("accessors", ref, from);
        Accessor a;
        a.type = Count(Field(j, "componentType"), where + ".componentType");
        if (ComponentSize(a.type) == 0) FailImport(where + ": componentType " + Str(a.type) + " is not one of glTF's");
        const Json& type = Field(j, "type");
        for (const auto& [name, comps] : {std::pair<const char*, std::size_t>{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                          {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}})
            if (type == name) a.comps = comps;
        if (a.comps == 0) FailImport(where + ".type is not one of glTF's");
        a.normalized = Field(j, "normalized") == true;
        a.count = Count(Field(j, "count"), where + ".count");
        if (a.count >= 0xFFFFFFFFu) FailImport(where + ": " + Str(a.count) + " items, more than 32-bit indices reach");
        if (!Field(j, "bufferView").is_null()) Bind(&a, j, where);
        else if (a.count > limit_) FailImport(where + ": " + Str(a.count) + " items without a buffer view, more than the file has bytes");
        const Json& sparse = Field(j, "sparse");
        a.plain = sparse.is_null() && a.data != nullptr && !a.normalized;
        if (sparse.is_null()) return a;
        Accessor indices, values = a;  // values in the accessor's own layout
        indices.count = values.count = Count(Field(sparse, "count"), where + ".sparse.count");
        indices.comps = 1;
        indices.type = Count(Field(Field(sparse, "indices"), "componentType"), where + ".sparse.indices.componentType");
        if (indices.type != 5121 && indices.type != 5123 && indices.type != 5125)
            FailImport(where + ".sparse.indices.componentType is not an unsigned integer type");
        Bind(&indices, Field(sparse, "indices"), where + ".sparse.indices");
        Bind(&values, Field(sparse, "values"), where + ".sparse.values");
        for (std::size_t i = 0; i < indices.count; ++i) {
            const std::size_t at = static_cast<std::size_t>(indices.Value(i, 0));
            if (at >= a.count || (i > 0 && at <= a.sparseIndex.back()))
                FailImport(where + ".sparse: index " + Str(at) + " out of range or not above the one before");
            a.sparseIndex.push_back(at);
            for (std::size_t k = 0; k < a.comps; ++k) a.sparseValues.push_back(values.Value(i, k));
        }
        return a;
    }

    void ReadNode(const Json& ref, const std::string& from, int depth, bool belowBone, std::vector<SceneNode>* siblings) {
        const auto [n, index, at] = Find("nodes", ref, from);
        if (reached_[index]) FailImport(at + " is reached twice in the node hierarchy (a node has one parent)");
        reached_[index] = true;
        if (options_.progress) options_.progress(static_cast<double>(++nodesRead_) / static_cast<double>(reached_.size()));
        SourceNode source;
        const Json& name = Field(n, "name");
        source.name = name.is_string() && !name.get<std::string>().empty() ? name.get<std::string>() : at;
        if (wux_) source.name = WuxName(Field(Field(n, "extras"), "wux"), source.name, at, warnings_);
        CheckNodeDepth(source.name, depth);
        source.local = Local(n, at);
        if (depth == 1 && options_.up != AssimpImportOptions::Up::Z)  // Y-up to Z-up: (x, y, z) -> (x, -z, y)
            for (auto& row : source.local.rows) std::tie(row[1], row[2]) = std::make_pair(-row[2], row[1]);
        CheckNodeTransform(source.name, source.local.AllFinite());

        source.hasMesh = !Field(n, "mesh").is_null();
        const Found mesh = source.hasMesh ? Find("meshes", Field(n, "mesh"), at, ".mesh") : Found{kNull, 0, ""};
        const Json& primitives = source.hasMesh ? List(Field(mesh.item, "primitives"), mesh.at + ".primitives") : kNull;
        source.meshes = primitives.size();
        source.camera = !Field(n, "camera").is_null();
        source.light = !Field(Field(Field(n, "extensions"), "KHR_lights_punctual"), "light").is_null();
        source.bone = !source.hasMesh && (belowBone || bones_.count(index) != 0);
        source.leaf = Field(n, "children").empty();
        source.mesh = [&](std::size_t i) { return ReadPrimitive(primitives[i], mesh.at + ".primitives[" + Str(i) + "]", source.name); };
        source.radius = [&] {  // the largest distance of the mesh's vertices from the node's origin
            double best = 0.0;
            for (std::size_t i = 0; i < primitives.size(); ++i) {
                const Json& position = Field(Field(primitives[i], "attributes"), "POSITION");
                if (position.is_null()) continue;
                const Accessor a = ReadAccessor(position, mesh.at + ".primitives[" + Str(i) + "].attributes.POSITION");
                for (std::size_t v = 0; v < a.count && a.comps == 3; ++v) {
                    const std::array<float, 3> p = a.Vec3(v);
                    const double d = std::sqrt(double{p[0]} * p[0] + double{p[1]} * p[1] + double{p[2]} * p[2]);
                    if (std::isfinite(d)) best = std::max(best, d);
                }
            }
            const float r = ToFloat(best);
            return std::isfinite(r) ? r : 0.0f;
        };
        source.helperSize = [&, &extras = Field(n, "extras")] {
            for (auto it = extras.begin(); extras.is_object() && it != extras.end(); ++it)
                if (Lower(it.key()) == "size")
                    return HelperSize(source.name, it->is_number() ? it->get<double>() : kDefaultHelperSize,
                                      it->is_string() ? it->get_ref<const std::string&>().c_str() : nullptr, warnings_);
            return kDefaultHelperSize;
        };
        SceneNode node = ImportNode(source, options_, warnings_);
        const Json& children = List(Field(n, "children"), at + ".children");
        for (std::size_t i = 0; i < children.size(); ++i)
            ReadNode(children[i], at + ".children[" + Str(i) + "]", depth + 1, source.bone, &node.children);
        siblings->push_back(std::move(node));
    }

    // The host's rows from the node's matrix (columns of a column-vector matrix) or its
    // translation, rotation (a quaternion) and scale.
    static SceneMatrix Local(const Json& n, const std::string& at) {
        SceneMatrix m;
        if (!Field(n, "matrix").is_null()) {
            std::array<double, 16> c{};
            Numbers(Field(n, "matrix"), at + ".matrix", &c);
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 3; ++j) m.rows[i][j] = ToFloat(c[static_cast<std::size_t>(i * 4 + j)]);
            return m;
        }
        std::array<double, 3> t{0, 0, 0}, s{1, 1, 1};
        std::array<double, 4> q{0, 0, 0, 1};
        Numbers(Field(n, "translation"), at + ".translation", &t);
        Numbers(Field(n, "rotation"), at + ".rotation", &q);
        Numbers(Field(n, "scale"), at + ".scale", &s);
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        const double axes[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                                   {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                                   {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) m.rows[i][j] = ToFloat(s[static_cast<std::size_t>(i)] * axes[i][j]);
            m.rows[3][i] = ToFloat(t[static_cast<std::size_t>(i)]);
        }
        return m;
    }

    // The primitive's triangles on a node of their own as an editable mesh, with its material;
    // a node without an object when no triangle is left.
    SceneNode ReadPrimitive(const Json& p, const std::string& where, const std::string& nodeName) {
        const Json& attributes = Field(p, "attributes");
        if (Field(attributes, "POSITION").is_null()) {
            warnings_->Add(WarningKind::EmptyMeshes, QuotedName(nodeName));
            return SceneNode();
        }
        const Accessor pos = ReadAccessor(Field(attributes, "POSITION"), where + ".attributes.POSITION");
        if (pos.comps != 3) FailImport(where + ".attributes.POSITION is not VEC3");
        const bool indexed = !Field(p, "indices").is_null();
        const Accessor indices = indexed ? ReadAccessor(Field(p, "indices"), where + ".indices") : Accessor();
        if (indexed && (indices.comps != 1 || (indices.type != 5121 && indices.type != 5123 && indices.type != 5125)))
            FailImport(where + ".indices is not a SCALAR of an unsigned integer type");
        const std::size_t n = indexed ? indices.count : pos.count;
        const auto at = [&](std::size_t i) { return indexed ? indices.Index(i) : static_cast<std::uint32_t>(i); };
        SceneMesh mesh;
        PassedOver skipped;
        switch (Count(Field(p, "mode"), where + ".mode", 4)) {
            case 0: skipped.points = n; break;
            case 1: skipped.lines = n / 2; break;
            case 2: skipped.lines = n >= 2 ? n : 0; break;
            case 3: skipped.lines = n >= 2 ? n - 1 : 0; break;
            case 4:
                mesh.faces.reserve(n / 3);
                for (std::size_t i = 0; i + 2 < n; i += 3) mesh.faces.push_back({at(i), at(i + 1), at(i + 2)});
                break;
            case 5:  // every second triangle turned, so that all face one way
                for (std::size_t i = 0; i + 2 < n; ++i) mesh.faces.push_back({at(i + i % 2), at(i + 1 - i % 2), at(i + 2)});
                break;
            case 6:
                for (std::size_t i = 1; i + 1 < n; ++i) mesh.faces.push_back({at(0), at(i), at(i + 1)});
                break;
            default: FailImport(where + ".mode is not one of glTF's");
        }
        const std::vector<std::uint32_t> used =
            KeepTriangles(&mesh, pos.count, [&pos](std::uint32_t v) { return pos.Vec3(v); }, nodeName, skipped, warnings_);
        if (mesh.faces.empty()) return SceneNode();
        // Attributes of another vertex count than the positions are left out, as Assimp does.
        const auto attribute = [&](const char* name, std::size_t comps) {
            const Json& ref = Field(attributes, name);
            if (ref.is_null()) return Accessor();
            Accessor a = ReadAccessor(ref, where + ".attributes." + name);
            if (a.comps == comps && a.count == pos.count) return a;
            warnings_->Add(WarningKind::ValuesRepaired,
                           QuotedName(nodeName) + ": " + name + " not one " + (comps == 3 ? "VEC3" : "VEC2") + " per vertex, left out");
            return Accessor();
        };
        if (const Accessor normals = attribute("NORMAL", 3); normals.comps == 3)
            mesh.normals = Gather(used, [&normals](std::uint32_t v) { return normals.Vec3(v); });
        // glTF's v runs down the image, the host's up.
        if (const Accessor uvs = attribute("TEXCOORD_0", 2); uvs.comps == 2)
            mesh.tverts = Gather(used, [&uvs](std::uint32_t v) {
                return std::array<float, 3>{static_cast<float>(uvs.Value(v, 0)), static_cast<float>(1.0 - uvs.Value(v, 1)), 0.0f};
            });
        // A primitive without a material gets the default material (white, named after the index
        // past the file's), or none in a file wux convert wrote.
        const Json& ref = Field(p, "material");
        const std::size_t index = ref.is_null() ? materialCount_ : Find("materials", ref, where + ".material").index;
        const int material = index == materialCount_ && wux_ ? -1 : materials_.Of(index, [&] { return ReadMaterial(index); });
        return MeshNode(std::move(mesh), nodeName, SceneMatrix(), material, options_, warnings_, counts_);
    }

    SceneMaterial ReadMaterial(std::size_t index) {
        SceneMaterial out;
        out.diffuse = {1, 1, 1};
        out.name = "Material #" + Str(index);
        if (index == materialCount_) return out;
        const Json& m = Field(doc_, "materials")[index];
        const std::string where = "materials[" + Str(index) + "]";
        const Json& name = Field(m, "name");
        if (name.is_string() && (wux_ || !name.get<std::string>().empty())) out.name = name.get<std::string>();
        const Json& pbr = Field(m, "pbrMetallicRoughness");
        const Json& sg = Field(Field(m, "extensions"), "KHR_materials_pbrSpecularGlossiness");
        std::array<double, 4> base{1, 1, 1, 1};
        std::array<double, 3> specular{out.specular[0], out.specular[1], out.specular[2]};
        Numbers(sg.is_null() ? Field(pbr, "baseColorFactor") : Field(sg, "diffuseFactor"), where + " base colour", &base);
        Numbers(Field(sg, "specularFactor"), where + " specular colour", &specular);
        const auto finite = [](double v) { return std::isfinite(ToFloat(v)); };
        if (std::all_of(base.begin(), base.end(), finite) && std::all_of(specular.begin(), specular.end(), finite)) {
            out.diffuse = {static_cast<float>(base[0]), static_cast<float>(base[1]), static_cast<float>(base[2])};
            out.specular = {static_cast<float>(specular[0]), static_cast<float>(specular[1]), static_cast<float>(specular[2])};
        } else {
            warnings_->Add(WarningKind::ValuesRepaired, QuotedName(out.name) + ": colour not finite, default kept");
            base[3] = 1;
        }
        // Only a blended material shows its alpha; an opaque or masked one is drawn opaque.
        if (Field(m, "alphaMode") == "BLEND") out.opacity = static_cast<float>(base[3]);
        if (Field(m, "doubleSided") == true) warnings_->Add(WarningKind::DoubleSidedDropped, QuotedName(out.name));
        const Json& diffuse = sg.is_null() ? Field(pbr, "baseColorTexture") : Field(sg, "diffuseTexture");
        for (const auto& [slot, ref] : {std::pair<int, const Json*>{1, &diffuse}, {2, &Field(sg, "specularGlossinessTexture")},
                                        {5, &Field(m, "emissiveTexture")}, {8, &Field(m, "normalTexture")}}) {
            std::string path = ref->is_null() ? "" : TexturePath(Field(*ref, "index"), out.name, slot, where);
            if (!path.empty()) out.maps.push_back({slot, true, SceneMap::Kind::Bitmap, std::move(path), "", 1.0f});
        }
        if (wux_) ApplyWuxMaterial(Field(Field(m, "extras"), "wux"), &out, warnings_);
        return out;
    }

    // The host path of a texture: a file beside the source, or an embedded image written
    // beside the output.
    std::string TexturePath(const Json& ref, const std::string& material, int slot, const std::string& where) {
        const Json& source = Field(Find("textures", ref, where, " texture index").item, "source");
        if (source.is_null()) return std::string();
        const Found image = Find("images", source, where, " texture source");
        const Json& uri = Field(image.item, "uri");
        if (uri.is_string() && uri.get<std::string>().rfind("data:", 0) != 0) return textures_.External(UriPath(uri.get<std::string>()));
        return textures_.Embedded("image " + Str(image.index), [&] {
            const Json& name = Field(image.item, "name");
            TextureResolver::Image read{{}, name.is_string() ? name.get<std::string>() : "", ""};
            std::string mime = Field(image.item, "mimeType").is_string() ? Field(image.item, "mimeType").get<std::string>() : "";
            if (uri.is_string()) {
                read.bytes = DataUri(uri.get<std::string>(), image.at, &mime);
            } else {
                const ByteSpan view = View(Field(image.item, "bufferView"), image.at);
                read.bytes.assign(view.data, view.data + view.size);
            }
            read.extension = mime.substr(mime.find('/') + 1);
            if (read.extension == "jpeg") read.extension = "jpg";
            return read;
        }, material, slot);
    }

    const std::string& path_;
    const AssimpImportOptions& options_;
    const bool files_;
    Warnings* warnings_;
    ImportCounts* counts_;
    SceneDescription scene_;
    TextureResolver textures_;
    MaterialList materials_;
    Json doc_;
    bool glb_ = false, wux_ = false;
    ByteSpan bin_;
    std::vector<ByteSpan> buffers_;
    std::deque<std::vector<std::uint8_t>> decoded_;
    std::deque<MappedFile> files_open_;
    std::size_t limit_ = 0;  // the bytes of the file and its buffers
    std::vector<bool> reached_;
    std::size_t nodesRead_ = 0;
    std::set<std::size_t> bones_;
    std::size_t materialCount_ = 0;  // the file's; the default material is numbered after them
};

// files: buffers may be files beside the file, and a file that needs Assimp goes to it.
ToolResult<SceneDescription> Parse(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options, bool files,
                                   Warnings* warnings, ImportCounts* counts) {
    ImportCounts ownCounts;
    try {
        return Reader(path, options, files, warnings, counts != nullptr ? counts : &ownCounts).Read(bytes);
    } catch (const ImportFault& f) {
        return ToolError::Of(ToolError::Kind::Import, path, f.message);
    } catch (const Json::exception& e) {
        return ToolError::Of(ToolError::Kind::Import, path, std::string("the JSON does not hold what glTF needs: ") + e.what());
    } catch (const NeedsAssimp&) {
        if (files) return ImportWithAssimp(path, options, warnings, counts);
        return ToolError::Of(ToolError::Kind::Import, path, "a glTF 1.0 file or one that needs an extension");
    }
}

}  // namespace

bool IsGltfPath(const std::string& path) { return HasExtension(path, ".gltf") || HasExtension(path, ".glb"); }

ToolResult<SceneDescription> ReadGltfFile(const std::string& path, const AssimpImportOptions& options, Warnings* warnings,
                                          ImportCounts* counts) {
    return ReadMapped(path, [&](ByteSpan bytes) { return Parse(bytes, path, options, true, warnings, counts); });
}

ToolResult<SceneDescription> ParseGltf(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                       Warnings* warnings, ImportCounts* counts) {
    return Parse(bytes, path, options, false, warnings, counts);
}

}  // namespace wux
