#include "math/vector2.h"

#include <cmath>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Vector2, ArithmeticRoundsOncePerComponent) {
    EXPECT_EQ(Vector2(1, 2).Dot(Vector2(3, 4)), 11.0f);
    EXPECT_EQ(Dot(Vector2(1, 2), Vector2(3, 4)), 11.0f);

    const Vector2 a(1.5f, -2.0f), b(0.25f, 4.0f);
    const Vector2 sum = a + b, diff = a - b, scaled = a * 2.0f, neg = -a;
    EXPECT_EQ(sum.x, 1.75f);
    EXPECT_EQ(sum.y, 2.0f);
    EXPECT_EQ(diff.x, 1.25f);
    EXPECT_EQ(diff.y, -6.0f);
    EXPECT_EQ(scaled.x, 3.0f);
    EXPECT_EQ(scaled.y, -4.0f);
    EXPECT_EQ(neg.x, -1.5f);
    EXPECT_EQ(neg.y, 2.0f);
    EXPECT_TRUE(std::signbit((-Vector2()).x)); // a sign flip, not 0 - x

    // Division is a true division: 5 / 3 and 5 * (1 / 3) differ in the last bit.
    EXPECT_EQ((Vector2(5, 10) / 3.0f).x, 5.0f / 3.0f);
    EXPECT_NE((Vector2(5, 10) / 3.0f).x, 5.0f * (1.0f / 3.0f));
    Vector2 d(5, 10);
    d /= 3.0f;
    EXPECT_EQ(d.y, 10.0f / 3.0f);

    Vector2 c(1, 1);
    c += Vector2(2, 3);
    c -= Vector2(0.5f, 0.5f);
    c *= 2.0f;
    EXPECT_EQ(c.x, 5.0f);
    EXPECT_EQ(c.y, 7.0f);
}

TEST(Vector2, LengthIsADoubleRootRoundedToFloat) {
    EXPECT_EQ(Vector2(3, 4).Length(), 5.0f);
    EXPECT_EQ(Vector2(3, 4).LengthSquared(), 25.0f);
    EXPECT_EQ(Vector2(1, 1).Length(), float(std::sqrt(2.0)));

    const Vector2 v(3, 4);
    const Vector2 n = v.Normalized();
    EXPECT_EQ(n.x, 0.6f);
    EXPECT_EQ(n.y, 0.8f);
    EXPECT_EQ(v.x, 3.0f); // receiver unchanged

    Vector2 z;
    z.Normalize();
    EXPECT_TRUE(std::isnan(z.x));
    EXPECT_TRUE(std::isnan(z.y));
}

TEST(Vector2, OrderingComparesSquaredLengthsStrictly) {
    const Vector2 a(3, 4), b(5, 0);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(a > b);
    EXPECT_FALSE(a == b); // same length, difference (-2, 4)
    EXPECT_TRUE(Vector2(1, 0) < a);
    EXPECT_TRUE(a > Vector2(1, 0));

    // The number is compared with the squared length as given.
    EXPECT_TRUE(a > 24.0f);
    EXPECT_FALSE(a < 24.0f);
    EXPECT_TRUE(a < 26.0f);

    const Vector2 nan(kNaN, 0);
    EXPECT_FALSE(nan < a);
    EXPECT_FALSE(nan > a);
    EXPECT_FALSE(nan == a);
    EXPECT_FALSE(nan < 1.0f);
    EXPECT_FALSE(nan > 1.0f);
    EXPECT_FALSE(nan == 0.0f);
}

TEST(Vector2, EqualityUsesTheFloatTolerance) {
    EXPECT_EQ(gmath::kEqualityTolerance, 9.99999993922529e-09f);
    EXPECT_TRUE(Vector2(0, 0) == Vector2(5e-9f, 0));
    EXPECT_FALSE(Vector2(0, 0) == Vector2(2e-8f, 0));
    // Exactly the tolerance apart is not equal; one float step less is.
    const float tol = gmath::kEqualityTolerance, below = std::nextafter(tol, 0.0f);
    ASSERT_EQ(Vector2(tol, 0).Length(), tol);
    ASSERT_EQ(Vector2(below, 0).Length(), below);
    EXPECT_FALSE(Vector2(0, 0) == Vector2(tol, 0));
    EXPECT_FALSE(Vector2(1, 0) == Vector2(1, tol));
    EXPECT_TRUE(Vector2(0, 0) == Vector2(below, 0));
    EXPECT_FALSE(Vector2(tol, 0) == 0.0f);
    EXPECT_TRUE(Vector2(below, 0) == 0.0f);

    // Equality with a number looks at both sides of the length.
    EXPECT_TRUE(Vector2(3, 4) == 5.0f);
    EXPECT_FALSE(Vector2(0, 0) == 5.0f);
    EXPECT_FALSE(Vector2(3, 4) == 4.9f);
    EXPECT_FALSE(Vector2(3, 4) == 5.1f);
}

TEST(Vector2, InPlaceOperationsAndIndexing) {
    Vector2 v(1, 1);
    v.Translate(2, -1);
    EXPECT_EQ(v.x, 3.0f);
    EXPECT_EQ(v.y, 0.0f);
    Vector2 s(1, 1);
    s.Scale(2, 3);
    EXPECT_EQ(s.x, 2.0f);
    EXPECT_EQ(s.y, 3.0f);

    Vector2 w(7, 9);
    EXPECT_EQ(w[0], 7.0f);
    EXPECT_EQ(w[1], 9.0f);
    EXPECT_EQ(w[7], 9.0f);
    EXPECT_EQ(w[-1], 9.0f);
    w[1] = 4.0f;
    EXPECT_EQ(w.y, 4.0f);
    EXPECT_EQ(w.x, 7.0f);
}

TEST(Vector2, TextOutputUsesTheStreamsFormatting) {
    std::ostringstream os;
    os << Vector2(1.5f, -2.0f);
    EXPECT_EQ(os.str(), "1.5, -2");

    std::ostringstream fixed;
    fixed.precision(2);
    fixed << std::fixed << Vector2(0.5f, 3.0f) << ";";
    EXPECT_EQ(fixed.str(), "0.50, 3.00;");
}

} // namespace
