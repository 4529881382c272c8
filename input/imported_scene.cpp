#include "input/imported_scene.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "collect/node_route.h"
#include "format/tool_text.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// Deeper hierarchies than this are refused rather than walked recursively.
constexpr int kMaxNodeDepth = 2000;

// What an embedded texture without a name of its own is named after, besides its material.
const char* SlotWord(int slot) {
    static const char* const kWords[] = {"ambient", "diffuse", "specular", "shininess", "map",  "emissive",
                                         "opacity", "map",     "bump",     "reflection", "map", "displacement"};
    return slot >= 0 && slot < 12 ? kWords[slot] : "map";
}

std::string ToBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Keeps letters, digits, '-', '_' and '.', so the name is a plain file name everywhere.
std::string SafeFileName(const std::string& s) {
    std::string out;
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += (std::isalnum(u) || c == '-' || c == '_' || c == '.') ? c : '_';
    }
    while (!out.empty() && out.front() == '.') out.erase(0, 1);
    return out.empty() ? std::string("texture") : out;
}

bool IsAbsoluteSourcePath(const std::string& p) {
    if (!p.empty() && (p[0] == '/' || p[0] == '\\')) return true;
    return p.size() > 1 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

// Room for "_<number>" and the extension within the usual file name limit of 255 bytes.
std::string CutForName(const std::string& base, const std::string& extension) {
    constexpr std::size_t kNameMax = 255, kSuffixRoom = 12;
    const std::size_t room = kNameMax - kSuffixRoom - 1 - std::min(extension.size(), std::size_t{16});
    return base.size() > room ? base.substr(0, room) : base;
}

std::string HostPath(const fs::path& p) {
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    if (ec) abs = p;
    return ToBackslashes(abs.lexically_normal().string());
}

// Everything the file keeps of a material but its name.
bool SameContent(const SceneMaterial& a, const SceneMaterial& b) {
    const auto sameMap = [](const SceneMap& x, const SceneMap& y) {
        return x.slot == y.slot && x.enabled == y.enabled && x.kind == y.kind && x.path == y.path &&
               x.otherType == y.otherType && x.amount == y.amount;
    };
    return a.className == b.className && a.ambient == b.ambient && a.diffuse == b.diffuse && a.specular == b.specular &&
           a.filter == b.filter && a.opacity == b.opacity &&
           std::equal(a.maps.begin(), a.maps.end(), b.maps.begin(), b.maps.end(), sameMap);
}

}  // namespace

void FailImport(std::string message) { throw ImportFault{std::move(message)}; }

void CheckNodeDepth(const std::string& name, int depth) {
    if (depth > kMaxNodeDepth)
        FailImport("node '" + name + "': the hierarchy is nested deeper than " + std::to_string(kMaxNodeDepth) + " levels");
}

void CheckNodeTransform(const std::string& name, bool finite) {
    if (!finite) FailImport("node '" + name + "': its transform holds a value that is not finite");
}

SceneNode ImportNode(const SourceNode& source, const AssimpImportOptions& options, Warnings* warnings) {
    using Helpers = AssimpImportOptions::Helpers;
    const std::string& name = source.name;
    SceneNode node;
    node.name = node.origin = name;
    node.local = source.local;
    if (name == kBoundSphereNodeName || name == kEllipsoidNodeName) {
        // An empty one (as wux convert writes them) is a unit sphere under the node's scale.
        node.object.type = SceneObject::Type::Sphere;
        node.object.radius = source.hasMesh ? source.radius() : 1.0f;
    } else if (source.hasMesh) {
        std::size_t made = 0;
        for (std::size_t i = 0; i < source.meshes; ++i) {
            SceneNode mesh = source.mesh(i);
            if (!mesh.object.IsTriangleMesh()) continue;
            if (made++ == 0) {
                node.object = std::move(mesh.object);
                node.material = mesh.material;
                continue;
            }
            // One stand-in node per further mesh, sitting on the source node's origin.
            mesh.name = name + "_" + std::to_string(made - 1);
            mesh.origin = name + " (mesh " + std::to_string(i) + ")";
            node.children.push_back(std::move(mesh));
        }
        if (made == 0) warnings->Add(WarningKind::NodesPassedOver, QuotedName(name) + ": no triangles");
    } else if (source.camera) {
        node.object.type = SceneObject::Type::Camera;
    } else if (source.light) {
        node.object.type = SceneObject::Type::Light;
    } else if (source.bone) {
        if (source.leaf && options.helpers != Helpers::None)
            warnings->Add(WarningKind::NodesPassedOver, QuotedName(name) + ": bone");
    } else if (!source.root && (options.helpers == Helpers::All || (options.helpers == Helpers::Markers && source.leaf))) {
        node.object.type = SceneObject::Type::Helper;
        node.object.size = source.helperSize();
    }
    return node;
}

