#include "input/assimp_import.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "format/tool_text.h"
#include "input/imported_scene.h"
#include "input/mesh_reader.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// The 16 values of a matrix lie one after another (as its operator[] takes them).
bool AllFinite(const aiMatrix4x4& m) { return std::all_of(m[0], m[0] + 16, [](float v) { return std::isfinite(v); }); }
std::array<float, 3> Vec3(const aiVector3D& v) { return {v.x, v.y, v.z}; }

// Assimp's matrices act on column vectors and are stored row by row, so the host's axis
// row i is Assimp's column i.
SceneMatrix ToHostRows(const aiMatrix4x4& m) {
    SceneMatrix out;
    for (unsigned i = 0; i < 4; ++i)
        for (unsigned j = 0; j < 3; ++j) out.rows[i][j] = m[j][i];
    return out;
}

// The rotation taking the file's right axis to +X and its up axis to +Z, from the axis
// metadata Assimp's FBX reader leaves on the scene (axis 0, 1, 2 = X, Y, Z; sign +1 or -1).
bool AxisSystemRotation(const aiMetadata* meta, aiMatrix4x4* out) {
    if (meta == nullptr) return false;
    int32_t up = -1, upSign = 1, coord = -1, coordSign = 1;
    if (!meta->Get("UpAxis", up) || !meta->Get("CoordAxis", coord)) return false;
    meta->Get("UpAxisSign", upSign);
    meta->Get("CoordAxisSign", coordSign);
    if (up < 0 || up > 2 || coord < 0 || coord > 2 || up == coord) return false;
    aiVector3D x, z;
    x[static_cast<unsigned>(coord)] = coordSign < 0 ? -1.0f : 1.0f;
    z[static_cast<unsigned>(up)] = upSign < 0 ? -1.0f : 1.0f;
    const aiVector3D y = z ^ x;  // keeps the result a rotation, whatever the front axis says
    *out = aiMatrix4x4(x.x, x.y, x.z, 0,
                       y.x, y.y, y.z, 0,
                       z.x, z.y, z.z, 0,
                       0, 0, 0, 1);
    return true;
}

// The correction applied above the source's root node so that the scene stands Z-up.
aiMatrix4x4 FrameCorrection(const aiScene& scene, const std::string& path, AssimpImportOptions::Up up) {
    using Up = AssimpImportOptions::Up;
    // +90 degrees about X: (x, y, z) becomes (x, -z, y), so a Y-up scene stands on +Z.
    const aiMatrix4x4 toZUp(1, 0, 0, 0,
                            0, 0, -1, 0,
                            0, 1, 0, 0,
                            0, 0, 0, 1);
    // Assimp turns these Z-up formats to Y-up itself, by a -90 degree turn about X at the root:
    // undo its turn to get the data as written, then apply the frame asked for.
    if (HasExtension(path, ".3ds") || HasExtension(path, ".ase") || HasExtension(path, ".ask"))
        return up == Up::Y ? toZUp * toZUp : toZUp;
    if (up == Up::Z) return aiMatrix4x4();
    if (up == Up::Y) return toZUp;
    // Auto. COLLADA arrives Y-up: Assimp has already applied the file's up_axis.
    aiMatrix4x4 r;
    if (HasExtension(path, ".fbx") && AxisSystemRotation(scene.mMetaData, &r)) return r;
    return toZUp;  // glTF, OBJ and Assimp's own convention
}

// --- Textures ------------------------------------------------------------------------

struct SlotKinds {
    int slot;
    std::vector<aiTextureType> kinds;  // the first kind that has a texture fills the slot
};

const SlotKinds kMapSlots[] = {
    {0, {aiTextureType_AMBIENT}},
    {1, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR}},
    {2, {aiTextureType_SPECULAR}},
    {3, {aiTextureType_SHININESS}},
    {5, {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR}},
    {6, {aiTextureType_OPACITY}},
    {8, {aiTextureType_NORMALS, aiTextureType_NORMAL_CAMERA, aiTextureType_HEIGHT}},
    {9, {aiTextureType_REFLECTION}},
    {11, {aiTextureType_DISPLACEMENT}},
};

