#include "host/sdk/mesh.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Replaces *array (of oldCount elements) by one of newCount elements; with keep the leading
// elements are copied, every other element is value-initialised.
template <class T>
void Resize(T*& array, int oldCount, int newCount, bool keep, const T& zero) {
    T* fresh = newCount > 0 ? new T[size_t(newCount)] : nullptr;
    int kept = 0;
    if (keep && array) {
        kept = std::min(oldCount, newCount);
        std::copy(array, array + kept, fresh);
    }
    std::fill(fresh + kept, fresh + newCount, zero);
    delete[] array;
    array = fresh;
}

template <class T>
T* Duplicate(const T* array, int count) {
    if (!array || count <= 0) return nullptr;
    T* copy = new T[size_t(count)];
    std::copy(array, array + count, copy);
    return copy;
}

const Point3 kZero(0.0f, 0.0f, 0.0f);

// Below this many faces working the normals out is cheaper than comparing the
// mesh with the one they were built from.
constexpr int kCachedFaces = 64;

}  // namespace

// The face normals of the last computation and the render normals of the vertices that carry
// more than one, held in vertex order so that the ern pointers can be set again by a walk.
struct Mesh::RenderNormals {
    std::vector<Point3> faceNormals;
    std::vector<RNormal> extra;
};

// The vertices and faces of the last computation and its result. Compared by
// content: the plug-in and the tools write the public arrays directly, so no
// setter could tell that the mesh changed.
struct Mesh::NormalCache {
    std::vector<Point3> verts;
    std::vector<DWORD> corners;  // three vertex indices and the smoothing groups a face
    std::vector<RVertex> rVerts;
    RenderNormals render;
};

namespace {

constexpr int kCornerWords = 4;

int NormalCount(const RVertex& rv) { return int(rv.rFlags & NORCT_MASK); }

// The unit normal of a triangle, worked in double so that large coordinates neither overflow
// nor lose it; (0, 0, 0) for zero area or a result that is not a number.
Point3 UnitFaceNormal(const Point3& p0, const Point3& p1, const Point3& p2) {
    const double ax = double(p1.x) - p0.x, ay = double(p1.y) - p0.y, az = double(p1.z) - p0.z;
    const double bx = double(p2.x) - p0.x, by = double(p2.y) - p0.y, bz = double(p2.z) - p0.z;
    const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0.0) || !std::isfinite(len)) return kZero;
    return Point3(float(nx / len), float(ny / len), float(nz / len));
}

// A sum made a unit vector, as Point3::Normalize does it (in double; a zero or overflowing sum
// gives (0, 0, 0)).
void MakeUnit(Point3& n) {
    const double len = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    n = (!(len > 0.0) || !std::isfinite(len)) ? kZero : Point3(float(n.x / len), float(n.y / len), float(n.z / len));
}

// Adds a face's normal to the render normal of the vertex that shares a group with it, or
// starts a new one.
void AddToGroup(std::vector<RNormal>& normals, DWORD group, const Point3& normal) {
    for (RNormal& n : normals) {
        if ((n.getSmGroup() & group) != 0) {
            n.addNormal(normal);
            n.addSmGroup(group);
            return;
        }
    }
    normals.emplace_back();
    normals.back().setSmGroup(group);
    normals.back().addNormal(normal);
}

}  // namespace

Mesh::Mesh()
    : numVerts(0), numFaces(0), faces(nullptr), verts(nullptr), numTVerts(0), tVerts(nullptr),
      tvFace(nullptr), rVerts(nullptr), normalsSpecified(FALSE), render(nullptr), normalCache(nullptr), numTVFaces(0),
      vertsAlloc(0), facesAlloc(0), tVertsAlloc(0) {}

Mesh::Mesh(const Mesh& from) : Mesh() { *this = from; }

