#include "driver/scene_builder.h"

#include <cmath>
#include <vector>

namespace wux {
namespace {

bool Finite(const SceneMatrix& m) {
    for (const auto& row : m.rows)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

std::string NodeLabel(const SceneNode& node) {
    std::string label = "node \"" + node.name + "\"";
    if (!node.origin.empty()) label = node.origin + ": " + label;
    return label;
}

class Builder {
public:
    Builder(const SceneDescription& desc, StandinScene* scene) : desc_(desc), scene_(scene) {}

    bool Build(std::string* error) {
        materials_.reserve(desc_.materials.size());
        for (const SceneMaterial& m : desc_.materials) materials_.push_back(MakeMaterial(m));
        for (const SceneNode& node : desc_.nodes)
            if (!AddNode(nullptr, node, error)) return false;
        return true;
    }

private:
    const SceneDescription& desc_;
    StandinScene* scene_;
    std::vector<Mtl*> materials_;

    Mtl* MakeMaterial(const SceneMaterial& m) {
        if (!m.IsStandard()) return scene_->Create<StandinMultiMtl>(m.name.c_str());
        StandinStdMat* mat = scene_->Create<StandinStdMat>(m.name.c_str());
        mat->SetAmbient(Color(m.ambient[0], m.ambient[1], m.ambient[2]));
        mat->SetDiffuse(Color(m.diffuse[0], m.diffuse[1], m.diffuse[2]));
        mat->SetSpecular(Color(m.specular[0], m.specular[1], m.specular[2]));
        mat->SetFilter(Color(m.filter[0], m.filter[1], m.filter[2]));
        mat->SetOpacity(m.opacity);
        for (const SceneMap& map : m.maps) {
            Texmap* texmap = nullptr;
            if (map.kind == SceneMap::Kind::Bitmap) texmap = scene_->Create<StandinBitmapTex>(map.path.c_str());
            if (map.kind == SceneMap::Kind::Other) texmap = scene_->Create<StandinCheckerTex>();
            if (texmap != nullptr) mat->SetMap(map.slot, texmap, map.amount);
            mat->SetTexmapAmt(map.slot, map.amount);
            mat->EnableMap(map.slot, map.enabled ? TRUE : FALSE);
        }
        return mat;
    }

    bool MakeObject(const SceneNode& node, Object** object, std::string* error) {
        const SceneObject& o = node.object;
        *object = nullptr;
        switch (o.type) {
            case SceneObject::Type::None: return true;
            case SceneObject::Type::Mesh:
            case SceneObject::Type::EditableMesh: {
                StandinMeshData data;
                data.verts.reserve(o.mesh.verts.size());
                for (const auto& v : o.mesh.verts) data.verts.emplace_back(v[0], v[1], v[2]);
                data.faces.reserve(o.mesh.faces.size());
                for (const auto& f : o.mesh.faces) data.faces.push_back({f[0], f[1], f[2]});
                for (const auto& t : o.mesh.tverts) data.tverts.emplace_back(t[0], t[1], t[2]);
                for (const auto& f : o.mesh.tvfaces) data.tvFaces.push_back({f[0], f[1], f[2]});
                for (const auto& n : o.mesh.normals) data.normals.emplace_back(n[0], n[1], n[2]);
                TriObject* tri = o.type == SceneObject::Type::Mesh ? scene_->Create<TriObject>()
                                                                   : scene_->Create<StandinEditableMesh>();
                const StandinMeshError meshError = StandinBuildMesh(data, node.name, &tri->mesh);
                if (!meshError.ok()) {
                    *error = (node.origin.empty() ? "" : node.origin + ": ") + meshError.message;
                    return false;
                }
                *object = tri;
                return true;
            }
            case SceneObject::Type::EditablePoly: {
                StandinPolyData data;
                for (const auto& v : o.poly.verts) data.verts.emplace_back(v[0], v[1], v[2]);
                for (const auto& f : o.poly.faces) data.polygons.emplace_back(f.begin(), f.end());
                for (const auto& t : o.poly.tverts) data.tverts.emplace_back(t[0], t[1], t[2]);
                for (const auto& f : o.poly.tvfaces) data.tvPolygons.emplace_back(f.begin(), f.end());
                StandinEditablePoly* poly = scene_->Create<StandinEditablePoly>();
                const StandinMeshError polyError = poly->SetPolygons(data, node.name);
                if (!polyError.ok()) {
                    *error = (node.origin.empty() ? "" : node.origin + ": ") + polyError.message;
                    return false;
                }
                *object = poly;
                return true;
            }
            case SceneObject::Type::Sphere:
                if (!std::isfinite(o.radius)) {
                    *error = NodeLabel(node) + ": the sphere's radius is not finite";
                    return false;
                }
                *object = scene_->Create<StandinSphere>(o.radius, o.segments);
                return true;
            case SceneObject::Type::Helper:
                if (!std::isfinite(o.size)) {
                    *error = NodeLabel(node) + ": the helper's size is not finite";
                    return false;
                }
                *object = scene_->Create<StandinPointHelper>(o.size);
                return true;
            case SceneObject::Type::Camera: *object = scene_->Create<StandinCamera>(); return true;
            case SceneObject::Type::Light: *object = scene_->Create<StandinLight>(); return true;
            case SceneObject::Type::Shape: *object = scene_->Create<StandinShape>(); return true;
        }
        return true;
    }

    bool AddNode(StandinNode* parent, const SceneNode& desc, std::string* error) {
        if (!Finite(desc.local) || !Finite(desc.offset)) {
            *error = NodeLabel(desc) + ": its transform is not finite";
            return false;
        }
        if (desc.material >= 0 && static_cast<std::size_t>(desc.material) >= materials_.size()) {
            *error = NodeLabel(desc) + ": material index " + std::to_string(desc.material) + " out of range (" +
                     std::to_string(materials_.size()) + " materials)";
            return false;
        }
        Object* object = nullptr;
        if (!MakeObject(desc, &object, error)) return false;
        StandinNode* node = scene_->AddNode(parent, desc.name);
        node->SetLocalTM(ToMatrix3(desc.local));
        node->SetObjectOffset(ToMatrix3(desc.offset));
        node->SetHidden(desc.hidden);
        if (desc.material >= 0) node->SetMtl(materials_[static_cast<std::size_t>(desc.material)]);
        node->SetObject(object);
        for (const SceneNode& child : desc.children)
            if (!AddNode(node, child, error)) return false;
        return true;
    }
};

}  // namespace

Matrix3 ToMatrix3(const SceneMatrix& m) {
    Matrix3 out(TRUE);
    for (int r = 0; r < 4; ++r) out.SetRow(r, Point3(m.rows[r][0], m.rows[r][1], m.rows[r][2]));
    return out;
}

bool BuildStandinScene(const SceneDescription& desc, StandinScene* scene, std::string* error) {
    if (!Builder(desc, scene).Build(error)) return false;
    std::string invalid;
    if (!scene->Validate(&invalid)) {
        *error = invalid;
        return false;
    }
    return true;
}

}  // namespace wux
