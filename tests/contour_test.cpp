#include "app/state.h"
#include "field/crossings.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/float_bits.h"
#include "tests/reference_contour.h"

#include "field/charge_field.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Bit equality, except that any NaN equals any NaN.
bool Same(float a, float b) { return (std::isnan(a) && std::isnan(b)) || Bits(a) == Bits(b); }
bool Same(const Vector2& a, const Vector2& b) { return Same(a.x, b.x) && Same(a.y, b.y); }
// Equality up to the sign of zero, for the worked examples.
bool Equal(const Vector2& a, const Vector2& b) { return a.x == b.x && a.y == b.y; }

class Contour : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BuildCaseTable(); }
    void SetUp() override { saved_ = threshold; }
    void TearDown() override { threshold = saved_; }

    // Fills the demo's grids for frame time t, as the frame does.
    static void FillFrame(float t) {
        field::PlaceCharges(t, charges);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                fieldGrid[x * 80 + y] = FieldValue(float(x), float(y));
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                gradientGrid[x * 80 + y] = FieldGradient(x, y, 1.0f);
    }

    float saved_ = 0.0f;
};

TEST_F(Contour, WorkedExampleAroundASinglePeak) {
    for (float& f : fieldGrid)
        f = 0.0f;
    fieldGrid[5 * 80 + 5] = 1.0f;
    for (int a = 0; a < 80; ++a)
        for (int b = 0; b < 80; ++b)
            gradientGrid[a * 80 + b] = FieldGradient(a, b, 1.0f);
    threshold = 0.5f;

    Vector2* pts = nullptr;
    Vector2* nrm = nullptr;
    const int n = ExtractContour(&pts, &nrm);
    ASSERT_EQ(n, 8);
    const Vector2 ep[8] = {{5, 4.5f}, {4.5f, 5}, {5.5f, 5}, {5, 4.5f},
                           {4.5f, 5}, {5, 5.5f}, {5, 5.5f}, {5.5f, 5}};
    const Vector2 en[8] = {{0, -1}, {-1, 0}, {1, 0}, {0, -1}, {-1, 0}, {0, 1}, {0, 1}, {1, 0}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(Equal(pts[i], ep[i])) << i << ": " << pts[i];
        EXPECT_TRUE(Equal(nrm[i], en[i])) << i << ": " << nrm[i];
    }
    delete[] pts;
    delete[] nrm;
}

TEST_F(Contour, EmptyResultStillHandsOutArrays) {
    for (float& f : fieldGrid)
        f = 0.25f;
    for (Vector2& g : gradientGrid)
        g = Vector2();
    for (float t : {0.25f, 1.0f, 0.0f}) {
        threshold = t;
        Vector2* pts = nullptr;
        Vector2* nrm = nullptr;
        EXPECT_EQ(ExtractContour(&pts, &nrm), 0);
        EXPECT_NE(pts, nullptr);
        EXPECT_NE(nrm, nullptr);
        delete[] pts;
        delete[] nrm;
    }
}

TEST_F(Contour, DemoPathAndGenericCoreMatchTheReferenceBitForBit) {
    std::vector<Vector2> pts, nrm, rp, rn;
    for (float t : {0.0f, 1.3f, 2.7f, 11.9f}) {
        FillFrame(t);
        const std::vector<float> f(fieldGrid, fieldGrid + 6400);
        const std::vector<Vector2> g(gradientGrid, gradientGrid + 6400);
        for (float th : {0.6f, 0.5865f, 3.35f, 0.0f, 100.0f}) {
            SCOPED_TRACE(testing::Message() << "t=" << t << " threshold=" << th);
            threshold = th;
            Vector2* dp = nullptr;
            Vector2* dn = nullptr;
            const int n = ExtractContour(&dp, &dn);
            const int m =
                field::ExtractContourLines(f, g, demo::kGrid, th, field::kCaseSegments, pts, nrm);
            reference::Contour(f, g, demo::kGrid, th, field::kCaseSegments, rp, rn);
            ASSERT_EQ(n, int(rp.size()));
            ASSERT_EQ(m, n);
            EXPECT_EQ(n % 2, 0);
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(Same(dp[i], rp[i])) << i << ": " << dp[i] << " vs " << rp[i];
                ASSERT_TRUE(Same(dn[i], rn[i])) << i << ": " << dn[i] << " vs " << rn[i];
                ASSERT_TRUE(Same(pts[i], rp[i]) && Same(nrm[i], rn[i])) << i;
            }
            delete[] dp;
            delete[] dn;
        }
    }
}

TEST_F(Contour, RealFrameHasTheExpectedShape) {
    FillFrame(1.3f);
    threshold = 0.6f;
    Vector2* pts = nullptr;
    Vector2* nrm = nullptr;
    const int n = ExtractContour(&pts, &nrm);
    EXPECT_GT(n, 0);
    for (int i = 0; i < n; ++i) {
        // Every end point lies on a grid line, inside the grid.
        const Vector2 p = pts[i];
        ASSERT_TRUE(p.x >= 0 && p.x <= 79 && p.y >= 0 && p.y <= 79) << p;
        EXPECT_TRUE(p.x == std::floor(p.x) || p.y == std::floor(p.y)) << p;
        // Normals are unit length, or NaN on the ring.
        if (!std::isnan(nrm[i].x)) {
            EXPECT_NEAR(nrm[i].Length(), 1.0f, 1e-6f);
        }
    }
    delete[] pts;
    delete[] nrm;
}

