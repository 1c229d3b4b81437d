// The demo's frame: the charges, the field and its gradient sampled on the grid, then the
// picture (dots, contour lines, the threshold as text) on the back surface.
#include "app/frame.h"

#include <cstdio>

#include "app/sizes.h"
#include "app/state.h"

TavGFX* gfx = nullptr;
Stopwatch demoTimer;

namespace {

constexpr std::uint32_t kBlack = 0x000000, kAbove = 0xFF0000, kNotAbove = 0x0000FF;
constexpr std::uint32_t kContour = 0xFF0000, kText = 0xFFFFFF;

// 7 * v + 10, exact in double and rounded to float once.
float ToScreen(float v) {
    return float(double(demo::kDotSpacing) * double(v) + double(demo::kDotOrigin));
}

// The clipping bounds are the window's size as a constant, not read from gfx.
bool OnScreen(float x, float y) {
    return x >= 0.0f && x < float(demo::kWindowWidth) && y >= 0.0f &&
           y < float(demo::kWindowHeight);
}

} // namespace

std::int32_t InitDemo() {
    gfx = new TavGFX(demo::kWindowWidth, demo::kWindowHeight, 32, 2, 2);
    if (const char* why = gfx->Error()) {
        std::fprintf(stderr, "cannot start the graphics: %s\n", why);
        delete gfx;
        gfx = nullptr;
        return 0;
    }
    BuildCaseTable();
    demoTimer.Start();
    return 1;
}

void RenderFrame() { RenderFrameAt(FrameSeconds(demoTimer.GetMilliseconds())); }

void RenderFrameAt(float t) {
    SampleFrame(t);
    DrawFrame();
    gfx->Flip();
}

void SampleFrame(float t) {
    field::PlaceCharges(t, charges);
    // FieldValue(x, y) at every node, then FieldGradient(x, y, 1) at every node once the whole
    // field holds this frame's values: the same bits, a node row at a time.
    field::SampleField(charges, demo::kGrid, 1.0f, fieldGrid);
    field::SampleGradient(fieldGrid, demo::kGrid, 1.0f, gradientGrid);
}

namespace {

// One dot per node, red where the field is above the threshold; equal, or NaN, is not above.
void DrawDots() {
    for (int y = 0; y < demo::kGridSide; ++y) {
        for (int x = 0; x < demo::kGridSide; ++x) {
            const int sx = demo::kDotOrigin + demo::kDotSpacing * x;
            const int sy = demo::kDotOrigin + demo::kDotSpacing * y;
            if (sx < 0 || sx >= demo::kWindowWidth || sy < 0 || sy >= demo::kWindowHeight) continue;
            const float value = fieldGrid[demo::kGrid.Index(x, y)];
            const std::uint32_t colour = value > threshold ? kAbove : kNotAbove;
            gfx->PutPixel(std::uint16_t(sx), std::uint16_t(sy), colour, gfx->lockedBits);
        }
    }
}

// One line per segment. A trailing odd end point would be ignored; each segment is clipped by
// itself, and a NaN end point fails the test.
void DrawSegments(const FrameContour& contour) {
    for (std::int32_t s = 0; s < (contour.count >> 1); ++s) {
        const Vector2 p = contour.points[2 * s], q = contour.points[2 * s + 1];
        const float x1 = ToScreen(p.x), y1 = ToScreen(p.y);
        const float x2 = ToScreen(q.x), y2 = ToScreen(q.y);
        if (!OnScreen(x1, y1) || !OnScreen(x2, y2)) continue;
        gfx->Line(std::uint16_t(int(x1)), std::uint16_t(int(y1)), std::uint16_t(int(x2)),
                  std::uint16_t(int(y2)), kContour, gfx->lockedBits, gfx->lockedPitch);
    }
}

} // namespace

void DrawFrame() {
    gfx->ClearSurf(kBlack, gfx->backSurface);
    {
        // Both arrays are released at the end of this block, before the text; the normals are
        // not drawn.
        const FrameContour contour;
        gfx->Lock(gfx->backSurface);
        DrawDots();
        DrawSegments(contour);
        gfx->UnLock(gfx->backSurface);
    }
    char str[100];
    std::snprintf(str, sizeof str, "Threshold = %f", double(threshold));
    gfx->TxtOutGDI(5, 5, str, kText, gfx->backSurface);
}

void ShutdownDemo() {
    if (gfx) {
        delete gfx;
        gfx = nullptr;
    }
}
