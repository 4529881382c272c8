// Parameter blocks holding float values, constant over time (ivalid is left as it is): the
// old-style block by index, the second-generation one by parameter id (0, 1, ...).
#pragma once

#include <cstddef>
#include <vector>

#include "host/sdk/param_array.h"
#include "host/sdk/param_block2.h"

// FALSE for an index out of range.
inline BOOL StandinReadValue(const std::vector<float>& values, int i, float& v) {
    if (i < 0 || std::size_t(i) >= values.size()) return FALSE;
    v = values[std::size_t(i)];
    return TRUE;
}

class StandinParamBlock : public IParamBlock {
public:
    BOOL GetValue(int i, TimeValue, float& v, Interval&) override { return StandinReadValue(values, i, v); }
    std::vector<float> values;
};

class StandinParamBlock2 : public IParamBlock2 {
public:
    // FALSE for an unknown id or a table index other than 0.
    BOOL GetValue(ParamID id, TimeValue, float& v, Interval&, int tabIndex = 0) override {
        return tabIndex == 0 ? StandinReadValue(values, id, v) : FALSE;
    }
    std::vector<float> values;
};
