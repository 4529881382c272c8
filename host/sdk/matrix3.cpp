#include "host/sdk/matrix3.h"

Matrix3::Matrix3(BOOL) { IdentityMatrix(); }

void Matrix3::IdentityMatrix() {
    m[0] = Point3(1.0f, 0.0f, 0.0f);
    m[1] = Point3(0.0f, 1.0f, 0.0f);
    m[2] = Point3(0.0f, 0.0f, 1.0f);
    m[3] = Point3(0.0f, 0.0f, 0.0f);
}

// Row indices outside 0..3 are clamped, so no call reads or writes outside the matrix.
static int RowIndex(int i) { return i < 0 ? 0 : (i > 3 ? 3 : i); }

Point3 Matrix3::GetRow(int i) const { return m[RowIndex(i)]; }
void Matrix3::SetRow(int i, Point3 p) { m[RowIndex(i)] = p; }
void Matrix3::SetTrans(const Point3 p) { m[3] = p; }
const Point3& Matrix3::operator[](int i) const { return m[RowIndex(i)]; }

void Matrix3::Translate(const Point3& p) { m[3] += p; }

void Matrix3::Scale(const Point3& s, BOOL trans) {
    const int rows = trans ? 4 : 3;
    for (int i = 0; i < rows; ++i) m[i] = Point3(m[i].x * s.x, m[i].y * s.y, m[i].z * s.z);
}

Matrix3 Matrix3::operator*(const Matrix3& B) const {
    Matrix3 C;
    for (int i = 0; i < 4; ++i) {
        // Row i of A * B is row i of A taken through B's axes; the translation row adds B's.
        C.m[i] = B.m[0] * m[i].x + B.m[1] * m[i].y + B.m[2] * m[i].z;
        if (i == 3) C.m[i] += B.m[3];
    }
    return C;
}

Point3 operator*(const Matrix3& A, const Point3& V) {
    return A[0] * V.x + A[1] * V.y + A[2] * V.z + A[3];
}

Point3 operator*(const Point3& V, const Matrix3& A) { return A * V; }
