// The host's 4x3 transform in the row-vector convention: rows 0, 1, 2 are the X, Y, Z axes and
// row 3 the translation; point p becomes p.x*row0 + p.y*row1 + p.z*row2 + row3. In A * B a
// point passes through A first, then B.
#pragma once

#include "host/sdk/point3.h"
#include "host/sdk/win32.h"

class Matrix3 {
    Point3 m[4];  // stand-in storage: the rows

public:
    Matrix3() {}  // left uninitialised, as in the host
    explicit Matrix3(BOOL init);  // the identity

    void IdentityMatrix();
    Point3 GetRow(int i) const;
    void SetRow(int i, Point3 p);
    void SetTrans(const Point3 p);
    // Multiplies on the right by a translation: the translation row becomes row3 + p.
    void Translate(const Point3& p);
    // Multiplies on the right by a scale; the translation row is scaled only when trans is TRUE.
    void Scale(const Point3& s, BOOL trans = FALSE);
    Matrix3 operator*(const Matrix3& M) const;
    const Point3& operator[](int i) const;
};

// Point transforms, translation included.
Point3 operator*(const Matrix3& A, const Point3& V);
Point3 operator*(const Point3& V, const Matrix3& A);
