// The stand-in's materials and texture maps.
#pragma once

#include <array>
#include <string>

#include "host/sdk/materials.h"

// The standard material, class (DMTL_CLASS_ID, 0), with the defaults of a new one: ambient and
// diffuse 0.588 grey, specular 0.9, filter 0.5, opacity 1; a shader whose map channels are the
// twelve slots (StdIDToChannel(id) is id), each disabled, empty and of amount 1. The map calls
// take channel ids, 0 to 23, as the host's do; SetShaderChannels gives another shader's
// translation. Values do not change with time; tests derive and override the getters for that.

// Implements Mtl's colour getters (which StdMat hides) by the standard material's at time 0,
// in a class of their own so that StandinStdMat's scope sees only the time-taking ones.
class StandinStdMatMtlColours : public StdMat2 {
public:
    Color GetAmbient(int = 0, BOOL = FALSE) override { return static_cast<StdMat*>(this)->GetAmbient(TimeValue(0)); }
    Color GetDiffuse(int = 0, BOOL = FALSE) override { return static_cast<StdMat*>(this)->GetDiffuse(TimeValue(0)); }
    Color GetSpecular(int = 0, BOOL = FALSE) override { return static_cast<StdMat*>(this)->GetSpecular(TimeValue(0)); }
};

class StandinStdMat : public StandinStdMatMtlColours {
public:
    explicit StandinStdMat(const char* name = "") { SetName(name); }

    Class_ID ClassID() override { return Class_ID(DMTL_CLASS_ID, 0); }

    Color GetAmbient(TimeValue) override { return ambient; }
    Color GetDiffuse(TimeValue) override { return diffuse; }
    Color GetSpecular(TimeValue) override { return specular; }
    Color GetFilter(TimeValue) override { return filter; }
    float GetOpacity(TimeValue) override { return opacity; }
    BOOL SupportsShaders() override { return TRUE; }
    long StdIDToChannel(long id) override { return id >= 0 && id < NTEXMAPS ? shaderChannels[size_t(id)] : -1; }
    // Out-of-range channels are disabled, empty and of amount 0.
    BOOL MapEnabled(int id) override { return At(id) ? At(id)->enabled : FALSE; }
    float GetTexmapAmt(int id, TimeValue) override { return At(id) ? At(id)->amount : 0.0f; }
    int NumSubTexmaps() override { return STD2_NMAX_TEXMAPS; }
    Texmap* GetSubTexmap(int i) override { return At(i) ? At(i)->map : nullptr; }

    void SetAmbient(const Color& c) { ambient = c; }
    void SetDiffuse(const Color& c) { diffuse = c; }
    void SetSpecular(const Color& c) { specular = c; }
    void SetFilter(const Color& c) { filter = c; }
    void SetOpacity(float v) { opacity = v; }
    // The setters of a map channel change nothing for a channel out of range.
    void EnableMap(int id, BOOL onoff) {
        if (At(id)) At(id)->enabled = onoff;
    }
    void SetTexmapAmt(int id, float amount) {
        if (At(id)) At(id)->amount = amount;
    }
    // Puts map into channel id, enabled, with the given amount.
    void SetMap(int id, Texmap* map, float amount = 1.0f) {
        if (At(id)) *At(id) = Slot{TRUE, map, amount};
    }
    // The channel of each slot (-1 for none), as a shader other than the default ones has them.
    void SetShaderChannels(const std::array<long, NTEXMAPS>& channels) { shaderChannels = channels; }

private:
    struct Slot {
        BOOL enabled = FALSE;
        Texmap* map = nullptr;
        float amount = 1.0f;
    };
    Slot* At(int id) { return id >= 0 && id < STD2_NMAX_TEXMAPS ? &slots[size_t(id)] : nullptr; }

    Color ambient{0.588f, 0.588f, 0.588f}, diffuse{0.588f, 0.588f, 0.588f}, specular{0.9f, 0.9f, 0.9f};
    Color filter{0.5f, 0.5f, 0.5f};
    float opacity = 1.0f;
    std::array<Slot, STD2_NMAX_TEXMAPS> slots;
    std::array<long, NTEXMAPS> shaderChannels{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
};

// A material of another class than the standard one: a multi/sub-object material, with the
// colours the host shows for it (those of a new material).
class StandinMultiMtl : public Mtl {
public:
    explicit StandinMultiMtl(const char* name = "") { SetName(name); }

    Class_ID ClassID() override { return Class_ID(0x200, 0); }
    Color GetAmbient(int = 0, BOOL = FALSE) override { return Color(0.588f, 0.588f, 0.588f); }
    Color GetDiffuse(int = 0, BOOL = FALSE) override { return Color(0.588f, 0.588f, 0.588f); }
    Color GetSpecular(int = 0, BOOL = FALSE) override { return Color(0.9f, 0.9f, 0.9f); }
};

// A bitmap texture map, class (BMTEX_CLASS_ID, 0), with the bitmap's path.
class StandinBitmapTex : public BitmapTex {
public:
    // A null path gives a map whose GetMapName() is null.
    explicit StandinBitmapTex(const char* path = nullptr) : hasPath(path != nullptr), path(path ? path : "") {}

    Class_ID ClassID() override { return Class_ID(BMTEX_CLASS_ID, 0); }
    TCHAR* GetMapName() override { return hasPath ? &path[0] : nullptr; }

private:
    bool hasPath;
    std::string path;
};

// A texture map that is not a bitmap (a procedural checker): it has no bitmap path.
class StandinCheckerTex : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(0x200, 0x1); }
};
