#include "host/standin/param_block2.h"

BOOL StandinParamBlock2::GetValue(ParamID id, TimeValue, float& v, Interval&, int tabIndex) {
    auto found = values.find(id);
    if (found == values.end() || tabIndex != 0) return FALSE;
    v = found->second;
    return TRUE;
}

void StandinParamBlock2::SetValue(ParamID id, float v) { values[id] = v; }
