// Parameter access: the old-style IParamArray and the parameter block that holds values by
// index, and the second-generation block that holds them by parameter id.
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

typedef short ParamID;

// A point helper's size is id 0.
class IParamBlock2 : public ReferenceTarget {
public:
    virtual BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0) = 0;
};
