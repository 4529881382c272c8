// A texture map that is not a bitmap (a procedural checker): it has no bitmap path.
#pragma once

#include "host/sdk/materials.h"

class StandinCheckerTex : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(0x200, 0x1); }
};
