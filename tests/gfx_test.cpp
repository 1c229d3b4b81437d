// Tests of the graphics class: surface layout, fill, pixels and Bresenham lines with clipping
// (over surfaces with a guard band), text, the presenters and the failure on a missing font.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gfx/headless_presenter.h"
#include "gfx/surface.h"
#include "gfx/surface_ops.h"
#include "gfx/tavgfx.h"
#include "gfx/text.h"
#include "platform/linux/headless.h"
#include "platform/linux/sdl_window.h"
#include "platform/win32.h"
#include "xvfb_display.h"

namespace {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

constexpr std::uint32_t kGuard = 0xDEADBEEFu;
constexpr std::uint32_t kInk = 0x00ABCDEFu;

// A surface inside a larger buffer: a band of kGuard pixels on every side (and in the padding
// at the end of each row) shows any write outside the surface.
struct GuardedSurface {
    static constexpr int kBand = 16;
    static constexpr int kPad = 3; // pixels of padding per row, so pitch > width * 4
    std::vector<std::uint32_t> buffer;
    Surface surface;
    int stride; // in pixels

    GuardedSurface(int w, int h) : stride(w + kPad + 2 * kBand) {
        buffer.assign(static_cast<std::size_t>(stride) * (h + 2 * kBand), kGuard);
        surface =
            Surface{&buffer[static_cast<std::size_t>(kBand) * stride + kBand], w, h, stride * 4};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                At(x, y) = 0;
    }
    std::uint32_t& At(int x, int y) {
        return buffer[static_cast<std::size_t>(y + kBand) * stride + x + kBand];
    }
    bool Inside(int x, int y) const {
        return x >= 0 && y >= 0 && x < surface.width && y < surface.height;
    }
    // Number of buffer pixels outside the surface that are no longer kGuard.
    int GuardDamage() {
        int damage = 0;
        for (int by = 0; by < static_cast<int>(buffer.size()) / stride; ++by)
            for (int bx = 0; bx < stride; ++bx)
                if (!Inside(bx - kBand, by - kBand) &&
                    buffer[static_cast<std::size_t>(by) * stride + bx] != kGuard)
                    ++damage;
        return damage;
    }
    PixelSet Inked(std::uint32_t colour = kInk) {
        PixelSet s;
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                if (At(x, y) == colour) s.insert({x, y});
        return s;
    }
    void Clear() {
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                At(x, y) = 0;
    }
};

// Independent oracle of the Bresenham line: along the major axis, the minor offset after k
// steps is k * minor / major rounded half up (away from the start), end points included.
PixelSet OracleLine(long long x1, long long y1, long long x2, long long y2) {
    PixelSet s;
    const long long dx = std::llabs(x2 - x1), dy = std::llabs(y2 - y1);
    const long long sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
    const long long major = std::max(dx, dy), minor = std::min(dx, dy);
    for (long long k = 0; k <= major; ++k) {
        const long long m = major == 0 ? 0 : (2 * k * minor + major) / (2 * major);
        if (dx >= dy)
            s.insert({int(x1 + sx * k), int(y1 + sy * m)});
        else
            s.insert({int(x1 + sx * m), int(y1 + sy * k)});
    }
    return s;
}

PixelSet OnSurface(const PixelSet& all, int w, int h) {
    PixelSet s;
    for (const Pixel& p : all)
        if (p.first >= 0 && p.second >= 0 && p.first < w && p.second < h) s.insert(p);
    return s;
}

// Keeps the platform layer without windows, so the class picks the headless presenter.
class GfxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ResetLayer();
        unsetenv("GRADIENT_FONT");
    }
    void TearDown() override {
        platform::ResetLayer();
        for (const char* name : {"GRADIENT_FONT", "SDL_VIDEODRIVER", "SDL_RENDER_DRIVER",
                                 "SDL_FRAMEBUFFER_ACCELERATION"})
            unsetenv(name);
    }

    // Registers the demo's class (a window procedure that does nothing) and opens its window
    // at (x, y); null when the layer cannot.
    static HWND OpenDemoWindow(int x, int y) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
        wc.lpszClassName = "TavWin";
        EXPECT_NE(RegisterClassExA(&wc), 0);
        return CreateWindowExA(0, "TavWin", "Gradient Test in 2D", WS_VISIBLE, x, y, 800, 600,
                               nullptr, nullptr, nullptr, nullptr);
    }
};

