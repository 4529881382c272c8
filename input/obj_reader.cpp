#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "collect/node_route.h"
#include "format/mapped_file.h"
#include "format/tool_text.h"
#include "input/imported_scene.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;
using Vec3 = std::array<float, 3>;

constexpr std::uint32_t kBad = UINT32_MAX;

// An MTL material: Assimp's defaults for what the file leaves out, the texture file of each slot.
struct MtlMaterial {
    SceneMaterial material;
    std::map<int, std::string> maps;
    std::string height;  // a bump map: slot 8 unless a normal map fills it
    int index = -1;      // in the scene's materials, once a mesh uses it
};

// Assimp's name for the material of faces before any usemtl, and of a material without a name.
std::string MaterialName(std::string_view name) {
    name = Trim(name);
    return name.empty() ? "DefaultMaterial" : std::string(name);
}

MtlMaterial DefaultMaterial(const std::string& name) {
    MtlMaterial m;
    m.material.name = name;
    m.material.diffuse = {0.6f, 0.6f, 0.6f};
    m.material.ambient = m.material.specular = {0.0f, 0.0f, 0.0f};
    return m;
}

// The file of a map statement: what follows its options ("-bm 0.5", "-o 1 1 1", ...).
std::string MapFile(std::string_view rest) {
    for (rest = Trim(rest); !rest.empty() && rest[0] == '-'; rest = Trim(rest)) {
        const std::string_view option = NextWord(&rest);
        const bool vector = option == "-o" || option == "-s" || option == "-t";  // one to three numbers
        float v;
        for (int k = 0, args = vector ? 3 : option == "-mm" ? 2 : 1; k < args; ++k) {
            std::string_view after = rest;
            if (vector && k > 0 && !ParseNumber(NextWord(&after), &v)) break;
            NextWord(&rest);
        }
    }
    return std::string(rest);
}

void ReadMtl(std::string_view text, std::map<std::string, MtlMaterial>* materials) {
    static const std::pair<std::string_view, int> kMaps[] = {
        {"map_Ka", 0}, {"map_Kd", 1}, {"map_Ks", 2}, {"map_Ns", 3}, {"map_Ke", 5}, {"map_d", 6},
        {"norm", 8},   {"refl", 9},   {"disp", 11}, {"map_bump", -1}, {"map_Bump", -1}, {"bump", -1}};
    MtlMaterial* m = nullptr;
    for (std::size_t at = 0; at < text.size();) {
        std::string_view line = NextLine(text, &at);
        const std::string_view word = NextWord(&line);
        if (word == "newmtl") {
            const std::string name = MaterialName(line);
            m = &materials->insert_or_assign(name, DefaultMaterial(name)).first->second;
        }
        if (m == nullptr) continue;
        float v[3];
        const bool colour = word == "Kd" || word == "Ka" || word == "Ks";
        if (colour && ParseNumber(NextWord(&line), &v[0])) {
            for (int k = 1; k < 3; ++k)
                if (!ParseNumber(NextWord(&line), &v[k])) v[k] = v[0];  // one number: a grey
            *(word == "Kd" ? &m->material.diffuse : word == "Ka" ? &m->material.ambient : &m->material.specular) = {v[0], v[1], v[2]};
        } else if ((word == "d" || word == "Tr") && ParseNumber(NextWord(&line), &v[0])) {
            m->material.opacity = word == "d" ? v[0] : 1.0f - v[0];
        }
        for (const auto& [keyword, slot] : kMaps) {
            if (word != keyword) continue;
            std::string file = MapFile(line);
            if (file.empty() || (slot == 9 && m->maps.count(9) != 0)) break;  // the first reflection map, as before
            (slot < 0 ? m->height : m->maps[slot]) = std::move(file);
        }
    }
}

struct ObjMesh {
    std::string material;
    SceneMesh mesh;
};

struct ObjObject {
    std::string name;
    std::vector<ObjMesh> meshes;
    PassedOver passed;
};

class ObjParser {
public:
    ObjParser(const std::string& path, Warnings* warnings) : path_(path), warnings_(warnings) {}