float HelperSize(const std::string& nodeName, double size, const char* text, Warnings* warnings) {
    if (text != nullptr) {
        char* end = nullptr;
        size = std::strtod(text, &end);
        if (end == text) size = kDefaultHelperSize;
    }
    if (std::isfinite(ToFloat(size))) return ToFloat(size);
    warnings->Add(WarningKind::ValuesRepaired, QuotedName(nodeName) + ": helper size");
    return kDefaultHelperSize;
}

std::vector<std::uint32_t> KeepTriangles(SceneMesh* mesh, std::size_t vertexCount,
                                         const std::function<std::array<float, 3>(std::uint32_t)>& position,
                                         const std::string& nodeName, PassedOver passed, Warnings* warnings) {
    // Each vertex looked at once: unseen, at a position not finite, usable, or numbered.
    constexpr std::uint32_t kUnseen = 0xFFFFFFFFu, kBad = kUnseen - 1, kGood = kUnseen - 2;
    std::vector<std::uint32_t> remap(vertexCount, kUnseen);
    std::vector<std::uint32_t> used;
    std::size_t kept = 0;
    for (std::array<std::uint32_t, 3> f : mesh->faces) {
        if (f[0] >= vertexCount || f[1] >= vertexCount || f[2] >= vertexCount) {
            ++passed.outOfRange;
            continue;
        }
        for (std::uint32_t c : f)
            if (remap[c] == kUnseen) remap[c] = Finite(position(c)) ? kGood : kBad;
        if (remap[f[0]] == kBad || remap[f[1]] == kBad || remap[f[2]] == kBad) {
            ++passed.notFinite;
            continue;
        }
        for (std::uint32_t& c : f) {
            if (remap[c] == kGood) {
                remap[c] = static_cast<std::uint32_t>(used.size());
                used.push_back(c);
            }
            c = remap[c];
        }
        mesh->faces[kept++] = f;
    }
    mesh->faces.resize(kept);
    // Counted per mesh, so that each example says how many of its kind it stands for.
    passed.Report(nodeName, mesh->faces.empty(), warnings);
    mesh->verts = Gather(used, position);
    return used;
}

TextureResolver::TextureResolver(const std::string& sourcePath, const AssimpImportOptions& options, Warnings* warnings)
    : files_(options.outputPath.empty() ? nullptr : options.textureFiles), warnings_(warnings),
      sourceDir_(fs::path(sourcePath).parent_path()), outputDir_(fs::path(options.outputPath).parent_path()),
      outputStem_(fs::path(options.outputPath).stem().string()) {
    if (outputStem_.empty()) outputStem_ = "texture";
}

