#include "collect/radius_parameter.h"

#include <cmath>

#include "model/export_state.h"

bool ReadRadiusParameter(Object* object, float& radius) {
    if (object == nullptr) return false;
    // An object whose parameters live in a second-generation block may hand that
    // block out as its old-style one, cast to IParamArray (the host's own point
    // helper does); reading it as an array would be undefined. Such an object has
    // no radius we can read.
    Animatable* animatable = object;
    if (animatable->GetParamBlock(0) != nullptr) return false;
    IParamArray* parameters = object->GetParamBlock();
    if (parameters == nullptr) return false;
    // The array hands out the old-style block it belongs to, if it is one; a
    // blind cast would misread any other kind of parameter array.
    IParamBlock* block = parameters->GetParamBlock();
    if (block == nullptr) return false;
    Interval ivalid = FOREVER;
    float value = 0.0f;
    const TimeValue t = hostInterface->GetTime();
    if (!block->GetValue(0, t, value, ivalid)) return false;
    if (!std::isfinite(value)) return false;
    radius = value;
    return true;
}
