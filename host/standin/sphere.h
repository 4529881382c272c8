// A sphere primitive: radius is index 0 and segments index 1 of its old-style parameter block.
#pragma once

#include "host/sdk/tri_object.h"
#include "host/standin/param_block.h"

class StandinSphere : public GeomObject {
public:
    explicit StandinSphere(float radius = 25.0f, int segments = 32);

    Class_ID ClassID() override { return Class_ID(0x11, 0); }
    IParamArray* GetParamBlock() override { return &block; }
    using Animatable::GetParamBlock;
    int CanConvertToType(Class_ID obtype) override;
    // A new TriObject that the caller deletes: segments around, segments / 2 bands from pole to
    // pole, outward normals set explicitly, a UV grid with a seam.
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;

    void SetRadius(float radius) { block.SetValue(0, radius); }
    void SetSegments(int segments) { block.SetValue(1, float(segments)); }
    float Radius(TimeValue t);
    int Segments(TimeValue t);  // clamped to 4..8192

    // The tessellation, O(segments^2).
    static void BuildMesh(Mesh& mesh, float radius, int segments);

private:
    StandinParamBlock block;
};
