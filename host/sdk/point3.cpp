#include "host/sdk/point3.h"

#include <cmath>

Point3 Point3::operator^(const Point3& p) const {
    return Point3(y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x);
}

float Point3::Length() const {
    return float(std::sqrt(double(x) * x + double(y) * y + double(z) * z));
}

Point3 Point3::Normalize() const {
    double len = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (!(len > 0.0) || !std::isfinite(len)) return Point3(0.0f, 0.0f, 0.0f);
    return Point3(x / len, y / len, z / len);
}
