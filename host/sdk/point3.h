// Points and vectors in 3D, and the host's colour.
#pragma once

class Point3 {
public:
    float x, y, z;

    Point3() {}  // left uninitialised, as in the host
    Point3(float X, float Y, float Z) : x(X), y(Y), z(Z) {}
    Point3(double X, double Y, double Z) : x(float(X)), y(float(Y)), z(float(Z)) {}
    Point3(int X, int Y, int Z) : x(float(X)), y(float(Y)), z(float(Z)) {}
    Point3(const float af[3]) : x(af[0]), y(af[1]), z(af[2]) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    const float& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    Point3 operator-() const { return Point3(-x, -y, -z); }
    Point3 operator+() const { return *this; }
    Point3 operator+(const Point3& p) const { return Point3(x + p.x, y + p.y, z + p.z); }
    Point3 operator-(const Point3& p) const { return Point3(x - p.x, y - p.y, z - p.z); }
    Point3 operator*(float f) const { return Point3(x * f, y * f, z * f); }
    Point3 operator/(float f) const { return Point3(x / f, y / f, z / f); }
    Point3 operator*(const Point3& p) const { return Point3(x * p.x, y * p.y, z * p.z); }
    Point3& operator+=(const Point3& p) { x += p.x; y += p.y; z += p.z; return *this; }
    Point3& operator-=(const Point3& p) { x -= p.x; y -= p.y; z -= p.z; return *this; }
    Point3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
    Point3& operator/=(float f) { x /= f; y /= f; z /= f; return *this; }
    int operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
    int operator!=(const Point3& p) const { return !(*this == p); }

    Point3 operator^(const Point3& p) const;  // cross product
    float operator%(const Point3& p) const { return x * p.x + y * p.y + z * p.z; }  // dot product

    float Length() const;
    Point3 Normalize() const;  // unit vector; a zero vector stays zero
};

inline Point3 operator*(float f, const Point3& p) { return p * f; }

typedef Point3 UVVert;

class Color {
public:
    float r, g, b;

    Color() {}  // left uninitialised, as in the host
    Color(float R, float G, float B) : r(R), g(G), b(B) {}
    int operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b; }
    int operator!=(const Color& c) const { return !(*this == c); }
};