// 32-bit uncompressed TGA, top-left origin: Assimp's texels are already B, G, R, A.
bool EncodeTga(const aiTexture& tex, std::vector<unsigned char>* out) {
    if (tex.mWidth == 0 || tex.mHeight == 0 || tex.mWidth > 0xFFFF || tex.mHeight > 0xFFFF) return false;
    const std::size_t count = static_cast<std::size_t>(tex.mWidth) * tex.mHeight;
    const auto byte = [](unsigned v) { return static_cast<unsigned char>(v & 0xFF); };
    // Uncompressed true colour (2), width and height, 32 bits a pixel, 8 of them alpha, rows from the top (0x28).
    *out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, byte(tex.mWidth), byte(tex.mWidth >> 8), byte(tex.mHeight), byte(tex.mHeight >> 8), 32, 0x28};
    static_assert(sizeof(aiTexel) == 4, "texels are four bytes, B, G, R, A");
    const auto* texels = reinterpret_cast<const unsigned char*>(tex.pcData);
    out->insert(out->end(), texels, texels + count * 4);
    return true;
}

// The host path of a material's texture reference: an embedded texture of the scene ("*0" or
// its own name), else a file beside the source.
std::string TexturePath(const aiScene& scene, TextureResolver* textures, const std::string& reference,
                        const std::string& materialName, int slot) {
    // A named pair, not a structured binding: a lambda may not capture a binding in C++17.
    const auto found = scene.GetEmbeddedTextureAndIndex(reference.c_str());
    const aiTexture* tex = found.first;
    if (tex == nullptr) return textures->External(reference);
    return textures->Embedded("*" + std::to_string(found.second), [&] {
        const std::string where = "material '" + materialName + "': embedded texture " + reference;
        TextureResolver::Image image{{}, tex->mFilename.C_Str(), "tga"};
        if (tex->mHeight == 0) {
            if (tex->pcData == nullptr && tex->mWidth != 0) FailImport(where + " has no data");
            const unsigned char* data = reinterpret_cast<const unsigned char*>(tex->pcData);
            image.bytes.assign(data, data + tex->mWidth);
            image.extension = std::string(tex->achFormatHint, strnlen(tex->achFormatHint, HINTMAXTEXTURELEN));
        } else if (!EncodeTga(*tex, &image.bytes)) {
            FailImport(where + " is too large to write (" + std::to_string(tex->mWidth) + " x " +
                       std::to_string(tex->mHeight) + ")");
        }
        return image;
    }, materialName, slot);
}

// --- The scene walk ------------------------------------------------------------------

// f on every node of the hierarchy, without recursion: it may not be validated yet.
template <class F>
void ForEachSourceNode(aiNode* root, const F& f) {
    std::vector<aiNode*> stack{root};
    while (!stack.empty()) {
        aiNode* n = stack.back();
        stack.pop_back();
        if (n == nullptr) continue;
        f(*n);
        if (n->mChildren != nullptr) stack.insert(stack.end(), n->mChildren, n->mChildren + n->mNumChildren);
    }
}

class SceneConverter {
public:
    // Each source mesh is freed once the last node using it has its copy, so that the
    // geometry is not held twice.
    SceneConverter(aiScene* scene, const AssimpImportOptions& options, TextureResolver* textures,
                   SceneDescription* out, Warnings* warnings, ImportCounts* counts)
        : scene_(*scene), options_(options), textures_(textures), out_(out), warnings_(warnings), counts_(counts),
          usesLeft_(scene->mNumMeshes, 0), materials_(&out->materials, &counts->materialsMerged, warnings) {
        for (unsigned i = 0; i < scene->mNumCameras; ++i) cameras_.insert(scene->mCameras[i]->mName.C_Str());
        for (unsigned i = 0; i < scene->mNumLights; ++i) lights_.insert(scene->mLights[i]->mName.C_Str());
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
            const aiMesh* m = scene->mMeshes[i];
            for (unsigned b = 0; b < m->mNumBones; ++b) bones_.insert(m->mBones[b]->mName.C_Str());
        }
        ForEachSourceNode(scene->mRootNode, [this](const aiNode& n) {
            for (unsigned i = 0; i < n.mNumMeshes; ++i)
                if (n.mMeshes[i] < usesLeft_.size()) ++usesLeft_[n.mMeshes[i]];
        });
    }

    void Run(const aiMatrix4x4& correction) {
        const aiNode* root = scene_.mRootNode;
        const aiMatrix4x4 rootLocal = correction * root->mTransformation;
        // The root is Assimp's container for the file's scene; it becomes a node of its own
        // only when it holds meshes (as PLY and STL roots do), and never a helper.
        if (root->mNumMeshes > 0) return ConvertNode(*root, rootLocal, 0, /*isRoot=*/true, false, &out_->nodes);
        for (unsigned i = 0; i < root->mNumChildren; ++i) {
            const aiNode& child = *root->mChildren[i];
            ConvertNode(child, rootLocal * child.mTransformation, 1, false, false, &out_->nodes);
        }
    }

