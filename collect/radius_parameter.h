#pragma once

#include "host/max_sdk.h"

// Reads parameter 0 of the object's old-style parameter block (a sphere
// primitive's radius) at a fresh current time. False, with radius untouched,
// when the object is absent, has a second-generation block, has no old-style
// block, or the read fails or gives a value that is not finite.
bool ReadRadiusParameter(Object* object, float& radius);
