// Matrix and point maths in the host's row-vector convention, against hand-computed results.
#include <gtest/gtest.h>

#include "host/max_sdk.h"

namespace {

void ExpectPoint(const Point3& actual, float x, float y, float z) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
}

Matrix3 Rows(Point3 r0, Point3 r1, Point3 r2, Point3 r3) {
    Matrix3 m(TRUE);
    const Point3 rows[] = {r0, r1, r2, r3};
    for (int i = 0; i < 4; ++i) m.SetRow(i, rows[i]);
    return m;
}

void ExpectRows(const Matrix3& actual, const Matrix3& expected) {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(actual.GetRow(i), expected[i].x, expected[i].y, expected[i].z);
    }
}

Matrix3 Numbered() {
    return Rows(Point3(1, 2, 3), Point3(4, 5, 6), Point3(7, 8, 9), Point3(10, 11, 12));
}

TEST(Matrix3, TransformsPointsAsRowVectors) {
    struct Case {
        const char* what;
        Matrix3 m;
        Point3 in;
        Point3 out;
    } cases[] = {
        {"non-uniform scale and translation",
         Rows(Point3(2, 0, 0), Point3(0, 3, 0), Point3(0, 0, 4), Point3(1, 2, 3)), Point3(1, 1, 1), Point3(3, 5, 7)},
        {"90 degrees about Z", Rows(Point3(0, 1, 0), Point3(-1, 0, 0), Point3(0, 0, 1), Point3(0, 0, 0)),
         Point3(1, 2, 3), Point3(-2, 1, 3)},
        {"mirror in X", Rows(Point3(-1, 0, 0), Point3(0, 1, 0), Point3(0, 0, 1), Point3(5, 0, 0)), Point3(2, 3, 4),
         Point3(3, 3, 4)},
        {"general", Numbered(), Point3(1, -1, 2), Point3(21, 24, 27)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectPoint(c.m * c.in, c.out.x, c.out.y, c.out.z);
        ExpectPoint(c.in * c.m, c.out.x, c.out.y, c.out.z);
    }
}

TEST(Matrix3, ScaleLeavesTranslationUnlessAsked) {
    Matrix3 kept = Numbered();
    kept.Scale(Point3(2, 3, 4));
    ExpectRows(kept, Rows(Point3(2, 6, 12), Point3(8, 15, 24), Point3(14, 24, 36), Point3(10, 11, 12)));

    Matrix3 scaled = Numbered();
    scaled.Scale(Point3(2, 3, 4), TRUE);
    ExpectRows(scaled, Rows(Point3(2, 6, 12), Point3(8, 15, 24), Point3(14, 24, 36), Point3(20, 33, 48)));
}

TEST(Matrix3, TranslateAddsToTheTranslationRow) {
    Matrix3 m = Numbered();
    m.Translate(Point3(1.0f, -1.0f, 0.5f));
    ExpectRows(m, Rows(Point3(1, 2, 3), Point3(4, 5, 6), Point3(7, 8, 9), Point3(11.0f, 10.0f, 12.5f)));
}

TEST(Matrix3, ProductAppliesTheLeftMatrixFirst) {
    const Matrix3 a = Numbered();
    const Matrix3 b = Rows(Point3(2, 0, 1), Point3(0, 1, 0), Point3(1, 0, 3), Point3(5, 6, 7));
    const Matrix3 expected = Rows(Point3(5, 2, 10), Point3(14, 5, 22), Point3(23, 8, 34), Point3(37, 17, 53));
    ExpectRows(a * b, expected);

    // A translation then a quarter turn about Z, and the other way round.
    Matrix3 move(TRUE);
    move.SetTrans(Point3(1, 0, 0));
    const Matrix3 turn = Rows(Point3(0, 1, 0), Point3(-1, 0, 0), Point3(0, 0, 1), Point3(0, 0, 0));
    ExpectPoint(Point3(0, 0, 0) * (move * turn), 0, 1, 0);
    ExpectPoint(Point3(0, 0, 0) * (turn * move), 1, 0, 0);
}

TEST(Matrix3, RowAccessAndIdentity) {
    Matrix3 m(TRUE);
    ExpectRows(m, Rows(Point3(1, 0, 0), Point3(0, 1, 0), Point3(0, 0, 1), Point3(0, 0, 0)));
    m.SetRow(1, Point3(4, 5, 6));
    m.SetTrans(Point3(7, 8, 9));
    ExpectPoint(m.GetRow(1), 4, 5, 6);
    ExpectPoint(m[1], 4, 5, 6);
    ExpectPoint(m.GetRow(3), 7, 8, 9);
    m.IdentityMatrix();
    ExpectRows(m, Matrix3(TRUE));
}

// The reference-helper construction: identity, translate, scale without translation, then the
// object transform; a helper at (5, 6, 7) scaled by (2, 3, 4) of size 10.
TEST(Matrix3, HelperFrameConstruction) {
    const Matrix3 tm = Rows(Point3(2, 0, 0), Point3(0, 3, 0), Point3(0, 0, 4), Point3(5, 6, 7));
    Matrix3 tm1;
    tm1.IdentityMatrix();
    tm1.Translate(Point3(0.0f, 10 * -0.25f, 0.0f));
    tm1.Scale(Point3(1.0f / 2, 1.0f / 3, 1.0f / 4));
    tm1 = tm1 * tm;
    ExpectPoint(tm1.GetRow(0), 1, 0, 0);
    ExpectPoint(tm1.GetRow(1), 0, 1, 0);
    ExpectPoint(tm1.GetRow(2), 0, 0, 1);
    ExpectPoint(tm1.GetRow(3), 5, -1.5f, 7);
}

TEST(Point3, VectorOperations) {
    const Point3 a(1, 2, 3), b(4, 5, 6);
    ExpectPoint(a + b * 2.0f - b * 0.5f, 7, 9.5f, 12);
}

TEST(Basics, ClassIdAndVersion) {
    Class_ID unset;
    EXPECT_EQ(unset.PartA(), 0xffffffffu);
    EXPECT_EQ(unset.PartB(), 0xffffffffu);
    EXPECT_TRUE(triObjectClassID == Class_ID(TRIOBJ_CLASS_ID, 0));
    EXPECT_TRUE(Class_ID(2, 0) != Class_ID(2, 1));
    EXPECT_FALSE(Class_ID(2, 0) != Class_ID(DMTL_CLASS_ID, 0));
    EXPECT_EQ(VERSION_3DSMAX, 0x1F401100);
}

}  // namespace
