// Tests of the graphics class on Windows (run under wine, without a display): the DIB section
// surface read back through GDI itself, GDI text in its colour over what is there, the
// headless presenter, the accessors and the soft failures. The window presenter is exercised
// by the whole-program test (tests/e2e/windows_demo.sh), which has a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "gfx/dib_surface_win32.h"
#include "gfx/tavgfx.h"
#include "platform/win32.h"

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

static_assert(gfx::ToColorref(0xFF0000) == RGB(255, 0, 0));
static_assert(gfx::ToColorref(0x123456) == RGB(0x12, 0x34, 0x56));
static_assert(gfx::ToColorref(0xAB000000u | 0x00FF00) == RGB(0, 255, 0)); // top byte dropped

std::uint32_t At(const Surface& s, int x, int y) {
    return s.pixels[static_cast<std::size_t>(y) * (s.pitch / 4) + x];
}

// The pixels of the surface that are not colour, as (x, y) pairs, within a box.
std::set<std::pair<int, int>> Inked(const Surface& s, std::uint32_t background, int x0, int y0,
                                    int x1, int y1) {
    std::set<std::pair<int, int>> inked;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (At(s, x, y) != background) inked.insert({x, y});
    return inked;
}

class GfxWin32 : public ::testing::Test {
  protected:
    TavGFX g{800, 600, 32, 2, TavGFX::kModeHeadless};
};

TEST_F(GfxWin32, IsAnEightHundredBySixHundredTopDownDibSection) {
    ASSERT_EQ(g.Error(), nullptr);
    ASSERT_NE(g.backSurface, nullptr);
    EXPECT_EQ(g.backSurface->width, 800);
    EXPECT_EQ(g.backSurface->height, 600);
    EXPECT_EQ(g.backSurface->pitch, 3200);
    EXPECT_EQ(g.GetScreenX(), 800);
    EXPECT_EQ(g.GetScreenY(), 600);
    EXPECT_EQ(g.GetBpp(), 32u);
    EXPECT_FALSE(g.HasWindow());

    g.Lock(g.backSurface);
    EXPECT_EQ(g.lockedBits, reinterpret_cast<std::uint8_t*>(g.backSurface->pixels));
    EXPECT_EQ(g.lockedPitch, 3200);
    g.UnLock(g.backSurface);
    EXPECT_EQ(g.lockedBits, nullptr);
}

TEST_F(GfxWin32, PixelsWrittenToTheMemoryAreWhatGdiReadsThere) {
    // GDI is the independent reader: the DIB's own device context reports each pixel as a
    // COLORREF, so the layout (0x00RRGGBB) and the row order (top down) are checked at once.
    ASSERT_NE(g.backSurface, nullptr);
    gfx::DibSurface dib;
    std::string error;
    ASSERT_TRUE(dib.Create(8, 4, error)) << error;
    Surface& s = *dib.View();
    s.pixels[0] = kRed;             // (0, 0)
    s.pixels[1 * 8 + 7] = kGreen;   // (7, 1)
    s.pixels[3 * 8 + 2] = kBlue;    // (2, 3), the bottom row
    s.pixels[2 * 8 + 5] = 0x123456; // (5, 2)
    GdiFlush();
    EXPECT_EQ(GetPixel(dib.Dc(), 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dib.Dc(), 7, 1), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dib.Dc(), 2, 3), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dib.Dc(), 5, 2), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(GetPixel(dib.Dc(), 1, 0), RGB(0, 0, 0)); // a fresh DIB is all zero

    // And the class's own calls land in the same memory.
    g.ClearSurf(0, g.backSurface);
    g.Lock(g.backSurface);
    g.PutPixel(799, 599, kRed, g.lockedBits);
    g.Line(10, 20, 13, 20, kBlue, g.lockedBits, g.lockedPitch);
    g.UnLock(g.backSurface);
    EXPECT_EQ(At(*g.backSurface, 799, 599), kRed);
    for (int x = 10; x <= 13; ++x)
        EXPECT_EQ(At(*g.backSurface, x, 20), kBlue) << x;
    EXPECT_EQ(Inked(*g.backSurface, 0, 0, 0, 800, 600).size(), 5u);
}

TEST_F(GfxWin32, TextIsDrawnByGdiAtItsBoxInItsColourOverTheBackground) {
    ASSERT_NE(g.backSurface, nullptr);
    const Surface& s = *g.backSurface;
    g.ClearSurf(kBlue, g.backSurface);
    g.TxtOutGDI(5, 5, "Threshold = 0.600000", 0xFFFFFF, g.backSurface);

    // Ink only in a box from (5, 5), about 15 px high and 20 fixed-pitch cells wide.
    const auto inked = Inked(s, kBlue, 0, 0, 800, 600);
    ASSERT_GT(inked.size(), 100u);
    int minX = 800, minY = 600, maxX = 0, maxY = 0;
    for (auto [x, y] : inked) {
        minX = std::min(minX, x), minY = std::min(minY, y);
        maxX = std::max(maxX, x), maxY = std::max(maxY, y);
    }
    EXPECT_GE(minX, 5);
    EXPECT_GE(minY, 5);
    EXPECT_LE(maxY, 5 + 20);
    EXPECT_GE(maxY - minY, 7);   // capitals and digits: at least 8 rows
    EXPECT_GT(maxX - minX, 120); // 20 characters of 7 px or more
    EXPECT_LT(maxX, 5 + 20 * 12);
    // Transparent mode: every inked pixel lies between the blue background and the white ink,
    // (a, a, 255), some of them fully covered; the rest of the box stays blue.
    int white = 0;
    for (auto [x, y] : inked) {
        const std::uint32_t p = At(s, x, y);
        EXPECT_EQ(p >> 16 & 0xFF, p >> 8 & 0xFF) << x << "," << y;
        EXPECT_EQ(p & 0xFF, 0xFFu) << x << "," << y;
        white += p == 0xFFFFFF;
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(Inked(s, 0xFFFFFF, minX, minY, maxX + 1, maxY + 1).size(), inked.size());
}

TEST_F(GfxWin32, TextTakesTheColourGivenInRedGreenBlueOrder) {
    // Red text on black: GDI's COLORREF is blue-green-red, so a missed swap would draw blue.
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0, g.backSurface);
    g.TxtOutGDI(100, 100, "MMMM", kRed, g.backSurface);
    const auto inked = Inked(*g.backSurface, 0, 0, 0, 800, 600);
    ASSERT_FALSE(inked.empty());
    int pureRed = 0;
    for (auto [x, y] : inked) {
        const std::uint32_t p = At(*g.backSurface, x, y);
        EXPECT_EQ(p & 0x00FFFFu, 0u) << "green or blue at " << x << "," << y;
        pureRed += p == kRed;
    }
    EXPECT_GT(pureRed, 10);
}

