// SampleField, whose row loop runs in vector registers, against ChargeFieldAt node by node: the
// same bits for every node, over many frames, spacings and grid shapes, charges on nodes
// (infinite values) included.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "field/charge_field.h"

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Returns the number of nodes that differ from the per-point function.
int Mismatches(std::span<const Vector2> at, field::GridSize g, float spacing) {
    std::vector<float> out(g.NodeCount(), -1.0f);
    field::SampleField(at, g, spacing, out);
    int bad = 0;
    for (int a = 0; a < g.nx; ++a) {
        for (int b = 0; b < g.ny; ++b) {
            const float want =
                field::ChargeFieldAt(at, Vector2(float(a) * spacing, float(b) * spacing));
            if (Bits(out[g.Index(a, b)]) != Bits(want)) {
                if (bad++ == 0)
                    ADD_FAILURE() << "node (" << a << ", " << b << "): " << out[g.Index(a, b)]
                                  << " vs " << want;
            }
        }
    }
    return bad;
}

TEST(SampleField, EveryNodeIsTheFieldAtItsPointBitForBit) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> time(0.0f, 100.0f);
    std::vector<float> times = {0.0f, 0.001f, 1.3f, 2.7f, 6.2831855f};
    for (int i = 0; i < 40; ++i) times.push_back(time(rng));
    for (float t : times) {
        Vector2 at[field::kChargeCount];
        field::PlaceCharges(t, at);
        SCOPED_TRACE(testing::Message() << "t " << t);
        EXPECT_EQ(Mismatches(at, field::kDemoGrid, 1.0f), 0);
        EXPECT_EQ(Mismatches(at, {37, 53}, 79.0f / 52.0f), 0);
        EXPECT_EQ(Mismatches(at, {256, 7}, 79.0f / 255.0f), 0);
    }
}

TEST(SampleField, ChargesOnNodesGiveInfinityThere) {
    Vector2 at[field::kChargeCount];
    field::PlaceCharges(0.0f, at); // (40, 60), (40, 45), (40, 65): all on nodes
    std::vector<float> out(field::kDemoNodes);
    field::SampleField(at, field::kDemoGrid, 1.0f, out);
    EXPECT_TRUE(std::isinf(out[40 * 80 + 60]) && out[40 * 80 + 60] > 0);
    EXPECT_TRUE(std::isinf(out[40 * 80 + 45]));
    EXPECT_EQ(Mismatches(at, field::kDemoGrid, 1.0f), 0);
    // All three charges on one node, and charges far outside the grid.
    const Vector2 same[3] = {{3, 4}, {3, 4}, {3, 4}};
    EXPECT_EQ(Mismatches(same, {9, 9}, 1.0f), 0);
    const Vector2 far[3] = {{-1e30f, 0}, {0, 1e30f}, {1e-30f, -1e-30f}};
    EXPECT_EQ(Mismatches(far, {9, 11}, 0.5f), 0);
}

TEST(SampleField, EmptyGridsWriteNothing) {
    const Vector2 at[3] = {{1, 1}, {2, 2}, {3, 3}};
    std::vector<float> out(4, 7.0f);
    for (field::GridSize g : {field::GridSize{0, 0}, {0, 4}, {4, 0}, {-2, 2}}) {
        field::SampleField(at, g, 1.0f, out);
        for (float v : out) EXPECT_EQ(v, 7.0f);
    }
}

} // namespace
