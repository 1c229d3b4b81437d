#include "math/basis.h"

#include <initializer_list>

#include <gtest/gtest.h>

#include "math/angle_constants.h"

namespace {

void ExpectMatrix(const Matrix4& a, std::initializer_list<float> rows) {
    int k = 0;
    for (float e : rows) {
        EXPECT_EQ(a.m[k], e) << "element " << k;
        ++k;
    }
}

TEST(Basis, DefaultIsTheStandardAxes) {
    const Basis b;
    EXPECT_EQ(b.xAxis.x, 1.0f);
    EXPECT_EQ(b.yAxis.y, 1.0f);
    EXPECT_EQ(b.zAxis.z, 1.0f);
    EXPECT_EQ(b.xAxis.y, 0.0f);
    ExpectMatrix(b.ToMatrix4(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

TEST(Basis, ToMatrix4PutsTheAxesInTheRows) {
    const Basis b(Vector3(1, 2, 3), Vector3(4, 5, 6), Vector3(7, 8, 9));
    ExpectMatrix(b.ToMatrix4(), {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0, 0, 0, 1});
    EXPECT_EQ(b.yAxis.z, 6.0f); // the record is unchanged

    // Row vectors: (1, 0, 0, 1) goes to xAxis, (0, 0, 1, 1) to zAxis, with no translation.
    Vector3 ex(1, 0, 0), ez(0, 0, 1);
    ex.Transform(b.ToMatrix4());
    ez.Transform(b.ToMatrix4());
    EXPECT_TRUE(ex.x == 1.0f && ex.y == 2.0f && ex.z == 3.0f);
    EXPECT_TRUE(ez.x == 7.0f && ez.y == 8.0f && ez.z == 9.0f);
}

TEST(Basis, AQuarterTurnMatchesTheEulerRotation) {
    const Matrix4 basis = Basis(Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)).ToMatrix4();
    Matrix4 euler;
    euler.SetRotation(0, 0, HALF_PI);
    // Equal except where the rotation holds cos(HALF_PI), about -4.37e-08, and the basis 0.
    for (int k = 0; k < 16; ++k) {
        if (k == 0 || k == 5) {
            EXPECT_EQ(basis.m[k], 0.0f);
            EXPECT_NEAR(euler.m[k], -4.37e-08f, 1e-10f);
        } else {
            EXPECT_EQ(basis.m[k], euler.m[k]) << "element " << k;
        }
    }
}

TEST(Basis, ConstantExpressions) {
    constexpr Matrix4 m = Basis(Vector3(1, 2, 3), Vector3(4, 5, 6), Vector3(7, 8, 9)).ToMatrix4();
    static_assert(m.m[6] == 6.0f && m.m[7] == 0.0f && m.m[15] == 1.0f);
    EXPECT_EQ(m.m[8], 7.0f);
}

} // namespace