TEST_F(GfxWin32, TextOnlyOnTheBackSurfaceAndWithinIt) {
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0, g.backSurface);
    Surface other = *g.backSurface; // same memory, another surface object: not the DC's
    g.TxtOutGDI(5, 5, "text", 0xFFFFFF, &other);
    g.TxtOutGDI(5, 5, nullptr, 0xFFFFFF, g.backSurface);
    g.TxtOutGDI(5, 5, "text", 0xFFFFFF, nullptr);
    EXPECT_TRUE(Inked(*g.backSurface, 0, 0, 0, 800, 600).empty());
    // Partly off every edge: clipped, and nothing else is touched.
    g.TxtOutGDI(-20, -8, "edge", 0xFFFFFF, g.backSurface);
    g.TxtOutGDI(780, 590, "edge", 0xFFFFFF, g.backSurface);
    for (auto [x, y] : Inked(*g.backSurface, 0, 0, 0, 800, 600))
        EXPECT_TRUE((x < 40 && y < 12) || (x >= 780 && y >= 590)) << x << "," << y;
}

TEST_F(GfxWin32, FlipKeepsTheFrameForTheHeadlessReader) {
    ASSERT_NE(g.backSurface, nullptr);
    FrameView before = g.LastFrame();
    ASSERT_NE(before.pixels, nullptr);
    EXPECT_EQ(before.pixels[0], 0u);
    g.ClearSurf(kGreen, g.backSurface);
    g.Lock(g.backSurface);
    g.PutPixel(3, 4, kRed, g.lockedBits);
    g.UnLock(g.backSurface);
    g.Flip();
    g.ClearSurf(0, g.backSurface); // the kept frame is a copy
    const FrameView f = g.LastFrame();
    EXPECT_EQ(f.width, 800);
    EXPECT_EQ(f.height, 600);
    EXPECT_EQ(f.pixels[4 * f.pitch + 3], kRed);
    EXPECT_EQ(f.pixels[599 * f.pitch + 799], kGreen);
    g.WindowMoved(); // nothing to refresh without a window
}

TEST(GfxWin32Failures, UnsupportedFormatsFailSoftly) {
    for (auto [w, h, bpp, pages] : {std::tuple{800, 600, 16, 2}, std::tuple{0, 600, 32, 2},
                                    std::tuple{800, 0, 32, 2}, std::tuple{800, 600, 32, 1}}) {
        TavGFX g(std::uint16_t(w), std::uint16_t(h), std::uint8_t(bpp), std::uint16_t(pages), 0);
        ASSERT_NE(g.Error(), nullptr);
        EXPECT_EQ(std::strncmp(g.Error(), "TavGFX: ", 8), 0) << g.Error();
        EXPECT_EQ(g.backSurface, nullptr);
        // Every call is safe on the failed object.
        g.ClearSurf(0, g.backSurface);
        g.Lock(g.backSurface);
        g.TxtOutGDI(5, 5, "x", 0xFFFFFF, g.backSurface);
        g.Flip();
        EXPECT_EQ(g.LastFrame().pixels, nullptr);
    }
}

TEST(GfxWin32Failures, WithNoTavWinWindowTheWindowModesPresentHeadless) {
    // No window of class "TavWin" exists in this process (nor any display): the demo's own
    // arguments still make a working object, presenting to the headless frame.
    TavGFX g(800, 600, 32, 2, TavGFX::kModeVsync);
    ASSERT_EQ(g.Error(), nullptr);
    EXPECT_FALSE(g.HasWindow());
    g.ClearSurf(kRed, g.backSurface);
    g.Flip();
    EXPECT_EQ(g.LastFrame().pixels[0], kRed);
}

TEST(GfxWin32Font, AFontFileWindowsCannotLoadStopsTheGraphicsByName) {
    const char* missing = "C:\\no\\such\\font.ttf";
    gfx::DibSurface dib;
    std::string error;
    EXPECT_FALSE(dib.Create(8, 4, error, missing));
    EXPECT_EQ(error, std::string("cannot load the font ") + missing);

    // Through GRADIENT_FONT, as on Linux.
    _putenv((std::string("GRADIENT_FONT=") + missing).c_str());
    TavGFX failed(800, 600, 32, 2, TavGFX::kModeHeadless);
    _putenv("GRADIENT_FONT="); // removes it
    EXPECT_EQ(failed.backSurface, nullptr);
    ASSERT_NE(failed.Error(), nullptr);
    EXPECT_EQ(failed.Error(), std::string("TavGFX: cannot load the font ") + missing);
}

} // namespace
