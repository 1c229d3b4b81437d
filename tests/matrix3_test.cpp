#include "math/matrix3.h"

#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>

#include "seeded_floats.h"

namespace {

// The float nearest pi / 2, and its cosine and sine as the rotations store them.
constexpr float kHalfPi = 1.57079637f;
const float kCosHalfPi = float(std::cos(double(kHalfPi))); // about -4.37e-08

// Exact element-wise equality (== on floats: +0 and -0 agree, NaN never does).
void ExpectMatrix(const Matrix3& a, std::initializer_list<float> rows) {
    int k = 0;
    for (float e : rows) {
        EXPECT_EQ(a.m[k], e) << "element " << k;
        ++k;
    }
}

void ExpectSame(const Matrix3& a, const Matrix3& b) {
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(a.m[k], b.m[k]) << "element " << k;
}

using Floats = testing_support::SeededFloats;

constexpr Matrix3 kCounting(0, 1, 2, 3, 4, 5, 6, 7, 8);

TEST(Matrix3, ConstructionAndIdentity) {
    ExpectMatrix(Matrix3(), {1, 0, 0, 0, 1, 0, 0, 0, 1});
    EXPECT_EQ(kCounting.m[2], 2.0f); // m02
    EXPECT_EQ(kCounting.m[6], 6.0f); // m20
    Matrix3 a = kCounting;
    a.SetIdentity();
    ExpectSame(a, Matrix3());
    ExpectSame(kCounting * Matrix3(), kCounting);
    ExpectSame(Matrix3() * kCounting, kCounting);
}

TEST(Matrix3, ElementWiseArithmetic) {
    ExpectMatrix(kCounting + kCounting, {0, 2, 4, 6, 8, 10, 12, 14, 16});
    ExpectMatrix(kCounting - Matrix3(), {-1, 1, 2, 3, 3, 5, 6, 7, 7});
    ExpectMatrix(kCounting * 0.5f, {0, 0.5f, 1, 1.5f, 2, 2.5f, 3, 3.5f, 4});
    Matrix3 a = kCounting;
    a += kCounting;
    a -= Matrix3();
    a *= 0.5f;
    ExpectMatrix(a, {-0.5f, 1, 2, 3, 3.5f, 5, 6, 7, 7.5f});
}

TEST(Matrix3, ProductSumsInOrderInFloat) {
    // 1 + 2^-24 + 2^-24 in that order, in float, stays 1.
    const Matrix3 a(1, 1, 1, 0, 1, 0, 0, 0, 1);
    Matrix3 b;
    b.m[3] = 0x1p-24f;
    b.m[6] = 0x1p-24f;
    EXPECT_EQ((a * b).m[0], 1.0f);
    const Matrix3 sq = kCounting * kCounting;
    ExpectMatrix(sq, {15, 18, 21, 42, 54, 66, 69, 90, 111});

    Floats rng(3);
    for (int n = 0; n < 100; ++n) {
        Matrix3 p, q;
        rng.Fill(p.m, -2, 2);
        rng.Fill(q.m, -2, 2);
        Matrix3 pq = p;
        pq *= q;
        ExpectSame(pq, p * q);
        Matrix3 pp = p;
        pp *= pp;
        ExpectSame(pp, p * p);
    }
}

TEST(Matrix3, BuildersReplaceOrMultiplyOnTheRight) {
    Matrix3 t = kCounting;
    t.SetTranslation(2, 3);
    ExpectMatrix(t, {1, 0, 0, 0, 1, 0, 2, 3, 1});
    Matrix3 s = kCounting;
    s.SetScaling(2, 3);
    ExpectMatrix(s, {2, 0, 0, 0, 3, 0, 0, 0, 1});
    const float a = 0.4f;
    const float sn = float(std::sin(double(a))), cs = float(std::cos(double(a)));
    Matrix3 r = kCounting;
    r.SetRotation(a);
    ExpectMatrix(r, {cs, sn, 0, -sn, cs, 0, 0, 0, 1});

    Matrix3 ts;
    ts.Translate(1, 0);
    ts.Scale(2, 2);
    ExpectMatrix(ts, {2, 0, 0, 0, 2, 0, 2, 0, 1});
    Matrix3 st;
    st.Scale(2, 2);
    st.Translate(1, 0);
    ExpectMatrix(st, {2, 0, 0, 0, 2, 0, 1, 0, 1});

    Matrix3 rot;
    rot.Rotate(a);
    ExpectSame(rot, r);
    Matrix3 applied = kCounting;
    applied.Rotate(a);
    ExpectSame(applied, kCounting * r);

    Matrix3 q;
    q.SetRotation(kHalfPi);
    ExpectMatrix(q, {kCosHalfPi, 1, 0, -1, kCosHalfPi, 0, 0, 0, 1});
    EXPECT_NEAR(kCosHalfPi, -4.37e-08f, 1e-10f);
}

TEST(Matrix3, RowAndColumnAccessorsWriteAOne) {
    Matrix3 r;
    r.SetRow(Vector2(5, 6), 2);
    ExpectMatrix(r, {1, 0, 0, 0, 1, 0, 5, 6, 1});
    r.SetRow(Vector2(7, 8), 0);
    ExpectMatrix(r, {7, 8, 1, 0, 1, 0, 5, 6, 1});
    Matrix3 c;
    c.SetColumn(Vector2(5, 6), 0);
    ExpectMatrix(c, {5, 0, 0, 6, 1, 0, 1, 0, 1});

    Matrix3 t;
    t.SetTranslation(-1.5f, 4);
    EXPECT_EQ(t.GetRow(2).x, -1.5f);
    EXPECT_EQ(t.GetRow(2).y, 4.0f);
    EXPECT_EQ(Matrix3().GetColumn(0).x, 1.0f);
    EXPECT_EQ(Matrix3().GetColumn(0).y, 0.0f);
    EXPECT_EQ(kCounting.GetColumn(2).x, 2.0f);
    EXPECT_EQ(kCounting.GetColumn(2).y, 5.0f);
    EXPECT_EQ(kCounting.GetRow(1).x, 3.0f);
    EXPECT_EQ(kCounting.GetRow(1).y, 4.0f);
}

TEST(Matrix3, Transpose) {
    const Matrix3 t = kCounting.Transposed();
    ExpectMatrix(t, {0, 3, 6, 1, 4, 7, 2, 5, 8});
    EXPECT_EQ(kCounting.m[2], 2.0f);
    Matrix3 a = kCounting;
    a.Transpose();
    ExpectSame(a, t);
    a.Transpose();
    ExpectSame(a, kCounting);
}

TEST(Matrix3, Vector2Transform) {
    Vector2 p(1, 2);
    p.Transform(kCounting);
    EXPECT_EQ(p.x, 1 * 0 + 2 * 3 + 6.0f);
    EXPECT_EQ(p.y, 1 * 1 + 2 * 4 + 7.0f);

    // The third column is never read.
    const Matrix3 a(2, 1, 99, -1, 3, -7, 5, 6, 0.5f);
    const Matrix3 b(2, 1, 0, -1, 3, 0, 5, 6, 1);
    Vector2 u(0.25f, -3), v(0.25f, -3);
    u.Transform(a);
    v.Transform(b);
    EXPECT_EQ(u.x, v.x);
    EXPECT_EQ(u.y, v.y);
    EXPECT_EQ(u.x, 0.5f + 3 + 5);
    EXPECT_EQ(u.y, 0.25f - 9 + 6);

    Matrix3 t;
    t.SetTranslation(10, -1);
    Vector2 q(1, 1);
    q.Transform(t);
    EXPECT_EQ(q.x, 11.0f);
    EXPECT_EQ(q.y, 0.0f);
}

TEST(Matrix3, Vector2RotateTurnsCounterClockwise) {
    Vector2 v(1, 0);
    v.Rotate(kHalfPi);
    EXPECT_EQ(v.x, kCosHalfPi);
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_NEAR(v.x, -4.3711388e-08f, 1e-14f);

    Floats rng(9);
    for (int n = 0; n < 50; ++n) {
        const float a = rng.Next(-7, 7);
        const Vector2 start(rng.Next(-5, 5), rng.Next(-5, 5));
        Vector2 r = start;
        r.Rotate(a);
        Matrix3 m;
        m.SetRotation(a);
        Vector2 t = start;
        t.Transform(m);
        EXPECT_EQ(r.x, t.x);
        EXPECT_EQ(r.y, t.y);
        // x' = x cos - y sin, y' = x sin + y cos.
        const float s = float(std::sin(double(a))), c = float(std::cos(double(a)));
        EXPECT_EQ(r.x, start.x * c + start.y * -s);
        EXPECT_EQ(r.y, start.x * s + start.y * c);
    }
}

TEST(Matrix3, ConstantExpressions) {
    constexpr Matrix3 sq = kCounting * kCounting.Transposed();
    static_assert(sq.m[0] == 5.0f && sq.m[8] == 149.0f);
    EXPECT_EQ(sq.m[4], 50.0f);
}

} // namespace
