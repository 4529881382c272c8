#include "input/gltf_wux_extras.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "collect/node_route.h"
#include "format/file_bytes.h"
#include "format/tool_text.h"

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
    const auto file = LoadFileBytes(path);
    if (!file.Ok()) return Json(Json::value_t::discarded);
    const std::vector<std::uint8_t>& b = *file;
    if (b.size() >= 20 && b[0] == 'g' && b[1] == 'l' && b[2] == 'T' && b[3] == 'F') {
        const std::uint32_t length = U32(b, 12);
        if (length > b.size() - 20 || U32(b, 16) != 0x4E4F534A) return Json(Json::value_t::discarded);  // "JSON"
        return Json::parse(b.begin() + 20, b.begin() + 20 + length, nullptr, false);
    }
    return Json::parse(b.begin(), b.end(), nullptr, false);
}

bool FiniteFloat(const Json& v) { return v.is_number() && std::isfinite(v.get<float>()); }

// Each value that is there but not usable keeps what Assimp gave, with a warning naming the
// material and the key.
void ReadColour(const Json& extras, const char* key, const std::string& where, Warnings* warnings,
                std::array<float, 3>* out) {
    const auto it = extras.find(key);
    if (it == extras.end()) return;
    if (!it->is_array() || it->size() != 3 || !std::all_of(it->begin(), it->end(), FiniteFloat)) {
        warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux." + key + " not three numbers, left as read");
        return;
    }
    *out = {(*it)[0].get<float>(), (*it)[1].get<float>(), (*it)[2].get<float>()};
}

void ApplyMaterial(const Json& extras, SceneMaterial* material, Warnings* warnings) {
    const std::string where = QuotedName(material->name);
    for (const auto& [key, colour] : {std::pair<const char*, std::array<float, 3>*>{"ambient", &material->ambient},
                                      {"specular", &material->specular}, {"filter", &material->filter},
                                      {"diffuse", &material->diffuse}})
        ReadColour(extras, key, where, warnings, colour);
    const auto opacity = extras.find("opacity");
    if (opacity != extras.end()) {
        if (FiniteFloat(*opacity)) material->opacity = opacity->get<float>();
        else warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.opacity not a number, left as read");
    }
    const auto maps = extras.find("maps");
    if (maps == extras.end()) return;
    if (!maps->is_array()) {
        warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.maps not a list, maps left as read");
        return;
    }
    std::vector<SceneMap> read;
    std::set<int> slots;
    for (std::size_t i = 0; i < maps->size(); ++i) {
        const Json& m = (*maps)[i];
        const std::string entry = where + ": extras.wux.maps[" + std::to_string(i) + "]";
        const bool whole = m.is_object() && m.contains("slot") && m["slot"].is_number_integer() && m.contains("file") &&
                           m["file"].is_string();
        const long long slot = whole ? m["slot"].get<long long>() : -1;
        if (slot < 0 || slot > 11 || !slots.insert(static_cast<int>(slot)).second) {
            warnings->Add(WarningKind::ValuesRepaired, entry + " not a map file of a slot 0 to 11 of its own, left out");
            continue;
        }
        SceneMap map;
        map.slot = static_cast<int>(slot);
        map.kind = SceneMap::Kind::Bitmap;
        map.path = m["file"].get<std::string>();
        if (m.contains("amount") && FiniteFloat(m["amount"])) map.amount = m["amount"].get<float>();
        else if (m.contains("amount")) warnings->Add(WarningKind::ValuesRepaired, entry + ".amount not a number, 1 kept");
        read.push_back(std::move(map));
    }
    std::sort(read.begin(), read.end(), [](const SceneMap& a, const SceneMap& b) { return a.slot < b.slot; });
    material->maps = std::move(read);
}

// WUX materials have no two-sided flag: the glTF materials that set one, among those of the
// meshes that stay meshes (a "GBND" or "GELP" node's becomes a sphere), are counted.
void WarnDoubleSided(const Json& doc, Warnings* warnings) {
    const auto field = [](const Json& j, const char* key) { return j.is_object() && j.contains(key) ? &j[key] : nullptr; };
    const Json* nodes = field(doc, "nodes");
    const Json* meshes = field(doc, "meshes");
    const Json* materials = field(doc, "materials");
    if (nodes == nullptr || meshes == nullptr || materials == nullptr || !nodes->is_array() || !meshes->is_array() ||
        !materials->is_array())
        return;
    std::set<std::size_t> used;
    for (const Json& node : *nodes) {
        const Json* mesh = field(node, "mesh");
        const Json* name = field(node, "name");
        if (mesh == nullptr || !mesh->is_number_unsigned() || mesh->get<std::size_t>() >= meshes->size() ||
            (name != nullptr && (*name == kBoundSphereNodeName || *name == kEllipsoidNodeName)))
            continue;
        const Json* primitives = field((*meshes)[mesh->get<std::size_t>()], "primitives");
        if (primitives == nullptr || !primitives->is_array()) continue;
        for (const Json& p : *primitives)
            if (const Json* m = field(p, "material"); m != nullptr && m->is_number_unsigned()) used.insert(m->get<std::size_t>());
    }
    for (std::size_t i : used) {
        if (i >= materials->size()) continue;
        const Json& m = (*materials)[i];
        const Json* sided = field(m, "doubleSided");
        if (sided == nullptr || *sided != true) continue;
        const Json* name = field(m, "name");
        warnings->Add(WarningKind::DoubleSidedDropped,
                      name != nullptr && name->is_string() ? QuotedName(name->get<std::string>()) : "material " + std::to_string(i));
    }
}

