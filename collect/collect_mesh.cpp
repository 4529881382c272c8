#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "collect/node_collector.h"
#include "model/export_model.h"
#include "format/wux_format.h"

namespace {

constexpr int32_t kMaxTrianglesPerRecord = static_cast<int32_t>(wux_file::kMaxTrianglesPerMesh);

MeshNormal FiniteNormal(const Point3& normal) {
    return IsFinitePoint(normal) ? MeshNormal{normal.x, normal.y, normal.z} : MeshNormal{0.0f, 0.0f, 0.0f};
}

// The normal the host renders a corner of the face with, in the object's own space: the
// vertex's one render normal when it was given or when every face around it shares it; else
// the render normal whose smoothing groups share a bit with the face's; the face's own normal
// for group 0.
MeshNormal CornerNormal(Mesh& mesh, int32_t face, DWORD vertex) {
    RVertex& rv = mesh.getRVert(static_cast<int>(vertex));
    const DWORD group = mesh.faces[face].smGroup;
    const int count = static_cast<int>(rv.rFlags & NORCT_MASK);
    if ((rv.rFlags & SPECIFIED_NORMAL) != 0 || (group != 0 && count == 1)) return FiniteNormal(rv.rn.getNormal());
    for (int k = 0; group != 0 && k < count && rv.ern != nullptr; ++k) {
        if ((rv.ern[k].getSmGroup() & group) != 0) return FiniteNormal(rv.ern[k].getNormal());
    }
    return FiniteNormal(mesh.getFaceNormal(face));
}

// Rows of the object-to-world matrix, read once for the whole mesh. A point
// becomes x*row0 + y*row1 + z*row2 + row3, summed in that order in f32.
struct AffineRows {
    float r[4][3];

    explicit AffineRows(const Matrix3& m) {
        for (int i = 0; i < 4; ++i) {
            const Point3 row = m.GetRow(i);
            r[i][0] = row.x;
            r[i][1] = row.y;
            r[i][2] = row.z;
        }
    }

