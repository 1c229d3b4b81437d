#include "app/state.h"
#include "field/charge_field.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/float_bits.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

class ChargeField : public ::testing::Test {
  protected:
    void SetUp() override {
        for (Vector2& c : charges)
            c = Vector2();
        for (float& f : fieldGrid)
            f = 0.0f;
    }
};

TEST_F(ChargeField, ValueSumsThreeRoundedTerms) {
    // Each term is 3/5; summed in float the result is 1.8000001, not the float nearest 1.8.
    EXPECT_EQ(Bits(FieldValue(3, 4)), 0x3FE66667u);
    EXPECT_EQ(FieldValue(3, 4), 1.8000001f);

    charges[0] = Vector2(10, 10);
    charges[1] = Vector2(20, 20);
    charges[2] = Vector2(10, 30);
    const float expected = ((1.0f / 10.0f) * 3.0f + (1.0f / 10.0f) * 3.0f) + (1.0f / 10.0f) * 3.0f;
    EXPECT_EQ(FieldValue(10, 20), expected);
}

TEST_F(ChargeField, ValueOnAChargeIsPositiveInfinity) {
    charges[1] = Vector2(7, 9);
    EXPECT_EQ(FieldValue(7, 9), kInf);
}

TEST_F(ChargeField, GradientIsZeroOnTheRingAndTwiceTheSlopeInside) {
    for (int a = 0; a < 80; ++a)
        for (int b = 0; b < 80; ++b)
            fieldGrid[a * 80 + b] = float(a + 2 * b);

    const Vector2 g = FieldGradient(5, 5, 1.0f);
    EXPECT_EQ(g.x, 2.0f);
    EXPECT_EQ(g.y, 4.0f);
    const Vector2 half = FieldGradient(5, 5, 0.5f);
    EXPECT_EQ(half.x, 4.0f);
    EXPECT_EQ(half.y, 8.0f);

    for (auto [a, b] : {std::pair{0, 5}, {79, 5}, {5, 0}, {5, 79}, {0, 0}, {79, 79}, {-1, 5}}) {
        const Vector2 z = FieldGradient(a, b, 1.0f);
        EXPECT_EQ(z.x, 0.0f) << a << "," << b;
        EXPECT_EQ(z.y, 0.0f) << a << "," << b;
    }
    // The first and last inner nodes read the ring as neighbours.
    EXPECT_EQ(FieldGradient(1, 1, 1.0f).x, 2.0f);
    EXPECT_EQ(FieldGradient(78, 78, 1.0f).y, 4.0f);
}

TEST_F(ChargeField, NodeABIsStoredAtAFlat80APlusB) {
    fieldGrid[80] = 1.0f; // node (1, 0)
    fieldGrid[1] = 5.0f;  // node (0, 1)
    // At node (1, 1): x difference reads (2, 1) - (0, 1), y difference (1, 2) - (1, 0).
    const Vector2 g = FieldGradient(1, 1, 1.0f);
    EXPECT_EQ(g.x, -5.0f);
    EXPECT_EQ(g.y, -1.0f);
}

TEST(ChargePaths, StartOnGridNodesAndFollowTheirCurves) {
    Vector2 c[3];
    field::PlaceCharges(0.0f, c);
    EXPECT_EQ(c[0].x, 40.0f);
    EXPECT_EQ(c[0].y, 60.0f);
    EXPECT_EQ(c[1].x, 40.0f);
    EXPECT_EQ(c[1].y, 45.0f);
    EXPECT_EQ(c[2].x, 40.0f);
    EXPECT_EQ(c[2].y, 65.0f);

    for (float t : {0.3f, 1.3f, 2.7f, 11.9f}) {
        field::PlaceCharges(t, c);
        const float s = float(std::sin(double(t))), k = float(std::cos(double(t)));
        EXPECT_EQ(c[0].x, 40.0f + 20.0f * s);
        EXPECT_EQ(c[0].y, 40.0f + 20.0f * k);
        EXPECT_EQ(c[1].x, 40.0f + 5.0f * float(std::sin(double(t + t))));
        EXPECT_NEAR(std::hypot(c[0].x - 40.0, c[0].y - 40.0), 20.0, 1e-5);
        // Charge 2 stays on y - 40 = 25 - 2 (x - 40)^2 / 25.
        const double dx = c[2].x - 40.0;
        EXPECT_NEAR(c[2].y - 40.0, 25.0 - 2.0 * dx * dx / 25.0, 1e-4);
    }
}

TEST(FieldCore, GenericSamplingMatchesTheDemoFunctions) {
    field::PlaceCharges(1.3f, charges);
    std::vector<float> f(demo::kNodes);
    std::vector<Vector2> g(demo::kNodes);
    field::SampleField(charges, demo::kGrid, 1.0f, f);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            fieldGrid[x * 80 + y] = FieldValue(float(x), float(y));
    field::SampleGradient(f, demo::kGrid, 1.0f, g);
    for (std::size_t i = 0; i < demo::kNodes; ++i) {
        ASSERT_EQ(Bits(f[i]), Bits(fieldGrid[i])) << i;
        const Vector2 d = FieldGradient(int(i / 80), int(i % 80), 1.0f);
        ASSERT_EQ(Bits(g[i].x), Bits(d.x)) << i;
        ASSERT_EQ(Bits(g[i].y), Bits(d.y)) << i;
    }

    // A non-square grid uses a * ny + b and its own ring.
    const field::GridSize small{3, 4};
    std::vector<float> s(small.NodeCount());
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 4; ++b)
            s[small.Index(a, b)] = float(10 * a + b);
    std::vector<Vector2> sg(small.NodeCount());
    field::SampleGradient(s, small, 1.0f, sg);
    EXPECT_EQ(sg[small.Index(1, 1)].x, 20.0f);
    EXPECT_EQ(sg[small.Index(1, 2)].y, 2.0f);
    EXPECT_EQ(sg[small.Index(1, 3)].y, 0.0f); // ring
}

} // namespace
