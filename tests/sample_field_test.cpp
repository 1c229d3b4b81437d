// SampleField and SampleGradient, whose row loops run in vector registers, against ChargeFieldAt
// and NodeGradient node by node: the same bits for every node, over many frames, spacings, steps
// and grid shapes, charges on nodes (infinite values) and NaN included.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/float_bits.h"

#include "app/state.h"
#include "field/charge_field.h"

namespace {

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
    for (int i = 0; i < 40; ++i)
        times.push_back(time(rng));
    for (float t : times) {
        Vector2 at[field::kChargeCount];
        field::PlaceCharges(t, at);
        SCOPED_TRACE(testing::Message() << "t " << t);
        EXPECT_EQ(Mismatches(at, demo::kGrid, 1.0f), 0);
        EXPECT_EQ(Mismatches(at, {37, 53}, 79.0f / 52.0f), 0);
        EXPECT_EQ(Mismatches(at, {256, 7}, 79.0f / 255.0f), 0);
    }
}

TEST(SampleField, ChargesOnNodesGiveInfinityThere) {
    Vector2 at[field::kChargeCount];
    field::PlaceCharges(0.0f, at); // (40, 60), (40, 45), (40, 65): all on nodes
    std::vector<float> out(demo::kNodes);
    field::SampleField(at, demo::kGrid, 1.0f, out);
    EXPECT_TRUE(std::isinf(out[40 * 80 + 60]) && out[40 * 80 + 60] > 0);
    EXPECT_TRUE(std::isinf(out[40 * 80 + 45]));
    EXPECT_EQ(Mismatches(at, demo::kGrid, 1.0f), 0);
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
        for (float v : out)
            EXPECT_EQ(v, 7.0f);
    }
}

// SampleGradient, also a row loop in vector registers, against NodeGradient node by node.
int GradientMismatches(const std::vector<float>& f, field::GridSize g, float step) {
    std::vector<Vector2> out(g.NodeCount(), Vector2(-1.0f, -1.0f));
    field::SampleGradient(f, g, step, out);
    int bad = 0;
    for (int a = 0; a < g.nx; ++a) {
        for (int b = 0; b < g.ny; ++b) {
            const Vector2 want = field::NodeGradient(f, g, a, b, step);
            const Vector2 got = out[g.Index(a, b)];
            if (Bits(got.x) != Bits(want.x) || Bits(got.y) != Bits(want.y)) {
                if (bad++ == 0)
                    ADD_FAILURE() << "node (" << a << ", " << b << "): " << got << " vs " << want;
            }
        }
    }
    return bad;
}

TEST(SampleGradient, EveryNodeIsNodeGradientBitForBit) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    const float specials[] = {std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f};
    for (field::GridSize g :
         {demo::kGrid, field::GridSize{3, 3}, {2, 9}, {9, 2}, {1, 1}, {5, 130}, {33, 7}}) {
        std::vector<float> f(g.NodeCount());
        for (float& v : f)
            v = value(rng);
        for (std::size_t i = 0; i < f.size(); i += 13)
            f[i] = specials[i % 5];
        for (float step : {1.0f, 0.5f, -3.0f, 0.0f}) {
            SCOPED_TRACE(testing::Message() << g.nx << " x " << g.ny << " step " << step);
            EXPECT_EQ(GradientMismatches(f, g, step), 0);
        }
    }
    // The demo's own frames, charges on nodes at t = 0 included.
    for (float t : {0.0f, 1.3f, 42.5f}) {
        Vector2 at[field::kChargeCount];
        field::PlaceCharges(t, at);
        std::vector<float> f(demo::kNodes);
        field::SampleField(at, demo::kGrid, 1.0f, f);
        EXPECT_EQ(GradientMismatches(f, demo::kGrid, 1.0f), 0) << t;
    }
}

} // namespace
