// The host's triangle mesh: plain arrays that the plug-in reads through the public fields.
#pragma once

#include "host/sdk/point3.h"
#include "host/sdk/win32.h"

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

class StandinMeshAccess;

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

    int getNumVerts() const { return numVerts; }
    int getNumFaces() const { return numFaces; }
    int getNumTVerts() const { return numTVerts; }
    // Resize an array; keep preserves the leading elements, new elements are zero. A negative
    // count changes nothing and gives FALSE. setNumFaces resizes tvFace along when it exists.
    BOOL setNumVerts(int ct, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumFaces(int ct, BOOL keep = FALSE, BOOL synchSel = TRUE);
    BOOL setNumTVerts(int ct, BOOL keep = FALSE);
    BOOL setNumTVFaces(int ct, BOOL keep = FALSE, int oldCt = 0);

    // Vertex normals. In this stand-in: normals set with setNormal are kept by buildNormals;
    // otherwise a vertex's normal is the normalised sum of the unit normals of the faces using
    // it (zero-area faces add nothing, a zero sum gives (0, 0, 0)). As the host keeps its normals
    // until the mesh changes, a mesh whose vertices and faces are as they were at the last
    // computation gets those normals back without working them out again.
    void buildNormals();
    Point3& getNormal(int i) const;  // (0, 0, 0) for an index out of range or before buildNormals
    void setNormal(int i, const Point3& n);

private:
    friend class StandinMeshAccess;
    // Stand-in storage, as the host's mesh keeps its own normal cache and array sizes. The
    // allocated sizes guard against counts changed by hand.
    Point3* normals;       // vertsAlloc entries, or null
    BOOL normalsSpecified; // set through setNormal: buildNormals keeps them
    struct NormalCache;
    NormalCache* normalCache;  // what the computed normals were built from, or null
    int numTVFaces;        // entries in tvFace
    int vertsAlloc, facesAlloc, tVertsAlloc;
    void freeAll();
    bool restoreCachedNormals(int vertTotal, int faceTotal);
    void cacheNormals(int vertTotal, int faceTotal);
};