    std::optional<ToolError> Parse(std::string_view text, const ReadProgress& progress) {
        // Counted first, the arrays are filled at their size: grown by doubling, they would
        // hold up to twice that at the peak of a large import. A quick count of the usual
        // spelling: a line it misses only means an array grows as before.
        std::size_t pools[4] = {0, 0, 0, 0};  // v, vn, vt, other
        for (std::size_t at = 0; at < text.size();) {
            const std::string_view line = NextLine(text, &at);
            const bool spaced = line.size() > 2 && (line[1] == ' ' || line[2] == ' ');
            if (spaced && line[0] == 'v') ++pools[line[1] == ' ' ? 0 : line[1] == 'n' ? 1 : line[1] == 't' ? 2 : 3];
            if (!spaced || line[0] != 'f' || line[1] != ' ') continue;
            std::size_t corners = 0;
            for (std::size_t k = 2; k < line.size(); ++k) corners += line[k] > ' ' && line[k - 1] == ' ';
            triangles_ += corners > 2 ? corners - 2 : 0;
        }
        positions_.reserve(pools[0]);
        normals_.reserve(pools[1]);
        uvs_.reserve(pools[2]);
        std::size_t lineNumber = 0;
        for (std::size_t at = 0; at < text.size();) {
            if (progress && lineNumber % kProgressStep == 0) progress(static_cast<double>(at) / static_cast<double>(text.size()));
            std::string_view line = NextLine(text, &at);
            ++lineNumber;
            const std::string_view word = NextWord(&line);
            if (word.empty() || word[0] == '#') continue;
            const auto fail = [&](const std::string& what) {
                return ImportError(path_, "line " + std::to_string(lineNumber), what);
            };
            if (word == "v" || word == "vn" || word == "vt") {
                Vec3 v{0, 0, 0};
                for (int k = 0; k < 3; ++k) {
                    const std::string_view w = NextWord(&line);
                    if (w.empty() && k >= (word == "vt" ? 1 : 3)) break;  // a UV may leave out v and w
                    if (!ParseNumber(w, &v[k])) return fail("not a " + std::string(word) + " statement of numbers");
                }
                (word == "v" ? positions_ : word == "vn" ? normals_ : uvs_).push_back(v);
            } else if (word == "f" || word == "l" || word == "p") {
                if (!Face(word[0], line)) return fail("not a face of vertex indices");
            } else if (word == "o" || (word == "g" && Trim(line) != activeGroup_)) {
                const std::string name(Trim(line));
                if (word == "g") activeGroup_ = name;
                const auto found = byName_.find(name);  // "o" goes on with an object of its name, "g" starts one
                current_ = word == "o" && found != byName_.end() ? found->second : NewObject(name);
            } else if (word == "usemtl") {
                material_ = MaterialName(line);
            } else if (word == "mtllib") {
                ReadLibrary(std::string(Trim(line)));
            }
        }
        if (positions_.empty()) return ImportError(path_, "", "no vertices: not an OBJ file, or an empty one");
        return std::nullopt;
    }

