// Points and vectors in 3D, and the host's colour.
#pragma once

class Point3 {
public:
    float x, y, z;

    Point3() {}  // left uninitialised, as in the host
    Point3(float X, float Y, float Z) : x(X), y(Y), z(Z) {}

    Point3 operator+(const Point3& p) const { return Point3(x + p.x, y + p.y, z + p.z); }
    Point3 operator-(const Point3& p) const { return Point3(x - p.x, y - p.y, z - p.z); }
    Point3 operator*(float f) const { return Point3(x * f, y * f, z * f); }
    Point3& operator+=(const Point3& p) { x += p.x; y += p.y; z += p.z; return *this; }
};

typedef Point3 UVVert;

class Color {
public:
    float r, g, b;

    Color() {}  // left uninitialised, as in the host
    Color(float R, float G, float B) : r(R), g(G), b(B) {}
};
