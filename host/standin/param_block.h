// An old-style parameter block holding float values by index.
#pragma once

#include <vector>

#include "host/sdk/param_array.h"

class StandinParamBlock : public IParamBlock {
public:
    // FALSE for an index out of range; ivalid is left as it is (the values are constant).
    BOOL GetValue(int i, TimeValue t, float& v, Interval& ivalid) override;
    void SetValue(int i, float v);  // grows the block as needed
    int Count() const { return int(values.size()); }

private:
    std::vector<float> values;
};
