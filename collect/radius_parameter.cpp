#include "collect/radius_parameter.h"

#include <cmath>

#include "model/export_model.h"

ParameterRead ReadSecondGenerationParameter(Object* object, float& value) {
    if (object == nullptr) return ParameterRead::NoBlock;
    // Asked for through the calls that return that type, never by reinterpreting the
    // old-style block; a class may answer only one of the two.
    Animatable* animatable = object;
    IParamBlock2* block = animatable->GetParamBlockByID(0);
    if (block == nullptr) block = animatable->GetParamBlock(0);
    if (block == nullptr) return ParameterRead::NoBlock;
    Interval ivalid = FOREVER;
    const TimeValue t = hostInterface->GetTime();
    return block->GetValue(0, t, value, ivalid, 0) ? ParameterRead::Read : ParameterRead::Unreadable;
}

bool ReadRadiusParameter(Object* object, float& radius) {
    if (object == nullptr) return false;
    float value = 0.0f;
    const ParameterRead second = ReadSecondGenerationParameter(object, value);
    if (second == ParameterRead::Unreadable) return false;
    if (second == ParameterRead::NoBlock) {
        // An object with parameters in a second-generation block may hand that block out as
        // its old-style one, cast to IParamArray; reading it as an array would be undefined.
        // Only an object with no such block at all has an old-style one to read.
        Animatable* animatable = object;
        if (animatable->NumParamBlocks() != 0) return false;
        IParamArray* parameters = object->GetParamBlock();
        // The array hands out the old-style block it belongs to, if it is one; a blind cast
        // would misread any other kind of parameter array.
        IParamBlock* block = parameters != nullptr ? parameters->GetParamBlock() : nullptr;
        Interval ivalid = FOREVER;
        if (block == nullptr || !block->GetValue(0, hostInterface->GetTime(), value, ivalid)) return false;
    }
    if (!std::isfinite(value)) return false;
    radius = value;
    return true;
}
