#include "input/gltf_wux_extras.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "format/file_bytes.h"

namespace wux {
namespace {

using Json = nlohmann::json;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

// The JSON of a .gltf file, or of a .glb file's first chunk; discarded when unreadable.
Json ReadGltfJson(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".gltf" && ext != ".glb") return Json(Json::value_t::discarded);
    const FileBytes file = LoadFileBytes(path);
    if (!file.ok) return Json(Json::value_t::discarded);
    const std::vector<std::uint8_t>& b = file.bytes;
    if (b.size() >= 20 && b[0] == 'g' && b[1] == 'l' && b[2] == 'T' && b[3] == 'F') {
        const std::uint32_t length = U32(b, 12);
        if (length > b.size() - 20 || U32(b, 16) != 0x4E4F534A) return Json(Json::value_t::discarded);  // "JSON"
        return Json::parse(b.begin() + 20, b.begin() + 20 + length, nullptr, false);
    }
    return Json::parse(b.begin(), b.end(), nullptr, false);
}

bool ReadColour(const Json& extras, const char* key, std::array<float, 3>* out) {
    const auto it = extras.find(key);
    if (it == extras.end() || !it->is_array() || it->size() != 3) return false;
    for (const Json& v : *it)
        if (!v.is_number()) return false;
    *out = {(*it)[0].get<float>(), (*it)[1].get<float>(), (*it)[2].get<float>()};
    return true;
}

void ApplyMaterial(const Json& extras, SceneMaterial* material) {
    ReadColour(extras, "ambient", &material->ambient);
    ReadColour(extras, "specular", &material->specular);
    ReadColour(extras, "filter", &material->filter);
    ReadColour(extras, "diffuse", &material->diffuse);
    const auto opacity = extras.find("opacity");
    if (opacity != extras.end() && opacity->is_number()) material->opacity = opacity->get<float>();
    const auto maps = extras.find("maps");
    if (maps == extras.end() || !maps->is_array()) return;
    std::vector<SceneMap> read;
    std::set<int> slots;
    for (const Json& m : *maps) {
        if (!m.is_object() || !m.contains("slot") || !m["slot"].is_number_integer() || !m.contains("file") ||
            !m["file"].is_string())
            return;
        SceneMap map;
        map.slot = m["slot"].get<int>();
        if (map.slot < 0 || map.slot > 11 || !slots.insert(map.slot).second) return;
        map.kind = SceneMap::Kind::Bitmap;
        map.path = m["file"].get<std::string>();
        if (m.contains("amount") && m["amount"].is_number()) map.amount = m["amount"].get<float>();
        read.push_back(std::move(map));
    }
    std::sort(read.begin(), read.end(), [](const SceneMap& a, const SceneMap& b) { return a.slot < b.slot; });
    material->maps = std::move(read);
}

void ClearMaterial(std::vector<SceneNode>* nodes, const std::vector<int>& newIndex) {
    for (SceneNode& node : *nodes) {
        if (node.material >= 0) node.material = newIndex[static_cast<std::size_t>(node.material)];
        ClearMaterial(&node.children, newIndex);
    }
}

}  // namespace

void ApplyGltfWuxExtras(const std::string& path, SceneDescription* scene) {
    const Json doc = ReadGltfJson(path);
    if (!doc.is_object()) return;
    const Json* asset = doc.contains("asset") ? &doc["asset"] : nullptr;
    if (asset == nullptr || !asset->is_object() || !asset->contains("extras") || !(*asset)["extras"].is_object() ||
        !(*asset)["extras"].contains("wux"))
        return;

    std::map<std::string, const Json*> extrasByName;
    std::set<std::string> gltfNames;
    if (doc.contains("materials") && doc["materials"].is_array()) {
        for (const Json& m : doc["materials"]) {
            if (!m.is_object() || !m.contains("name") || !m["name"].is_string()) continue;
            const std::string name = m["name"].get<std::string>();
            gltfNames.insert(name);
            if (m.contains("extras") && m["extras"].is_object() && m["extras"].contains("wux") &&
                m["extras"]["wux"].is_object())
                extrasByName.emplace(name, &m["extras"]["wux"]);
        }
    }
    // Assimp's own default material stands for "no material" in a file written by wux convert.
    std::vector<int> newIndex(scene->materials.size(), -1);
    std::vector<SceneMaterial> kept;
    for (std::size_t i = 0; i < scene->materials.size(); ++i) {
        SceneMaterial& material = scene->materials[i];
        if (gltfNames.count(material.name) == 0) continue;
        const auto extras = extrasByName.find(material.name);
        if (extras != extrasByName.end()) ApplyMaterial(*extras->second, &material);
        newIndex[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(material));
    }
    scene->materials = std::move(kept);
    ClearMaterial(&scene->nodes, newIndex);
}

}  // namespace wux
