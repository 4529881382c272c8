#pragma once

#include <cfloat>
#include <cmath>
#include <limits>

#include "host/max_sdk.h"

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
