#include "math/vector3.h"

#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// 2^-24: half an ulp of 1, so 1 + kHalfUlp rounds back to 1 (tie to even).
constexpr float kHalfUlp = 0x1p-24f;

void ExpectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(Vector3, ArithmeticRoundsOncePerComponent) {
    const Vector3 a(1.5f, -2.0f, 0.25f), b(0.25f, 4.0f, -1.0f);
    ExpectVector(a + b, 1.75f, 2.0f, -0.75f);
    ExpectVector(a - b, 1.25f, -6.0f, 1.25f);
    ExpectVector(a * 2.0f, 3.0f, -4.0f, 0.5f);
    ExpectVector(-a, -1.5f, 2.0f, -0.25f);
    EXPECT_TRUE(std::signbit((-Vector3()).z)); // a sign flip, not 0 - z

    // A true division: 5 / 3 and 5 * (1 / 3) differ in the last bit.
    EXPECT_EQ((Vector3(1, 1, 5) / 3.0f).z, 5.0f / 3.0f);
    EXPECT_NE((Vector3(1, 1, 5) / 3.0f).z, 5.0f * (1.0f / 3.0f));

    Vector3 c(1, 1, 1);
    c += Vector3(2, 3, 4);
    c -= Vector3(0.5f, 0.5f, 0.5f);
    c *= 2.0f;
    ExpectVector(c, 5.0f, 7.0f, 9.0f);
    c /= 3.0f;
    ExpectVector(c, 5.0f / 3.0f, 7.0f / 3.0f, 3.0f);

    ExpectVector(Vector3(1, 2, 3) / 0.0f, INFINITY, INFINITY, INFINITY);
    EXPECT_TRUE(std::isnan((Vector3(0, 2, 3) / 0.0f).x));
}

TEST(Vector3, DotAndCross) {
    EXPECT_EQ(Vector3(1, 2, 3).Dot(Vector3(4, 5, 6)), 32.0f);
    EXPECT_EQ(Dot(Vector3(1, 2, 3), Vector3(4, 5, 6)), 32.0f);
    // Summed (x + y) + z in float: 1 + 2^-24 rounds to 1 before z's 2^-24 arrives. Any other
    // grouping, or a double accumulator, gives 1 + 2^-23.
    EXPECT_EQ(Vector3(1, kHalfUlp, kHalfUlp).Dot(Vector3(1, 1, 1)), 1.0f);
    EXPECT_EQ(Vector3(kHalfUlp, kHalfUlp, 1).Dot(Vector3(1, 1, 1)), 1.0f + 0x1p-23f);

    ExpectVector(Cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), 0, 0, 1);
    ExpectVector(Cross(Vector3(0, 1, 0), Vector3(1, 0, 0)), 0, 0, -1);
    ExpectVector(Vector3(0, 1, 0).Cross(Vector3(0, 0, 1)), 1, 0, 0);
    ExpectVector(Vector3(0, 0, 1).Cross(Vector3(1, 0, 0)), 0, 1, 0);

    const Vector3 a(1, 2, 3), b(-4, 0.5f, 2);
    const Vector3 m = a.Cross(b), f = Cross(a, b);
    ExpectVector(m, f.x, f.y, f.z);
    ExpectVector(m, 2.5f, -14.0f, 8.5f);
    EXPECT_EQ(m.Dot(a), 0.0f);
    EXPECT_EQ(m.Dot(b), 0.0f);
    ExpectVector(Cross(a, a * 2.0f), 0, 0, 0);
}

TEST(Vector3, LengthIsADoubleRootRoundedToFloat) {
    EXPECT_EQ(Vector3(2, 3, 6).Length(), 7.0f);
    EXPECT_EQ(Vector3(2, 3, 6).LengthSquared(), 49.0f);
    EXPECT_EQ(Vector3(1, 1, 1).Length(), float(std::sqrt(3.0)));

    const Vector3 v(2, 3, 6);
    ExpectVector(v.Normalized(), 2.0f / 7.0f, 3.0f / 7.0f, 6.0f / 7.0f);
    ExpectVector(v, 2, 3, 6); // receiver unchanged
    Vector3 w = v;
    w.Normalize();
    ExpectVector(w, 2.0f / 7.0f, 3.0f / 7.0f, 6.0f / 7.0f);

    Vector3 z;
    z.Normalize();
    EXPECT_TRUE(std::isnan(z.x) && std::isnan(z.y) && std::isnan(z.z));
    const Vector3 zn = Vector3().Normalized();
    EXPECT_TRUE(std::isnan(zn.x) && std::isnan(zn.y) && std::isnan(zn.z));
}

TEST(Vector3, OrderingComparesSquaredLengthsStrictly) {
    const Vector3 a(1, 2, 2), b(3, 0, 0);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(a > b);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(Vector3(1, 0, 0) < a);
    EXPECT_TRUE(a > Vector3(0, 0, 2));

    // The number is compared with the squared length as given.
    EXPECT_TRUE(a > 8.0f);
    EXPECT_FALSE(a < 8.0f);
    EXPECT_TRUE(a < 10.0f);
    EXPECT_FALSE(a > 9.0f);
    EXPECT_FALSE(a < 9.0f);

    const Vector3 nan(0, kNaN, 0);
    EXPECT_FALSE(nan < a);
    EXPECT_FALSE(nan > a);
    EXPECT_FALSE(nan == a);
    EXPECT_FALSE(nan < 1.0f);
    EXPECT_FALSE(nan > 1.0f);
    EXPECT_FALSE(nan == 0.0f);
}

