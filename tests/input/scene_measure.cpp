#include "tests/input/scene_measure.h"

#include <cmath>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

namespace wux::test {
namespace {

void Extend(Measure* m, const std::array<double, 3>& p) {
    for (int k = 0; k < 3; ++k) {
        m->lo[k] = std::min(m->lo[k], p[k]);
        m->hi[k] = std::max(m->hi[k], p[k]);
    }
}

double TriangleArea(const std::array<double, 3>& a, const std::array<double, 3>& b, const std::array<double, 3>& c) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2], z = u[0] * v[1] - u[1] * v[0];
    return 0.5 * std::sqrt(x * x + y * y + z * z);
}

bool Finite3(const std::array<float, 3>& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

bool FiniteMatrix(const SceneMatrix& m) {
    for (const auto& row : m.rows)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

void Walk(const SceneNode& node, const SceneMatrix& parentWorld, Measure* m) {
    const SceneMatrix world = Multiply(node.local, parentWorld);
    const SceneMatrix objectTm = Multiply(node.offset, world);
    m->allFinite = m->allFinite && FiniteMatrix(node.local) && FiniteMatrix(node.offset);
    const SceneObject& o = node.object;
    m->allFinite = m->allFinite && std::isfinite(o.radius) && std::isfinite(o.size);
    if (o.IsTriangleMesh()) {
        const SceneMesh& mesh = o.mesh;
        for (const auto& v : mesh.verts) m->allFinite = m->allFinite && Finite3(v);
        for (const auto& v : mesh.normals) m->allFinite = m->allFinite && Finite3(v);
        for (const auto& v : mesh.tverts) m->allFinite = m->allFinite && Finite3(v);
        for (const auto& f : mesh.faces) {
            std::array<std::array<double, 3>, 3> p;
            for (int k = 0; k < 3; ++k) {
                if (f[k] >= mesh.verts.size()) {
                    m->allFinite = false;
                    return;
                }
                const auto& v = mesh.verts[f[k]];
                p[k] = Apply(objectTm, {v[0], v[1], v[2]});
                Extend(m, p[k]);
            }
            m->area += TriangleArea(p[0], p[1], p[2]);
            ++m->triangles;
        }
    }
    for (const SceneNode& child : node.children) Walk(child, world, m);
}

bool Find(const SceneNode& node, const SceneMatrix& parentWorld, const std::string& name, SceneMatrix* world,
          const SceneNode** found) {
    const SceneMatrix w = Multiply(node.local, parentWorld);
    if (node.name == name) {
        *world = w;
        if (found) *found = &node;
        return true;
    }
    for (const SceneNode& child : node.children)
        if (Find(child, w, name, world, found)) return true;
    return false;
}

void AddCorners(const SceneDescription& scene, const SceneNode& node, const SceneMatrix& parentWorld, std::vector<Corner>* out) {
    const SceneMatrix world = Multiply(node.local, parentWorld);
    const SceneMesh& m = node.object.mesh;
    const SceneMaterial* material = node.material >= 0 ? &scene.materials.at(static_cast<std::size_t>(node.material)) : nullptr;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const auto& p = m.verts[m.faces[f][k]];
            Corner c{Apply(world, {p[0], p[1], p[2]}), m.normals[m.faces[f][k]], {0, 0}, material};
            if (!m.tverts.empty()) c.uv = {m.tverts[m.tvfaces[f][k]][0], m.tverts[m.tvfaces[f][k]][1]};
            out->push_back(c);
        }
    }
    for (const SceneNode& child : node.children) AddCorners(scene, child, world, out);
}

void WalkAssimp(const aiScene& s, const aiNode& n, const aiMatrix4x4& parent, Measure* m) {
    const aiMatrix4x4 world = parent * n.mTransformation;
    for (unsigned i = 0; i < n.mNumMeshes; ++i) {
        const aiMesh& mesh = *s.mMeshes[n.mMeshes[i]];
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;
            std::array<std::array<double, 3>, 3> p;
            for (int k = 0; k < 3; ++k) {
                const aiVector3D w = world * mesh.mVertices[face.mIndices[k]];
                p[k] = {w.x, -double(w.z), w.y};  // Y-up to Z-up
                Extend(m, p[k]);
            }
            m->area += TriangleArea(p[0], p[1], p[2]);
            ++m->triangles;
        }
    }
    for (unsigned i = 0; i < n.mNumChildren; ++i) WalkAssimp(s, *n.mChildren[i], world, m);
}

}  // namespace

SceneMatrix Multiply(const SceneMatrix& a, const SceneMatrix& b) {
    SceneMatrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            double v = a.rows[i][0] * double(b.rows[0][j]) + a.rows[i][1] * double(b.rows[1][j]) +
                       a.rows[i][2] * double(b.rows[2][j]);
            if (i == 3) v += b.rows[3][j];
            r.rows[i][j] = static_cast<float>(v);
        }
    }
    return r;
}

std::array<double, 3> Apply(const SceneMatrix& m, const std::array<double, 3>& p) {
    std::array<double, 3> r;
    for (int j = 0; j < 3; ++j)
        r[j] = p[0] * m.rows[0][j] + p[1] * m.rows[1][j] + p[2] * m.rows[2][j] + m.rows[3][j];
    return r;
}

Measure MeasureScene(const SceneDescription& scene) {
    Measure m;
    for (const SceneMaterial& mat : scene.materials) {
        for (const auto* c : {&mat.ambient, &mat.diffuse, &mat.specular, &mat.filter})
            m.allFinite = m.allFinite && Finite3(*c);
        m.allFinite = m.allFinite && std::isfinite(mat.opacity);
    }
    for (const SceneNode& node : scene.nodes) Walk(node, SceneMatrix(), &m);
    return m;
}

Measure MeasureWux(const WuxDocument& doc) {
    Measure m;
    for (const VertexChunk* mesh : Records<VertexChunk>(*doc.model->meshes)) {
        m.triangles += static_cast<std::size_t>(mesh->faceCount);
        for (std::int32_t t = 0; t < mesh->faceCount; ++t) {
            const MeshVertex& a = mesh->vertices[mesh->triangles[3 * t]];
            const MeshVertex& b = mesh->vertices[mesh->triangles[3 * t + 1]];
            const MeshVertex& c = mesh->vertices[mesh->triangles[3 * t + 2]];
            const double u[3] = {b.x - double(a.x), b.y - double(a.y), b.z - double(a.z)};
            const double v[3] = {c.x - double(a.x), c.y - double(a.y), c.z - double(a.z)};
            const double x = u[1] * v[2] - u[2] * v[1], y = u[2] * v[0] - u[0] * v[2], z = u[0] * v[1] - u[1] * v[0];
            m.area += 0.5 * std::sqrt(x * x + y * y + z * z);
        }
    }
    return m;
}

bool MeasureWithAssimp(const std::string& path, Measure* out) {
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(path, aiProcess_Triangulate);
    if (s == nullptr || s->mRootNode == nullptr) return false;
    *out = Measure();
    WalkAssimp(*s, *s->mRootNode, aiMatrix4x4(), out);
    return true;
}

std::vector<Corner> Corners(const SceneDescription& scene) {
    std::vector<Corner> out;
    for (const SceneNode& node : scene.nodes) AddCorners(scene, node, SceneMatrix(), &out);
    return out;
}

bool FindWorld(const SceneDescription& scene, const std::string& name, SceneMatrix* world, const SceneNode** node) {
    for (const SceneNode& n : scene.nodes)
        if (Find(n, SceneMatrix(), name, world, node)) return true;
    return false;
}

}  // namespace wux::test