std::uint32_t PixelOf(const TavGFX& g, int x, int y) {
    const std::uint8_t* base = reinterpret_cast<const std::uint8_t*>(g.backSurface->pixels);
    std::uint32_t v;
    std::memcpy(&v, base + static_cast<std::ptrdiff_t>(y) * g.backSurface->pitch + x * 4, 4);
    return v;
}

} // namespace

// ---- surface operations ----

TEST(SurfaceOps, FillCoversTheSurfaceAndNothingElse) {
    GuardedSurface g(37, 11);
    gfx::SurfaceFill(g.surface, kInk);
    EXPECT_EQ(g.Inked().size(), 37u * 11u);
    EXPECT_EQ(g.GuardDamage(), 0);

    // A surface with no padding takes the single-fill path.
    std::vector<std::uint32_t> tight(8 * 5, 0);
    gfx::SurfaceFill(Surface{tight.data(), 8, 5, 32}, 0x123456u);
    EXPECT_TRUE(std::all_of(tight.begin(), tight.end(), [](auto v) { return v == 0x123456u; }));

    // Grey and white (three equal colour bytes) leave the unused top byte clear, on both paths;
    // only a colour of four equal bytes may be filled byte by byte.
    for (std::uint32_t colour : {0x808080u, 0xFFFFFFu, 0x010101u}) {
        SCOPED_TRACE(colour);
        gfx::SurfaceFill(Surface{tight.data(), 8, 5, 32}, colour);
        EXPECT_TRUE(std::all_of(tight.begin(), tight.end(), [&](auto v) { return v == colour; }));
        std::vector<std::uint32_t> padded(10 * 5, 0xDEADBEEFu);
        gfx::SurfaceFill(Surface{padded.data(), 8, 5, 40}, colour);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(padded[std::size_t(y * 10 + x)], colour) << x << "," << y;
    }
}

TEST(SurfaceOps, PutPixelLandsWhereAskedAndIgnoresOffSurface) {
    GuardedSurface g(20, 10);
    gfx::SurfacePutPixel(g.surface, 0, 0, kInk);
    gfx::SurfacePutPixel(g.surface, 19, 9, kInk);
    gfx::SurfacePutPixel(g.surface, 7, 3, kInk);
    EXPECT_EQ(g.Inked(), (PixelSet{{0, 0}, {19, 9}, {7, 3}}));
    for (auto [x, y] : std::vector<Pixel>{{20, 0},
                                          {0, 10},
                                          {20, 10},
                                          {-1, 0},
                                          {0, -1},
                                          {65535, 65535},
                                          {INT_MAX, 0},
                                          {INT_MIN, INT_MIN}})
        gfx::SurfacePutPixel(g.surface, x, y, kInk);
    EXPECT_EQ(g.Inked().size(), 3u);
    EXPECT_EQ(g.GuardDamage(), 0);
}

TEST(SurfaceOps, NullOrBrokenSurfaceIsLeftAlone) {
    const Surface none{};
    gfx::SurfaceFill(none, kInk);
    gfx::SurfacePutPixel(none, 0, 0, kInk);
    gfx::SurfaceLine(none, 0, 0, 5, 5, kInk);
    EXPECT_FALSE(gfx::SurfaceUsable(none));
    std::uint32_t one = 0;
    EXPECT_FALSE(gfx::SurfaceUsable(Surface{&one, 2, 1, 4})); // pitch shorter than a row
    gfx::SurfaceFill(Surface{&one, 2, 1, 4}, kInk);
    EXPECT_EQ(one, 0u);
}

TEST(SurfaceOps, LineExactPixels) {
    GuardedSurface g(12, 12);
    struct Case {
        int x1, y1, x2, y2;
        PixelSet expected;
    };
    const std::vector<Case> cases = {
        // shallow, classic textbook line
        {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},
        // steep
        {1, 1, 3, 6, {{1, 1}, {1, 2}, {2, 3}, {2, 4}, {3, 5}, {3, 6}}},
        // a tie at the midpoint steps away from the start, so direction matters
        {0, 0, 2, 1, {{0, 0}, {1, 1}, {2, 1}}},
        {2, 1, 0, 0, {{2, 1}, {1, 0}, {0, 0}}},
        // axis-aligned, diagonal and a single point
        {4, 7, 4, 3, {{4, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7}}},
        {9, 2, 6, 2, {{6, 2}, {7, 2}, {8, 2}, {9, 2}}},
        {3, 3, 6, 0, {{3, 3}, {4, 2}, {5, 1}, {6, 0}}},
        {5, 5, 5, 5, {{5, 5}}},
    };
    for (const Case& c : cases) {
        g.Clear();
        gfx::SurfaceLine(g.surface, c.x1, c.y1, c.x2, c.y2, kInk);
        EXPECT_EQ(g.Inked(), c.expected) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    }
    EXPECT_EQ(g.GuardDamage(), 0);
}

