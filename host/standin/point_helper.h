// A point helper: its size is parameter id 0 of its one second-generation parameter block.
// BaseObject::GetParamBlock() keeps the default and gives null: the helper has no old-style
// block, as a plug-in must find the second-generation one through GetParamBlock(0) or
// GetParamBlockByID(0).
#pragma once

#include "host/sdk/object.h"
#include "host/standin/param_blocks.h"

class StandinPointHelper : public HelperObject {
public:
    explicit StandinPointHelper(float size = 20.0f) { block.values = {size}; }

    Class_ID ClassID() override { return Class_ID(0x5011, 0); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? &block : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override { return id == 0 ? &block : nullptr; }
    using BaseObject::GetParamBlock;

private:
    StandinParamBlock2 block;
};
