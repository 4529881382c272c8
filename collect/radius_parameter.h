#pragma once

#include "host/max_sdk.h"

enum class ParameterRead { NoBlock, Unreadable, Read };

// Parameter ID 0 of the object's second-generation block (the block of ID 0, else its first),
// read at a fresh current time: a point helper's size, a second-generation sphere's radius.
// NoBlock when the object has no such block; Unreadable when the read fails.
ParameterRead ReadSecondGenerationParameter(Object* object, float& value);

// The radius of a sphere primitive: parameter ID 0 of its second-generation block, or for an
// object with no second-generation block at all, index 0 of its old-style block. False, with
// radius untouched, when the object is absent, has neither block, or the read fails or gives
// a value that is not finite.
bool ReadRadiusParameter(Object* object, float& radius);
