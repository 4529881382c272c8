// The host's triangle mesh: plain arrays that the plug-in reads through the public fields.
#pragma once

#include "host/sdk/point3.h"
#include "host/sdk/win32.h"

#include <string>
#include <vector>

class Face {
public:
    DWORD v[3];
    DWORD smGroup;
    DWORD flags;

    Face() : v{0, 0, 0}, smGroup(0), flags(0) {}
    void setVerts(int a, int b, int c) {
        v[0] = DWORD(a);
        v[1] = DWORD(b);
        v[2] = DWORD(c);
    }
};

class TVFace {
public:
    DWORD t[3];

    TVFace() : t{0, 0, 0} {}
    void setTVerts(int a, int b, int c) {
        t[0] = DWORD(a);
        t[1] = DWORD(b);
        t[2] = DWORD(c);
    }
};

// Render normals. A vertex carries one normal for each set of its faces that share a smoothing
// group (RNormal::getSmGroup, the groups it was smoothed across); the count is rFlags &
// NORCT_MASK, the normal rn when it is 1, ern[0 .. count-1] when it is more. A vertex whose faces
// are all in group 0 has none: each of its corners takes its face's normal. A normal set with
// Mesh::setNormal marks the vertex SPECIFIED_NORMAL, with the normal in rn.
#define NORCT_MASK 0x000000ff
#define SPECIFIED_NORMAL 0x00004000

class RNormal {
public:
    RNormal() : normal(0.0f, 0.0f, 0.0f), smGroup(0) {}
    void setNormal(const Point3& nor) { normal = nor; }
    void addNormal(const Point3& nor) { normal += nor; }
    Point3& getNormal() { return normal; }
    void setSmGroup(DWORD g) { smGroup = g; }
    void addSmGroup(DWORD g) { smGroup |= g; }
    DWORD getSmGroup() { return smGroup; }

private:
    Point3 normal;
    DWORD smGroup;
};

class RVertex {
public:
    DWORD rFlags;
    RNormal rn;
    RNormal* ern;

    RVertex() : rFlags(0), ern(nullptr) {}
};

struct StandinMeshError;

class Mesh {
public:
    int numVerts;
    int numFaces;
    Face* faces;
    Point3* verts;
    int numTVerts;
    UVVert* tVerts;
    TVFace* tvFace;  // one per face when the mesh is mapped

    Mesh();
    Mesh(const Mesh& from);
    Mesh& operator=(const Mesh& from);
    ~Mesh();

    int getNumFaces() const { return numFaces; }
    // Resize an array; keep preserves the leading elements, new elements are zero. A negative
    // count changes nothing and gives FALSE. setNumFaces resizes tvFace along when it exists.
    BOOL setNumVerts(int ct, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumFaces(int ct, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumTVerts(int ct, BOOL keep = FALSE);
    BOOL setNumTVFaces(int ct, BOOL keep = FALSE, int oldCt = 0);

    // Face normals and render normals. In this stand-in: normals set with setNormal are kept
    // by buildNormals; otherwise each render normal is the normalised sum of the unit normals of
    // its faces (zero-area faces add nothing, a zero sum gives (0, 0, 0)); a face joins the
    // first normal of its vertex whose groups share a bit with its own. As the host keeps its
    // normals until the mesh changes, a mesh whose vertices and faces are as they were at the
    // last computation gets those normals back without working them out again. A face naming
    // a vertex the mesh does not have, which the host would read past its vertices for, throws
    // std::logic_error.
    void buildNormals();
    // rn of vertex i: with several render normals, only one of them. (0, 0, 0) for an index out
    // of range or before buildNormals; getFaceNormal and getRVert likewise give zeros.
    Point3& getNormal(int i) const;
    void setNormal(int i, const Point3& n);
    Point3& getFaceNormal(int i);
    RVertex& getRVert(int vert);

private:
    // The stand-in's consistency check reads the allocated sizes.
    friend StandinMeshError StandinCheckMesh(const Mesh& mesh, const std::string& nodeName);
    // Stand-in storage, as the host's mesh keeps its own normal cache and array sizes. The
    // allocated sizes guard against counts changed by hand.
    RVertex* rVerts;       // vertsAlloc entries, or null
    BOOL normalsSpecified; // set through setNormal: buildNormals keeps them
    struct RenderNormals;  // face normals and the ern arrays
    RenderNormals* render;
    struct NormalCache;
    NormalCache* normalCache;  // what the computed normals were built from, or null
    int numTVFaces;        // entries in tvFace
    int vertsAlloc, facesAlloc, tVertsAlloc;
    void buildFaceNormals(int faceTotal);
    void buildPartedNormals(const std::vector<bool>& parted, int faceTotal);
    void pointExtraNormals(int vertTotal);
    bool restoreCachedNormals(int vertTotal, int faceTotal);
    void cacheNormals(int vertTotal, int faceTotal);
};
