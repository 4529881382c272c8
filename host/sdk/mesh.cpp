#include "host/sdk/mesh.h"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstring>
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

// The vertices and faces of the last computation and its result. Compared by
// content: the plug-in and the tools write the public arrays directly, so no
// setter could tell that the mesh changed.
struct Mesh::NormalCache {
    std::vector<Point3> verts;
    std::vector<DWORD> corners;  // three vertex indices a face
    std::vector<Point3> normals;
};

Mesh::Mesh()
    : numVerts(0), numFaces(0), faces(nullptr), verts(nullptr), numTVerts(0), tVerts(nullptr),
      tvFace(nullptr), normals(nullptr), normalsSpecified(FALSE), normalCache(nullptr), numTVFaces(0),
      vertsAlloc(0), facesAlloc(0), tVertsAlloc(0) {}

Mesh::Mesh(const Mesh& from) : Mesh() { *this = from; }

Mesh& Mesh::operator=(const Mesh& from) {
    if (this == &from) return *this;
    Mesh copy;  // built first, so a failed allocation leaves *this unchanged
    copy.faces = Duplicate(from.faces, from.facesAlloc);
    copy.verts = Duplicate(from.verts, from.vertsAlloc);
    copy.tVerts = Duplicate(from.tVerts, from.tVertsAlloc);
    copy.tvFace = Duplicate(from.tvFace, from.numTVFaces);
    copy.normals = Duplicate(from.normals, from.normals ? from.vertsAlloc : 0);
    copy.numVerts = from.numVerts;
    copy.numFaces = from.numFaces;
    copy.numTVerts = from.numTVerts;
    copy.numTVFaces = from.tvFace ? from.numTVFaces : 0;
    copy.normalsSpecified = from.normalsSpecified;
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
    std::swap(normals, copy.normals);
    std::swap(normalsSpecified, copy.normalsSpecified);
    std::swap(normalCache, copy.normalCache);  // the copy works its normals out anew
    std::swap(numTVFaces, copy.numTVFaces);
    std::swap(vertsAlloc, copy.vertsAlloc);
    std::swap(facesAlloc, copy.facesAlloc);
    std::swap(tVertsAlloc, copy.tVertsAlloc);
    return *this;
}

Mesh::~Mesh() { freeAll(); }

void Mesh::freeAll() {
    delete[] faces;
    delete[] verts;
    delete[] tVerts;
    delete[] tvFace;
    delete[] normals;
    delete normalCache;
    faces = nullptr;
    verts = nullptr;
    tVerts = nullptr;
    tvFace = nullptr;
    normals = nullptr;
    normalCache = nullptr;
    numVerts = numFaces = numTVerts = numTVFaces = 0;
    vertsAlloc = facesAlloc = tVertsAlloc = 0;
    normalsSpecified = FALSE;
}

BOOL Mesh::setNumVerts(int ct, BOOL keep, BOOL) {
    if (ct < 0) return FALSE;
    Resize(verts, vertsAlloc, ct, keep != FALSE, kZero);
    if (normals) Resize(normals, vertsAlloc, ct, keep != FALSE, kZero);
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
    if (!normals) Resize(normals, 0, vertsAlloc, false, kZero);
    normals[i] = n;
    normalsSpecified = TRUE;
}

void Mesh::buildNormals() {
    if (normalsSpecified && normals) return;
    // Counts changed by hand beyond the arrays are cut to what the arrays hold.
    const int vertTotal = std::max(0, std::min(numVerts, vertsAlloc));
    const int faceTotal = std::max(0, std::min(numFaces, facesAlloc));
    if (normals && restoreCachedNormals(vertTotal, faceTotal)) return;
    if (!normals) Resize(normals, 0, vertsAlloc, false, kZero);
    std::fill(normals, normals + vertsAlloc, kZero);
    const DWORD vertCount = DWORD(vertTotal);
    for (int f = 0; f < faceTotal; ++f) {
        const DWORD* v = faces[f].v;
        if (v[0] >= vertCount || v[1] >= vertCount || v[2] >= vertCount) continue;
        // Worked in double so that large coordinates neither overflow nor lose the normal.
        const Point3& p0 = verts[v[0]];
        const Point3& p1 = verts[v[1]];
        const Point3& p2 = verts[v[2]];
        const double ax = double(p1.x) - p0.x, ay = double(p1.y) - p0.y, az = double(p1.z) - p0.z;
        const double bx = double(p2.x) - p0.x, by = double(p2.y) - p0.y, bz = double(p2.z) - p0.z;
        const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
        const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (!(len > 0.0) || !std::isfinite(len)) continue;  // zero area, or not a number
        const float ux = float(nx / len), uy = float(ny / len), uz = float(nz / len);
        for (int j = 0; j < 3; ++j) {
            Point3& n = normals[v[j]];
            n.x += ux;
            n.y += uy;
            n.z += uz;
        }
    }
    // Each sum made a unit vector, as Point3::Normalize does it (in double; a zero
    // or overflowing sum gives (0, 0, 0)), written out here to stay in the loop.
    for (int i = 0; i < vertTotal; ++i) {
        Point3& n = normals[i];
        const double len = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        if (!(len > 0.0) || !std::isfinite(len)) {
            n = kZero;
        } else {
            n = Point3(float(n.x / len), float(n.y / len), float(n.z / len));
        }
    }
    if (faceTotal >= kCachedFaces) {
        cacheNormals(vertTotal, faceTotal);
    } else {
        delete normalCache;
        normalCache = nullptr;
    }
}

bool Mesh::restoreCachedNormals(int vertTotal, int faceTotal) {
    if (!normalCache) return false;
    const NormalCache& cache = *normalCache;
    if (cache.verts.size() != size_t(vertTotal) || cache.corners.size() != 3 * size_t(faceTotal)) return false;
    // Bit for bit: a position that changed only in sign of zero or NaN payload is a change too.
    if (vertTotal != 0 && std::memcmp(cache.verts.data(), verts, sizeof(Point3) * size_t(vertTotal)) != 0) {
        return false;
    }
    const DWORD* corner = cache.corners.data();
    for (int f = 0; f < faceTotal; ++f, corner += 3) {
        const DWORD* v = faces[f].v;
        if (v[0] != corner[0] || v[1] != corner[1] || v[2] != corner[2]) return false;
    }
    // Normals written through getNormal's reference since then are put right.
    std::copy(cache.normals.begin(), cache.normals.end(), normals);
    std::fill(normals + vertTotal, normals + vertsAlloc, kZero);
    return true;
}

void Mesh::cacheNormals(int vertTotal, int faceTotal) {
    // The cache only saves work: without memory for it the normals are simply
    // worked out again next time.
    try {
        if (!normalCache) normalCache = new NormalCache();
        NormalCache& cache = *normalCache;
        cache.verts.assign(verts, verts + vertTotal);
        cache.corners.resize(3 * size_t(faceTotal));
        DWORD* corner = cache.corners.data();
        for (int f = 0; f < faceTotal; ++f, corner += 3) {
            corner[0] = faces[f].v[0];
            corner[1] = faces[f].v[1];
            corner[2] = faces[f].v[2];
        }
        cache.normals.assign(normals, normals + vertTotal);
    } catch (...) {
        delete normalCache;  // half filled, it could match a mesh it was not built from
        normalCache = nullptr;
    }
}

Point3& Mesh::getNormal(int i) const {
    if (normals && i >= 0 && i < numVerts && i < vertsAlloc) return normals[i];
    // Out of range: a zero normal, renewed on every call so that a caller's write does not stick.
    static Point3 none;
    none = kZero;
    return none;
}
