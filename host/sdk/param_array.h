// Old-style parameter access: IParamArray and the parameter block that holds values by index.
#pragma once

#include "host/sdk/animatable.h"
#include "host/sdk/interval.h"

class IParamBlock;

class IParamArray {
public:
    virtual BOOL GetValue(int, TimeValue, float&, Interval&) { return FALSE; }
    virtual IParamBlock* GetParamBlock() { return nullptr; }
};

// A sphere primitive's radius is index 0.
class IParamBlock : public ReferenceTarget, public IParamArray {
public:
    virtual BOOL GetValue(int i, TimeValue t, float& v, Interval& ivalid) = 0;
    IParamBlock* GetParamBlock() { return this; }
};
