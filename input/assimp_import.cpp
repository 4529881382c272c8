#include "input/assimp_import.h"
#include "input/imported_scene.h"

#include "input/mesh_normals.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "collect/node_route.h"
#include "format/tool_text.h"

namespace wux {
namespace {

namespace fs = std::filesystem;

// Short names for the kinds this importer reports.
constexpr WarningKind kPrimitivesSkipped = WarningKind::PrimitivesSkipped;
constexpr WarningKind kFacesDropped = WarningKind::FacesDropped;
constexpr WarningKind kEmptyMeshes = WarningKind::EmptyMeshes;
constexpr WarningKind kValuesRepaired = WarningKind::ValuesRepaired;
constexpr WarningKind kNodesPassedOver = WarningKind::NodesPassedOver;

std::string ExtensionOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    return Lower(ext);
}

bool Finite(float v) { return std::isfinite(v); }
bool Finite(const aiVector3D& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }
bool Finite(const aiMatrix4x4& m) {
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned c = 0; c < 4; ++c)
            if (!Finite(m[r][c])) return false;
    return true;
}

// Assimp's matrices act on column vectors and are stored row by row, so the host's axis
// row i is Assimp's column i.
SceneMatrix ToHostRows(const aiMatrix4x4& m) {
    SceneMatrix out;
    for (unsigned i = 0; i < 4; ++i)
        for (unsigned j = 0; j < 3; ++j) out.rows[i][j] = m[j][i];
    return out;
}

