#include "field/polyline_normals.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

TEST(PolylineNormals, OneUnitNormalPerSegmentTurnedClockwise) {
    const Vector2 p[] = {{0, 0}, {2, 0}, {2, 3}};
    Vector2* n = nullptr;
    ASSERT_EQ(PolylineNormals(p, 3, &n), 2);
    EXPECT_EQ(n[0].x, 0.0f);
    EXPECT_EQ(n[0].y, -1.0f);
    EXPECT_EQ(n[1].x, 1.0f);
    EXPECT_EQ(n[1].y, 0.0f);
    delete[] n;

    const Vector2 q[] = {{0, 0}, {3, 4}};
    ASSERT_EQ(PolylineNormals(q, 2, &n), 1);
    EXPECT_EQ(n[0].x, 0.8f);
    EXPECT_EQ(n[0].y, -0.6f);
    delete[] n;
}

TEST(PolylineNormals, ZeroLengthSegmentGivesNaNAndKeepsItsPlace) {
    const Vector2 p[] = {{1, 1}, {1, 1}, {2, 1}};
    Vector2* n = nullptr;
    ASSERT_EQ(PolylineNormals(p, 3, &n), 2);
    EXPECT_TRUE(std::isnan(n[0].x) && std::isnan(n[0].y));
    EXPECT_EQ(n[1].x, 0.0f);
    EXPECT_EQ(n[1].y, -1.0f);
    delete[] n;
}

TEST(PolylineNormals, FewerThanTwoPointsGiveAnEmptyArray) {
    const Vector2 p[] = {{1, 1}};
    for (int count : {0, 1, -5, -2147483647 - 1}) {
        Vector2* n = nullptr;
        EXPECT_EQ(PolylineNormals(p, count, &n), 0);
        EXPECT_NE(n, nullptr);
        delete[] n;
    }
}

} // namespace