    // The scene: a node per object with triangles, materials in the order of first use.
    SceneDescription Scene(const AssimpImportOptions& options, ImportCounts* counts) {
        SceneDescription scene;
        TextureResolver textures(path_, options, warnings_);
        const bool anyFace = std::any_of(objects_.begin(), objects_.end(), [](const ObjObject& o) {
            return !o.meshes.empty() || o.passed.points + o.passed.lines + o.passed.outOfRange + o.passed.notFinite > 0;
        });
        if (!anyFace)  // a point cloud
            warnings_->Add(WarningKind::PrimitivesSkipped, Plural(positions_.size(), "point", "points"), positions_.size());
        // Every face has its own copy of its corners: the pools are done with.
        for (std::vector<Vec3>* pool : {&positions_, &normals_, &uvs_}) std::vector<Vec3>().swap(*pool);
        for (ObjObject& object : objects_) {
            object.passed.Report(object.name, false, warnings_);
            if (object.name == kBoundSphereNodeName || object.name == kEllipsoidNodeName) {
                // Around its vertices, or a unit sphere (under a scale OBJ cannot hold) without any, as before.
                SceneNode sphere;
                sphere.name = sphere.origin = object.name;
                sphere.local = ReaderFrame(options.up);
                sphere.object.type = SceneObject::Type::Sphere;
                double radius = object.meshes.empty() ? 1.0 : 0.0;
                for (const ObjMesh& m : object.meshes)
                    for (const Vec3& p : m.mesh.verts) radius = std::max(radius, std::hypot(double{p[0]}, double{p[1]}, double{p[2]}));
                sphere.object.radius = static_cast<float>(radius);
                scene.nodes.push_back(std::move(sphere));
                continue;
            }
            std::vector<SceneNode> made;
            for (ObjMesh& m : object.meshes) {
                if (m.mesh.faces.empty()) continue;
                const std::string name = made.empty() ? object.name : object.name + "_" + std::to_string(made.size());
                const SceneMatrix local = made.empty() ? ReaderFrame(options.up) : SceneMatrix();
                made.push_back(MeshNode(std::move(m.mesh), name, local, UseMaterial(m.material, &textures, &scene), options, warnings_, counts));
            }
            if (made.empty()) {
                if (object.passed.points + object.passed.lines > 0) warnings_->Add(WarningKind::NodesPassedOver, QuotedName(object.name) + ": no triangles");
                continue;
            }
            std::move(made.begin() + 1, made.end(), std::back_inserter(made[0].children));
            scene.nodes.push_back(std::move(made[0]));
        }
        return scene;
    }

private:
    std::size_t NewObject(const std::string& name) {
        byName_.emplace(name, objects_.size());
        objects_.push_back(ObjObject{name, {}, {}});
        return objects_.size() - 1;
    }