std::string TextureResolver::External(const std::string& reference) {
    if (const auto cached = external_.find(reference); cached != external_.end()) return cached->second;
    std::string& hostPath = external_[reference];
    std::string slashed = reference;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const fs::path asWritten = IsAbsoluteSourcePath(reference) ? fs::path(slashed) : sourceDir_ / slashed;
    const std::string fileName = fs::path(slashed).filename().string();
    std::error_code ec;
    for (const fs::path& c : {asWritten, sourceDir_ / fileName})
        if (!fileName.empty() && fs::is_regular_file(c, ec)) return hostPath = HostPath(c);
    // Written on a system where names ignore letter case.
    for (const fs::path& dir : {asWritten.parent_path(), sourceDir_}) {
        TextureFolders& folder = folders_.try_emplace(dir.string(), std::vector<std::string>{dir.string()}).first->second;
        if (const std::optional<std::string> found = folder.Find(fileName)) return hostPath = HostPath(*found);
    }
    warnings_->Add(WarningKind::TexturesMissing, QuotedName(reference));
    return hostPath = ToBackslashes(reference);
}

std::string TextureResolver::Embedded(const std::string& key, const std::function<Image()>& read,
                                      const std::string& materialName, int slot) {
    if (const auto known = embedded_.find(key); known != embedded_.end()) return known->second;
    Image image = read();
    std::string extension = SafeFileName(Lower(image.extension));
    if (extension == "texture") extension = "bin";
    std::replace(image.ownName.begin(), image.ownName.end(), '\\', '/');
    std::string stem = fs::path(image.ownName).stem().string();
    if (stem.empty()) stem = materialName + "_" + SlotWord(slot);
    const std::string base = CutForName(SafeFileName(outputStem_ + "_" + stem), extension);
    const std::string wanted = base + "." + extension;
    std::string name = wanted;
    int& suffix = nextSuffix_[Lower(wanted)];
    TextureFiles::NameUse use = TextureFiles::NameUse::Free;
    bool takenOnDisk = false;
    for (;;) {
        while (usedNames_.count(Lower(name)) != 0) name = base + "_" + std::to_string(++suffix + 1) + "." + extension;
        usedNames_.insert(Lower(name));
        // A file of that name with other content is never overwritten.
        use = files_ != nullptr ? files_->Use((outputDir_ / name).string(), image.bytes) : use;
        if (use != TextureFiles::NameUse::Taken) break;
        takenOnDisk = true;
    }
    if (takenOnDisk)
        warnings_->Add(WarningKind::TexturesRenamed, QuotedName(wanted) + " is another file; this one is " + QuotedName(name));
    const std::string hostPath = outputDir_.empty() ? name : HostPath(outputDir_ / name);
    embedded_.emplace(key, hostPath);
    pending_.push_back({name, std::move(image.bytes), use == TextureFiles::NameUse::Free});
    return hostPath;
}

ToolResult<void> TextureResolver::WritePending() const {
    if (files_ == nullptr) return {};
    for (const PendingTexture& f : pending_) {
        if (!f.write) continue;
        ToolResult<void> written = files_->Write((outputDir_ / f.fileName).string(), f.bytes);
        if (!written.Ok()) return written;
    }
    return {};
}

int MaterialList::Of(std::size_t index, const std::function<SceneMaterial()>& read) {
    if (index >= bySource_.size()) bySource_.resize(index + 1, -1);
    if (bySource_[index] >= 0) return bySource_[index];
    SceneMaterial material = read();
    std::vector<int>& sameName = bySourceName_[material.name];
    for (int existing : sameName) {
        if (SameContent((*out_)[static_cast<std::size_t>(existing)], material)) {
            ++*merged_;
            return bySource_[index] = existing;
        }
    }
    const std::string name = material.name;
    std::string unique = name;
    int& suffix = nextSuffix_[name];
    while (names_.count(unique) != 0) unique = name + " (" + std::to_string(++suffix + 1) + ")";
    if (unique != name) warnings_->Add(WarningKind::MaterialsRenamed, QuotedName(name) + " -> " + QuotedName(unique));
    names_.insert(unique);
    material.name = unique;
    sameName.push_back(static_cast<int>(out_->size()));
    out_->push_back(std::move(material));
    return bySource_[index] = sameName.back();
}

}  // namespace wux