TEST(Vector3, EqualityUsesTheFloatTolerance) {
    EXPECT_TRUE(Vector3(0, 0, 0) == Vector3(0, 0, 5e-9f));
    EXPECT_FALSE(Vector3(0, 0, 0) == Vector3(0, 0, 2e-8f));
    // Exactly the tolerance apart is not equal; one float step less is.
    const float tol = gmath::kEqualityTolerance, below = std::nextafter(tol, 0.0f);
    ASSERT_EQ(Vector3(0, tol, 0).Length(), tol);
    ASSERT_EQ(Vector3(0, below, 0).Length(), below);
    EXPECT_FALSE(Vector3(0, 0, 0) == Vector3(0, tol, 0));
    EXPECT_TRUE(Vector3(0, 0, 0) == Vector3(0, below, 0));
    EXPECT_FALSE(Vector3(0, tol, 0) == 0.0f);
    EXPECT_TRUE(Vector3(0, below, 0) == 0.0f);
    EXPECT_TRUE(Vector3(1, 2, 3) == Vector3(1, 2, 3));

    // Equality with a number looks at both sides of the length: the zero vector is not equal
    // to every positive number.
    EXPECT_TRUE(Vector3(2, 3, 6) == 7.0f);
    EXPECT_FALSE(Vector3(0, 0, 0) == 5.0f);
    EXPECT_TRUE(Vector3(0, 0, 0) == 0.0f);
    EXPECT_FALSE(Vector3(2, 3, 6) == 6.9f);
    EXPECT_FALSE(Vector3(2, 3, 6) == 7.1f);
}

TEST(Vector3, ReflectMirrorsAboutTheNormal) {
    const Vector3 up(0, 1, 0);
    ExpectVector(Vector3(1, -1, 0).Reflect(up), -1, -1, 0);
    ExpectVector(Vector3(-1, 1, 0).Reflect(up), 1, 1, 0);
    // n is not normalised: with n = (0, 2, 0) the result is 2 (v.n) n - v = (−1, −7, 0).
    ExpectVector(Vector3(1, -1, 0).Reflect(Vector3(0, 2, 0)), -1, -7, 0);
    const Vector3 v(1, 2, 3);
    ExpectVector(v.Reflect(Vector3(1, 0, 0)), 1, -2, -3);
    ExpectVector(v, 1, 2, 3);
}

TEST(Vector3, RefractFollowsSnell) {
    const Vector3 up(0, 1, 0);
    // Normal incidence passes straight through whatever the indices.
    ExpectVector(Vector3(0, -1, 0).Refract(up, 1.0f, 1.5f), 0, -1, 0);
    ExpectVector(Vector3(0, -3, 0).Refract(up, 2.0f, 1.0f), 0, -1, 0);

    // 45 degrees from a medium of index 1 into one of index 2: sin t = sin 45 / 2.
    const Vector3 t = Vector3(1, -1, 0).Refract(up, 1.0f, 2.0f);
    const double sinT = std::sqrt(0.5) / 2.0;
    constexpr float kRefractTolerance = 2e-7f; // a few float roundings of values below 1
    EXPECT_NEAR(t.x, sinT, kRefractTolerance);
    EXPECT_NEAR(t.y, -std::sqrt(1.0 - sinT * sinT), kRefractTolerance);
    EXPECT_EQ(t.z, 0.0f);
    EXPECT_NEAR(t.Length(), 1.0f, kRefractTolerance);

    // Equal indices give the normalised receiver back.
    const Vector3 d = Vector3(3, -4, 0).Refract(up, 1.3f, 1.3f);
    EXPECT_NEAR(d.x, 0.6f, kRefractTolerance);
    EXPECT_NEAR(d.y, -0.8f, kRefractTolerance);

    // Total internal reflection: NaN in every component, nothing substituted.
    const Vector3 tir = Vector3(1, -1, 0).Refract(up, 2.0f, 1.0f);
    EXPECT_TRUE(std::isnan(tir.x) && std::isnan(tir.y) && std::isnan(tir.z));
    const Vector3 zero = Vector3().Refract(up, 1.0f, 1.0f);
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(Vector3, InPlaceOperationsAndIndexing) {
    Vector3 v(1, 1, 1);
    v.Translate(2, -1, 0.5f);
    ExpectVector(v, 3, 0, 1.5f);
    v.Scale(2, 3, -2);
    ExpectVector(v, 6, 0, -3);

    Vector3 w(7, 8, 9);
    EXPECT_EQ(w[0], 7.0f);
    EXPECT_EQ(w[1], 8.0f);
    EXPECT_EQ(w[2], 9.0f);
    EXPECT_EQ(&w[3], &w.z);
    EXPECT_EQ(&w[-1], &w.z);
    EXPECT_EQ(&w[100], &w.z);
    w[3] = 4.0f;
    ExpectVector(w, 7, 8, 4);
    const Vector3& cw = w;
    EXPECT_EQ(cw[1], 8.0f);
}

TEST(Vector3, TextOutputUsesTheStreamsFormatting) {
    std::ostringstream os;
    os << Vector3(1.0f, 2.5f, -3.0f);
    EXPECT_EQ(os.str(), "1, 2.5, -3");

    std::ostringstream fixed;
    fixed.precision(1);
    fixed << std::fixed << Vector3(0.5f, 3.0f, -1.3f) << ";";
    EXPECT_EQ(fixed.str(), "0.5, 3.0, -1.3;");
}

TEST(Vector3, ConstantExpressions) {
    constexpr Vector3 c = Vector3(1, 0, 0).Cross(Vector3(0, 1, 0)) * 2.0f;
    static_assert(c.z == 2.0f && c.LengthSquared() == 4.0f);
    static_assert(Vector3(1, 2, 2) > 8.0f);
    static_assert(Vector3(1, -1, 0).Reflect(Vector3(0, 1, 0)).x == -1.0f);
    EXPECT_EQ(c.z, 2.0f);
}

} // namespace