    void Apply(const Point3& p, float& x, float& y, float& z) const {
        x = p.x * r[0][0] + p.y * r[1][0] + p.z * r[2][0] + r[3][0];
        y = p.x * r[0][1] + p.y * r[1][1] + p.z * r[2][1] + r[3][1];
        z = p.x * r[0][2] + p.y * r[1][2] + p.z * r[2][2] + r[3][2];
    }
};

// What the mesh offers, with the counts clamped to what its arrays can back, so
// that inconsistent host data never makes us read past an array.
struct MeshView {
    int32_t vertexCount;
    int32_t faceCount;
    const Face* faces;
    int32_t tvertCount;  // 0 when the mesh has no usable texture coordinates
    const UVVert* tverts;
    const TVFace* tvfaces;
};

MeshView ViewOf(const Mesh& mesh) {
    MeshView view{};
    view.vertexCount = (mesh.verts != nullptr) ? std::max(mesh.numVerts, 0) : 0;
    view.faceCount = (mesh.faces != nullptr) ? std::max(mesh.numFaces, 0) : 0;
    view.faces = mesh.faces;
    const bool hasTexture = mesh.numTVerts > 0 && mesh.tVerts != nullptr && mesh.tvFace != nullptr;
    view.tvertCount = hasTexture ? mesh.numTVerts : 0;
    view.tverts = mesh.tVerts;
    view.tvfaces = mesh.tvFace;
    return view;
}

// True when every vertex has a finite world position.
bool AllPlaceable(const MeshView& view, const Point3* verts, const AffineRows& toWorld) {
    bool finite = true;
    for (int32_t n = 0; n < view.vertexCount; ++n) {
        float x, y, z;
        toWorld.Apply(verts[n], x, y, z);
        finite = finite && std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
    }
    return finite;
}

// True when every face names existing vertices, so that (with every vertex
// placeable) every face is exported and no corner needs checking.
bool FaceIndicesInRange(const MeshView& view) {
    DWORD highest = 0;
    for (int32_t i = 0; i < view.faceCount; ++i) {
        const DWORD* v = view.faces[i].v;
        highest = std::max(highest, std::max(v[0], std::max(v[1], v[2])));
    }
    return view.faceCount == 0 || highest < static_cast<DWORD>(view.vertexCount);
}

// A copy of the mesh with only the faces that name existing vertices (their texture faces
// along), in their order.
std::unique_ptr<Mesh> WithoutBrokenFaces(const Mesh& mesh) {
    auto copy = std::make_unique<Mesh>(mesh);
    const MeshView view = ViewOf(mesh);
    const bool mapped = mesh.tvFace != nullptr && copy->tvFace != nullptr;
    int kept = 0;
    for (int32_t i = 0; i < view.faceCount; ++i) {
        const DWORD* v = view.faces[i].v;
        if (std::max(v[0], std::max(v[1], v[2])) >= static_cast<DWORD>(view.vertexCount)) continue;
        copy->faces[kept] = mesh.faces[i];
        if (mapped) copy->tvFace[kept] = mesh.tvFace[i];
        ++kept;
    }
    copy->setNumFaces(kept, TRUE);
    return copy;
}

// True when the texture coordinates need no repair: every texture face names
// existing texture vertices and every one of those gives a finite u and v.
bool TextureClean(const MeshView& view) {
    if (view.tvertCount == 0) return true;
    DWORD highest = 0;
    for (int32_t i = 0; i < view.faceCount; ++i) {
        const DWORD* t = view.tvfaces[i].t;
        highest = std::max(highest, std::max(t[0], std::max(t[1], t[2])));
    }
    if (view.faceCount != 0 && highest >= static_cast<DWORD>(view.tvertCount)) return false;
    bool finite = true;
    for (int32_t n = 0; n < view.tvertCount; ++n) {
        const UVVert& uv = view.tverts[n];
        finite = finite && std::isfinite(uv.x) && std::isfinite(1.0f - uv.y);
    }
    return finite;
}

// A triangle is exported when its three corners name existing vertices with a
// finite world position; anything else cannot be placed in the file.
bool Exportable(const Face& face, const Point3* verts, const AffineRows& toWorld, int32_t vertexCount) {
    for (int j = 0; j < 3; ++j) {
        const DWORD n = face.v[j];
        if (n >= static_cast<DWORD>(vertexCount)) return false;
        float x, y, z;
        toWorld.Apply(verts[n], x, y, z);
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    }
    return true;
}

// The order in which a face's corners are written: a transform that mirrors
// (negative determinant) turns the face's winding, so its corners are written
// 0, 2, 1 to keep the triangle facing outward in world space.
using CornerOrder = int[3];
constexpr CornerOrder kKeptOrder = {0, 1, 2};
constexpr CornerOrder kMirroredOrder = {0, 2, 1};

bool Mirrors(const Matrix3& m) {
    const Point3 x = m.GetRow(0), y = m.GetRow(1), z = m.GetRow(2);
    const double det = double(x.x) * (double(y.y) * z.z - double(y.z) * z.y) -
                       double(x.y) * (double(y.x) * z.z - double(y.z) * z.x) +
                       double(x.z) * (double(y.x) * z.y - double(y.y) * z.x);
    return det < 0.0;
}

// Fills a record with the next exportable triangles from face `next` on, and
// leaves `next` after the last face used.
void FillRecord(VertexChunk& chunk, Mesh& mesh, const MeshView& view, const AffineRows& toWorld,
                const CornerOrder& order, int32_t& next) {
    MeshVertex* vertices = chunk.vertices.get();
    MeshNormal* normals = chunk.normals.get();
    uint16_t* triangles = chunk.triangles.get();
    const DWORD tvertCount = static_cast<DWORD>(view.tvertCount);

    for (int32_t i = 0; i < chunk.faceCount; ++i) {
        while (!Exportable(view.faces[next], mesh.verts, toWorld, view.vertexCount)) ++next;
        const Face& face = view.faces[next];
        const int32_t k0 = 3 * i;
        for (int j = 0; j < 3; ++j) {
            const int c = order[j];
            MeshVertex& vertex = vertices[k0 + j];
            toWorld.Apply(mesh.verts[face.v[c]], vertex.x, vertex.y, vertex.z);
            vertex.u = 0.0f;
            vertex.v = 0.0f;
            // Without texture vertices u and v stay 0: v is flipped only when
            // there is a coordinate to flip.
            if (tvertCount != 0) {
                const DWORD t = view.tvfaces[next].t[c];
                if (t < tvertCount) {
                    const UVVert& uv = view.tverts[t];
                    vertex.u = FiniteOrZero(uv.x);
                    vertex.v = FiniteOrZero(1.0f - uv.y);
                }
            }
            normals[k0 + j] = CornerNormal(mesh, next, face.v[c]);
            triangles[k0 + j] = static_cast<uint16_t>(k0 + j);
        }
        ++next;
    }
}

// Fills a record with faces first to first + faceCount - 1 when nothing needs
// repair: every corner is exported as it is, one array after the other. Each
// corner's world position is worked out anew: for a mesh of a few million vertices
// a table of them would cost more in memory and page faults than it saves.
template <bool kTextured>
void FillRecordDirect(VertexChunk& chunk, Mesh& mesh, const MeshView& view, const AffineRows& toWorld,
                      const CornerOrder& order, int32_t first) {
    const size_t cornerCount = 3 * static_cast<size_t>(chunk.faceCount);
    const Face* faces = view.faces + first;
    const TVFace* tvfaces = kTextured ? view.tvfaces + first : nullptr;

    MeshVertex* vertex = chunk.vertices.get();
    for (int32_t i = 0; i < chunk.faceCount; ++i) {
        for (int j = 0; j < 3; ++j, ++vertex) {
            toWorld.Apply(mesh.verts[faces[i].v[order[j]]], vertex->x, vertex->y, vertex->z);
            if (kTextured) {
                const UVVert& uv = view.tverts[tvfaces[i].t[order[j]]];
                vertex->u = uv.x;
                vertex->v = 1.0f - uv.y;
            } else {
                vertex->u = 0.0f;
                vertex->v = 0.0f;
            }
        }
    }
    MeshNormal* normal = chunk.normals.get();
    for (int32_t i = 0; i < chunk.faceCount; ++i) {
        for (int j = 0; j < 3; ++j, ++normal) *normal = CornerNormal(mesh, first + i, faces[i].v[order[j]]);
    }
    uint16_t* triangles = chunk.triangles.get();
    for (size_t k = 0; k < cornerCount; ++k) triangles[k] = static_cast<uint16_t>(k);
}

}  // namespace

