// The demo's frame read back from the headless presenter: dots, contour lines and text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "app/frame.h"
#include "app/sizes.h"
#include "app/state.h"
#include "field/charge_field.h"

// Array allocations of this process, counted so a test can see every frame release its two.
static long arrayNews = 0, arrayDeletes = 0;
void* operator new[](std::size_t n) {
    ++arrayNews;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete[](void* p) noexcept {
    if (p) ++arrayDeletes;
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// The threshold text sits in this box at the top left; dots under it may be covered.
bool InTextBox(int x, int y) { return x < 260 && y < 28; }

class Frame : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitDemo()); }
    static void TearDownTestSuite() { ShutdownDemo(); }
    void SetUp() override {
        ASSERT_NE(gfx, nullptr);
        saved_ = threshold;
    }
    void TearDown() override { threshold = saved_; }

    static std::uint32_t Pixel(int x, int y) {
        const FrameView f = gfx->LastFrame();
        return f.pixels[y * f.pitch + x] & 0xFFFFFF;
    }
    // The segments of the frame now in the grids.
    static std::vector<Vector2> Segments() {
        const FrameContour c;
        return std::vector<Vector2>(c.points, c.points + c.count);
    }

    float saved_ = 0.0f;
};

TEST_F(Frame, DotsAreRedExactlyWhereTheFieldIsAbove) {
    for (float t : {1.3f, 2.7f}) {
        threshold = 0.6f;
        RenderFrameAt(t);
        int red = 0, blue = 0;
        for (int a = 0; a < 80; ++a) {
            for (int b = 0; b < 80; ++b) {
                const int x = 10 + 7 * a, y = 10 + 7 * b;
                if (InTextBox(x, y)) continue;
                const std::uint32_t c = Pixel(x, y);
                const bool above = fieldGrid[a * 80 + b] > threshold;
                // A red line may cross a blue dot; nothing may turn an above dot blue.
                if (above) {
                    EXPECT_EQ(c, kRed) << a << "," << b;
                } else {
                    EXPECT_TRUE(c == kBlue || c == kRed) << a << "," << b;
                }
                red += c == kRed;
                blue += c == kBlue;
            }
        }
        EXPECT_GT(red, 0);
        EXPECT_GT(blue, 0);
    }
}

TEST_F(Frame, ThresholdExtremesColourEveryDot) {
    threshold = 1000.0f; // above every value: no contour, every dot blue
    RenderFrameAt(1.3f);
    for (float v : fieldGrid)
        ASSERT_LT(v, threshold);
    EXPECT_TRUE(Segments().empty());
    threshold = 0.0f; // every value is positive: every dot red
    RenderFrameAt(1.3f);
    for (int a = 0; a < 80; ++a) {
        for (int b = 0; b < 80; ++b) {
            const int x = 10 + 7 * a, y = 10 + 7 * b;
            if (InTextBox(x, y)) continue;
            ASSERT_EQ(Pixel(x, y), kRed) << a << "," << b;
        }
    }
    threshold = 1000.0f;
    RenderFrameAt(1.3f);
    for (int a = 0; a < 80; ++a) {
        for (int b = 0; b < 80; ++b) {
            const int x = 10 + 7 * a, y = 10 + 7 * b;
            if (InTextBox(x, y)) continue;
            ASSERT_EQ(Pixel(x, y), kBlue) << a << "," << b;
        }
    }
}

TEST_F(Frame, ContourLinesAreRedAndNaNSegmentsAreSkipped) {
    // Charges on nodes: infinite values. Around the lone charge at (40, 45) the neighbours stay
    // below 3.5, so the edges that start at its infinite node cross with s and the point NaN;
    // around the other two the contour keeps clear of the infinite nodes.
    threshold = 3.5f;
    RenderFrameAt(0.0f);
    const std::vector<Vector2> pts = Segments();
    int nanSegments = 0, drawn = 0;
    for (std::size_t s = 0; s + 1 < pts.size(); s += 2) {
        const Vector2 p = pts[s], q = pts[s + 1];
        if (std::isnan(p.x) || std::isnan(p.y) || std::isnan(q.x) || std::isnan(q.y)) {
            ++nanSegments;
            continue;
        }
        // Both end points of a drawn segment are lit.
        const int x1 = int(float(7.0 * p.x + 10.0)), y1 = int(float(7.0 * p.y + 10.0));
        const int x2 = int(float(7.0 * q.x + 10.0)), y2 = int(float(7.0 * q.y + 10.0));
        if (InTextBox(x1, y1) || InTextBox(x2, y2)) continue;
        EXPECT_EQ(Pixel(x1, y1), kRed) << s;
        EXPECT_EQ(Pixel(x2, y2), kRed) << s;
        ++drawn;
    }
    EXPECT_GT(nanSegments, 0);
    EXPECT_GT(drawn, 0);
    // Only dots, lines and text: no stray colours besides antialiased text near (5, 5).
    const FrameView f = gfx->LastFrame();
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const std::uint32_t c = Pixel(x, y);
            if (InTextBox(x, y)) continue;
            ASSERT_TRUE(c == 0 || c == kRed || c == kBlue) << x << "," << y;
        }
    }
}

