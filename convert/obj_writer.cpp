#include "convert/convert.h"

#include <algorithm>
#include <initializer_list>
#include <filesystem>
#include <map>

#include "format/tool_text.h"

namespace wux {


namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlock = std::size_t{1} << 20;

// MTL statements of the map slots that have one.
const std::map<std::uint32_t, const char*> kMapStatements = {
    {0, "map_Ka"}, {1, "map_Kd"}, {2, "map_Ks"}, {3, "map_Ns"}, {5, "map_Ke"}, {6, "map_d"}, {8, "bump"}, {9, "refl"}};

// "KEY a b c" or "KEY a b", each number the shortest that reads back as the same f32.
void Line(std::string* out, const char* key, std::initializer_list<float> values) {
    *out += key;
    for (float v : values) {
        *out += ' ';
        AppendFloat(out, v);
    }
    *out += '\n';
}

// OBJ and MTL statements end at white space and lines: a name (of a material or a map file)
// keeps one word, so that none can add a statement, and is valid UTF-8.
std::string OneWord(const std::string& name, const std::string& where, Warnings* warnings) {
    std::string out = name.empty() ? std::string("unnamed") : Utf8Name(name, where, warnings);
    // White space and control bytes (the tool keeps the "C" locale) and the comment sign.
    const auto breaks = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '#'; };
    if (name.empty() || std::any_of(out.begin(), out.end(), breaks)) warnings->Add(WarningKind::ObjNamesChanged, where);
    std::replace_if(out.begin(), out.end(), breaks, '_');
    return out;
}

}  // namespace

ToolResult<void> WriteObj(const WuxDocument& doc, const std::string& outputPath, StagedFiles* outputs, Warnings* warnings) {
    const fs::path mtlPath = fs::path(outputPath).replace_extension(".mtl");
    std::string mtl = "# materials of the WUX file, written by wux convert\n";
    std::vector<std::string> names;
    const ExportModel& model = *doc.model;
    for (const MaterialChunk* m : Records<MaterialChunk>(*model.materials)) {
        const std::string where = "GMAT " + Quoted(m->name);
        names.push_back(OneWord(m->name, where, warnings));
        mtl += "\nnewmtl " + names.back() + "\n";
        for (const auto& [key, word] : {std::pair{"Kd", wux_file::kDiffuseWord}, {"Ka", wux_file::kAmbientWord},
                                        {"Ks", wux_file::kSpecularWord}, {"Tf", wux_file::kFilterWord}}) {
            const auto c = Colour(*m, word);
            Line(&mtl, key, {c[0], c[1], c[2]});
        }
        Line(&mtl, "d", {m->colourBlock[wux_file::kOpacityWord]});
        for (std::int32_t k = 0; k < m->mapCount; ++k) {
            const MaterialMap& map = m->maps[k];
            const auto statement = kMapStatements.find(static_cast<std::uint32_t>(map.channel));
            if (statement == kMapStatements.end()) {
                warnings->Add(WarningKind::LeftOutOfObj, where + ": map slot " + std::to_string(map.channel));
                continue;
            }
            const std::string file = OneWord(map.fileName, where + ": map slot " + std::to_string(map.channel), warnings);
            mtl += std::string(statement->second) + " " + file + "\n";
        }
    }

    // The text goes to the file a block at a time: a large model's would take several times its memory.
    const ToolResult<StagedFiles::File*> objFile = outputs->Stage(outputPath);
    if (!objFile.Ok()) return objFile.Error();
    std::string obj = "# written by wux convert; Y-up\nmtllib " + mtlPath.filename().string() + "\n";
    auto pass = [&](std::size_t atLeast) {
        if (obj.size() < atLeast) return;
        (*objFile)->write(reinterpret_cast<const std::uint8_t*>(obj.data()), obj.size());
        obj.clear();
    };
    auto line = [&](const char* key, std::initializer_list<float> values) {
        Line(&obj, key, values);
        pass(kBlock);
    };
    std::size_t base = 1;  // OBJ indices count from 1 over the whole file
    const auto meshes = Records<VertexChunk>(*model.meshes);
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const VertexChunk& mesh = *meshes[i];
        const std::vector<Corner> corners = MeshCorners(mesh, i, CornerNormals::World, warnings);
        if (corners.empty()) continue;
        obj += "\no mesh_" + std::to_string(i) + "\n";
        const std::int32_t m = mesh.materialIndex;
        if (m >= 0 && static_cast<std::size_t>(m) < names.size()) obj += "usemtl " + names[static_cast<std::size_t>(m)] + "\n";
        // Y-up: (x, y, z) becomes (x, z, -y); OBJ puts v = 0 at the bottom of the image.
        for (const Corner& c : corners) line("v", {c.position[0], c.position[2], -c.position[1]});
        for (const Corner& c : corners) line("vt", {c.uv[0], 1.0f - c.uv[1]});
        for (const Corner& c : corners) line("vn", {c.normal[0], c.normal[2], -c.normal[1]});
        for (std::size_t k = 0; k < corners.size(); ++k) {
            const std::string n = std::to_string(base + k);
            obj += (k % 3 == 0 ? "f " : " ") + n + '/' + n + '/' + n + (k % 3 == 2 ? "\n" : "");
            pass(kBlock);
        }
        base += corners.size();
    }
    if (model.bounds->mainSphere->radius != 0.0f || model.bounds->spheres->count() != 0)
        warnings->Add(WarningKind::LeftOutOfObj, "GBND spheres");
    if (model.ellipsoid) warnings->Add(WarningKind::LeftOutOfObj, "GELP ellipsoid");
    if (model.references->entries->count() != 0) warnings->Add(WarningKind::LeftOutOfObj, "GREF entries");
    pass(0);
    return outputs->Add(mtlPath.string(), mtl.data(), mtl.size());
}

}  // namespace wux
