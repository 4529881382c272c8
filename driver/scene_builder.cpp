#include "driver/scene_builder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wux {
namespace {

// Where the node came from, for a message: "nodes[2]: "; nothing when that is not known.
std::string Origin(const SceneNode& node) { return node.origin.empty() ? "" : node.origin + ": "; }

std::string NodeLabel(const SceneNode& node) { return Origin(node) + "node \"" + node.name + "\""; }

// A description's array is freed as soon as the stand-in holds its copy, so that building a
// mesh holds its geometry about once, not twice.
template <class T>
void Release(std::vector<T>* array) {
    std::vector<T>().swap(*array);
}

// The host's mesh filled straight from the description's arrays, then checked as the host
// would hold it.
StandinMeshError FillMesh(SceneMesh& m, const std::string& nodeName, Mesh* mesh) {
    if (!m.normals.empty() && m.normals.size() != m.verts.size())
        return StandinMeshProblem(nodeName, "the mesh has " + std::to_string(m.normals.size()) + " normals for " +
                                                std::to_string(m.verts.size()) + " vertices");
    const std::size_t limit = 0x7fffffff;  // the mesh counts are int
    if (m.verts.size() > limit || m.faces.size() > limit || m.tverts.size() > limit)
        return StandinMeshProblem(nodeName, "the mesh is too large");
    const int numTVerts = static_cast<int>(m.tverts.size());
    const std::size_t tvFaceCount = numTVerts > 0 ? std::min(m.tvfaces.size(), m.faces.size()) : 0;
    const auto point = [](const std::array<float, 3>& p) { return Point3(p[0], p[1], p[2]); };
    mesh->setNumVerts(static_cast<int>(m.verts.size()));
    std::transform(m.verts.begin(), m.verts.end(), mesh->verts, point);
    Release(&m.verts);
    for (int i = 0; i < static_cast<int>(m.normals.size()); ++i) mesh->setNormal(i, point(m.normals[std::size_t(i)]));
    Release(&m.normals);
    mesh->setNumFaces(static_cast<int>(m.faces.size()));
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        std::copy(m.faces[f].begin(), m.faces[f].end(), mesh->faces[f].v);
        mesh->faces[f].smGroup = f < m.smoothing.size() ? m.smoothing[f] : 1;
    }
    Release(&m.faces);
    Release(&m.smoothing);
    mesh->setNumTVerts(numTVerts);
    std::transform(m.tverts.begin(), m.tverts.end(), mesh->tVerts, point);
    Release(&m.tverts);
    if (numTVerts > 0) mesh->setNumTVFaces(static_cast<int>(tvFaceCount));
    for (std::size_t f = 0; f < tvFaceCount; ++f) std::copy(m.tvfaces[f].begin(), m.tvfaces[f].end(), mesh->tvFace[f].t);
    Release(&m.tvfaces);
    const StandinMeshError check = StandinCheckMesh(*mesh, nodeName);
    if (!check.ok()) *mesh = Mesh();
    return check;
}

ToolError SceneError(std::string message) { return ToolError::Of(ToolError::Kind::Scene, "", std::move(message)); }

Mtl* MakeMaterial(StandinScene* scene, const SceneMaterial& m) {
    if (!m.IsStandard()) return scene->Create<StandinMultiMtl>(m.name.c_str());
    StandinStdMat* mat = scene->Create<StandinStdMat>(m.name.c_str());
    mat->SetAmbient(Color(m.ambient[0], m.ambient[1], m.ambient[2]));
    mat->SetDiffuse(Color(m.diffuse[0], m.diffuse[1], m.diffuse[2]));
    mat->SetSpecular(Color(m.specular[0], m.specular[1], m.specular[2]));
    mat->SetFilter(Color(m.filter[0], m.filter[1], m.filter[2]));
    mat->SetOpacity(m.opacity);
    for (const SceneMap& map : m.maps) {
        Texmap* texmap = nullptr;
        if (map.kind == SceneMap::Kind::Bitmap) texmap = scene->Create<StandinBitmapTex>(map.path.c_str());
        if (map.kind == SceneMap::Kind::Other) texmap = scene->Create<StandinCheckerTex>();
        if (texmap != nullptr) mat->SetMap(map.slot, texmap, map.amount);
        mat->SetTexmapAmt(map.slot, map.amount);
        mat->EnableMap(map.slot, map.enabled ? TRUE : FALSE);
    }
    return mat;
}

