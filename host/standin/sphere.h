// A sphere primitive: radius is index 0 and segments index 1 of its old-style parameter block.
// A second-generation sphere (secondGeneration true) keeps them as IDs 0 and 1 of its one
// IParamBlock2 instead, shaped like the host's SimpleObject2 classes: its old-style
// GetParamBlock() hands that block out as an IParamArray, which cannot be read as one (here:
// an array that holds nothing), and each such call is counted.
#pragma once

#include "host/sdk/tri_object.h"
#include "host/standin/param_blocks.h"

class StandinSphere : public GeomObject {
public:
    explicit StandinSphere(float radius = 25.0f, int segments = 32, bool secondGeneration = false);

    Class_ID ClassID() override { return Class_ID(0x11, 0); }
    IParamArray* GetParamBlock() override;
    int NumParamBlocks() override { return secondGeneration ? 1 : 0; }
    IParamBlock2* GetParamBlock(int i) override { return secondGeneration && i == 0 ? &block2 : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override { return secondGeneration && id == 0 ? &block2 : nullptr; }
    int OldStyleBlockCalls() const { return oldStyleBlockCalls; }
    int CanConvertToType(Class_ID obtype) override;
    // A new TriObject that the caller deletes: segments around, segments / 2 bands from pole to
    // pole, outward normals set explicitly, a UV grid with a seam.
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;

    // The tessellation, O(segments^2).
    static void BuildMesh(Mesh& mesh, float radius, int segments);

private:
    float Value(int i);  // index 0 radius, 1 segments
    bool secondGeneration;
    StandinParamBlock block;
    StandinParamBlock2 block2;
    IParamArray notAnArray;
    int oldStyleBlockCalls = 0;
};