// The name the WUX file had: extras.wux.nameBytes where the writer kept one that is not UTF-8,
// else `name`.
std::string WuxName(const Json& wux, std::string name, const std::string& where, Warnings* warnings) {
    const auto hex = wux.find("nameBytes");
    if (hex == wux.end()) return name;
    std::string bytes;
    if (hex->is_string() && BytesFromHex(hex->get<std::string>(), &bytes) && bytes.find('\0') == std::string::npos)
        return bytes;
    warnings->Add(WarningKind::ValuesRepaired, where + ": extras.wux.nameBytes not pairs of hex digits, name left as read");
    return name;
}

// Nodes of one glTF name (names not UTF-8 all read U+FFFD) take their WUX names in file order.
void RenameNodes(std::vector<SceneNode>* nodes, std::map<std::string, std::deque<std::string>>* names) {
    for (SceneNode& node : *nodes) {
        const auto name = names->find(node.name);
        if (name != names->end() && !name->second.empty()) {
            node.name = name->second.front();
            name->second.pop_front();
        }
        RenameNodes(&node.children, names);
    }
}

void ClearMaterial(std::vector<SceneNode>* nodes, const std::vector<int>& newIndex) {
    for (SceneNode& node : *nodes) {
        if (node.material >= 0) node.material = newIndex[static_cast<std::size_t>(node.material)];
        ClearMaterial(&node.children, newIndex);
    }
}

}  // namespace

void ApplyGltfWuxExtras(const std::string& path, SceneDescription* scene, Warnings* warnings) {
    const Json doc = ReadGltfJson(path);
    if (!doc.is_object()) return;
    WarnDoubleSided(doc, warnings);
    const Json* asset = doc.contains("asset") ? &doc["asset"] : nullptr;
    if (asset == nullptr || !asset->is_object() || !asset->contains("extras") || !(*asset)["extras"].is_object() ||
        !(*asset)["extras"].contains("wux"))
        return;

    // Materials by their index in the file, which Assimp keeps: an empty name comes back empty
    // (Assimp names such a material after its index), and Assimp's own default material,
    // after the file's, stands for "no material".
    const Json* materials = doc.contains("materials") && doc["materials"].is_array() ? &doc["materials"] : nullptr;
    std::vector<int> newIndex(scene->materials.size(), -1);
    std::vector<SceneMaterial> kept;
    for (std::size_t i = 0; i < scene->materials.size(); ++i) {
        SceneMaterial& material = scene->materials[i];
        const int source = material.source;
        if (materials == nullptr || source < 0 || static_cast<std::size_t>(source) >= materials->size()) continue;
        const Json& m = (*materials)[static_cast<std::size_t>(source)];
        if (m.is_object() && m.contains("name") && m["name"].is_string()) material.name = m["name"].get<std::string>();
        if (m.is_object() && m.contains("extras") && m["extras"].is_object() && m["extras"].contains("wux") &&
            m["extras"]["wux"].is_object()) {
            material.name = WuxName(m["extras"]["wux"], material.name, QuotedName(material.name), warnings);
            ApplyMaterial(m["extras"]["wux"], &material, warnings);
        }
        newIndex[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(material));
    }
    scene->materials = std::move(kept);
    ClearMaterial(&scene->nodes, newIndex);

    // Node names as the WUX file had them: Assimp names a node without one "nodes[N]".
    std::map<std::string, std::deque<std::string>> names;
    if (doc.contains("nodes") && doc["nodes"].is_array()) {
        for (std::size_t i = 0; i < doc["nodes"].size(); ++i) {
            const Json& node = doc["nodes"][i];
            if (!node.is_object() || !node.contains("extras") || !node["extras"].is_object()) continue;
            const Json& wux = node["extras"].value("wux", Json());
            if (!wux.is_object() || !wux.contains("name") || !wux["name"].is_string()) continue;
            const bool named = node.contains("name") && node["name"].is_string() && !node["name"].get<std::string>().empty();
            const std::string read = named ? node["name"].get<std::string>() : "nodes[" + std::to_string(i) + "]";
            names[read].push_back(WuxName(wux, wux["name"].get<std::string>(), "node " + std::to_string(i), warnings));
        }
    }
    if (!names.empty()) RenameNodes(&scene->nodes, &names);
}

}  // namespace wux