    // The MTL file as named, else the one named after the OBJ file (as Assimp looks for it).
    void ReadLibrary(const std::string& name) {
        if (!libraries_.insert(name).second) return;
        MappedFile mapped;
        const fs::path folder = fs::path(path_).parent_path();
        if (!mapped.OpenWhole((folder / name).string()).Ok() &&
            !mapped.OpenWhole((folder / fs::path(path_).stem()).string() + ".mtl").Ok()) {
            warnings_->Add(WarningKind::MaterialFilesMissing, QuotedName(name));
            return;
        }
        const ByteSpan bytes = mapped.Span();
        ReadMtl(std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size), &materials_);
    }

    int UseMaterial(const std::string& name, TextureResolver* textures, SceneDescription* scene) {
        MtlMaterial& m = materials_.try_emplace(name, DefaultMaterial(name)).first->second;
        if (m.index >= 0) return m.index;
        if (!m.height.empty()) m.maps.try_emplace(8, m.height);
        for (const auto& [slot, file] : m.maps)
            m.material.maps.push_back({slot, true, SceneMap::Kind::Bitmap, textures->External(file), "", 1.0f});
        m.index = static_cast<int>(scene->materials.size());
        scene->materials.push_back(m.material);
        return m.index;
    }

    // An index as written (1-based, or from the end when negative) into a pool of n, kBad when
    // out of range; false when w is not a whole number.
    static bool Index(std::string_view w, std::size_t n, std::uint32_t* out) {
        long long i = 0;
        const std::from_chars_result r = std::from_chars(w.data(), w.data() + w.size(), i);
        if (r.ptr != w.data() + w.size() || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) return false;
        const long long at = r.ec != std::errc() ? -1 : i < 0 ? static_cast<long long>(n) + i : i - 1;
        *out = at >= 0 && at < static_cast<long long>(n) ? static_cast<std::uint32_t>(at) : kBad;
        return true;
    }

    // False for a corner that is not "v", "v/vt", "v//vn" or "v/vt/vn" of whole numbers.
    bool Face(char kind, std::string_view line) {
        if (!current_) current_ = NewObject("defaultobject");
        ObjObject& object = objects_[*current_];
        corners_.clear();
        bool inRange = true, hasUv = true, hasNormal = true;
        for (std::string_view w = NextWord(&line); !w.empty(); w = NextWord(&line)) {
            std::array<std::uint32_t, 3> c{kBad, kBad, kBad};  // position, uv, normal
            const std::size_t pools[3] = {positions_.size(), uvs_.size(), normals_.size()};
            for (std::size_t k = 0; k < 3; ++k) {
                const std::size_t slash = std::min(w.find('/'), w.size());
                const std::string_view part = w.substr(0, slash);
                if ((part.empty() && k == 0) || (!part.empty() && !Index(part, pools[k], &c[k]))) return false;
                inRange = inRange && (part.empty() || c[k] != kBad);
                if (slash == w.size()) break;
                w.remove_prefix(slash + 1);
            }
            hasUv = hasUv && c[1] != kBad;
            hasNormal = hasNormal && c[2] != kBad;
            corners_.push_back(c);
        }
        const std::size_t n = corners_.size();
        if (n == 0) return false;
        PassedOver& passed = object.passed;
        if (kind == 'p') passed.points += n;
        else if (kind == 'l') passed.lines += n - 1;
        if (kind != 'f' || !passed.Fans(n)) return true;
        if (!inRange) {
            ++passed.outOfRange;
            return true;
        }
        if (!std::all_of(corners_.begin(), corners_.end(), [&](const std::array<std::uint32_t, 3>& c) { return Finite(positions_[c[0]]); })) {
            ++passed.notFinite;
            return true;
        }
        if (object.meshes.empty() || (object.meshes.back().material != material_ && !object.meshes.back().mesh.faces.empty()))
            object.meshes.push_back(ObjMesh{material_, {}});
        object.meshes.back().material = material_;
        SceneMesh& mesh = object.meshes.back().mesh;
        // The file's first mesh, mostly its only one, is sized once for all the file's triangles.
        mesh.faces.reserve(triangles_);
        mesh.verts.reserve(3 * triangles_);
        mesh.tverts.reserve(uvs_.capacity() > 0 ? 3 * triangles_ : 0);
        mesh.normals.reserve(normals_.capacity() > 0 ? 3 * triangles_ : 0);
        triangles_ = 0;
        // Corners without a normal or UV in a mesh with them get zeros (the normal is then worked out).
        const bool normals = hasNormal || !mesh.normals.empty(), uvs = hasUv || !mesh.tverts.empty();
        if (normals) mesh.normals.resize(mesh.verts.size());
        if (uvs) mesh.tverts.resize(mesh.verts.size());
        for (std::size_t k = 1; k + 1 < corners_.size(); ++k) {
            const auto first = static_cast<std::uint32_t>(mesh.verts.size());
            mesh.faces.push_back({first, first + 1, first + 2});
            for (std::size_t corner : {std::size_t{0}, k, k + 1}) {
                const std::array<std::uint32_t, 3>& c = corners_[corner];
                mesh.verts.push_back(positions_[c[0]]);
                if (normals) mesh.normals.push_back(hasNormal ? normals_[c[2]] : Vec3{});
                if (uvs) mesh.tverts.push_back(hasUv ? uvs_[c[1]] : Vec3{});
            }
        }
        return true;
    }

    std::string path_;
    Warnings* warnings_;
    std::vector<Vec3> positions_, normals_, uvs_;
    std::size_t triangles_ = 0;  // in the file, until its first mesh is sized for them
    std::vector<ObjObject> objects_;
    std::map<std::string, std::size_t> byName_;  // the first object of each name
    std::set<std::string> libraries_;
    std::optional<std::size_t> current_;
    std::string activeGroup_;
    std::string material_ = MaterialName("");
    std::map<std::string, MtlMaterial> materials_;
    std::vector<std::array<std::uint32_t, 3>> corners_;
};

}  // namespace

ToolResult<SceneDescription> ParseObj(ByteSpan bytes, const std::string& path, const AssimpImportOptions& options,
                                      Warnings* warnings, ImportCounts* counts, const std::function<void()>& textRead) {
    if (bytes.size >= 2 && (bytes.data[0] == 0xFE || bytes.data[0] == 0xFF) && bytes.data[1] == (bytes.data[0] ^ 1))
        return ImportError(path, "", "UTF-16 text, which OBJ files are not: save it as UTF-8");
    ObjParser parser(path, warnings);
    if (std::optional<ToolError> failed = parser.Parse(std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size), options.progress))
        return *failed;
    if (textRead) textRead();
    return parser.Scene(options, counts);
}

}  // namespace wux
