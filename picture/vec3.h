// The little vector arithmetic the pictures need: positions in double precision so that
// framing stays exact for coordinates far from the origin or near the float limit.
#pragma once

#include <cmath>

namespace wux {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline bool IsFinite(Vec3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }
// The zero vector stays zero.
inline Vec3 Normalised(Vec3 a) {
    const double length = Length(a);
    return length > 0 ? a * (1.0 / length) : a;
}

// An axis-aligned box that starts empty and grows by the points added to it.
struct Bounds3 {
    Vec3 min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    Vec3 max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

    bool Empty() const { return min.x > max.x; }
    void Add(Vec3 p) {
        min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y), std::fmin(min.z, p.z)};
        max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y), std::fmax(max.z, p.z)};
    }
    void Add(const Bounds3& other) {
        if (other.Empty()) return;
        Add(other.min);
        Add(other.max);
    }
    Vec3 Centre() const { return (min + max) * 0.5; }
};

}  // namespace wux