// +90 degrees about X: (x, y, z) becomes (x, -z, y), so a Y-up scene stands on +Z.
aiMatrix4x4 YUpToZUp() {
    return aiMatrix4x4(1, 0, 0, 0,
                       0, 0, -1, 0,
                       0, 1, 0, 0,
                       0, 0, 0, 1);
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

enum class SourceKind { Other, Fbx, Collada, NativeZUp };

SourceKind KindOf(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    if (ext == "fbx") return SourceKind::Fbx;
    if (ext == "dae" || ext == "zae") return SourceKind::Collada;
    // Assimp turns these Z-up formats to Y-up itself, by a -90 degree turn about X at the root.
    if (ext == "3ds" || ext == "ase" || ext == "ask") return SourceKind::NativeZUp;
    return SourceKind::Other;
}

// The correction applied above the source's root node so that the scene stands Z-up.
aiMatrix4x4 FrameCorrection(const aiScene& scene, SourceKind kind, AssimpImportOptions::Up up) {
    using Up = AssimpImportOptions::Up;
    const aiMatrix4x4 toZUp = YUpToZUp();
    if (kind == SourceKind::NativeZUp) {
        // Undo Assimp's turn to get the data as written, then apply the frame asked for.
        return up == Up::Y ? toZUp * toZUp : toZUp;
    }
    if (up == Up::Z) return aiMatrix4x4();
    if (up == Up::Y) return toZUp;
    // Auto. COLLADA arrives Y-up: Assimp has already applied the file's up_axis.
    if (kind == SourceKind::Fbx) {
        aiMatrix4x4 r;
        if (AxisSystemRotation(scene.mMetaData, &r)) return r;
    }
    return toZUp;  // glTF, OBJ and Assimp's own convention
}

// --- Textures ------------------------------------------------------------------------

struct SlotKinds {
    int slot;
    std::vector<aiTextureType> kinds;  // the first kind that has a texture fills the slot
};

const std::vector<SlotKinds>& MapSlots() {
    static const std::vector<SlotKinds> slots = {
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
    return slots;
}

// 32-bit uncompressed TGA, top-left origin: Assimp's texels are already B, G, R, A.
bool EncodeTga(const aiTexture& tex, std::vector<unsigned char>* out) {
    if (tex.mWidth == 0 || tex.mHeight == 0 || tex.mWidth > 0xFFFF || tex.mHeight > 0xFFFF) return false;
    const std::size_t count = static_cast<std::size_t>(tex.mWidth) * tex.mHeight;
    out->assign(18, 0);
    (*out)[2] = 2;  // uncompressed true colour
    (*out)[12] = static_cast<unsigned char>(tex.mWidth & 0xFF);
    (*out)[13] = static_cast<unsigned char>(tex.mWidth >> 8);
    (*out)[14] = static_cast<unsigned char>(tex.mHeight & 0xFF);
    (*out)[15] = static_cast<unsigned char>(tex.mHeight >> 8);
    (*out)[16] = 32;
    (*out)[17] = 0x28;  // 8 alpha bits, rows from the top
    out->reserve(18 + count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const aiTexel& t = tex.pcData[i];
        out->insert(out->end(), {t.b, t.g, t.r, t.a});
    }
    return true;
}

// The host path of a material's texture reference: an embedded texture of the scene ("*0" or
// its own name), else a file beside the source.
bool ResolveTexture(const aiScene& scene, TextureResolver* textures, const std::string& reference,
                    const std::string& materialName, int slot, std::string* hostPath, std::string* error) {
    const auto [tex, index] = scene.GetEmbeddedTextureAndIndex(reference.c_str());
    if (tex == nullptr) {
        *hostPath = textures->External(reference);
        return true;
    }
    const std::string key = "*" + std::to_string(index);
    if (textures->Known(key, hostPath)) return true;
    std::vector<unsigned char> bytes;
    std::string extension = "tga";
    if (tex->mHeight == 0) {
        if (tex->pcData == nullptr && tex->mWidth != 0) {
            *error = "embedded texture " + reference + " has no data";
            return false;
        }
        const unsigned char* data = reinterpret_cast<const unsigned char*>(tex->pcData);
        bytes.assign(data, data + tex->mWidth);
        extension = std::string(tex->achFormatHint, strnlen(tex->achFormatHint, HINTMAXTEXTURELEN));
    } else if (!EncodeTga(*tex, &bytes)) {
        *error = "embedded texture " + reference + " is too large to write (" + std::to_string(tex->mWidth) + " x " +
                 std::to_string(tex->mHeight) + ")";
        return false;
    }
    *hostPath = textures->Embedded(key, std::move(bytes), tex->mFilename.C_Str(), extension, materialName, slot);
    return true;
}

// --- The scene walk ------------------------------------------------------------------

class SceneConverter {
public:
    SceneConverter(const aiScene& scene, const AssimpImportOptions& options, TextureResolver* textures,
                   SceneDescription* out, Warnings* warnings, ImportCounts* counts)
        : scene_(scene), options_(options), textures_(textures), out_(out), warnings_(warnings), counts_(counts),
          materialIndex_(scene.mNumMaterials, -1), materials_(&out->materials, &counts->materialsMerged, warnings) {
        for (unsigned i = 0; i < scene.mNumCameras; ++i) cameras_.insert(scene.mCameras[i]->mName.C_Str());
        for (unsigned i = 0; i < scene.mNumLights; ++i) lights_.insert(scene.mLights[i]->mName.C_Str());
        for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
            const aiMesh* m = scene.mMeshes[i];
            for (unsigned b = 0; b < m->mNumBones; ++b) bones_.insert(m->mBones[b]->mName.C_Str());
        }
    }

    // From here on each source mesh is freed once the last node using it has its copy, so
    // that the geometry is not held twice. scene must be the one being converted.
    void FreeMeshesAfterUse(aiScene* scene) {
        owned_ = scene;
        usesLeft_.assign(scene->mNumMeshes, 0);
        std::vector<const aiNode*> stack{scene->mRootNode};
        while (!stack.empty()) {
            const aiNode* n = stack.back();
            stack.pop_back();
            for (unsigned i = 0; i < n->mNumMeshes; ++i)
                if (n->mMeshes[i] < scene->mNumMeshes) ++usesLeft_[n->mMeshes[i]];
            for (unsigned i = 0; i < n->mNumChildren; ++i) stack.push_back(n->mChildren[i]);
        }
    }

    bool Run(const aiMatrix4x4& correction, std::string* error) {
        const aiNode* root = scene_.mRootNode;
        const aiMatrix4x4 rootLocal = correction * root->mTransformation;
        // The root is Assimp's container for the file's scene; it becomes a node of its own
        // only when it holds meshes (as PLY and STL roots do), and never a helper.
        if (root->mNumMeshes > 0) {
            return ConvertNode(*root, rootLocal, 0, /*isRoot=*/true, false, &out_->nodes, error);
        }
        for (unsigned i = 0; i < root->mNumChildren; ++i) {
            const aiNode& child = *root->mChildren[i];
            if (!ConvertNode(child, rootLocal * child.mTransformation, 1, false, false, &out_->nodes, error)) return false;
        }
        return true;
    }

private:
    // belowBone: the node hangs below a bone, as the end markers of a skeleton do.
    bool ConvertNode(const aiNode& n, const aiMatrix4x4& local, int depth, bool isRoot, bool belowBone,
                     std::vector<SceneNode>* siblings, std::string* error) {
        const std::string name = n.mName.C_Str();
        if (depth > kMaxNodeDepth) {
            *error = "node '" + name + "': the hierarchy is nested deeper than " + std::to_string(kMaxNodeDepth) + " levels";
            return false;
        }
        if (!Finite(local)) {
            *error = "node '" + name + "': its transform holds a value that is not finite";
            return false;
        }
        SceneNode node;
        node.name = name;
        node.origin = name;
        node.local = ToHostRows(local);

        std::vector<SceneNode> extraMeshNodes;
        const bool bone = n.mNumMeshes == 0 && (belowBone || bones_.count(name) != 0);
        if (name == kBoundSphereNodeName || name == kEllipsoidNodeName) {
            // An empty one (as wux convert writes them) is a unit sphere under the node's scale.
            node.object.type = SceneObject::Type::Sphere;
            node.object.radius = n.mNumMeshes > 0 ? SphereRadius(n) : 1.0f;
            node.object.segments = kSphereSegments;
        } else if (n.mNumMeshes > 0) {
            int made = 0;
            for (unsigned i = 0; i < n.mNumMeshes; ++i) {
                if (n.mMeshes[i] >= scene_.mNumMeshes) continue;  // validation refuses these already
                SceneObject object;
                int material = -1;
                if (!ConvertMesh(*scene_.mMeshes[n.mMeshes[i]], name, &object, &material, error)) return false;
                DoneWithMesh(n.mMeshes[i]);
                if (!object.IsTriangleMesh()) continue;
                if (made == 0) {
                    node.object = std::move(object);
                    node.material = material;
                } else {
                    // One stand-in node per mesh, sitting on the source node's origin.
                    SceneNode extra;
                    extra.name = name + "_" + std::to_string(made);
                    extra.origin = name + " (mesh " + std::to_string(i) + ")";
                    extra.object = std::move(object);
                    extra.material = material;
                    extraMeshNodes.push_back(std::move(extra));
                }
                ++made;
            }
            if (made == 0) warnings_->Add(kNodesPassedOver, QuotedName(name) + ": no triangles");
        } else if (cameras_.count(name) != 0) {
            node.object.type = SceneObject::Type::Camera;
        } else if (lights_.count(name) != 0) {
            node.object.type = SceneObject::Type::Light;
        } else if (bone) {
            if (n.mNumChildren == 0 && options_.helpers != AssimpImportOptions::Helpers::None)
                warnings_->Add(kNodesPassedOver, QuotedName(name) + ": bone");
        } else if (!isRoot && WantsHelper(n)) {
            node.object.type = SceneObject::Type::Helper;
            node.object.size = HelperSize(n);
        }

        for (SceneNode& extra : extraMeshNodes) node.children.push_back(std::move(extra));
        for (unsigned i = 0; i < n.mNumChildren; ++i) {
            const aiNode& child = *n.mChildren[i];
            if (!ConvertNode(child, child.mTransformation, depth + 1, false, bone, &node.children, error)) return false;
        }
        siblings->push_back(std::move(node));
        return true;
    }

    bool WantsHelper(const aiNode& n) const {
        switch (options_.helpers) {
            case AssimpImportOptions::Helpers::All: return true;
            case AssimpImportOptions::Helpers::Markers: return n.mNumChildren == 0;
            case AssimpImportOptions::Helpers::None: return false;
        }
        return false;
    }

    float HelperSize(const aiNode& n) {
        const aiMetadata* meta = n.mMetaData;
        if (meta == nullptr) return kDefaultHelperSize;
        const aiMetadataEntry* entry = nullptr;
        for (unsigned i = 0; i < meta->mNumProperties; ++i) {
            if (Lower(meta->mKeys[i].C_Str()) == "size") {
                entry = &meta->mValues[i];
                break;
            }
        }
        if (entry == nullptr || entry->mData == nullptr) return kDefaultHelperSize;
        double v = kDefaultHelperSize;
        switch (entry->mType) {
            case AI_INT32: v = *static_cast<const int32_t*>(entry->mData); break;
            case AI_UINT64: v = static_cast<double>(*static_cast<const uint64_t*>(entry->mData)); break;
            case AI_FLOAT: v = *static_cast<const float*>(entry->mData); break;
            case AI_DOUBLE: v = *static_cast<const double*>(entry->mData); break;
            case AI_AISTRING: {
                const char* s = static_cast<const aiString*>(entry->mData)->C_Str();
                char* end = nullptr;
                v = std::strtod(s, &end);
                if (end == s) v = kDefaultHelperSize;
                break;
            }
            default: break;
        }
        const float size = static_cast<float>(v);
        if (!Finite(size)) {
            warnings_->Add(kValuesRepaired, QuotedName(n.mName.C_Str()) + ": helper size");
            return kDefaultHelperSize;
        }
        return size;
    }

    void DoneWithMesh(unsigned index) {
        if (owned_ == nullptr || index >= usesLeft_.size() || --usesLeft_[index] != 0) return;
        delete owned_->mMeshes[index];
        owned_->mMeshes[index] = nullptr;
    }

    // The largest distance of the node's vertices from its origin, in the node's own space.
    float SphereRadius(const aiNode& n) const {
        double best = 0.0;
        for (unsigned i = 0; i < n.mNumMeshes; ++i) {
            if (n.mMeshes[i] >= scene_.mNumMeshes) continue;
            const aiMesh& m = *scene_.mMeshes[n.mMeshes[i]];
            for (unsigned v = 0; v < m.mNumVertices; ++v) {
                const aiVector3D& p = m.mVertices[v];
                if (!Finite(p)) continue;
                const double d = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
                best = std::max(best, d);
            }
        }
        const float r = static_cast<float>(best);
        return Finite(r) ? r : 0.0f;
    }

    // Fills *object with the mesh's triangles; leaves its type None when nothing is left.
    bool ConvertMesh(const aiMesh& m, const std::string& nodeName, SceneObject* object, int* material,
                     std::string* error) {
        const unsigned nv = m.mNumVertices;
        std::vector<uint32_t> remap(nv, UINT32_MAX);
        std::vector<uint32_t> used;
        std::vector<std::array<uint32_t, 3>> faces;
        faces.reserve(m.mNumFaces);
        // Counted per mesh, so that each example says how many of its kind it stands for.
        std::size_t points = 0, lines = 0, polygons = 0, outOfRange = 0, notFinite = 0;
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const aiFace& face = m.mFaces[f];
            if (face.mNumIndices != 3) {
                ++(face.mNumIndices == 1 ? points : face.mNumIndices == 2 ? lines : polygons);
                continue;
            }
            bool inRange = true, finite = true;
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned idx = face.mIndices[k];
                if (idx >= nv) inRange = false;
                else if (!Finite(m.mVertices[idx])) finite = false;
            }
            if (!inRange) {
                ++outOfRange;
                continue;
            }
            if (!finite) {
                ++notFinite;
                continue;
            }
            std::array<uint32_t, 3> tri{};
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned idx = face.mIndices[k];
                if (remap[idx] == UINT32_MAX) {
                    remap[idx] = static_cast<uint32_t>(used.size());
                    used.push_back(idx);
                }
                tri[k] = remap[idx];
            }
            faces.push_back(tri);
        }
        const std::string subject = QuotedName(nodeName) + ": ";
        if (points > 0) warnings_->Add(kPrimitivesSkipped, subject + Plural(points, "point", "points"), points);
        if (lines > 0) warnings_->Add(kPrimitivesSkipped, subject + Plural(lines, "line", "lines"), lines);
        if (polygons > 0) warnings_->Add(kPrimitivesSkipped, subject + Plural(polygons, "polygon", "polygons"), polygons);
        if (outOfRange > 0)
            warnings_->Add(kFacesDropped, subject + Plural(outOfRange, "face", "faces") + " with a vertex index out of range",
                           outOfRange);
        if (notFinite > 0)
            warnings_->Add(kFacesDropped, subject + Plural(notFinite, "face", "faces") + " with coordinates not finite",
                           notFinite);
        const bool reportedSkip = points + lines + polygons > 0;
        if (faces.empty()) {
            if (!reportedSkip) warnings_->Add(kEmptyMeshes, QuotedName(nodeName));
            return true;
        }

        SceneMesh& mesh = object->mesh;
        mesh.faces = std::move(faces);
        mesh.verts.reserve(used.size());
        for (uint32_t idx : used) {
            const aiVector3D& p = m.mVertices[idx];
            mesh.verts.push_back({p.x, p.y, p.z});
        }
        if (m.mNormals != nullptr) {
            mesh.normals.reserve(used.size());
            for (uint32_t idx : used) {
                const aiVector3D& n = m.mNormals[idx];
                mesh.normals.push_back({n.x, n.y, n.z});
            }
        }
        if (m.mTextureCoords[0] != nullptr) {
            mesh.tverts.reserve(used.size());
            for (uint32_t idx : used) {
                const aiVector3D& t = m.mTextureCoords[0][idx];
                mesh.tverts.push_back({t.x, t.y, m.mNumUVComponents[0] > 2 ? t.z : 0.0f});
            }
        }
        FinishImportedMesh(&mesh, nodeName, options_.smoothAngleDegrees, &counts_->normals, warnings_);
        // Geometry imported into the host becomes an editable mesh.
        object->type = SceneObject::Type::EditableMesh;
        return UseMaterial(m.mMaterialIndex, material, error);
    }

    bool UseMaterial(unsigned index, int* sceneIndex, std::string* error) {
        if (index >= scene_.mNumMaterials) {
            *sceneIndex = -1;
            return true;
        }
        if (materialIndex_[index] < 0) {
            SceneMaterial material;
            if (!ConvertMaterial(*scene_.mMaterials[index], index, &material, error)) return false;
            materialIndex_[index] = materials_.Add(std::move(material));
        }
        *sceneIndex = materialIndex_[index];
        return true;
    }

    void ReadColour(const aiMaterial& m, const char* key, unsigned type, unsigned idx, const std::string& name,
                    std::array<float, 3>* out) {
        aiColor4D c;
        if (m.Get(key, type, idx, c) != AI_SUCCESS) return;
        if (!Finite(c.r) || !Finite(c.g) || !Finite(c.b)) {
            warnings_->Add(kValuesRepaired, QuotedName(name) + ": colour " + key + " not finite, default kept");
            return;
        }
        *out = {c.r, c.g, c.b};
    }

    bool ConvertMaterial(const aiMaterial& m, unsigned index, SceneMaterial* out, std::string* error) {
        aiString aiName;
        std::string name;
        if (m.Get(AI_MATKEY_NAME, aiName) == AI_SUCCESS) name = aiName.C_Str();
        if (name.empty()) name = "Material #" + std::to_string(index);
        out->name = name;

        aiColor4D probe;
        if (m.Get(AI_MATKEY_COLOR_DIFFUSE, probe) == AI_SUCCESS) {
            ReadColour(m, AI_MATKEY_COLOR_DIFFUSE, name, &out->diffuse);
        } else {
            ReadColour(m, AI_MATKEY_BASE_COLOR, name, &out->diffuse);
        }
        ReadColour(m, AI_MATKEY_COLOR_AMBIENT, name, &out->ambient);
        ReadColour(m, AI_MATKEY_COLOR_SPECULAR, name, &out->specular);
        float opacity = 1.0f;
        if (m.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) {
            if (Finite(opacity)) out->opacity = opacity;
            else warnings_->Add(kValuesRepaired, QuotedName(name) + ": opacity not finite, default kept");
        }
        int twoSided = 0;
        if (m.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS && twoSided != 0)
            warnings_->Add(WarningKind::DoubleSidedDropped, QuotedName(name));

        for (const SlotKinds& slot : MapSlots()) {
            for (aiTextureType kind : slot.kinds) {
                if (m.GetTextureCount(kind) == 0) continue;
                aiString reference;
                if (m.GetTexture(kind, 0, &reference) != AI_SUCCESS || reference.length == 0) continue;
                SceneMap map;
                map.slot = slot.slot;
                map.kind = SceneMap::Kind::Bitmap;
                map.amount = 1.0f;
                if (!ResolveTexture(scene_, textures_, reference.C_Str(), name, slot.slot, &map.path, error)) {
                    *error = "material '" + name + "': " + *error;
                    return false;
                }
                out->maps.push_back(std::move(map));
                break;
            }
        }
        return true;
    }

    const aiScene& scene_;
    const AssimpImportOptions& options_;
    TextureResolver* textures_;
    SceneDescription* out_;
    Warnings* warnings_;
    ImportCounts* counts_;
    aiScene* owned_ = nullptr;         // set when meshes are freed after their last use
    std::vector<unsigned> usesLeft_;   // per source mesh, the nodes still to convert it
    std::vector<int> materialIndex_;
    MaterialList materials_;
    std::set<std::string> cameras_, lights_, bones_;
};