TEST(SurfaceOps, LinesMatchTheOracleInEveryOctant) {
    GuardedSurface g(16, 13);
    int lines = 0;
    for (int x1 = 0; x1 < 16; x1 += 3)
        for (int y1 = 0; y1 < 13; y1 += 2)
            for (int x2 = 0; x2 < 16; x2 += 2)
                for (int y2 = 0; y2 < 13; y2 += 3) {
                    g.Clear();
                    gfx::SurfaceLine(g.surface, x1, y1, x2, y2, kInk);
                    ASSERT_EQ(g.Inked(), OracleLine(x1, y1, x2, y2))
                        << x1 << "," << y1 << " -> " << x2 << "," << y2;
                    ++lines;
                }
    EXPECT_GT(lines, 1000);
    EXPECT_EQ(g.GuardDamage(), 0);
}

TEST(SurfaceOps, LinesAreClippedToTheSurfaceAtAndBeyondItsEdges) {
    GuardedSurface g(40, 30);
    const std::vector<std::array<int, 4>> lines = {
        {0, 0, 39, 29},      {0, 0, 40, 30},       {39, 29, 40, 30},     {10, 10, 65535, 12},
        {10, 10, 12, 65535}, {5, 5, 65535, 65535}, {65535, 0, 0, 65535}, {40, 0, 40, 29},
        {0, 30, 39, 30},     {45, 3, 80, 20},      {3, 33, 20, 90},      {65535, 65535, 40, 30},
        {50, 0, 0, 50},      {-20, 10, 60, 20},    {39, 0, 39, 29},      {0, 29, 39, 29},
    };
    for (const auto& l : lines) {
        g.Clear();
        gfx::SurfaceLine(g.surface, l[0], l[1], l[2], l[3], kInk);
        EXPECT_EQ(g.Inked(), OnSurface(OracleLine(l[0], l[1], l[2], l[3]), 40, 30))
            << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3];
        EXPECT_EQ(g.GuardDamage(), 0);
    }
}

// ---- the class ----

TEST_F(GfxTest, ConstructsAnEightHundredBySixHundredHeadlessSurface) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_EQ(g.Error(), nullptr) << g.Error();
    ASSERT_NE(g.backSurface, nullptr);
    EXPECT_EQ(g.backSurface->width, 800);
    EXPECT_EQ(g.backSurface->height, 600);
    EXPECT_GE(g.backSurface->pitch, 3200);
    EXPECT_EQ(g.GetScreenX(), 800);
    EXPECT_EQ(g.GetScreenY(), 600);
    EXPECT_EQ(g.GetBpp(), 32u);
    EXPECT_FALSE(g.HasWindow());
    const FrameView f = g.LastFrame();
    ASSERT_NE(f.pixels, nullptr);
    EXPECT_EQ(f.width, 800);
    EXPECT_EQ(f.height, 600);
    EXPECT_TRUE(std::all_of(f.pixels, f.pixels + std::size_t(f.pitch) * f.height,
                            [](std::uint32_t v) { return v == 0; }));
}

TEST_F(GfxTest, ColourLayoutIsZeroRedGreenBlue) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0, g.backSurface);
    g.Lock(g.backSurface);
    g.PutPixel(1, 0, 0xFF0000, g.lockedBits);
    g.PutPixel(2, 0, 0x00FF00, g.lockedBits);
    g.PutPixel(3, 0, 0x0000FF, g.lockedBits);
    // Little-endian memory order of 0x00RRGGBB: blue, green, red, unused.
    const std::uint8_t* b = g.lockedBits;
    EXPECT_EQ((std::vector<int>(b + 4, b + 16)),
              (std::vector<int>{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0}));
    g.UnLock(g.backSurface);
}

