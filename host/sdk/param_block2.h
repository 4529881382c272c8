// Second-generation parameter block: values by parameter id (a point helper's size is id 0).
#pragma once

#include "host/sdk/animatable.h"
#include "host/sdk/interval.h"

typedef short ParamID;

class IParamBlock2 : public ReferenceTarget {
public:
    virtual BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0) = 0;
};