// Assimp's validation refuses a mesh without faces (a point cloud) or without vertices,
// which would refuse the whole file; neither holds anything the host imports as a mesh, so
// they are taken out before the validation runs. Returns the number taken out.
unsigned DropMeshesWithoutFaces(aiScene* scene, Warnings* warnings) {
    if (scene->mMeshes == nullptr || scene->mNumMeshes == 0) return 0;
    const unsigned count = scene->mNumMeshes;
    std::vector<int> newIndex(count, -1);
    unsigned kept = 0;
    for (unsigned i = 0; i < count; ++i) {
        const aiMesh* m = scene->mMeshes[i];
        if (m == nullptr || (m->mNumFaces > 0 && m->mNumVertices > 0)) newIndex[i] = static_cast<int>(kept++);
    }
    if (kept == count) return 0;
    for (unsigned i = 0; i < count; ++i) {
        aiMesh* m = scene->mMeshes[i];
        if (newIndex[i] >= 0) {
            scene->mMeshes[newIndex[i]] = m;
            continue;
        }
        const std::string name = m->mName.C_Str();
        if (m->mNumVertices > 0) {
            warnings->Add(kPrimitivesSkipped, "mesh " + QuotedName(name) + ": " + Plural(m->mNumVertices, "point", "points"),
                          m->mNumVertices);
        } else {
            warnings->Add(kEmptyMeshes, "mesh " + QuotedName(name));
        }
        delete m;
    }
    scene->mNumMeshes = kept;
    if (kept == 0) {
        delete[] scene->mMeshes;
        scene->mMeshes = nullptr;
        scene->mFlags |= AI_SCENE_FLAGS_INCOMPLETE;  // a scene without meshes, which validation allows
    }
    // Renumber the nodes' mesh lists, without recursion: the hierarchy is not validated yet.
    std::vector<aiNode*> stack{scene->mRootNode};
    while (!stack.empty()) {
        aiNode* n = stack.back();
        stack.pop_back();
        if (n == nullptr) continue;
        if (n->mMeshes != nullptr) {
            unsigned out = 0;
            for (unsigned k = 0; k < n->mNumMeshes; ++k) {
                const unsigned old = n->mMeshes[k];
                if (old >= count) n->mMeshes[out++] = old;  // left for the validation to refuse
                else if (newIndex[old] >= 0) n->mMeshes[out++] = static_cast<unsigned>(newIndex[old]);
            }
            n->mNumMeshes = out;
        }
        if (n->mChildren != nullptr)
            for (unsigned k = 0; k < n->mNumChildren; ++k) stack.push_back(n->mChildren[k]);
    }
    return count - kept;
}