private:
    // belowBone: the node hangs below a bone, as the end markers of a skeleton do.
    void ConvertNode(const aiNode& n, const aiMatrix4x4& local, int depth, bool isRoot, bool belowBone,
                     std::vector<SceneNode>* siblings) {
        SourceNode source;
        source.name = n.mName.C_Str();
        CheckNodeDepth(source.name, depth);
        CheckNodeTransform(source.name, AllFinite(local));
        source.local = ToHostRows(local);
        source.hasMesh = n.mNumMeshes > 0;
        source.meshes = n.mNumMeshes;
        source.camera = cameras_.count(source.name) != 0;
        source.light = lights_.count(source.name) != 0;
        source.bone = n.mNumMeshes == 0 && (belowBone || bones_.count(source.name) != 0);
        source.leaf = n.mNumChildren == 0;
        source.root = isRoot;
        source.mesh = [this, &n](std::size_t i) { return ConvertMesh(n.mMeshes[i], n.mName.C_Str()); };
        source.radius = [this, &n] { return SphereRadius(n); };
        source.helperSize = [this, &n] { return HelperSizeOf(n); };
        SceneNode node = ImportNode(source, options_, warnings_);
        for (unsigned i = 0; i < n.mNumChildren; ++i) {
            const aiNode& child = *n.mChildren[i];
            ConvertNode(child, child.mTransformation, depth + 1, false, source.bone, &node.children);
        }
        siblings->push_back(std::move(node));
    }

    float HelperSizeOf(const aiNode& n) {
        const aiMetadata* meta = n.mMetaData;
        const aiMetadataEntry* entry = nullptr;
        for (unsigned i = 0; meta != nullptr && entry == nullptr && i < meta->mNumProperties; ++i)
            if (Lower(meta->mKeys[i].C_Str()) == "size") entry = &meta->mValues[i];
        double v = kDefaultHelperSize;
        const char* text = nullptr;
        if (entry != nullptr && entry->mData != nullptr) {
            switch (entry->mType) {
                case AI_INT32: v = *static_cast<const int32_t*>(entry->mData); break;
                case AI_UINT64: v = static_cast<double>(*static_cast<const uint64_t*>(entry->mData)); break;
                case AI_FLOAT: v = *static_cast<const float*>(entry->mData); break;
                case AI_DOUBLE: v = *static_cast<const double*>(entry->mData); break;
                case AI_AISTRING: text = static_cast<const aiString*>(entry->mData)->C_Str(); break;
                default: break;
            }
        }
        return HelperSize(n.mName.C_Str(), v, text, warnings_);
    }

    // The largest distance of the node's vertices from its origin, in the node's own space.
    float SphereRadius(const aiNode& n) const {
        double best = 0.0;
        for (unsigned i = 0; i < n.mNumMeshes; ++i) {
            if (n.mMeshes[i] >= scene_.mNumMeshes) continue;
            const aiMesh& m = *scene_.mMeshes[n.mMeshes[i]];
            for (unsigned v = 0; v < m.mNumVertices; ++v) {
                const aiVector3D& p = m.mVertices[v];
                if (Finite(Vec3(p))) best = std::max(best, std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z));
            }
        }
        const float r = ToFloat(best);
        return std::isfinite(r) ? r : 0.0f;
    }

    // The source mesh's triangles on a node of their own; a node without an object when none is
    // left. The source mesh is freed after its last use.
    SceneNode ConvertMesh(unsigned index, const std::string& nodeName) {
        if (index >= scene_.mNumMeshes) return SceneNode();  // validation refuses these already
        const aiMesh& m = *scene_.mMeshes[index];
        SceneMesh mesh;
        mesh.faces.reserve(m.mNumFaces);
        PassedOver skipped;
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const aiFace& face = m.mFaces[f];
            if (face.mNumIndices == 3) mesh.faces.push_back({face.mIndices[0], face.mIndices[1], face.mIndices[2]});
            else ++(face.mNumIndices == 1 ? skipped.points : face.mNumIndices == 2 ? skipped.lines : skipped.polygons);
        }
        const std::vector<std::uint32_t> used =
            KeepTriangles(&mesh, m.mNumVertices, [&m](std::uint32_t i) { return Vec3(m.mVertices[i]); }, nodeName,
                          skipped, warnings_);
        SceneNode node;
        if (!mesh.faces.empty()) {
            if (m.mNormals != nullptr) mesh.normals = Gather(used, [&m](std::uint32_t i) { return Vec3(m.mNormals[i]); });
            if (m.mTextureCoords[0] != nullptr) {
                mesh.tverts = Gather(used, [&m](std::uint32_t i) {
                    const aiVector3D& t = m.mTextureCoords[0][i];
                    return std::array<float, 3>{t.x, t.y, m.mNumUVComponents[0] > 2 ? t.z : 0.0f};
                });
            }
            node = MeshNode(std::move(mesh), nodeName, SceneMatrix(), -1, options_, warnings_, counts_);
            node.material = UseMaterial(m.mMaterialIndex);
        }
        if (--usesLeft_[index] == 0) {
            delete scene_.mMeshes[index];
            scene_.mMeshes[index] = nullptr;
        }
        return node;
    }

    int UseMaterial(unsigned index) {
        if (index >= scene_.mNumMaterials) return -1;
        return materials_.Of(index, [&] { return ConvertMaterial(*scene_.mMaterials[index], index); });
    }

    // Whether the material has the colour; one not finite keeps the default, with a warning.
    bool ReadColour(const aiMaterial& m, const char* key, unsigned type, unsigned idx, const std::string& name,
                    std::array<float, 3>* out) {
        aiColor4D c;
        if (m.Get(key, type, idx, c) != AI_SUCCESS) return false;
        if (std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b)) *out = {c.r, c.g, c.b};
        else warnings_->Add(WarningKind::ValuesRepaired, QuotedName(name) + ": colour " + key + " not finite, default kept");
        return true;
    }

    SceneMaterial ConvertMaterial(const aiMaterial& m, unsigned index) {
        SceneMaterial out;
        aiString aiName;
        if (m.Get(AI_MATKEY_NAME, aiName) == AI_SUCCESS) out.name = aiName.C_Str();
        if (out.name.empty()) out.name = "Material #" + std::to_string(index);
        const std::string& name = out.name;
        if (!ReadColour(m, AI_MATKEY_COLOR_DIFFUSE, name, &out.diffuse)) ReadColour(m, AI_MATKEY_BASE_COLOR, name, &out.diffuse);
        ReadColour(m, AI_MATKEY_COLOR_AMBIENT, name, &out.ambient);
        ReadColour(m, AI_MATKEY_COLOR_SPECULAR, name, &out.specular);
        float opacity = 1.0f;
        if (m.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) {
            if (std::isfinite(opacity)) out.opacity = opacity;
            else warnings_->Add(WarningKind::ValuesRepaired, QuotedName(name) + ": opacity not finite, default kept");
        }
        int twoSided = 0;
        if (m.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS && twoSided != 0)
            warnings_->Add(WarningKind::DoubleSidedDropped, QuotedName(name));
        for (const SlotKinds& slot : kMapSlots) {
            for (aiTextureType kind : slot.kinds) {
                aiString reference;
                if (m.GetTextureCount(kind) == 0 || m.GetTexture(kind, 0, &reference) != AI_SUCCESS || reference.length == 0)
                    continue;
                out.maps.push_back({slot.slot, true, SceneMap::Kind::Bitmap,
                                    TexturePath(scene_, textures_, reference.C_Str(), name, slot.slot), "", 1.0f});
                break;
            }
        }
        return out;
    }

    aiScene& scene_;
    const AssimpImportOptions& options_;
    TextureResolver* textures_;
    SceneDescription* out_;
    Warnings* warnings_;
    ImportCounts* counts_;
    std::vector<unsigned> usesLeft_;  // per source mesh, the nodes still to convert it
    MaterialList materials_;
    std::set<std::string> cameras_, lights_, bones_;
};

