#include "convert/convert.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include <nlohmann/json.hpp>

#include "collect/node_route.h"
#include "format/texture_lookup.h"
#include "format/tool_text.h"

namespace wux {


namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kArrayBuffer = 34962;
constexpr int kFloat = 5126;
constexpr int kTriangles = 4;

// glTF is Y-up, the file Z-up: (x, y, z) becomes (x, z, -y).
std::array<double, 3> Turn(const std::array<double, 3>& p) { return {p[0], p[2], -p[1]}; }

// The turn as a column-major glTF matrix.
const Json kTurnMatrix = Json::array({1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1});
// The same turn as a rotation: -90 degrees about X.
const Json kTurnRotation = Json::array({-0.70710678118654752, 0, 0, 0.70710678118654752});

// What every conversion writes for a value not finite (WarnNotFinite says where).
float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

double Clamp01(float v) { return std::isfinite(v) ? std::clamp(static_cast<double>(v), 0.0, 1.0) : 0.0; }

std::string PercentEncoded(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') out += static_cast<char>(c);
        else out += {'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

class GltfBuilder {
public:
    GltfBuilder(const WuxDocument& file, const std::string& outputPath, const std::vector<std::string>& textureDirs,
                StagedFiles* outputs, Warnings* warnings)
        : file_(file), outputPath_(outputPath), outputs_(outputs), warnings_(warnings), textureFolders_(textureDirs) {}

    ToolResult<void> Build() {
        WarnUnreproducible(file_, warnings_);
        doc_["asset"] = {{"version", "2.0"}, {"generator", "wux convert"}, {"extras", {{"wux", {{"version", 1}}}}}};
        for (const MaterialChunk* m : Records<MaterialChunk>(*model_.materials)) Push("materials", MaterialJson(*m));
        const auto meshes = Records<VertexChunk>(*model_.meshes);
        for (std::size_t i = 0; i < meshes.size(); ++i) MeshNode(*meshes[i], i);
        for (const RecordNode& node : RecordNodes(model_, warnings_))
            AddNode(node.sphere ? SphereJson(node) : HelperJson(node));

        doc_["scenes"] = Json::array({scene_});
        doc_["scene"] = 0;
        if (doc_.contains("images")) doc_["samplers"] = Json::array({Json::object()});
        Json buffer{{"byteLength", bin_.size()}};
        if (!binary_) buffer["uri"] = PercentEncoded(BinName());
        if (!bin_.empty()) Push("buffers", std::move(buffer));
        Put(outputPath_, binary_ ? Glb() : doc_.dump(1) + "\n");
        if (!binary_ && !bin_.empty()) Put(Beside(BinName()), bin_);
        return failure_;
    }

private:
    // Stages a file; the first failure is the conversion's.
    template <typename Bytes>
    void Put(const std::string& path, const Bytes& bytes, bool replaces = true) {
        if (failure_.Ok()) failure_ = outputs_->Add(path, bytes.data(), bytes.size(), replaces);
    }

    std::string BinName() const { return fs::path(outputPath_).stem().string() + ".bin"; }
    std::string Beside(const std::string& name) const { return (fs::path(outputPath_).parent_path() / name).string(); }

    // Appends to one of the document's lists, made on first use: glTF wants no empty lists.
    // The item's index.
    std::size_t Push(const char* list, Json item) {
        Json& items = doc_[list];
        items.push_back(std::move(item));
        return items.size() - 1;
    }

    // Every node is a root of the one scene.
    void AddNode(Json node) { scene_["nodes"].push_back(Push("nodes", std::move(node))); }

    std::size_t AddView(const void* data, std::size_t size, int target) {
        const std::size_t offset = bin_.size();
        const auto* p = static_cast<const std::uint8_t*>(data);
        bin_.insert(bin_.end(), p, p + size);
        bin_.resize((bin_.size() + 3) / 4 * 4, 0);  // every view starts on a 4-byte boundary
        Json view{{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}};
        if (target != 0) view["target"] = target;
        return Push("bufferViews", std::move(view));
    }

    // The values each corner gives (an array of 2 or 3 floats), as one accessor.
    template <typename Values>
    std::size_t AddFloats(const std::vector<Corner>& corners, Values values, bool withBounds) {
        auto lo = values(corners.front()), hi = lo;
        std::vector<float> flat;
        flat.reserve(lo.size() * corners.size());
        for (const Corner& c : corners) {
            const auto v = values(c);
            flat.insert(flat.end(), v.begin(), v.end());
            for (std::size_t k = 0; k < v.size(); ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
        }
        // The file is little-endian; so is every machine this tool builds for.
        const std::size_t view = AddView(flat.data(), flat.size() * sizeof(float), kArrayBuffer);
        Json accessor{{"bufferView", view}, {"componentType", kFloat}, {"count", corners.size()},
                      {"type", lo.size() == 2 ? "VEC2" : "VEC3"}};
        if (withBounds) {
            accessor["min"] = lo;
            accessor["max"] = hi;
        }
        return Push("accessors", std::move(accessor));
    }

    // The image of a map file, looked up once per name; none when it is not found.
    std::optional<std::size_t> TextureFor(const std::string& fileName, const std::string& material) {
        const auto [known, fresh] = textureByName_.try_emplace(fileName);
        if (!fresh) return known->second;
        const std::optional<std::string> path = textureFolders_.Find(fileName);
        if (!path) {
            warnings_->Add(WarningKind::MapFilesMissing, Quoted(fileName) + " of material " + material);
        } else if (ToolResult<TextureImage> image = LoadTextureImage(*path); !image.Ok()) {
            warnings_->Add(WarningKind::MapFilesMissing, image.Error().Text());
        } else {
            Json json{{"name", Utf8Name(fileName, "map file " + PrintableText(fileName), warnings_)}};
            if (binary_) {
                json["bufferView"] = AddView(image->bytes.data(), image->bytes.size(), 0);
                json["mimeType"] = image->mimeType;
            } else {
                json["uri"] = PercentEncoded(CopyOf(image->fileName, std::move(image->bytes)));
            }
            known->second = Push("textures", {{"source", Push("images", std::move(json))}, {"sampler", 0}});
        }
        return known->second;
    }

    // A copy beside the output never replaces a file with other bytes (one with the same bytes
    // is used as it is), nor takes a name of this conversion: it gets a free name then, with a
    // warning. The name given.
    std::string CopyOf(const std::string& name, std::vector<std::uint8_t> bytes) {
        if (copyNames_.empty()) copyNames_ = {fs::path(outputPath_).filename().string(), BinName()};
        const fs::path p(name);
        std::string candidate = name;
        NameUse use = NameUse::Taken;
        for (int n = 2;; candidate = p.stem().string() + "_" + std::to_string(n++) + p.extension().string()) {
            if (!copyNames_.insert(candidate).second) continue;
            use = UseOfName(Beside(candidate), bytes.data(), bytes.size());
            if (use != NameUse::Taken) break;
        }
        if (candidate != name) warnings_->Add(WarningKind::TexturesRenamed, Quoted(name) + " written as " + Quoted(candidate));
        if (use == NameUse::Free) Put(Beside(candidate), bytes, false);
        return candidate;
    }

    Json MaterialJson(const MaterialChunk& m) {
        const std::string where = "GMAT \"" + PrintableText(m.name) + "\"";
        const auto diffuse = Colour(m, wux_file::kDiffuseWord);
        const float opacity = m.colourBlock[wux_file::kOpacityWord];
        Json pbr{{"baseColorFactor", {Clamp01(diffuse[0]), Clamp01(diffuse[1]), Clamp01(diffuse[2]), Clamp01(opacity)}},
                 {"metallicFactor", 0.0},
                 {"roughnessFactor", 1.0}};
        Json extras{{"ambient", ShortFloats(Colour(m, wux_file::kAmbientWord))},
                    {"specular", ShortFloats(Colour(m, wux_file::kSpecularWord))},
                    {"filter", ShortFloats(Colour(m, wux_file::kFilterWord))}};
        // The base colour holds values from 0 to 1 only: others are kept here exactly.
        if (std::any_of(diffuse.begin(), diffuse.end(), [](float c) { return Clamp01(c) != c; }))
            extras["diffuse"] = ShortFloats(diffuse);
        if (Clamp01(opacity) != opacity) extras["opacity"] = ShortFloat(opacity);
        extras["maps"] = Json::array();
        for (std::int32_t k = 0; k < m.mapCount; ++k) {
            const MaterialMap& map = m.maps[k];
            const auto channel = static_cast<std::uint32_t>(map.channel);
            Json entry{{"slot", channel}, {"file", Utf8Name(map.fileName, where, warnings_)}, {"amount", ShortFloat(map.amount)}};
            if (const std::optional<std::size_t> texture = TextureFor(map.fileName, where)) {
                entry["texture"] = *texture;
                // The first diffuse map that has an image gives the base colour's texture.
                if (channel == wux_file::kDiffuseMapChannel && !pbr.contains("baseColorTexture"))
                    pbr["baseColorTexture"] = {{"index", *texture}};
            }
            extras["maps"].push_back(entry);
        }
        const std::string name = Utf8Name(m.name, where, warnings_);
        // glTF names are UTF-8: one that is not (the host's code page) keeps its bytes here.
        if (name != m.name) extras["nameBytes"] = HexBytes(m.name);
        Json out{{"name", name}, {"pbrMetallicRoughness", pbr}, {"extras", {{"wux", extras}}}};
        if (Clamp01(opacity) < 1.0) out["alphaMode"] = "BLEND";
        return out;
    }

    void MeshNode(const VertexChunk& mesh, std::size_t index) {
        // glTF wants normals in the space of the positions, which is the file's world space.
        const std::vector<Corner> corners = MeshCorners(mesh, index, CornerNormals::World, warnings_);
        if (corners.empty()) return;
        const auto position = [](const Corner& c) {
            return std::array<float, 3>{Finite(c.position[0]), Finite(c.position[1]), Finite(c.position[2])};
        };
        const auto uv = [](const Corner& c) { return std::array<float, 2>{Finite(c.uv[0]), Finite(c.uv[1])}; };
        Json attributes{{"POSITION", AddFloats(corners, position, true)},
                        {"NORMAL", AddFloats(corners, [](const Corner& c) { return c.normal; }, false)},
                        {"TEXCOORD_0", AddFloats(corners, uv, false)}};
        Json primitive{{"attributes", attributes}, {"mode", kTriangles}};
        const std::int32_t m = mesh.materialIndex;
        if (m >= 0 && m < model_.materials->count()) primitive["material"] = m;
        const std::string name = "mesh " + std::to_string(index);
        const std::size_t made = Push("meshes", {{"name", name}, {"primitives", Json::array({primitive})}});
        AddNode({{"name", name}, {"mesh", made}, {"matrix", kTurnMatrix}});
    }

    static Json SphereJson(const RecordNode& sphere) {
        const auto& t = sphere.transform;
        // Scale first, then the turn: each local axis keeps its own scale.
        const double radius = sphere.size;
        const Json scale = ShortFloats(std::array<double, 3>{radius * t[0][0], radius * t[1][1], radius * t[2][2]});
        const bool bound = sphere.name == kBoundSphereNodeName;
        const Json mark = bound ? Json{{"boundSphere", ShortFloat(radius)}} : Json{{"ellipsoid", scale}};
        return {{"name", sphere.name},
                {"translation", ShortFloats(Turn(t[3]))},
                {"rotation", kTurnRotation},
                {"scale", scale},
                {"extras", {{"wux", mark}}}};
    }

    static Json HelperJson(const RecordNode& helper) {
        Json matrix = Json::array();
        for (int r = 0; r < 4; ++r) {
            for (double v : Turn(helper.transform[r])) matrix.push_back(ShortFloat(v));
            matrix.push_back(r == 3 ? 1 : 0);
        }
        // The name again in the extras (with its bytes when not UTF-8): Assimp names a node
        // without one after its index.
        Json wux{{"name", helper.name}};
        if (!helper.nameBytes.empty()) wux["nameBytes"] = helper.nameBytes;
        return {{"name", helper.name}, {"matrix", matrix}, {"extras", {{"size", ShortFloat(helper.size)}, {"wux", wux}}}};
    }

    std::string Glb() {
        std::string json = doc_.dump();
        json.resize((json.size() + 3) / 4 * 4, ' ');
        std::string out = "glTF";
        const auto u32 = [&out](std::uint64_t v) {
            for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
        };
        u32(2);
        u32(12 + 8 + json.size() + (bin_.empty() ? 0 : 8 + bin_.size()));
        u32(json.size());
        out += "JSON" + json;
        if (!bin_.empty()) {
            u32(bin_.size());
            out.append("BIN", 4);  // the tag's fourth byte is a zero
            out.append(bin_.begin(), bin_.end());
        }
        return out;
    }

    const WuxDocument& file_;
    const ExportModel& model_ = *file_.model;
    const std::string& outputPath_;
    const bool binary_ = Lower(fs::path(outputPath_).extension().string()) == ".glb";
    StagedFiles* outputs_;
    Warnings* warnings_;
    ToolResult<void> failure_;
    Json doc_ = Json::object(), scene_ = Json::object();
    std::vector<std::uint8_t> bin_;
    std::map<std::string, std::optional<std::size_t>> textureByName_;
    std::set<std::string> copyNames_;
    TextureFolders textureFolders_;
};

}  // namespace

ToolResult<void> WriteGltf(const WuxDocument& file, const std::string& outputPath,
                           const std::vector<std::string>& textureDirs, StagedFiles* outputs, Warnings* warnings) {
    return GltfBuilder(file, outputPath, textureDirs, outputs, warnings).Build();
}

}  // namespace wux