TEST_F(GfxTest, LockHandsOutTheSurfaceAndUnlockTakesItBack) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.Lock(g.backSurface);
    EXPECT_EQ(g.lockedBits, reinterpret_cast<std::uint8_t*>(g.backSurface->pixels));
    EXPECT_EQ(g.lockedPitch, g.backSurface->pitch);
    g.UnLock(g.backSurface);
    EXPECT_EQ(g.lockedBits, nullptr);
    EXPECT_EQ(g.lockedPitch, 0);
}

TEST_F(GfxTest, ClearPixelAndLineThroughTheClass) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0x0000FF, g.backSurface);
    EXPECT_EQ(PixelOf(g, 0, 0), 0x0000FFu);
    EXPECT_EQ(PixelOf(g, 799, 599), 0x0000FFu);
    g.ClearSurf(0, g.backSurface);
    g.Lock(g.backSurface);
    g.PutPixel(799, 599, 0xFF0000, g.lockedBits);
    g.PutPixel(800, 0, 0xFF0000, g.lockedBits); // off the surface: skipped
    g.PutPixel(0, 600, 0xFF0000, g.lockedBits);
    g.PutPixel(65535, 65535, 0xFF0000, g.lockedBits);
    g.Line(10, 20, 15, 22, 0x00FF00, g.lockedBits, g.lockedPitch);
    g.Line(790, 500, 65535, 500, 0x00FF00, g.lockedBits, g.lockedPitch);
    g.UnLock(g.backSurface);

    PixelSet red, green;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const std::uint32_t v = PixelOf(g, x, y);
            if (v == 0xFF0000u) red.insert({x, y});
            if (v == 0x00FF00u) green.insert({x, y});
        }
    EXPECT_EQ(red, (PixelSet{{799, 599}}));
    PixelSet expected = OracleLine(10, 20, 15, 22);
    for (const Pixel& p : OnSurface(OracleLine(790, 500, 65535, 500), 800, 600))
        expected.insert(p);
    EXPECT_EQ(green, expected);
}

TEST_F(GfxTest, PixelCallsWithForeignOrNullMemoryDrawNothing) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0, g.backSurface);
    std::vector<std::uint8_t> foreign(64, 0);
    g.PutPixel(0, 0, 0xFFFFFF, foreign.data());
    g.Line(0, 0, 3, 3, 0xFFFFFF, foreign.data(), 16);
    g.PutPixel(0, 0, 0xFFFFFF, nullptr);
    g.Line(0, 0, 3, 3, 0xFFFFFF, nullptr, 3200);
    g.Lock(g.backSurface);
    g.Line(0, 0, 3, 3, 0xFFFFFF, g.lockedBits, g.lockedPitch * 2); // a pitch not its own
    g.UnLock(g.backSurface);
    EXPECT_TRUE(std::all_of(foreign.begin(), foreign.end(), [](auto v) { return v == 0; }));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(PixelOf(g, i, i), 0u);
    g.ClearSurf(0xFFFFFF, nullptr);
    g.Lock(nullptr);
    EXPECT_EQ(g.lockedBits, nullptr);
    g.TxtOutGDI(5, 5, "x", 0xFFFFFF, nullptr);
    g.TxtOutGDI(5, 5, nullptr, 0xFFFFFF, g.backSurface);
    EXPECT_EQ(PixelOf(g, 0, 0), 0u);
}

TEST_F(GfxTest, FlipHandsTheBackSurfaceToTheHeadlessPresenter) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0x102030, g.backSurface);
    g.Lock(g.backSurface);
    for (int i = 0; i < 600; i += 7)
        g.PutPixel(std::uint16_t(i), std::uint16_t(i), 0xFF0000, g.lockedBits);
    g.Line(0, 599, 799, 0, 0x00FF00, g.lockedBits, g.lockedPitch);
    g.UnLock(g.backSurface);
    g.TxtOutGDI(5, 5, "Threshold = 0.600000", 0xFFFFFF, g.backSurface);
    g.Flip();
    FrameView f = g.LastFrame();
    ASSERT_EQ(f.width, 800);
    ASSERT_EQ(f.height, 600);
    for (int y = 0; y < 600; ++y)
        ASSERT_EQ(std::memcmp(f.pixels + std::size_t(y) * f.pitch,
                              reinterpret_cast<const std::uint8_t*>(g.backSurface->pixels) +
                                  std::size_t(y) * g.backSurface->pitch,
                              800 * 4),
                  0)
            << "row " << y;
    // Drawing on goes to the back surface only; the front page keeps the flipped frame.
    g.ClearSurf(0, g.backSurface);
    EXPECT_EQ(g.LastFrame().pixels[1], 0x102030u);
    g.Flip();
    EXPECT_EQ(g.LastFrame().pixels[1], 0u);
}

