#include "math/vector4.h"

#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// 2^-24: half an ulp of 1, so 1 + kHalfUlp rounds back to 1 (tie to even).
constexpr float kHalfUlp = 0x1p-24f;

void ExpectVector(const Vector4& v, float x, float y, float z, float w) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
    EXPECT_EQ(v.w, w);
}

TEST(Vector4, Construction) {
    ExpectVector(Vector4(), 0, 0, 0, 0);
    ExpectVector(Vector4(Vector3(1, 2, 3)), 1, 2, 3, 1);
    ExpectVector(Vector4(1, 2, 3, 4), 1, 2, 3, 4);
    const Vector4 a(5, 6, 7, 8);
    const Vector4 b(a);
    ExpectVector(b, 5, 6, 7, 8);
}

TEST(Vector4, ArithmeticRoundsOncePerComponent) {
    const Vector4 a(1.5f, -2.0f, 0.25f, 3.0f), b(0.25f, 4.0f, -1.0f, -0.5f);
    ExpectVector(a + b, 1.75f, 2.0f, -0.75f, 2.5f);
    ExpectVector(a - b, 1.25f, -6.0f, 1.25f, 3.5f);
    ExpectVector(a * 2.0f, 3.0f, -4.0f, 0.5f, 6.0f);
    ExpectVector(-a, -1.5f, 2.0f, -0.25f, -3.0f);
    EXPECT_TRUE(std::signbit((-Vector4()).w));

    // True divisions: 5 / 3 and 5 * (1 / 3) differ in the last bit.
    EXPECT_EQ((Vector4(1, 1, 1, 5) / 3.0f).w, 5.0f / 3.0f);
    EXPECT_NE((Vector4(1, 1, 1, 5) / 3.0f).w, 5.0f * (1.0f / 3.0f));

    Vector4 c(1, 1, 1, 1);
    c += Vector4(2, 3, 4, 5);
    c -= Vector4(0.5f, 0.5f, 0.5f, 0.5f);
    c *= 2.0f;
    ExpectVector(c, 5, 7, 9, 11);
    c /= 2.0f;
    ExpectVector(c, 2.5f, 3.5f, 4.5f, 5.5f);

    const Vector4 inf = Vector4(1, -1, 0, 2) / 0.0f;
    EXPECT_EQ(inf.x, INFINITY);
    EXPECT_EQ(inf.y, -INFINITY);
    EXPECT_TRUE(std::isnan(inf.z));
}

TEST(Vector4, Dot) {
    EXPECT_EQ(Vector4(1, 2, 3, 4).Dot(Vector4(5, 6, 7, 8)), 70.0f);
    EXPECT_EQ(Dot(Vector4(1, 2, 3, 4), Vector4(5, 6, 7, 8)), 70.0f);
    // Summed ((x + y) + z) + w in float: each half ulp vanishes against 1 on its own.
    EXPECT_EQ(Vector4(1, kHalfUlp, kHalfUlp, kHalfUlp).Dot(Vector4(1, 1, 1, 1)), 1.0f);
    EXPECT_EQ(Vector4(kHalfUlp, kHalfUlp, 1, 0).Dot(Vector4(1, 1, 1, 1)), 1.0f + 0x1p-23f);
}

TEST(Vector4, CrossIsOrthogonalToItsThreeOperands) {
    const Vector4 ex(1, 0, 0, 0), ey(0, 1, 0, 0), ez(0, 0, 1, 0), ew(0, 0, 0, 1);
    ExpectVector(Cross(ex, ey, ez), 0, 0, 0, -1);
    ExpectVector(Cross(ey, ez, ew), 1, 0, 0, 0);
    ExpectVector(Cross(ex, ey, ew), 0, 0, 1, 0);
    ExpectVector(Cross(ex, ez, ew), 0, -1, 0, 0);

    const Vector4 u(1, 2, 3, 4), v(0, 1, 0, 2), w(3, 0, 1, 1);
    const Vector4 c = Cross(u, v, w);
    ExpectVector(c, -3, -16, 1, 8);
    ExpectVector(u.Cross(v, w), -3, -16, 1, 8);
    EXPECT_EQ(c.Dot(u), 0.0f);
    EXPECT_EQ(c.Dot(v), 0.0f);
    EXPECT_EQ(c.Dot(w), 0.0f);

    // Swapping two operands negates; parallel operands give zero.
    ExpectVector(Cross(v, u, w), 3, 16, -1, -8);
    ExpectVector(Cross(u, w, v), 3, 16, -1, -8);
    ExpectVector(Cross(w, v, u), 3, 16, -1, -8);
    const Vector4 p = Cross(u, v, v * 3.0f);
    EXPECT_EQ(p.LengthSquared(), 0.0f);
}

