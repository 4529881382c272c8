#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/max_sdk.h"

// Walks the host's scene and turns each node into export-model records in
// currentModel, reading the host through hostInterface. Carries no state: every
// route reads what it needs from the node and the export state.
class NodeCollector : public ITreeEnumProc {
public:
    // Routes the node and lets the walk go on. Throws nothing: when collecting the
    // node fails it sets collectionFailed and stops the walk (TREE_ABORT).
    int callback(INode* node) noexcept override;

    // Takes the node to its collector, first match wins: a helper object (judged at time 0),
    // a node named "GBND", "GELP", else the mesh route if its object converts to a triangle mesh.
    void ProcessNode(INode* node);

    void CollectReference(INode* node);
    void CollectBoundSphere(INode* node);
    void CollectEllipsoid(INode* node);
    // Material index of the node's standard material, adding its record when the
    // name is new; 0 when the node (called nodeName) has no standard material.
    int32_t CollectMaterial(INode* node, const char* nodeName);
    // Appends the mesh as one or more GVTX records (a 16-bit index addresses at
    // most 21,845 triangles of three corners each).
    void CollectMesh(const char* name, TriObject* tri, int32_t materialIndex, Matrix3 objectToWorld);
};

// The node's object at the current time as a triangle mesh, or null when it does
// not convert. Del is true when the conversion made a new object, which the
// caller then owns and deletes.
TriObject* ConvertToTriObject(INode* node, BOOL& Del);

// The node's name, or "" when the host gives none, so that name tests and name
// copies never read through a null pointer.
inline const char* NodeName(INode* node) {
    const char* name = node->GetName();
    return name != nullptr ? name : "";
}

enum class ParameterRead { NoBlock, Unreadable, Read };

// Parameter ID 0 of the object's second-generation block (the block of ID 0, else its first),
// read at a fresh current time: a point helper's size, a second-generation sphere's radius.
// NoBlock when the object has no such block; Unreadable when the read fails.
ParameterRead ReadSecondGenerationParameter(Object* object, float& value);

// A double rounded to f32 to nearest, ties to even, as the f32 conversion rounds.
// Doubles beyond the f32 range make that conversion undefined, so the overflow is
// decided here: below FLT_MAX plus half an f32 ulp a value still rounds to FLT_MAX;
// from there on (the tie goes to the even neighbour, which is the infinity) it
// becomes an infinity of its sign, which the callers' finiteness checks turn away.
inline float StoreF32(double value) {
    // FLT_MAX + 2^103, half an ulp above it; exact as a double.
    const double overflowFrom = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
    if (value >= overflowFrom) return std::numeric_limits<float>::infinity();
    if (value <= -overflowFrom) return -std::numeric_limits<float>::infinity();
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

// Distance between two transformed points, worked in double precision (the sums
// in the order x, y, z) and stored as f32, like every measured length in the file.
inline float DistanceF32(const Point3& p, const Point3& q) {
    const double dx = static_cast<double>(p.x) - static_cast<double>(q.x);
    const double dy = static_cast<double>(p.y) - static_cast<double>(q.y);
    const double dz = static_cast<double>(p.z) - static_cast<double>(q.z);
    return StoreF32(std::sqrt((dx * dx + dy * dy) + dz * dz));
}

// A WUX reader rejects NaN and infinities, so collectors check what they
// computed before they build a record from it.
inline bool IsFinitePoint(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// A broken host value (NaN, infinity) is written as 0.
inline float FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }
