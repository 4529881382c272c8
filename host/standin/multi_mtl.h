// A material of another class than the standard one: a multi/sub-object material.
#pragma once

#include "host/sdk/materials.h"

class StandinMultiMtl : public Mtl {
public:
    explicit StandinMultiMtl(const char* name = "") { SetName(name); }

    Class_ID ClassID() override { return Class_ID(0x200, 0); }
    Color GetAmbient(int mtlNum = 0, BOOL backFace = FALSE) override;
    Color GetDiffuse(int mtlNum = 0, BOOL backFace = FALSE) override;
    Color GetSpecular(int mtlNum = 0, BOOL backFace = FALSE) override;
};