Mesh& Mesh::operator=(const Mesh& from) {
    if (this == &from) return *this;
    Mesh copy;  // built first, so a failed allocation leaves *this unchanged
    copy.faces = Duplicate(from.faces, from.facesAlloc);
    copy.verts = Duplicate(from.verts, from.vertsAlloc);
    copy.tVerts = Duplicate(from.tVerts, from.tVertsAlloc);
    copy.tvFace = Duplicate(from.tvFace, from.numTVFaces);
    // Given normals are copied; computed ones are worked out anew by the copy's buildNormals.
    if (from.rVerts && from.normalsSpecified) {
        copy.rVerts = Duplicate(from.rVerts, from.vertsAlloc);
        for (int i = 0; i < from.vertsAlloc; ++i) copy.rVerts[i].ern = nullptr;
    }
    copy.numVerts = from.numVerts;
    copy.numFaces = from.numFaces;
    copy.numTVerts = from.numTVerts;
    copy.numTVFaces = from.tvFace ? from.numTVFaces : 0;
    copy.normalsSpecified = copy.rVerts ? from.normalsSpecified : FALSE;
    copy.vertsAlloc = from.verts ? from.vertsAlloc : 0;
    copy.facesAlloc = from.faces ? from.facesAlloc : 0;
    copy.tVertsAlloc = from.tVerts ? from.tVertsAlloc : 0;
    std::swap(numVerts, copy.numVerts);
    std::swap(numFaces, copy.numFaces);
    std::swap(faces, copy.faces);
    std::swap(verts, copy.verts);
    std::swap(numTVerts, copy.numTVerts);
    std::swap(tVerts, copy.tVerts);
    std::swap(tvFace, copy.tvFace);
    std::swap(rVerts, copy.rVerts);
    std::swap(normalsSpecified, copy.normalsSpecified);
    std::swap(render, copy.render);
    std::swap(normalCache, copy.normalCache);
    std::swap(numTVFaces, copy.numTVFaces);
    std::swap(vertsAlloc, copy.vertsAlloc);
    std::swap(facesAlloc, copy.facesAlloc);
    std::swap(tVertsAlloc, copy.tVertsAlloc);
    return *this;
}

Mesh::~Mesh() {
    delete[] faces;
    delete[] verts;
    delete[] tVerts;
    delete[] tvFace;
    delete[] rVerts;
    delete render;
    delete normalCache;
}

BOOL Mesh::setNumVerts(int ct, BOOL keep, BOOL) {
    if (ct < 0) return FALSE;
    Resize(verts, vertsAlloc, ct, keep != FALSE, kZero);
    if (rVerts) {
        Resize(rVerts, vertsAlloc, ct, keep != FALSE, RVertex());
        for (int i = 0; i < ct; ++i) rVerts[i].ern = nullptr;  // the ern arrays are gone with render
        delete render;
        render = nullptr;
    }
    if (!keep) normalsSpecified = FALSE;
    numVerts = vertsAlloc = ct;
    return TRUE;
}

BOOL Mesh::setNumFaces(int ct, BOOL keep, BOOL) {
    if (ct < 0) return FALSE;
    Resize(faces, facesAlloc, ct, keep != FALSE, Face());
    if (tvFace) {
        Resize(tvFace, numTVFaces, ct, keep != FALSE, TVFace());
        numTVFaces = ct;
    }
    numFaces = facesAlloc = ct;
    return TRUE;
}

BOOL Mesh::setNumTVerts(int ct, BOOL keep) {
    if (ct < 0) return FALSE;
    Resize(tVerts, tVertsAlloc, ct, keep != FALSE, kZero);
    numTVerts = tVertsAlloc = ct;
    return TRUE;
}

BOOL Mesh::setNumTVFaces(int ct, BOOL keep, int) {
    if (ct < 0) return FALSE;
    Resize(tvFace, numTVFaces, ct, keep != FALSE, TVFace());
    numTVFaces = ct;
    return TRUE;
}

void Mesh::setNormal(int i, const Point3& n) {
    if (i < 0 || i >= numVerts || i >= vertsAlloc) return;
    if (!rVerts) Resize(rVerts, 0, vertsAlloc, false, RVertex());
    rVerts[i].rn.setNormal(n);
    normalsSpecified = TRUE;
}