// Assimp's validation refuses a mesh without faces (a point cloud) or without vertices,
// which would refuse the whole file; neither holds anything the host imports as a mesh, so
// they are taken out before the validation runs.
void DropMeshesWithoutFaces(aiScene* scene, Warnings* warnings) {
    if (scene->mMeshes == nullptr || scene->mNumMeshes == 0) return;
    const unsigned count = scene->mNumMeshes;
    std::vector<int> newIndex(count, -1);
    unsigned kept = 0;
    for (unsigned i = 0; i < count; ++i) {
        aiMesh* m = scene->mMeshes[i];
        if (m == nullptr || (m->mNumFaces > 0 && m->mNumVertices > 0)) {
            newIndex[i] = static_cast<int>(kept);
            scene->mMeshes[kept++] = m;
            continue;
        }
        const std::string name = m->mName.C_Str();
        if (m->mNumVertices > 0) {
            warnings->Add(WarningKind::PrimitivesSkipped, "mesh " + QuotedName(name) + ": " + Plural(m->mNumVertices, "point", "points"),
                          m->mNumVertices);
        } else {
            warnings->Add(WarningKind::EmptyMeshes, "mesh " + QuotedName(name));
        }
        delete m;
    }
    if (kept == count) return;
    scene->mNumMeshes = kept;
    if (kept == 0) {
        delete[] scene->mMeshes;
        scene->mMeshes = nullptr;
        scene->mFlags |= AI_SCENE_FLAGS_INCOMPLETE;  // a scene without meshes, which validation allows
    }
    ForEachSourceNode(scene->mRootNode, [&](aiNode& n) {
        if (n.mMeshes == nullptr) return;
        unsigned out = 0;
        for (unsigned k = 0; k < n.mNumMeshes; ++k) {
            const unsigned old = n.mMeshes[k];
            if (old >= count) n.mMeshes[out++] = old;  // left for the validation to refuse
            else if (newIndex[old] >= 0) n.mMeshes[out++] = static_cast<unsigned>(newIndex[old]);
        }
        n.mNumMeshes = out;
    });
}

