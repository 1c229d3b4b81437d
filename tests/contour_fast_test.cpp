// The contour core's fast walk (bit-plane classification, mixed cells only) against the plain
// reference walk (tests/reference_contour.h): identical arrays, bit for bit,
// over many frames, thresholds, grid shapes and hostile values.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "tests/float_bits.h"
#include "tests/reference_contour.h"

#include "app/state.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/crossings.h"
#include "field/walk.h"

namespace {

using field::GridSize;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// NaNs produced by the same operations on the same inputs carry the same bits, so the
// comparison is exact, NaNs included.
bool Identical(const Vector2& a, const Vector2& b) {
    return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y);
}

struct Case {
    GridSize size;
    std::vector<float> f;
    std::vector<Vector2> g;
};

Case Picture(GridSize size, float time, float spacing) {
    Case c{size, std::vector<float>(size.NodeCount()), std::vector<Vector2>(size.NodeCount())};
    Vector2 at[field::kChargeCount];
    field::PlaceCharges(time, at);
    field::SampleField(at, size, spacing, c.f);
    field::SampleGradient(c.f, size, 1.0f, c.g);
    return c;
}

// Runs the fast walk (with a fresh and with a reused workspace) and the plain one; returns the
// number of end points after asserting the arrays identical.
int ExpectSameAsPlain(const Case& c, float t,
                      const field::CaseSegments& table = field::kCaseSegments) {
    static field::WalkWorkspace reused;
    std::vector<Vector2> fp, fn, wp, wn, pp, pn;
    const int n = field::ExtractContourLines(c.f, c.g, c.size, t, table, fp, fn);
    const int m = field::ExtractContourLines(c.f, c.g, c.size, t, table, wp, wn, reused);
    reference::Contour(c.f, c.g, c.size, t, table, pp, pn);
    EXPECT_EQ(n, int(pp.size()));
    EXPECT_EQ(m, n);
    if (n != int(pp.size()) || m != n) return -1;
    for (int i = 0; i < n; ++i) {
        if (!Identical(fp[i], pp[i]) || !Identical(fn[i], pn[i]) || !Identical(wp[i], pp[i]) ||
            !Identical(wn[i], pn[i])) {
            ADD_FAILURE() << "end point " << i << ": " << fp[i] << " / " << fn[i] << " vs " << pp[i]
                          << " / " << pn[i];
            return -1;
        }
    }
    return n;
}

TEST(ContourFast, DemoFramesOverTimesAndThresholds) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> time(0.0f, 60.0f);
    std::vector<float> times = {0.0f, 0.001f, 0.5f, 1.3f, 2.7f, 3.14159f, 11.9f, 1000.0f};
    for (int i = 0; i < 24; ++i)
        times.push_back(time(rng));
    int nonEmpty = 0;
    for (float tm : times) {
        const Case c = Picture(demo::kGrid, tm, 1.0f);
        std::vector<float> ths = {0.6f, 0.5865f, 0.0f, 0.01f, 0.3f, 1.0f, 3.35f, 100.0f, kInf};
        // Thresholds equal to node values: corners equal to t count as not above.
        for (std::size_t i = 0; i < c.f.size(); i += 797)
            ths.push_back(c.f[i]);
        for (float th : ths) {
            SCOPED_TRACE(testing::Message() << "time " << tm << " threshold " << th);
            const int n = ExpectSameAsPlain(c, th);
            ASSERT_GE(n, 0);
            nonEmpty += n > 0;
        }
    }
    EXPECT_GT(nonEmpty, 100); // the frames do cross the thresholds
}

TEST(ContourFast, TimeZeroPutsInfiniteNodesIntoTheWalk) {
    const Case c = Picture(demo::kGrid, 0.0f, 1.0f);
    ASSERT_EQ(c.f[40 * 80 + 60], kInf);
    for (float th : {0.6f, 2.0f, 5.0f, 10.0f})
        EXPECT_GT(ExpectSameAsPlain(c, th), 0) << th;
    // Above about 3.8 the infinite node's neighbours fall below the threshold, so crossings are
    // interpolated from the infinite corner and some come out NaN.
    for (float th : {5.0f, 10.0f}) {
        std::vector<Vector2> p, n;
        const int count =
            field::ExtractContourLines(c.f, c.g, c.size, th, field::kCaseSegments, p, n);
        bool sawNaN = false;
        for (int i = 0; i < count; ++i)
            sawNaN = sawNaN || std::isnan(p[i].x) || std::isnan(p[i].y);
        EXPECT_TRUE(sawNaN) << th;
    }
}

TEST(ContourFast, GridShapesAroundTheWordBoundaries) {
    // Sizes on either side of 32 and 64 nodes along x, where the planes and row words split,
    // and thin or tall grids in either direction.
    const int sides[] = {2, 3, 31, 32, 33, 63, 64, 65, 66, 95, 127, 128, 129, 130};
    for (int nx : sides) {
        for (int ny : {2, 5, 33, 64, 65, 97}) {
            const GridSize size{nx, ny};
            // Spread the picture over the grid so every size sees the contour.
            const float spacing = 79.0f / float(std::max(nx, ny) - 1);
            const Case c = Picture(size, 1.3f, spacing);
            for (float th : {0.6f, 0.35f, 1.5f}) {
                SCOPED_TRACE(testing::Message() << nx << " x " << ny << " threshold " << th);
                ASSERT_GE(ExpectSameAsPlain(c, th), 0);
            }
        }
    }
}

