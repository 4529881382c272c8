// The stand-in's scene objects other than the editable poly, and the parameter blocks they hold.
#pragma once

#include <cstddef>
#include <vector>

#include "host/sdk/param_blocks.h"
#include "host/sdk/tri_object.h"

// The TriObjects alive, so tests can check that temporary meshes made by a conversion are
// deleted exactly once and the scene's own meshes never.
long StandinTriObjectsAlive();

// Parameter blocks holding float values, constant over time (ivalid is left as it is): the
// old-style block by index, the second-generation one by parameter id (0, 1, ...). FALSE for
// an index out of range.
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

// The host's editable mesh: a TriObject of a class of its own. Asked for a triangle mesh,
// it answers with itself (TriObject's conversion), so the caller does not own the result.
class StandinEditableMesh : public TriObject {
public:
    Class_ID ClassID() override { return Class_ID(EDITTRIOBJ_CLASS_ID, 0); }
};

// A sphere primitive: radius is index 0 and segments index 1 of its old-style parameter block.
// A second-generation sphere (secondGeneration true) keeps them as IDs 0 and 1 of its one
// IParamBlock2 instead, shaped like the host's SimpleObject2 classes: its old-style
// GetParamBlock() hands that block out as an IParamArray, which cannot be read as one (here:
// an array that holds nothing), and each such call is counted.
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

// A point helper: its size is parameter id 0 of its one second-generation parameter block.
// BaseObject::GetParamBlock() keeps the default and gives null: the helper has no old-style
// block, as a plug-in must find the second-generation one through GetParamBlock(0) or
// GetParamBlockByID(0).
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

// Objects that do not convert to a triangle mesh: a camera, a light and a shape.
class StandinCamera : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1001, 0); }
    SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
};

class StandinLight : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1011, 0); }
    SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
};

class StandinShape : public Object {
public:
    Class_ID ClassID() override { return Class_ID(0x1021, 0); }
    SClass_ID SuperClassID() override { return SHAPE_CLASS_ID; }
};