// The node's object, null for none.
ToolResult<Object*> MakeObject(SceneNode& node, StandinScene* scene) {
    SceneObject& o = node.object;
    switch (o.type) {
        case SceneObject::Type::None: break;
        case SceneObject::Type::Mesh:
        case SceneObject::Type::EditableMesh: {
            TriObject* tri = o.type == SceneObject::Type::Mesh ? scene->Create<TriObject>()
                                                               : scene->Create<StandinEditableMesh>();
            const StandinMeshError meshError = FillMesh(o.mesh, node.name, &tri->mesh);
            if (!meshError.ok()) return SceneError(Origin(node) + meshError.message);
            return tri;
        }
        case SceneObject::Type::EditablePoly: {
            StandinPolyData data;
            for (const auto& v : o.poly.verts) data.verts.emplace_back(v[0], v[1], v[2]);
            for (const auto& f : o.poly.faces) data.polygons.emplace_back(f.begin(), f.end());
            for (const auto& t : o.poly.tverts) data.tverts.emplace_back(t[0], t[1], t[2]);
            for (const auto& f : o.poly.tvfaces) data.tvPolygons.emplace_back(f.begin(), f.end());
            StandinEditablePoly* poly = scene->Create<StandinEditablePoly>();
            const StandinMeshError polyError = poly->SetPolygons(data, node.name);
            if (!polyError.ok()) return SceneError(Origin(node) + polyError.message);
            return poly;
        }
        case SceneObject::Type::Sphere:
            if (!std::isfinite(o.radius)) return SceneError(NodeLabel(node) + ": the sphere's radius is not finite");
            return scene->Create<StandinSphere>(o.radius, o.segments, o.paramBlock == 2);
        case SceneObject::Type::Helper:
            if (!std::isfinite(o.size)) return SceneError(NodeLabel(node) + ": the helper's size is not finite");
            return scene->Create<StandinPointHelper>(o.size);
        case SceneObject::Type::Camera: return scene->Create<StandinCamera>();
        case SceneObject::Type::Light: return scene->Create<StandinLight>();
        case SceneObject::Type::Shape: return scene->Create<StandinShape>();
    }
    return static_cast<Object*>(nullptr);
}

Matrix3 ToMatrix3(const SceneMatrix& m) {
    Matrix3 out(TRUE);
    for (int r = 0; r < 4; ++r) out.SetRow(r, Point3(m.rows[r][0], m.rows[r][1], m.rows[r][2]));
    return out;
}

// Each material is made once, before the nodes, and shared by the nodes that use it.
ToolResult<void> AddNode(StandinScene* scene, const std::vector<Mtl*>& materials, StandinNode* parent,
                         SceneNode& desc) {
    if (!desc.local.AllFinite() || !desc.offset.AllFinite())
        return SceneError(NodeLabel(desc) + ": its transform is not finite");
    if (desc.material >= 0 && static_cast<std::size_t>(desc.material) >= materials.size())
        return SceneError(NodeLabel(desc) + ": material index " + std::to_string(desc.material) + " out of range (" +
                          std::to_string(materials.size()) + " materials)");
    const ToolResult<Object*> object = MakeObject(desc, scene);
    if (!object.Ok()) return object.Error();
    StandinNode* node = scene->AddNode(parent, desc.name);
    node->SetLocalTM(ToMatrix3(desc.local));
    node->SetObjectOffset(ToMatrix3(desc.offset));
    node->SetHidden(desc.hidden);
    if (desc.material >= 0) node->SetMtl(materials[static_cast<std::size_t>(desc.material)]);
    node->SetObject(*object);
    for (SceneNode& child : desc.children)
        if (ToolResult<void> added = AddNode(scene, materials, node, child); !added.Ok()) return added;
    return {};
}

}  // namespace

ToolResult<void> BuildStandinScene(SceneDescription* desc, StandinScene* scene) {
    std::vector<Mtl*> materials;
    materials.reserve(desc->materials.size());
    for (const SceneMaterial& m : desc->materials) materials.push_back(MakeMaterial(scene, m));
    for (SceneNode& node : desc->nodes)
        if (ToolResult<void> added = AddNode(scene, materials, nullptr, node); !added.Ok()) return added;
    std::string message;
    if (!scene->Validate(&message)) return SceneError(std::move(message));
    return {};
}

}  // namespace wux
