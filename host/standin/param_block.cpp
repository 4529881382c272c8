#include "host/standin/param_block.h"

#include <cstddef>

BOOL StandinParamBlock::GetValue(int i, TimeValue, float& v, Interval&) {
    if (i < 0 || i >= Count()) return FALSE;
    v = values[std::size_t(i)];
    return TRUE;
}

void StandinParamBlock::SetValue(int i, float v) {
    if (i < 0) return;
    if (i >= Count()) values.resize(std::size_t(i) + 1, 0.0f);
    values[std::size_t(i)] = v;
}