TEST_F(GfxTest, TextAppearsAtItsBoxInItsColourOverTheBackground) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    const char* text = "Threshold = 0.600000";
    g.ClearSurf(0x0000FF, g.backSurface);
    g.TxtOutGDI(5, 5, text, 0xFFFFFF, g.backSurface);
    // The box: 20 cells of a 15 px monospaced font at (5, 5) stay within 200 x 24 pixels.
    int changed = 0, full = 0;
    int minX = 800, minY = 600, maxX = -1, maxY = -1;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const std::uint32_t v = PixelOf(g, x, y);
            if (v == 0x0000FFu) continue;
            ++changed;
            if (v == 0xFFFFFFu) ++full;
            // Blending white over blue moves red and green together; blue stays full.
            EXPECT_EQ(v & 0xFFu, 0xFFu);
            EXPECT_EQ((v >> 16) & 0xFFu, (v >> 8) & 0xFFu);
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    EXPECT_GT(changed, 200);
    EXPECT_GT(full, 60);
    EXPECT_GE(minX, 5);
    EXPECT_LE(minX, 8);
    EXPECT_GE(minY, 5);
    EXPECT_LE(minY, 10);
    EXPECT_LT(maxX, 5 + 200);
    EXPECT_LT(maxY, 5 + 24);
    EXPECT_GT(maxX, 5 + 150); // all 20 characters were drawn
}

TEST_F(GfxTest, TextDrawsOnlyInItsOwnColour) {
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.backSurface, nullptr);
    g.ClearSurf(0, g.backSurface);
    g.TxtOutGDI(100, 300, "Threshold", 0x00FF00, g.backSurface);
    int green = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const std::uint32_t v = PixelOf(g, x, y);
            if (v == 0) continue;
            EXPECT_EQ(v & 0xFF00FFu, 0u) << x << "," << y;
            EXPECT_TRUE(x >= 100 && x < 100 + 9 * 12 && y >= 300 && y < 300 + 24) << x << "," << y;
            if (v == 0x00FF00u) ++green;
        }
    EXPECT_GT(green, 20);
}

TEST(TextRenderer, ClipsAtEveryEdgeAndSkipsUnknownCharacters) {
    gfx::TextRenderer text;
    std::string error;
    ASSERT_TRUE(text.Load(gfx::kDefaultFontPath, gfx::kFontPixelSize, error)) << error;
    EXPECT_GE(text.LineHeight(), 14);
    EXPECT_LE(text.LineHeight(), 20);
    EXPECT_GE(text.Advance(), 7);
    EXPECT_LE(text.Advance(), 10);
    GuardedSurface g(50, 20);
    const char* sample = "Wg|Threshold@#0.7";
    const std::vector<Pixel> origins = {
        {-30, -8},          {40, 12},           {-3, 15},         {45, -10},    {0, 0},
        {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX - 5, 0}, {-100000, 5}, {10, -14}};
    int drawn = 0;
    for (const Pixel& o : origins) {
        g.Clear();
        text.Draw(g.surface, o.first, o.second, sample, kInk);
        drawn += static_cast<int>(g.Inked().size());
        EXPECT_EQ(g.GuardDamage(), 0) << o.first << "," << o.second;
    }
    EXPECT_GT(drawn, 50);

    // Characters outside printable ASCII advance like a space and draw nothing.
    g.Clear();
    text.Draw(g.surface, 0, 0, "\x01\x7F\xE9\t", kInk);
    EXPECT_TRUE(g.Inked().empty());
    g.Clear();
    text.Draw(g.surface, 0, 0, "\x01#", kInk);
    const PixelSet shifted = g.Inked();
    g.Clear();
    text.Draw(g.surface, text.Advance(), 0, "#", kInk);
    EXPECT_EQ(shifted, g.Inked());
}