TEST_F(Contour, AtTimeZeroChargesSitOnNodesAndSomeEndPointsAreNaN) {
    FillFrame(0.0f);
    EXPECT_EQ(fieldGrid[40 * 80 + 60], kInf);
    threshold = 0.6f;
    Vector2* pts = nullptr;
    Vector2* nrm = nullptr;
    const int n = ExtractContour(&pts, &nrm);
    EXPECT_GT(n, 0);
    delete[] pts;
    delete[] nrm;
}

// Small grids through the generic core.
struct Small {
    Small(field::GridSize grid, std::vector<float> values) : g(grid), f(std::move(values)) {}
    field::GridSize g;
    std::vector<float> f;
    std::vector<Vector2> grad;
    std::vector<Vector2> pts, nrm;
    int Run(float t) {
        if (grad.size() != f.size()) grad.assign(f.size(), Vector2());
        return field::ExtractContourLines(f, grad, g, t, field::kCaseSegments, pts, nrm);
    }
};

TEST(ContourCore, SaddleCellsEmitFirstSegmentThenSecond) {
    {
        // Case 5, corners 1 and 3 above: (1, 2) then (3, 0), cutting off corners 2 and 0.
        Small c{{2, 2}, {0.25f, 0.75f, 0.75f, 0.25f}};
        ASSERT_EQ(c.Run(0.5f), 4);
        EXPECT_TRUE(Equal(c.pts[0], {1, 0.5f}));
        EXPECT_TRUE(Equal(c.pts[1], {0.5f, 1}));
        EXPECT_TRUE(Equal(c.pts[2], {0, 0.5f}));
        EXPECT_TRUE(Equal(c.pts[3], {0.5f, 0}));
    }
    // Nodes (0,0), (0,1), (1,0), (1,1) at a * 2 + b: corners 0..3 are f[0], f[2], f[3], f[1].
    Small c{{2, 2}, {0.75f, 0.25f, 0.25f, 0.75f}};
    ASSERT_EQ(c.Run(0.5f), 4); // case 10: (0, 1) then (2, 3)
    EXPECT_TRUE(Equal(c.pts[0], {0.5f, 0}));
    EXPECT_TRUE(Equal(c.pts[1], {1, 0.5f}));
    EXPECT_TRUE(Equal(c.pts[2], {0.5f, 1}));
    EXPECT_TRUE(Equal(c.pts[3], {0, 0.5f}));
    // Every crossing is on the ring: zero gradient, NaN normals.
    for (const Vector2& n : c.nrm)
        EXPECT_TRUE(std::isnan(n.x) && std::isnan(n.y));
}

TEST(ContourCore, CornersEqualToTheThresholdGiveExactNodes) {
    // Corners 0..3 = 0.5, 1, 0.5, 0 at t = 0.5: case 4, segment (0, 1).
    Small c{{2, 2}, {0.5f, 0.0f, 1.0f, 0.5f}};
    ASSERT_EQ(c.Run(0.5f), 2);
    EXPECT_TRUE(Equal(c.pts[0], {0, 0})); // s = 0 at corner 0
    EXPECT_TRUE(Equal(c.pts[1], {1, 1})); // s = 1 at corner 2
}

TEST(ContourCore, DegenerateGridsGiveNothing) {
    for (field::GridSize g : {field::GridSize{0, 0}, {1, 1}, {1, 7}, {7, 1}, {0, 5}, {-3, 4}}) {
        Small c{g, std::vector<float>(g.NodeCount(), 1.0f)};
        c.pts.assign(3, Vector2()); // stale contents are replaced
        EXPECT_EQ(c.Run(0.5f), 0);
        EXPECT_TRUE(c.pts.empty() && c.nrm.empty());
    }
}

TEST(ContourCore, InfiniteAndNaNCornersFlowThroughAsData) {
    // Corner 0 infinite and above: edges 0 and 3 cross. Edge 3 ends at the infinite corner
    // (s = 0 is impossible: s = (t - 0) / (inf - 0) = 0, the point is node (0, 1)); edge 0
    // starts there, so s is NaN and only the coordinate along the edge is NaN.
    Small c{{2, 2}, {kInf, 0.0f, 0.0f, 0.0f}};
    ASSERT_EQ(c.Run(0.5f), 2); // case 8: (3, 0)
    EXPECT_TRUE(Equal(c.pts[0], {0, 1}));
    EXPECT_TRUE(std::isnan(c.pts[1].x));
    EXPECT_EQ(c.pts[1].y, 0.0f);

    Small nan{{2, 2}, {kNaN, kNaN, kNaN, kNaN}};
    EXPECT_EQ(nan.Run(0.5f), 0);
    Small mixed{{3, 3}, {1, kNaN, 0, kInf, -kInf, 1, 0, 1, kNaN}};
    const int n = mixed.Run(0.5f);
    EXPECT_EQ(n % 2, 0);
    EXPECT_LE(n, 4 * 4);
}

} // namespace
