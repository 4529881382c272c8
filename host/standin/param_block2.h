// A second-generation parameter block holding float values by parameter id.
#pragma once

#include <map>

#include "host/sdk/param_block2.h"

class StandinParamBlock2 : public IParamBlock2 {
public:
    // FALSE for an unknown id or a table index other than 0; ivalid is left as it is.
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0) override;
    void SetValue(ParamID id, float v);

private:
    std::map<ParamID, float> values;
};