// The web build draws from a table of the glyphs FreeType gave at build time: a renderer that
// takes the table draws exactly what the one that loaded the font draws, and the table outlives
// nothing it points to once copied.
TEST(TextRenderer, ATableDrawsWhatTheLoadedFontDraws) {
    gfx::TextRenderer loaded;
    std::string error;
    ASSERT_TRUE(loaded.Load(gfx::kDefaultFontPath, gfx::kFontPixelSize, error)) << error;
    const gfx::GlyphTable t = loaded.Table();
    EXPECT_EQ(t.ascent + t.descent, loaded.LineHeight());
    EXPECT_EQ(t.advance, loaded.Advance());
    ASSERT_GT(t.coverageSize, 0u);
    // Every glyph's bitmap lies inside the coverage bytes; ' ' has none, '#' has one.
    for (int i = 0; i < gfx::kGlyphCount; ++i) {
        const gfx::Glyph& g = t.glyphs[i];
        EXPECT_LE(g.offset + std::size_t(g.width) * std::size_t(g.rows), t.coverageSize) << i;
    }
    EXPECT_EQ(t.glyphs[' ' - gfx::kFirstGlyph].width, 0);
    EXPECT_GT(t.glyphs['#' - gfx::kFirstGlyph].width, 0);

    const std::vector<gfx::Glyph> glyphs(t.glyphs, t.glyphs + gfx::kGlyphCount);
    std::vector<std::uint8_t> coverage(t.coverage, t.coverage + t.coverageSize);
    gfx::TextRenderer copied;
    copied.Use(gfx::GlyphTable{t.ascent, t.descent, t.advance, glyphs.data(), coverage.data(),
                               coverage.size()});
    coverage.assign(coverage.size(), 0); // the renderer keeps its own copy

    GuardedSurface a(300, 28), b(300, 28);
    for (std::uint32_t under : {0x000000u, 0xFF0000u, 0x0000FFu}) {
        a.Clear();
        b.Clear();
        gfx::SurfaceFill(a.surface, under);
        gfx::SurfaceFill(b.surface, under);
        loaded.Draw(a.surface, 5, 5, "Threshold = 0.700000", kInk);
        copied.Draw(b.surface, 5, 5, "Threshold = 0.700000", kInk);
        int changed = 0;
        for (int y = 0; y < 28; ++y)
            for (int x = 0; x < 300; ++x) {
                ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y << " over " << std::hex << under;
                changed += a.At(x, y) != under;
            }
        EXPECT_GT(changed, 100) << std::hex << under;
    }
}

TEST_F(GfxTest, MissingFontFailsSoftlyNamingTheFile) {
    setenv("GRADIENT_FONT", "/nonexistent/NoSuchFont.ttf", 1);
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_NE(g.Error(), nullptr);
    EXPECT_NE(std::string(g.Error()).find("/nonexistent/NoSuchFont.ttf"), std::string::npos);
    EXPECT_EQ(std::string(g.Error()).find('\n'), std::string::npos);
    EXPECT_EQ(g.backSurface, nullptr);
    // Every call on the failed object is harmless.
    g.ClearSurf(0, g.backSurface);
    g.Lock(g.backSurface);
    g.PutPixel(1, 1, 0xFF0000, g.lockedBits);
    g.Line(0, 0, 9, 9, 0xFF0000, g.lockedBits, g.lockedPitch);
    g.UnLock(g.backSurface);
    g.TxtOutGDI(5, 5, "x", 0xFFFFFF, g.backSurface);
    g.Flip();
    g.WindowMoved();
    EXPECT_EQ(g.LastFrame().pixels, nullptr);
}

TEST_F(GfxTest, UnsupportedFormatsFailSoftly) {
    TavGFX bpp16(800, 600, 16, 2, 2);
    EXPECT_NE(bpp16.Error(), nullptr);
    EXPECT_EQ(bpp16.backSurface, nullptr);
    TavGFX onePage(800, 600, 32, 1, 2);
    EXPECT_NE(onePage.Error(), nullptr);
    EXPECT_EQ(onePage.backSurface, nullptr);
    TavGFX empty(0, 600, 32, 2, 2);
    EXPECT_NE(empty.Error(), nullptr);
    EXPECT_EQ(empty.backSurface, nullptr);
}

