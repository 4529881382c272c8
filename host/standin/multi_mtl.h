// A material of another class than the standard one: a multi/sub-object material, with the
// colours the host shows for it (those of a new material).
#pragma once

#include "host/sdk/materials.h"

class StandinMultiMtl : public Mtl {
public:
    explicit StandinMultiMtl(const char* name = "") { SetName(name); }

    Class_ID ClassID() override { return Class_ID(0x200, 0); }
    Color GetAmbient(int = 0, BOOL = FALSE) override { return Color(0.588f, 0.588f, 0.588f); }
    Color GetDiffuse(int = 0, BOOL = FALSE) override { return Color(0.588f, 0.588f, 0.588f); }
    Color GetSpecular(int = 0, BOOL = FALSE) override { return Color(0.9f, 0.9f, 0.9f); }
};