void Mesh::buildNormals() {
    // Counts changed by hand beyond the arrays are cut to what the arrays hold.
    const int vertTotal = std::max(0, std::min(numVerts, vertsAlloc));
    const int faceTotal = std::max(0, std::min(numFaces, facesAlloc));
    const DWORD vertCount = DWORD(vertTotal);
    for (int f = 0; f < faceTotal; ++f) {
        const DWORD* v = faces[f].v;
        if (v[0] >= vertCount || v[1] >= vertCount || v[2] >= vertCount) {
            throw std::logic_error("Mesh::buildNormals: face " + std::to_string(f) + " names a vertex beyond the " +
                                   std::to_string(vertTotal) + " of the mesh");
        }
    }
    if (!rVerts) Resize(rVerts, 0, vertsAlloc, false, RVertex());
    if (!render) render = new RenderNormals();
    RenderNormals& r = *render;
    if (normalsSpecified) {
        r.faceNormals.clear();  // worked out when asked for
        r.extra.clear();
        for (int i = 0; i < vertsAlloc; ++i) {
            rVerts[i].rFlags = SPECIFIED_NORMAL | 1;
            rVerts[i].ern = nullptr;
        }
        return;
    }
    if (restoreCachedNormals(vertTotal, faceTotal)) return;

    buildFaceNormals(faceTotal);
    std::fill(rVerts, rVerts + vertsAlloc, RVertex());
    r.extra.clear();
    // Usually every face around a vertex shares a group with the first: one normal, summed
    // straight. The vertices where groups part are worked out again below.
    std::vector<bool> parted;
    for (int f = 0; f < faceTotal; ++f) {
        const DWORD group = faces[f].smGroup;
        if (group == 0) continue;
        const Point3& unit = r.faceNormals[size_t(f)];
        for (int j = 0; j < 3; ++j) {
            RVertex& rv = rVerts[faces[f].v[j]];
            if (NormalCount(rv) != 0 && (rv.rn.getSmGroup() & group) == 0) {
                if (parted.empty()) parted.assign(size_t(vertTotal), false);
                parted[faces[f].v[j]] = true;
                continue;
            }
            rv.rFlags = 1;
            rv.rn.addNormal(unit);
            rv.rn.addSmGroup(group);
        }
    }
    for (int i = 0; i < vertTotal; ++i) MakeUnit(rVerts[i].rn.getNormal());
    if (!parted.empty()) buildPartedNormals(parted, faceTotal);
    if (faceTotal >= kCachedFaces) {
        cacheNormals(vertTotal, faceTotal);
    } else {
        delete normalCache;
        normalCache = nullptr;
    }
}

void Mesh::buildFaceNormals(int faceTotal) {
    std::vector<Point3>& out = render->faceNormals;
    out.resize(size_t(faceTotal));
    const DWORD vertCount = DWORD(std::max(0, std::min(numVerts, vertsAlloc)));
    for (int f = 0; f < faceTotal; ++f) {
        const DWORD* v = faces[f].v;
        const bool inRange = v[0] < vertCount && v[1] < vertCount && v[2] < vertCount;
        out[size_t(f)] = inRange ? UnitFaceNormal(verts[v[0]], verts[v[1]], verts[v[2]]) : kZero;
    }
}

// Each parted vertex gets one normal for each set of its faces that share a group, in face
// order; rn holds the first of them.
void Mesh::buildPartedNormals(const std::vector<bool>& parted, int faceTotal) {
    std::vector<std::vector<RNormal>> around(parted.size());
    for (int f = 0; f < faceTotal; ++f) {
        const DWORD group = faces[f].smGroup;
        if (group == 0) continue;
        for (int j = 0; j < 3; ++j) {
            const DWORD n = faces[f].v[j];
            if (parted[n]) AddToGroup(around[n], group, render->faceNormals[size_t(f)]);
        }
    }
    for (size_t n = 0; n < around.size(); ++n) {
        if (!parted[n]) continue;
        for (RNormal& normal : around[n]) {
            MakeUnit(normal.getNormal());
            render->extra.push_back(normal);
        }
        rVerts[n].rFlags = DWORD(around[n].size());
        rVerts[n].rn = around[n].front();
    }
    pointExtraNormals(int(parted.size()));
}