TEST_F(GfxTest, HeadlessWindowGetsTheHeadlessPresenter) {
    platform::EnableHeadless([](platform::Event&) { return false; });
    HWND w = OpenDemoWindow(240, 212);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(FindWindowA("TavWin", nullptr), w);
    TavGFX g(800, 600, 32, 2, 2);
    ASSERT_EQ(g.Error(), nullptr);
    EXPECT_FALSE(g.HasWindow());
    g.WindowMoved(); // nothing to refresh, and no harm
    g.ClearSurf(0xFF0000, g.backSurface);
    g.Flip();
    EXPECT_EQ(g.LastFrame().pixels[800 * 600 - 1], 0xFF0000u);
}

// The window presenter over SDL's offscreen driver (asked for on purpose): a real SDL window,
// renderer and streaming texture, without a display. SDL's own software renderer, on a plain
// memory framebuffer, keeps the GL driver (whose allocations outlive the leak check) out.
TEST_F(GfxTest, SdlWindowGetsTheWindowPresenter) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    HWND w = OpenDemoWindow(0, 0);
    unsetenv("SDL_VIDEODRIVER");
    ASSERT_NE(w, nullptr);
    {
        TavGFX g(800, 600, 32, 2, 2);
        ASSERT_EQ(g.Error(), nullptr) << g.Error();
        EXPECT_TRUE(g.HasWindow());
        g.ClearSurf(0x00FF00, g.backSurface);
        g.Flip();
        g.WindowMoved();
        g.Flip();
        EXPECT_EQ(g.LastFrame().pixels[0], 0x00FF00u);
        EXPECT_EQ(g.LastFrame().width, 800);
    }
    // With mode 0 the class stays headless even though the window exists.
    TavGFX headless(800, 600, 32, 2, TavGFX::kModeHeadless);
    EXPECT_FALSE(headless.HasWindow());
    EXPECT_TRUE(DestroyWindow(w));
}

// On a real X server: the window presenter shows the back surface 1:1 in the window. SDL's
// software renderer draws into the window's framebuffer, which can be read back. (The e2e
// tests cover the accelerated path.)
TEST_F(GfxTest, WindowPresenterShowsTheSurfaceOneToOneOnXvfb) {
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    XvfbDisplay xvfb;
    if (xvfb.Name().empty()) GTEST_SKIP() << "no Xvfb";
    setenv("DISPLAY", xvfb.Name().c_str(), 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    HWND w = OpenDemoWindow(240, 212);
    ASSERT_NE(w, nullptr);
    {
        TavGFX g(800, 600, 32, 2, 2);
        ASSERT_EQ(g.Error(), nullptr) << g.Error();
        ASSERT_TRUE(g.HasWindow());
        g.ClearSurf(0x0000FF, g.backSurface);
        g.Lock(g.backSurface);
        g.PutPixel(0, 0, 0xFF0000, g.lockedBits);
        g.PutPixel(799, 599, 0x00FF00, g.lockedBits);
        g.Line(100, 50, 300, 50, 0xFFFFFF, g.lockedBits, g.lockedPitch);
        g.UnLock(g.backSurface);
        g.Flip();
        SDL_Surface* shown = SDL_GetWindowSurface(platform::SdlWindowOf(w));
        ASSERT_NE(shown, nullptr);
        ASSERT_EQ(shown->w, 800);
        ASSERT_EQ(shown->h, 600);
        auto at = [&](int x, int y) {
            Uint32 raw;
            std::memcpy(&raw,
                        static_cast<const std::uint8_t*>(shown->pixels) + y * shown->pitch +
                            x * shown->format->BytesPerPixel,
                        4);
            Uint8 r, gr, b;
            SDL_GetRGB(raw, shown->format, &r, &gr, &b);
            return (std::uint32_t(r) << 16) | (std::uint32_t(gr) << 8) | b;
        };
        EXPECT_EQ(at(0, 0), 0xFF0000u);
        EXPECT_EQ(at(799, 599), 0x00FF00u);
        EXPECT_EQ(at(100, 50), 0xFFFFFFu);
        EXPECT_EQ(at(300, 50), 0xFFFFFFu);
        EXPECT_EQ(at(301, 50), 0x0000FFu);
        EXPECT_EQ(at(400, 300), 0x0000FFu);
    }
    DestroyWindow(w);
    if (savedDisplay.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", savedDisplay.c_str(), 1);
}