// Assimp's share of the read (the file, then its post-processing) passed on; never stops it.
struct ProgressReport : Assimp::ProgressHandler {
    explicit ProgressReport(ReadProgress p) : progress(std::move(p)) {}
    bool Update(float percentage) override {
        if (percentage >= 0.0f) progress(percentage);
        return true;
    }

    ReadProgress progress;
};

ToolResult<SceneDescription> Import(const std::string& path, const AssimpImportOptions& options, Warnings* warnings,
                                    ImportCounts* counts) {
    auto fail = [&](ToolError::Kind kind, std::string message) {
        return ToolError::Of(kind, path, std::move(message));
    };
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return fail(ToolError::Kind::Input, "no such file");
    Assimp::Importer importer;
    if (options.progress) importer.SetProgressHandler(new ProgressReport(options.progress));  // owned by the importer
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    // Without this, a file with no meshes gets a made-up mesh drawing its node hierarchy.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
    // A forced up axis takes the data as written, so Assimp must not apply up_axis itself.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_IGNORE_UP_DIRECTION,
                             options.up != AssimpImportOptions::Up::Auto);
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, 0);  // keep points and lines, to count them
    // No vertex weld: the file is a triangle soup, so a weld changes nothing in it but costs
    // a hash of every vertex; normals are made from positions, whether shared or not.
    const unsigned flags = aiProcess_ValidateDataStructure | aiProcess_Triangulate | aiProcess_SortByPType;
    // Read first, take out what validation would refuse the file for, then validate and
    // post-process.
    const aiScene* source = importer.ReadFile(path, 0);
    if (source != nullptr) {
        DropMeshesWithoutFaces(const_cast<aiScene*>(source), warnings);
        source = importer.ApplyPostProcessing(flags);
    }
    if (source == nullptr) {
        // Assimp catches a failed allocation and keeps only its text: it is still out of memory.
        if (std::strstr(importer.GetErrorString(), "bad_alloc") != nullptr) throw std::bad_alloc();
        return fail(ToolError::Kind::Import, std::string("Assimp cannot read the file: ") + importer.GetErrorString());
    }
    if (source->mRootNode == nullptr) return fail(ToolError::Kind::Import, "the file holds no scene");

    // Ours from here, so that meshes can go as soon as they are converted and the rest as
    // soon as the conversion is done.
    const std::unique_ptr<aiScene> owned(importer.GetOrphanedScene());
    SceneDescription result;
    TextureResolver textures(path, options, warnings);
    ImportCounts ownCounts;
    SceneConverter converter(owned.get(), options, &textures, &result, warnings, counts != nullptr ? counts : &ownCounts);
    converter.Run(FrameCorrection(*owned, path, options.up));
    // Said of the scene file being imported, with the texture's own error as the cause.
    if (const ToolResult<void> written = textures.WritePending(); !written.Ok())
        return fail(written.Error().kind, written.Error().Text());
    return result;
}

}  // namespace

ToolResult<SceneDescription> ImportWithAssimp(const std::string& path, const AssimpImportOptions& options,
                                              Warnings* warnings, ImportCounts* counts) {
    try {
        return Import(path, options, warnings, counts);
    } catch (const ImportFault& f) {
        return ToolError::Of(ToolError::Kind::Import, path, f.message);
    } catch (const std::bad_alloc&) {
        throw;  // the command's own "out of memory"
    } catch (const std::exception& e) {
        return ToolError::Of(ToolError::Kind::Import, path, std::string("import failed: ") + e.what());
    } catch (...) {
        return ToolError::Of(ToolError::Kind::Import, path, "import failed");
    }
}

}  // namespace wux