// Assimp's share of the read (the file, then its post-processing) passed on; never stops it.
class ProgressReport : public Assimp::ProgressHandler {
public:
    explicit ProgressReport(ReadProgress progress) : progress_(std::move(progress)) {}
    bool Update(float percentage) override {
        if (percentage >= 0.0f) progress_(percentage);
        return true;
    }

private:
    ReadProgress progress_;
};

ToolResult<SceneDescription> Import(const std::string& path, const AssimpImportOptions& options, Warnings* warnings,
                                    ImportCounts* counts) {
    auto fail = [&](ToolError::Kind kind, std::string message) {
        return ToolError::Of(kind, path, std::move(message));
    };
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return fail(ToolError::Kind::Input, "no such file");
    const SourceKind kind = KindOf(path);
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
    SceneConverter converter(*owned, options, &textures, &result, warnings, counts != nullptr ? counts : &ownCounts);
    converter.FreeMeshesAfterUse(owned.get());
    std::string message;
    if (!converter.Run(FrameCorrection(*owned, kind, options.up), &message)) {
        return fail(ToolError::Kind::Import, message);
    }
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
    } catch (const std::bad_alloc&) {
        throw;  // the command's own "out of memory"
    } catch (const std::exception& e) {
        return ToolError::Of(ToolError::Kind::Import, path, std::string("import failed: ") + e.what());
    } catch (...) {
        return ToolError::Of(ToolError::Kind::Import, path, "import failed");
    }
}

}  // namespace wux