TEST_F(Frame, NaNSegmentsLeaveTheMarginsAsTheyWere) {
    // The frame with NaN end points (as above). A segment drawn instead of skipped would reach
    // screen coordinate 0 on its NaN side (the float-to-int conversion of a NaN), so it would
    // cross the margin around the grid, which no dot and no kept segment ever touches.
    threshold = 3.5f;
    RenderFrameAt(0.0f);
    const std::vector<Vector2> pts = Segments();
    int nanSegments = 0;
    for (std::size_t s = 0; s + 1 < pts.size(); s += 2) {
        const Vector2 p = pts[s], q = pts[s + 1];
        nanSegments += std::isnan(p.x) || std::isnan(p.y) || std::isnan(q.x) || std::isnan(q.y);
    }
    ASSERT_GT(nanSegments, 0);
    const int first = demo::kDotOrigin;
    const int last = demo::kDotOrigin + demo::kDotSpacing * (demo::kGridSide - 1);
    const FrameView f = gfx->LastFrame();
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            if (InTextBox(x, y) || (x >= first && x <= last && y >= first && y <= last)) continue;
            ASSERT_EQ(Pixel(x, y), 0u) << x << "," << y;
        }
    }
}

TEST_F(Frame, ADotEqualToTheThresholdIsBlue) {
    // A flat field with one node exactly at the threshold (no contour touches it: no corner is
    // above) and another one float step above it.
    for (float& v : fieldGrid)
        v = 0.25f;
    for (Vector2& g : gradientGrid)
        g = Vector2();
    threshold = 0.5f;
    fieldGrid[demo::kGrid.Index(20, 30)] = 0.5f;
    fieldGrid[demo::kGrid.Index(60, 50)] = std::nextafter(0.5f, 1.0f);
    DrawFrame();
    gfx->Flip();
    auto dot = [](int a, int b) {
        return Pixel(demo::kDotOrigin + demo::kDotSpacing * a,
                     demo::kDotOrigin + demo::kDotSpacing * b);
    };
    EXPECT_EQ(dot(20, 30), kBlue);
    EXPECT_EQ(dot(60, 50), kRed);
    EXPECT_EQ(dot(21, 30), kBlue);
    EXPECT_EQ(Segments().size(), 8u); // the four cells around the node above, none elsewhere
}

TEST_F(Frame, ThresholdTextIsWhiteNearTheTopLeft) {
    threshold = 0.6f;
    RenderFrameAt(1.3f);
    int white = 0;
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 260; ++x)
            white += Pixel(x, y) == kWhite;
    EXPECT_GT(white, 40);
    EXPECT_NE(Pixel(5, 5), kWhite); // the box's corner is above and left of the glyphs' ink
}

TEST_F(Frame, EveryFrameReleasesItsTwoArrays) {
    const long news = arrayNews, deletes = arrayDeletes;
    for (int i = 0; i < 200; ++i) {
        threshold = i == 7 ? 1e30f : 0.3f + 0.01f * float(i % 50); // one empty contour too
        RenderFrameAt(0.05f * float(i));
    }
    EXPECT_EQ(arrayNews - news, 400);
    EXPECT_EQ(arrayDeletes - deletes, 400);
}

TEST(FrameTime, MillisecondsAreReadAsUnsignedAndRoundedOnce) {
    EXPECT_EQ(FrameSeconds(1300), float(1.3));
    EXPECT_EQ(FrameSeconds(0), 0.0f);
    EXPECT_EQ(FrameSeconds(4294967295u), float(4294967.295)); // never negative
}

} // namespace
