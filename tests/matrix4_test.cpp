#include "math/matrix4.h"

#include <cmath>
#include <initializer_list>

#include <gtest/gtest.h>

#include "math/vector4.h"
#include "seeded_floats.h"

namespace {

constexpr float kInf = INFINITY;
// The float nearest pi / 2, and its cosine and sine as the rotations store them.
constexpr float kHalfPi = 1.57079637f;
const float kCosHalfPi = float(std::cos(double(kHalfPi))); // about -4.37e-08
const float kSinHalfPi = float(std::sin(double(kHalfPi))); // rounds to 1

// Exact element-wise equality (== on floats: +0 and -0 agree, NaN never does).
void ExpectMatrix(const Matrix4& a, std::initializer_list<float> rows) {
    int k = 0;
    for (float e : rows) {
        EXPECT_EQ(a.m[k], e) << "element " << k;
        ++k;
    }
}

void ExpectSame(const Matrix4& a, const Matrix4& b) {
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(a.m[k], b.m[k]) << "element " << k;
}

using Floats = testing_support::SeededFloats;

Matrix4 RandomMatrix(Floats& rng) {
    Matrix4 a;
    rng.Fill(a.m, -2.0f, 2.0f);
    return a;
}

constexpr Matrix4 kCounting(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

TEST(Matrix4, ConstructionAndIdentity) {
    ExpectMatrix(Matrix4(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    const Matrix4 a(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    EXPECT_EQ(a.m[3], 3.0f);   // m03
    EXPECT_EQ(a.m[12], 12.0f); // m30
    const Matrix4 copy(a);
    ExpectSame(copy, a);

    Matrix4 b = kCounting;
    b.SetIdentity();
    ExpectSame(b, Matrix4());
    ExpectSame(kCounting * Matrix4(), kCounting);
    ExpectSame(Matrix4() * kCounting, kCounting);
}

TEST(Matrix4, ElementWiseArithmetic) {
    const Matrix4 sum = kCounting + kCounting;
    const Matrix4 diff = kCounting - Matrix4();
    const Matrix4 half = kCounting * 0.5f;
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(sum.m[k], 2.0f * float(k + 1));
        EXPECT_EQ(half.m[k], 0.5f * float(k + 1));
    }
    ExpectMatrix(diff, {0, 2, 3, 4, 5, 5, 7, 8, 9, 10, 10, 12, 13, 14, 15, 15});

    Matrix4 a = kCounting;
    a += kCounting;
    ExpectSame(a, sum);
    a -= kCounting;
    ExpectSame(a, kCounting);
    a *= 0.5f;
    ExpectSame(a, half);
}

TEST(Matrix4, ProductSumsInOrderInFloat) {
    // Row 0 of a meets column 0 of b as 1*1 + 1*2^-24 + 1*2^-24: in order, in float, each half
    // ulp vanishes against 1. A double accumulator or another order gives 1 + 2^-23.
    const Matrix4 a(1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    Matrix4 b;
    b.m[4] = 0x1p-24f;
    b.m[8] = 0x1p-24f;
    EXPECT_EQ((a * b).m[0], 1.0f);
    const Matrix4 reversed(0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    Matrix4 c;
    c.m[4] = 0x1p-24f;
    c.m[8] = 0x1p-24f;
    c.m[0] = 0.0f;
    c.m[12] = 1.0f;
    EXPECT_EQ((reversed * c).m[0], 1.0f + 0x1p-23f);

    // Integer products are exact: (row i of kCounting) . (column j of its transpose).
    const Matrix4 sq = kCounting * kCounting.Transposed();
    EXPECT_EQ(sq.m[0], 30.0f);
    EXPECT_EQ(sq.m[1], 70.0f);
    EXPECT_EQ(sq.m[15], 13.0f * 13 + 14 * 14 + 15 * 15 + 16 * 16);
}

TEST(Matrix4, InPlaceProductEqualsTheProduct) {
    Floats rng(17);
    for (int n = 0; n < 100; ++n) {
        const Matrix4 a = RandomMatrix(rng), b = RandomMatrix(rng);
        Matrix4 ab = a;
        ab *= b;
        ExpectSame(ab, a * b);
        Matrix4 sq = a;
        sq *= sq; // the operand is the receiver itself
        ExpectSame(sq, a * a);
    }
}

TEST(Matrix4, BuildersMultiplyOnTheRight) {
    Matrix4 t = kCounting;
    t.SetTranslation(1, 2, 3);
    ExpectMatrix(t, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
    Matrix4 s = kCounting;
    s.SetScaling(2, 3, 4);
    ExpectMatrix(s, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1});

    // The scaling acts on a translation that precedes it, not on one that follows.
    Matrix4 ts;
    ts.Translate(1, 0, 0);
    ts.Scale(2, 2, 2);
    EXPECT_EQ(ts.GetRow(3).x, 2.0f);
    ExpectMatrix(ts, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 2, 0, 0, 1});
    Matrix4 st;
    st.Scale(2, 2, 2);
    st.Translate(1, 0, 0);
    ExpectMatrix(st, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 0, 0, 1});

    Matrix4 a = kCounting;
    a.Translate(1, 2, 3);
    ExpectSame(a, kCounting * t);
}

TEST(Matrix4, EulerRotationRoundsSineAndCosine) {
    const float a = 0.3f;
    const float s = float(std::sin(double(a))), c = float(std::cos(double(a)));
    Matrix4 rx, ry, rz;
    rx.SetRotation(a, 0, 0);
    ry.SetRotation(0, a, 0);
    rz.SetRotation(0, 0, a);
    ExpectMatrix(rx, {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1});
    ExpectMatrix(ry, {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1});
    ExpectMatrix(rz, {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

    Matrix4 q;
    q.SetRotation(0, 0, kHalfPi);
    ExpectMatrix(
        q, {kCosHalfPi, kSinHalfPi, 0, 0, -kSinHalfPi, kCosHalfPi, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_EQ(kSinHalfPi, 1.0f);
    EXPECT_NEAR(kCosHalfPi, -4.37e-08f, 1e-10f);
}

TEST(Matrix4, EulerRotationIsXThenYThenZ) {
    Floats rng(5);
    for (int n = 0; n < 50; ++n) {
        const float ax = rng.Next(-4, 4), ay = rng.Next(-4, 4), az = rng.Next(-4, 4);
        Matrix4 set;
        set.SetRotation(ax, ay, az);

        Matrix4 stepwise;
        stepwise.SetRotation(ax, 0, 0);
        stepwise.Rotate(0, ay, 0);
        stepwise.Rotate(0, 0, az);
        ExpectSame(set, stepwise);

        Matrix4 rx, ry, rz;
        rx.SetRotation(ax, 0, 0);
        ry.SetRotation(0, ay, 0);
        rz.SetRotation(0, 0, az);
        ExpectSame(set, (rx * ry) * rz);

        Matrix4 applied = kCounting;
        applied.Rotate(ax, ay, az);
        ExpectSame(applied, ((kCounting * rx) * ry) * rz);
    }
}

TEST(Matrix4, AxisRotationTurnsTheOtherWay) {
    const float a = 0.7f;
    Matrix4 euler, axis;
    euler.SetRotation(0, 0, a);
    axis.SetRotation(Vector3(0, 0, 1), -a);
    ExpectSame(euler, axis);
    euler.SetRotation(a, 0, 0);
    axis.SetRotation(Vector3(1, 0, 0), -a);
    ExpectSame(euler, axis);
    euler.SetRotation(0, a, 0);
    axis.SetRotation(Vector3(0, 1, 0), -a);
    ExpectSame(euler, axis);

    Matrix4 q;
    q.SetRotation(Vector3(0, 0, 1), kHalfPi);
    EXPECT_EQ(q.m[0], kCosHalfPi);
    EXPECT_EQ(q.m[1], -1.0f);
    EXPECT_EQ(q.m[2], 0.0f);
    EXPECT_EQ(q.m[3], 0.0f);

    // Rotate applies A after the receiver.
    Matrix4 r = kCounting;
    r.Rotate(Vector3(0.6f, 0.8f, 0), 1.1f);
    Matrix4 am;
    am.SetRotation(Vector3(0.6f, 0.8f, 0), 1.1f);
    ExpectSame(r, kCounting * am);
}

TEST(Matrix4, AxisRotationUsesTheAxisAsGiven) {
    const float a = 0.9f;
    const float c = float(std::cos(double(a)));
    Matrix4 zero;
    zero.SetRotation(Vector3(), a);
    ExpectMatrix(zero, {c, 0, 0, 0, 0, c, 0, 0, 0, 0, c, 0, 0, 0, 0, 1});

    // A unit axis gives an orthonormal matrix that keeps the axis fixed; a longer axis does not
    // give a rotation.
    const Vector3 u = Vector3(1, 2, 2) / 3.0f;
    Matrix4 rot;
    rot.SetRotation(u, a);
    constexpr float kOrthonormalTolerance = 4e-7f; // a few roundings of values up to 1
    const Matrix4 rrt = rot * rot.Transposed();
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(rrt.m[k], Matrix4().m[k], kOrthonormalTolerance);
    Vector3 fixed = u;
    fixed.Transform(rot);
    EXPECT_NEAR(fixed.x, u.x, kOrthonormalTolerance);
    EXPECT_NEAR(fixed.y, u.y, kOrthonormalTolerance);
    EXPECT_NEAR(fixed.z, u.z, kOrthonormalTolerance);

    Matrix4 big;
    big.SetRotation(Vector3(0, 0, 2), a);
    EXPECT_EQ(big.m[10], 4.0f + (1.0f - 4.0f) * c); // zz + (1 - zz) c, not 1
}

TEST(Matrix4, RowAndColumnAccessorsWriteAOne) {
    Matrix4 c;
    c.SetColumn(Vector3(5, 6, 7), 0);
    ExpectMatrix(c, {5, 0, 0, 0, 6, 1, 0, 0, 7, 0, 1, 0, 1, 0, 0, 1});
    Matrix4 r;
    r.SetRow(Vector3(5, 6, 7), 3);
    ExpectMatrix(r, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1});
    r.SetRow(Vector3(2, 3, 4), 1);
    ExpectMatrix(r, {1, 0, 0, 0, 2, 3, 4, 1, 0, 0, 1, 0, 5, 6, 7, 1});

    Matrix4 t;
    t.SetTranslation(1.5f, -2, 8);
    const Vector3 row3 = t.GetRow(3);
    EXPECT_EQ(row3.x, 1.5f);
    EXPECT_EQ(row3.y, -2.0f);
    EXPECT_EQ(row3.z, 8.0f);
    const Vector3 col2 = kCounting.GetColumn(2);
    EXPECT_EQ(col2.x, 3.0f);
    EXPECT_EQ(col2.y, 7.0f);
    EXPECT_EQ(col2.z, 11.0f);
    const Vector3 row1 = kCounting.GetRow(1);
    EXPECT_EQ(row1.x, 5.0f);
    EXPECT_EQ(row1.z, 7.0f);
}

TEST(Matrix4, Transpose) {
    const Matrix4 a(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const Matrix4 t = a.Transposed();
    EXPECT_EQ(t.m[3], 12.0f);
    EXPECT_EQ(t.m[12], 3.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(t.m[4 * r + c], a.m[4 * c + r]);
    EXPECT_EQ(a.m[3], 3.0f); // receiver unchanged

    Matrix4 b = a;
    b.Transpose();
    ExpectSame(b, t);
    b.Transpose();
    ExpectSame(b, a);
}

TEST(Matrix4, Determinant) {
    EXPECT_EQ(Matrix4().Determinant(), 1.0f);
    Matrix4 s;
    s.SetScaling(2, 3, 4);
    EXPECT_EQ(s.Determinant(), 24.0f);
    EXPECT_EQ(kCounting.Determinant(), 0.0f);
    EXPECT_EQ(kCounting.Transposed().Determinant(), 0.0f);
    // A row swap negates.
    const Matrix4 a(2, 0, 1, 0, 1, 3, 0, 0, 0, 1, 4, 1, 1, 0, 0, 2);
    const Matrix4 swapped(1, 3, 0, 0, 2, 0, 1, 0, 0, 1, 4, 1, 1, 0, 0, 2);
    EXPECT_EQ(a.Determinant(), 53.0f);
    EXPECT_EQ(swapped.Determinant(), -53.0f);
    // Every cofactor of the first row counts with its sign, the fourth (-m[3] * minor) too:
    // with m[3] = 3 and minor(0, 3) = 12, 53 becomes 17; a 4-cycle permutation gives -1.
    const Matrix4 full(2, 0, 1, 3, 1, 3, 0, 0, 0, 1, 4, 1, 1, 0, 0, 2);
    EXPECT_EQ(full.Determinant(), 17.0f);
    const Matrix4 cycle(0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(cycle.Determinant(), -1.0f);
    ExpectSame(cycle.Inverse(), cycle.Transposed()); // a permutation's inverse is its transpose
    ExpectSame(full * full.Adjoint(), Matrix4() * 17.0f);

    // Each minor is carried in float: 4097^2 = 2^24 + 8193 rounds (tie to even) to 16785408
    // before it meets the third 4097, giving 68769816576 (exactly representable). The exact
    // determinant 4097^3 = 68769820673 would round to 68769824768.
    Matrix4 d;
    d.SetScaling(4097, 4097, 4097);
    EXPECT_EQ(d.Determinant(), 4097.0f * 16785408.0f);
    EXPECT_EQ(d.Determinant(), 68769816576.0f);
}

TEST(Matrix4, Adjoint) {
    ExpectSame(Matrix4().Adjoint(), Matrix4());
    Matrix4 s;
    s.SetScaling(2, 3, 4);
    ExpectMatrix(s.Adjoint(), {12, 0, 0, 0, 0, 8, 0, 0, 0, 0, 6, 0, 0, 0, 0, 24});
    // All 3 x 3 minors of the counting matrix vanish.
    for (float e : kCounting.Adjoint().m)
        EXPECT_EQ(e, 0.0f);

    // a * adj(a) = det(a) * I, exactly for small integers.
    const Matrix4 a(2, 0, 1, 0, 1, 3, 0, 0, 0, 1, 4, 1, 1, 0, 0, 2);
    ExpectSame(a * a.Adjoint(), Matrix4() * 53.0f);
    ExpectSame(a.Adjoint() * a, Matrix4() * 53.0f);
    // The transpose of the cofactors, with the signs (-1)^(i + j): (0, 1) is -minor(1, 0).
    const Matrix4 adj = a.Adjoint();
    // minor(1, 0) is the determinant of rows (0, 1, 0), (1, 4, 1), (0, 0, 2), that is -2.
    EXPECT_EQ(adj.m[1], 2.0f);
}

TEST(Matrix4, InverseMultipliesByARoundedReciprocal) {
    Matrix4 s;
    s.SetScaling(2, 4, 8);
    Matrix4 expected;
    expected.SetScaling(0.5f, 0.25f, 0.125f);
    ExpectSame(s.Inverse(), expected);

    Matrix4 t;
    t.SetTranslation(1.5f, -2, 8);
    Matrix4 back;
    back.SetTranslation(-1.5f, 2, -8);
    ExpectSame(t.Inverse(), back);

    // Scaling (41, 1, 1): det 41, adjugate diag(1, 41, 41, 41). The reciprocal 1/41 is rounded
    // to float and then multiplies 41, which gives 0.99999994 where 41 / 41 would give 1.
    Matrix4 odd;
    odd.SetScaling(41, 1, 1);
    const Matrix4 inv = odd.Inverse();
    const float r = 1.0f / 41.0f;
    EXPECT_EQ(inv.m[0], r);
    EXPECT_EQ(inv.m[5], 41.0f * r);
    EXPECT_EQ(inv.m[5], 0.99999994f);
    EXPECT_EQ(inv.m[15], 0.99999994f);

    const Matrix4 a(2, 0, 1, 0, 1, 3, 0, 0, 0, 1, 4, 1, 1, 0, 0, 2);
    const Matrix4 ia = a.Inverse();
    ExpectSame(ia, a.Adjoint() * (1.0f / 53.0f));
    constexpr float kInverseTolerance = 4e-7f; // a few roundings of products below 1
    const Matrix4 id = a * ia;
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(id.m[k], Matrix4().m[k], kInverseTolerance);
}

TEST(Matrix4, InverseOfASingularMatrixIsInfinityAndNaN) {
    for (float e : kCounting.Inverse().m)
        EXPECT_TRUE(std::isnan(e));
    const Matrix4 zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (float e : zero.Inverse().m)
        EXPECT_TRUE(std::isnan(e));

    Matrix4 flat;
    flat.SetScaling(1, 1, 0);
    EXPECT_EQ(flat.Determinant(), 0.0f);
    EXPECT_FALSE(std::signbit(flat.Determinant()));
    const Matrix4 inv = flat.Inverse();
    for (int k = 0; k < 16; ++k) {
        if (k == 10)
            EXPECT_EQ(inv.m[k], kInf);
        else
            EXPECT_TRUE(std::isnan(inv.m[k])) << "element " << k;
    }
}

TEST(Matrix4, Vector3Transform) {
    // Row 3 translates; the fourth column is never read.
    const Matrix4 m(1, 0, 0, 9, 0, 1, 0, -9, 0, 0, 1, 99, 5, 6, 7, 123);
    Vector3 p(1, 1, 1);
    p.Transform(m);
    EXPECT_EQ(p.x, 6.0f);
    EXPECT_EQ(p.y, 7.0f);
    EXPECT_EQ(p.z, 8.0f);

    // Every component reads the old x, y, z.
    Vector3 q(1, 2, 3);
    q.Transform(kCounting);
    EXPECT_EQ(q.x, 1 * 1 + 2 * 5 + 3 * 9 + 13.0f);
    EXPECT_EQ(q.y, 1 * 2 + 2 * 6 + 3 * 10 + 14.0f);
    EXPECT_EQ(q.z, 1 * 3 + 2 * 7 + 3 * 11 + 15.0f);
}

TEST(Matrix4, Vector4Transform) {
    Matrix4 m;
    m.m[12] = 10;
    Vector4 point(1, 2, 3, 1), direction(1, 2, 3, 0);
    point.Transform(m);
    direction.Transform(m);
    EXPECT_EQ(point.x, 11.0f);
    EXPECT_EQ(point.w, 1.0f);
    EXPECT_EQ(direction.x, 1.0f);
    EXPECT_EQ(direction.y, 2.0f);
    EXPECT_EQ(direction.z, 3.0f);
    EXPECT_EQ(direction.w, 0.0f);

    // A fourth column (1, 1, 1, 0) makes w' = x + y + z; no division by w' follows.
    const Matrix4 sum(1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0);
    Vector4 v(2, 3, 4, 7);
    v.Transform(sum);
    EXPECT_EQ(v.x, 2.0f);
    EXPECT_EQ(v.y, 3.0f);
    EXPECT_EQ(v.z, 4.0f);
    EXPECT_EQ(v.w, 9.0f);

    Vector4 all(1, 2, 3, 4);
    all.Transform(kCounting);
    EXPECT_EQ(all.x, 1 * 1 + 2 * 5 + 3 * 9 + 4 * 13.0f);
    EXPECT_EQ(all.w, 1 * 4 + 2 * 8 + 3 * 12 + 4 * 16.0f);
}

TEST(Matrix4, VectorRotationsTurnOppositeWays) {
    Vector3 euler(1, 0, 0), axis(1, 0, 0);
    euler.Rotate(0, 0, kHalfPi);
    axis.Rotate(Vector3(0, 0, 1), kHalfPi);
    EXPECT_EQ(euler.x, kCosHalfPi);
    EXPECT_EQ(euler.y, 1.0f);
    EXPECT_EQ(euler.z, 0.0f);
    EXPECT_EQ(axis.x, kCosHalfPi);
    EXPECT_EQ(axis.y, -1.0f);
    EXPECT_EQ(axis.z, 0.0f);

    // Vector4 turns x, y, z as Vector3 does and keeps w.
    Floats rng(11);
    for (int n = 0; n < 50; ++n) {
        const Vector3 v(rng.Next(-3, 3), rng.Next(-3, 3), rng.Next(-3, 3));
        const Vector3 ax(rng.Next(-1, 1), rng.Next(-1, 1), rng.Next(-1, 1));
        const float a = rng.Next(-4, 4), b = rng.Next(-4, 4), c = rng.Next(-4, 4);
        const float w = rng.Next(-2, 2);

        Vector3 e3 = v, a3 = v;
        e3.Rotate(a, b, c);
        a3.Rotate(ax, a);
        Vector4 e4(v.x, v.y, v.z, w), a4(v.x, v.y, v.z, w);
        e4.Rotate(a, b, c);
        a4.Rotate(ax, a);
        EXPECT_TRUE(e4.x == e3.x && e4.y == e3.y && e4.z == e3.z && e4.w == w);
        EXPECT_TRUE(a4.x == a3.x && a4.y == a3.y && a4.z == a3.z && a4.w == w);

        // Through the matrix the builders make.
        Matrix4 m;
        m.SetRotation(a, b, c);
        Vector3 viaMatrix = v;
        viaMatrix.Transform(m);
        EXPECT_TRUE(viaMatrix.x == e3.x && viaMatrix.y == e3.y && viaMatrix.z == e3.z);
    }
}

TEST(Matrix4, ConstantExpressions) {
    constexpr Matrix4 sq = kCounting * kCounting;
    static_assert(sq.m[0] == 90.0f);
    constexpr Matrix4 t = kCounting.Transposed();
    static_assert(t.m[1] == 5.0f);
    EXPECT_EQ(sq.m[15], 600.0f);
}

} // namespace