void NodeCollector::CollectMesh(const char* name, TriObject* tri, int32_t materialIndex, Matrix3 objectToWorld) {
    // The host's buildNormals reads every face's vertices: a face naming one the mesh does
    // not have is taken out first (it could not be exported anyway), in a copy.
    std::unique_ptr<Mesh> kept;
    if (!FaceIndicesInRange(ViewOf(tri->mesh))) kept = WithoutBrokenFaces(tri->mesh);
    Mesh& mesh = kept ? *kept : tri->mesh;
    mesh.buildNormals();

    const MeshView view = ViewOf(mesh);
    const CornerOrder& order = Mirrors(objectToWorld) ? kMirroredOrder : kKeptOrder;
    const AffineRows toWorld(objectToWorld);

    // Usually every face is exported as it is and the records are filled
    // straight; otherwise each face is checked and repaired on the way.
    const bool direct = AllPlaceable(view, mesh.verts, toWorld) && FaceIndicesInRange(view) && TextureClean(view);
    int32_t exportable = 0;
    if (direct) {
        exportable = view.faceCount;
    } else {
        for (int32_t i = 0; i < view.faceCount; ++i) {
            if (Exportable(view.faces[i], mesh.verts, toWorld, view.vertexCount)) ++exportable;
        }
    }
    if (exportable < view.faceCount)
        RecordOutcome(OutcomeKind::TrianglesLost, name,
                      std::to_string(view.faceCount - exportable) + " of " + std::to_string(view.faceCount) + " triangles");
    if (exportable > kMaxTrianglesPerRecord)
        RecordOutcome(OutcomeKind::MeshSplit, name,
                      std::to_string(exportable) + " triangles into " +
                          std::to_string((exportable + kMaxTrianglesPerRecord - 1) / kMaxTrianglesPerRecord) + " records");

    // Consecutive records of at most kMaxTrianglesPerRecord triangles in face
    // order; a mesh with nothing to export still gives one empty record.
    ExportModel& model = *currentModel;
    int32_t next = 0;
    int32_t remaining = exportable;
    do {
        const int32_t faceCount = std::min(remaining, kMaxTrianglesPerRecord);
        auto chunk = std::make_unique<VertexChunk>(3 * faceCount, faceCount, materialIndex);
        if (!direct) {
            FillRecord(*chunk, mesh, view, toWorld, order, next);
        } else {
            if (view.tvertCount != 0) {
                FillRecordDirect<true>(*chunk, mesh, view, toWorld, order, next);
            } else {
                FillRecordDirect<false>(*chunk, mesh, view, toWorld, order, next);
            }
            next += faceCount;
        }
        model.meshes->append(std::move(chunk));
        ++model.meshCount;
        remaining -= faceCount;
    } while (remaining > 0);
}
