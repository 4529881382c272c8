#include "driver/scene_builder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wux {
namespace {

std::string NodeLabel(const SceneNode& node) {
    std::string label = "node \"" + node.name + "\"";
    if (!node.origin.empty()) label = node.origin + ": " + label;
    return label;
}

// The host's mesh filled straight from the description's arrays; the same checks as the
// stand-in's own mesh building, without a copy of the arrays in between.
StandinMeshError FillMesh(const SceneMesh& m, const std::string& nodeName, Mesh* mesh) {
    const auto problem = [&](StandinMeshError::Kind kind, const std::string& what) {
        return StandinMeshError{kind, "node \"" + nodeName + "\": " + what};
    };
    if (!m.normals.empty() && m.normals.size() != m.verts.size())
        return problem(StandinMeshError::Kind::NormalCount, "the mesh has " + std::to_string(m.normals.size()) +
                                                                " normals for " + std::to_string(m.verts.size()) +
                                                                " vertices");
    const std::size_t limit = 0x7fffffff;  // the mesh counts are int
    if (m.verts.size() > limit || m.faces.size() > limit || m.tverts.size() > limit)
        return problem(StandinMeshError::Kind::Counts, "the mesh is too large");
    const int numVerts = static_cast<int>(m.verts.size());
    const int numFaces = static_cast<int>(m.faces.size());
    const int numTVerts = static_cast<int>(m.tverts.size());
    mesh->setNumVerts(numVerts);
    mesh->setNumFaces(numFaces);
    mesh->setNumTVerts(numTVerts);
    const std::size_t tvFaceCount = numTVerts > 0 ? std::min(m.tvfaces.size(), m.faces.size()) : 0;
    if (numTVerts > 0) mesh->setNumTVFaces(static_cast<int>(tvFaceCount));
    for (int i = 0; i < numVerts; ++i) {
        const auto& v = m.verts[static_cast<std::size_t>(i)];
        mesh->verts[i] = Point3(v[0], v[1], v[2]);
    }
    for (int f = 0; f < numFaces; ++f) {
        const auto& v = m.faces[static_cast<std::size_t>(f)];
        Face& face = mesh->faces[f];
        face.v[0] = v[0];
        face.v[1] = v[1];
        face.v[2] = v[2];
        face.smGroup = static_cast<std::size_t>(f) < m.smoothing.size() ? m.smoothing[static_cast<std::size_t>(f)] : 1;
    }
    for (int i = 0; i < numTVerts; ++i) {
        const auto& t = m.tverts[static_cast<std::size_t>(i)];
        mesh->tVerts[i] = UVVert(t[0], t[1], t[2]);
    }
    for (std::size_t f = 0; f < tvFaceCount; ++f) {
        const auto& t = m.tvfaces[f];
        mesh->tvFace[f].setTVerts(static_cast<int>(t[0]), static_cast<int>(t[1]), static_cast<int>(t[2]));
    }
    for (int i = 0; i < static_cast<int>(m.normals.size()); ++i) {
        const auto& n = m.normals[static_cast<std::size_t>(i)];
        mesh->setNormal(i, Point3(n[0], n[1], n[2]));
    }
    const StandinMeshError check = StandinCheckMesh(*mesh, nodeName);
    if (!check.ok()) *mesh = Mesh();
    return check;
}

class Builder {
public:
    // With release, each mesh's arrays in desc are freed once the stand-in holds them;
    // without, desc is only read.
    Builder(SceneDescription& desc, StandinScene* scene, bool release)
        : desc_(desc), scene_(scene), release_(release) {}

    bool Build(std::string* error) {
        materials_.reserve(desc_.materials.size());
        for (const SceneMaterial& m : desc_.materials) materials_.push_back(MakeMaterial(m));
        for (SceneNode& node : desc_.nodes)
            if (!AddNode(nullptr, node, error)) return false;
        return true;
    }

private:
    SceneDescription& desc_;
    StandinScene* scene_;
    bool release_;
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

    bool MakeObject(SceneNode& node, Object** object, std::string* error) {
        SceneObject& o = node.object;
        *object = nullptr;
        switch (o.type) {
            case SceneObject::Type::None: return true;
            case SceneObject::Type::Mesh:
            case SceneObject::Type::EditableMesh: {
                TriObject* tri = o.type == SceneObject::Type::Mesh ? scene_->Create<TriObject>()
                                                                   : scene_->Create<StandinEditableMesh>();
                const StandinMeshError meshError = FillMesh(o.mesh, node.name, &tri->mesh);
                if (!meshError.ok()) {
                    *error = (node.origin.empty() ? "" : node.origin + ": ") + meshError.message;
                    return false;
                }
                if (release_) o.mesh = SceneMesh();
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
                *object = scene_->Create<StandinSphere>(o.radius, o.segments, o.paramBlock == 2);
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

    bool AddNode(StandinNode* parent, SceneNode& desc, std::string* error) {
        if (!desc.local.AllFinite() || !desc.offset.AllFinite()) {
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
        for (SceneNode& child : desc.children)
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

namespace {

ToolResult<void> Build(SceneDescription& desc, bool release, StandinScene* scene) {
    std::string message;
    if (!Builder(desc, scene, release).Build(&message) || !scene->Validate(&message)) {
        return ToolError::Of(ToolError::Kind::Scene, "", std::move(message));
    }
    return {};
}

}  // namespace

ToolResult<void> BuildStandinScene(const SceneDescription& desc, StandinScene* scene) {
    // Not released, so never written to.
    return Build(const_cast<SceneDescription&>(desc), false, scene);
}

ToolResult<void> BuildStandinScene(SceneDescription* desc, StandinScene* scene) {
    return Build(*desc, true, scene);
}

}  // namespace wux
