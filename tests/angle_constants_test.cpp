#include "math/angle_constants.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

namespace {

uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f); }

TEST(AngleConstants, HaveTheirBitPatterns) {
    EXPECT_EQ(Bits(PI), 0x40490FDBu);
    EXPECT_EQ(Bits(TWO_PI), 0x40C90FDBu);
    EXPECT_EQ(Bits(HALF_PI), 0x3FC90FDBu);
    EXPECT_EQ(Bits(QUARTER_PI), 0x3F490FDBu);
    EXPECT_EQ(Bits(THREE_QUARTER_PI), 0x4016CBE4u);
    static_assert(std::bit_cast<uint32_t>(THREE_QUARTER_PI) == 0x4016CBE4u);
}

TEST(AngleConstants, AreTheNearestFloatsOrDerivedFromThem) {
    EXPECT_EQ(PI, float(3.14159265358979323846)); // the float nearest pi
    EXPECT_EQ(HALF_PI * 2.0f, PI);
    EXPECT_EQ(QUARTER_PI * 8.0f, TWO_PI);
    EXPECT_EQ(QUARTER_PI * 4.0f, PI);
    // Three times the rounded quarter. Rounding 3 pi / 4 directly gives the same float here, so
    // the order is pinned by the bit pattern above and by this product.
    EXPECT_EQ(THREE_QUARTER_PI, QUARTER_PI * 3.0f);
    EXPECT_EQ(THREE_QUARTER_PI, float(3.0 * double(QUARTER_PI)));
    EXPECT_NEAR(double(THREE_QUARTER_PI), 3.0 * std::atan(1.0), 1e-6);
}

} // namespace
