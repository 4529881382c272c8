// The root of the host's scene classes.
#pragma once

#include "host/sdk/class_id.h"

class IParamBlock2;

class Animatable {
public:
    virtual ~Animatable();
    virtual Class_ID ClassID() { return Class_ID(0, 0); }
    virtual SClass_ID SuperClassID() { return 0; }
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int) { return nullptr; }
    virtual IParamBlock2* GetParamBlockByID(short) { return nullptr; }
};

class ReferenceMaker : public Animatable {};

class ReferenceTarget : public ReferenceMaker {};