TEST(Vector4, LengthCountsW) {
    EXPECT_EQ(Vector4(1, 0, 0, 1).Length(), float(std::sqrt(2.0)));
    EXPECT_EQ(Vector4(1, 2, 2, 4).Length(), 5.0f);
    EXPECT_EQ(Vector4(1, 2, 2, 4).LengthSquared(), 25.0f);

    Vector4 v(0, 0, 3, 4);
    v.Normalize();
    ExpectVector(v, 0, 0, 0.6f, 0.8f);
    const Vector4 p(2, 0, 0, 0);
    ExpectVector(Vector4(0, 0, 3, 4).Normalized(), 0, 0, 0.6f, 0.8f);
    ExpectVector(p.Normalized(), 1, 0, 0, 0);
    ExpectVector(p, 2, 0, 0, 0);

    // A homogeneous point is normalised as a 4D vector: its w changes.
    Vector4 point(Vector3(0, 0, 1));
    point.Normalize();
    EXPECT_EQ(point.w, 1.0f / float(std::sqrt(2.0)));

    Vector4 zero;
    zero.Normalize();
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.w));
}

TEST(Vector4, OrderingComparesSquaredLengthsStrictly) {
    const Vector4 a(0, 0, 0, 2), b(2, 0, 0, 0);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(a > b);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(Vector4(1, 1, 1, 0) < a);
    EXPECT_TRUE(a > Vector4(1, 1, 1, 0));
    EXPECT_TRUE(a > 3.0f); // 4 against the unsquared 3
    EXPECT_FALSE(a < 3.0f);
    EXPECT_TRUE(a < 5.0f);

    const Vector4 nan(0, 0, 0, kNaN);
    EXPECT_FALSE(nan < a);
    EXPECT_FALSE(nan > a);
    EXPECT_FALSE(nan == a);
    EXPECT_FALSE(nan == 0.0f);
}

TEST(Vector4, EqualityUsesTheFloatTolerance) {
    EXPECT_TRUE(Vector4() == Vector4(0, 0, 0, 5e-9f));
    EXPECT_FALSE(Vector4() == Vector4(0, 0, 0, 2e-8f));
    // Exactly the tolerance apart is not equal; one float step less is.
    const float tol = gmath::kEqualityTolerance, below = std::nextafter(tol, 0.0f);
    ASSERT_EQ(Vector4(tol, 0, 0, 0).Length(), tol);
    ASSERT_EQ(Vector4(below, 0, 0, 0).Length(), below);
    EXPECT_FALSE(Vector4() == Vector4(tol, 0, 0, 0));
    EXPECT_TRUE(Vector4() == Vector4(below, 0, 0, 0));
    EXPECT_FALSE(Vector4(tol, 0, 0, 0) == 0.0f);
    EXPECT_TRUE(Vector4(below, 0, 0, 0) == 0.0f);
    EXPECT_TRUE(Vector4(1, 2, 2, 4) == 5.0f);
    // Two-sided: the zero vector is not equal to every positive number.
    EXPECT_FALSE(Vector4() == 3.0f);
    EXPECT_FALSE(Vector4(1, 2, 2, 4) == 4.9f);
    EXPECT_FALSE(Vector4(1, 2, 2, 4) == 5.1f);
}

TEST(Vector4, InPlaceOperationsAndIndexing) {
    Vector4 v(1, 2, 3, 4);
    v.Scale(2, 2, 2, 2);
    ExpectVector(v, 2, 4, 6, 8);
    v.Scale(0.5f, -1, 0, 0.25f);
    ExpectVector(v, 1, -4, 0, 2);
    v.Translate(1, 2, 3, -4);
    ExpectVector(v, 2, -2, 3, -2);

    Vector4 w(7, 8, 9, 10);
    EXPECT_EQ(w[0], 7.0f);
    EXPECT_EQ(w[1], 8.0f);
    EXPECT_EQ(w[2], 9.0f);
    EXPECT_EQ(w[3], 10.0f);
    EXPECT_EQ(&w[4], &w.w);
    EXPECT_EQ(&w[-1], &w.w);
    w[4] = 1.0f;
    ExpectVector(w, 7, 8, 9, 1);
    const Vector4& cw = w;
    EXPECT_EQ(cw[2], 9.0f);
}

TEST(Vector4, TextOutputUsesTheStreamsFormatting) {
    std::ostringstream os;
    os << Vector4(1.0f, 2.5f, -3.0f, 0.125f);
    EXPECT_EQ(os.str(), "1, 2.5, -3, 0.125");
}

TEST(Vector4, ConstantExpressions) {
    constexpr Vector4 c = Cross(Vector4(1, 2, 3, 4), Vector4(0, 1, 0, 2), Vector4(3, 0, 1, 1));
    static_assert(c.x == -3.0f && c.y == -16.0f && c.z == 1.0f && c.w == 8.0f);
    static_assert(Vector4(Vector3(1, 2, 3)).w == 1.0f);
    EXPECT_EQ(c.Dot(c), 330.0f);
}

} // namespace