void Mesh::pointExtraNormals(int vertTotal) {
    RNormal* next = render->extra.data();
    for (int i = 0; i < vertTotal; ++i) {
        const int count = NormalCount(rVerts[i]);
        rVerts[i].ern = (count > 1 && !(rVerts[i].rFlags & SPECIFIED_NORMAL)) ? next : nullptr;
        if (rVerts[i].ern) next += count;
    }
}

bool Mesh::restoreCachedNormals(int vertTotal, int faceTotal) {
    if (!normalCache) return false;
    const NormalCache& cache = *normalCache;
    if (cache.verts.size() != size_t(vertTotal) || cache.corners.size() != kCornerWords * size_t(faceTotal))
        return false;
    // Bit for bit: a position that changed only in sign of zero or NaN payload is a change too.
    if (vertTotal != 0 && std::memcmp(cache.verts.data(), verts, sizeof(Point3) * size_t(vertTotal)) != 0) {
        return false;
    }
    const DWORD* corner = cache.corners.data();
    for (int f = 0; f < faceTotal; ++f, corner += kCornerWords) {
        const DWORD* v = faces[f].v;
        if (v[0] != corner[0] || v[1] != corner[1] || v[2] != corner[2] || faces[f].smGroup != corner[3]) return false;
    }
    // Normals written through getNormal's reference since then are put right.
    std::copy(cache.rVerts.begin(), cache.rVerts.end(), rVerts);
    std::fill(rVerts + vertTotal, rVerts + vertsAlloc, RVertex());
    *render = cache.render;
    pointExtraNormals(vertTotal);
    return true;
}

void Mesh::cacheNormals(int vertTotal, int faceTotal) {
    // The cache only saves work: without memory for it the normals are simply
    // worked out again next time.
    try {
        if (!normalCache) normalCache = new NormalCache();
        NormalCache& cache = *normalCache;
        cache.verts.assign(verts, verts + vertTotal);
        cache.corners.resize(kCornerWords * size_t(faceTotal));
        DWORD* corner = cache.corners.data();
        for (int f = 0; f < faceTotal; ++f, corner += kCornerWords) {
            corner[0] = faces[f].v[0];
            corner[1] = faces[f].v[1];
            corner[2] = faces[f].v[2];
            corner[3] = faces[f].smGroup;
        }
        cache.rVerts.assign(rVerts, rVerts + vertTotal);
        cache.render = *render;
    } catch (...) {
        delete normalCache;  // half filled, it could match a mesh it was not built from
        normalCache = nullptr;
    }
}

namespace {

// Out of range: zeros, renewed on every call so that a caller's write does not stick.
template <class T>
T& Nothing(const T& zero) {
    static T none;
    none = zero;
    return none;
}

}  // namespace

Point3& Mesh::getNormal(int i) const {
    if (rVerts && i >= 0 && i < numVerts && i < vertsAlloc) return rVerts[i].rn.getNormal();
    return Nothing(kZero);
}

RVertex& Mesh::getRVert(int vert) {
    if (rVerts && vert >= 0 && vert < numVerts && vert < vertsAlloc) return rVerts[vert];
    return Nothing(RVertex());
}

Point3& Mesh::getFaceNormal(int i) {
    const int faceTotal = std::max(0, std::min(numFaces, facesAlloc));
    if (!render || i < 0 || i >= faceTotal) return Nothing(kZero);
    if (render->faceNormals.size() != size_t(faceTotal)) buildFaceNormals(faceTotal);
    return render->faceNormals[size_t(i)];
}
