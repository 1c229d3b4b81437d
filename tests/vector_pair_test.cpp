#include "math/vector_pair.h"

#include <gtest/gtest.h>

namespace {

TEST(VectorPair, DefaultHoldsZeroZAxisAndOnes) {
    const VectorPair p;
    EXPECT_TRUE(p.first.x == 0.0f && p.first.y == 0.0f && p.first.z == 0.0f);
    EXPECT_TRUE(p.second.x == 0.0f && p.second.y == 0.0f && p.second.z == 1.0f);
    EXPECT_EQ(p.value0, 1.0f);
    EXPECT_EQ(p.value1, 1.0f);
}

TEST(VectorPair, TwoVectorConstructorLeavesNothingUnset) {
    const VectorPair p(Vector3(1, 2, 3), Vector3(-4, 5, 0.5f));
    EXPECT_TRUE(p.first.x == 1.0f && p.first.y == 2.0f && p.first.z == 3.0f);
    EXPECT_TRUE(p.second.x == -4.0f && p.second.y == 5.0f && p.second.z == 0.5f);
    EXPECT_EQ(p.value0, 1.0f);
    EXPECT_EQ(p.value1, 1.0f);

    // A copy is member by member.
    VectorPair q;
    q = p;
    EXPECT_EQ(q.second.x, -4.0f);
    static_assert(VectorPair(Vector3(), Vector3()).value1 == 1.0f);
}

} // namespace
