// Materials and texture maps.
#pragma once

#include "host/sdk/animatable.h"
#include "host/sdk/interval.h"
#include "host/sdk/point3.h"
#include "host/sdk/tstr.h"

class Texmap;

// The twelve map slots of a standard material.
#define ID_AM 0   // ambient
#define ID_DI 1   // diffuse
#define ID_SP 2   // specular
#define ID_SH 3   // shininess
#define ID_SS 4   // shininess strength
#define ID_SI 5   // self-illumination
#define ID_OP 6   // opacity
#define ID_FI 7   // filter colour
#define ID_BU 8   // bump
#define ID_RL 9   // reflection
#define ID_RR 10  // refraction
#define ID_DP 11  // displacement
#define NTEXMAPS 12

class ISubMap {
public:
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int) { return nullptr; }
};

class MtlBase : public ReferenceTarget, public ISubMap {
public:
    TSTR& GetName() { return name; }
    void SetName(TSTR s) { name = s; }

private:
    TSTR name;  // stand-in storage, as the host's MtlBase holds its name
};

class Mtl : public MtlBase {
public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    virtual Color GetAmbient(int mtlNum = 0, BOOL backFace = FALSE) = 0;
    virtual Color GetDiffuse(int mtlNum = 0, BOOL backFace = FALSE) = 0;
    virtual Color GetSpecular(int mtlNum = 0, BOOL backFace = FALSE) = 0;
    // TRUE for a material with a shader: then a StdMat's map calls take the shader's channel
    // ids (StdMat2::StdIDToChannel), not the slot ids.
    virtual BOOL SupportsShaders() { return FALSE; }
};

class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
};

// The standard material, class (DMTL_CLASS_ID, 0). Its time-taking colour getters hide Mtl's
// overloads on purpose: with both visible, GetAmbient(t) would be ambiguous.
class StdMat : public Mtl {
public:
    virtual BOOL MapEnabled(int id) = 0;
    virtual float GetTexmapAmt(int id, TimeValue t) = 0;
    virtual Color GetAmbient(TimeValue t) = 0;
    virtual Color GetDiffuse(TimeValue t) = 0;
    virtual Color GetSpecular(TimeValue t) = 0;
    virtual Color GetFilter(TimeValue t) = 0;
    virtual float GetOpacity(TimeValue t) = 0;
};

// The standard material with a shader. A shader has up to STD2_NMAX_TEXMAPS map channels;
// StdIDToChannel gives the channel of a slot id (ID_AM ... ID_DP), or -1 when the shader has none.
#define STD2_NMAX_TEXMAPS 24

class StdMat2 : public StdMat {
public:
    virtual long StdIDToChannel(long id) = 0;
};

// A texture map is a bitmap texture when its ClassID() is (BMTEX_CLASS_ID, 0).
class BitmapTex : public Texmap {
public:
    virtual TCHAR* GetMapName() = 0;
};