TEST(ContourFast, WideGridsSpanSeveralIndexWords) {
    // More than 32 planes (nx > 1024) put a cell row's marks into several index words; the
    // boundaries at 1024 and 1025 nodes and a field whose contour crosses every plane.
    for (int nx : {1024, 1025, 1026, 1057, 1100}) {
        for (int ny : {2, 3, 40}) {
            const GridSize size{nx, ny};
            Case c = Picture(size, 1.3f, 79.0f / float(nx - 1));
            // Stripes across x so that every plane in every row holds mixed cells.
            for (int a = 0; a < nx; a += 7)
                for (int b = 0; b < ny; ++b)
                    c.f[size.Index(a, b)] = 10.0f;
            field::SampleGradient(c.f, size, 1.0f, c.g);
            for (float th : {0.6f, 5.0f}) {
                SCOPED_TRACE(testing::Message() << nx << " x " << ny << " threshold " << th);
                ASSERT_GT(ExpectSameAsPlain(c, th), 0);
            }
        }
    }
}

TEST(ContourFast, SaddlesAndHostileValues) {
    // A checkerboard makes every cell a saddle (cases 5 and 10 alternate); then NaN, infinities
    // of both signs, signed zeros and values equal to the threshold sprinkled in.
    for (int nx : {7, 64, 65, 130}) {
        const GridSize size{nx, 37};
        Case c{size, std::vector<float>(size.NodeCount()), {}};
        for (int a = 0; a < size.nx; ++a)
            for (int b = 0; b < size.ny; ++b)
                c.f[size.Index(a, b)] = (a + b) % 2 ? 1.0f : 0.0f;
        c.g.assign(size.NodeCount(), Vector2());
        field::SampleGradient(c.f, size, 1.0f, c.g);
        EXPECT_EQ(ExpectSameAsPlain(c, 0.5f), 4 * int(size.CellCount()));

        std::mt19937 rng{unsigned(nx)};
        const float specials[] = {kNaN, kInf, -kInf, 0.0f, -0.0f, 0.5f, 1.0f};
        std::uniform_int_distribution<int> pick(0, 6), where(0, int(size.NodeCount()) - 1);
        for (int i = 0; i < int(size.NodeCount()) / 4; ++i)
            c.f[std::size_t(where(rng))] = specials[pick(rng)];
        field::SampleGradient(c.f, size, 1.0f, c.g);
        for (float th : {0.5f, 0.0f, -0.0f, 1.0f, -kInf}) {
            SCOPED_TRACE(testing::Message() << nx << " threshold " << th);
            ASSERT_GE(ExpectSameAsPlain(c, th), 0);
        }
    }
}

TEST(ContourFast, TablesThatFillCasesZeroAndFifteenStillVisitEveryCell) {
    const Case c = Picture(demo::kGrid, 1.3f, 1.0f);
    field::CaseSegments odd = field::kCaseSegments;
    odd.count[0] = 1;
    odd.segment[0][0] = field::EdgePair{0, 2};
    odd.count[15] = 2;
    odd.segment[15][0] = field::EdgePair{1, 3};
    odd.segment[15][1] = field::EdgePair{3, 1};
    EXPECT_GT(ExpectSameAsPlain(c, 0.6f, odd), 2 * int(c.size.CellCount()));
    // An empty table (the demo's before its table is built) gives nothing at all.
    EXPECT_EQ(ExpectSameAsPlain(c, 0.6f, field::CaseSegments{}), 0);
}

TEST(ContourFast, DemoExtractionMatchesThePlainWalk) {
    BuildCaseTable();
    const float saved = threshold;
    for (float tm : {0.0f, 1.3f, 7.25f}) {
        const Case c = Picture(demo::kGrid, tm, 1.0f);
        std::copy(c.f.begin(), c.f.end(), fieldGrid);
        std::copy(c.g.begin(), c.g.end(), gradientGrid);
        for (float th : {0.6f, 0.45f, 2.5f}) {
            threshold = th;
            std::vector<Vector2> pp, pn;
            reference::Contour(c.f, c.g, c.size, th, field::kCaseSegments, pp, pn);
            Vector2* pts = nullptr;
            Vector2* nrm = nullptr;
            const int n = ExtractContour(&pts, &nrm);
            ASSERT_EQ(n, int(pp.size()));
            for (int i = 0; i < n; ++i) {
                ASSERT_TRUE(Identical(pts[i], pp[i]) && Identical(nrm[i], pn[i])) << i;
            }
            delete[] pts;
            delete[] nrm;
        }
    }
    threshold = saved;
}

TEST(AbovePlanes, EachBitIsTheStrictComparison) {
    const GridSize size{70, 9};
    std::vector<float> f(size.NodeCount());
    const float values[] = {0.5f, 0.49999997f, 0.50000006f, kNaN, kInf, -kInf, 0.0f, -0.0f, 1.0f};
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = values[(i * 7 + i / 9) % 9];
    std::vector<std::uint32_t> planes(field::AboveWords(size), 0xDEADBEEFu);
    ASSERT_EQ(planes.size(), std::size_t(4 * 9)); // three words of nodes and the zero word
    for (float t : {0.5f, 0.0f, -0.0f, -kInf, kInf}) {
        isocontour::ClassifyAbove(field::NodeView(f, size), t, std::span(planes));
        for (int w = 0; w < 4; ++w) {
            for (int b = 0; b < size.ny; ++b) {
                for (int k = 0; k < 32; ++k) {
                    const int a = 32 * w + k;
                    const bool bit = (planes[std::size_t(b * 4 + w)] >> k) & 1u;
                    const bool above = a < size.nx && f[size.Index(a, b)] > t;
                    ASSERT_EQ(bit, above) << "node (" << a << ", " << b << ") t " << t;
                }
            }
        }
    }
}

} // namespace
