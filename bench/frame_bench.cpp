// Benchmarks of the demo's picture on the headless graphics object: the drawing alone (clear,
// 6,400 dots, the contour's lines, the threshold text) and the whole frame from the charges to
// the text, without presenting. The calls and their order are the frame's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bench/picture.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/contour.h"
#include "gfx/surface.h"
#include "gfx/tavgfx.h"

namespace {

using field::kDemoGrid;

constexpr std::uint32_t kAbove = 0xFF0000, kBelow = 0x0000FF, kLine = 0xFF0000;

// The dots, the lines and the text of one frame, given its contour, on a cleared surface.
void DrawOnCleared(TavGFX& gfx, const Vector2* points, std::int32_t count) {
    gfx.Lock(gfx.backSurface);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 80; ++x) {
            const int sx = 10 + 7 * x, sy = 10 + 7 * y;
            if (sx < 0 || sx >= 800 || sy < 0 || sy >= 600) continue;
            const std::uint32_t colour = fieldGrid[x * 80 + y] > threshold ? kAbove : kBelow;
            gfx.PutPixel(std::uint16_t(sx), std::uint16_t(sy), colour, gfx.lockedBits);
        }
    }
    for (std::int32_t s = 0; s < (count >> 1); ++s) {
        const Vector2 p = points[2 * s], q = points[2 * s + 1];
        const float x1 = 7.0f * p.x + 10.0f, y1 = 7.0f * p.y + 10.0f;
        const float x2 = 7.0f * q.x + 10.0f, y2 = 7.0f * q.y + 10.0f;
        if (!(x1 >= 0 && x1 < 800 && y1 >= 0 && y1 < 600 && x2 >= 0 && x2 < 800 && y2 >= 0 &&
              y2 < 600))
            continue;
        gfx.Line(std::uint16_t(int(x1)), std::uint16_t(int(y1)), std::uint16_t(int(x2)),
                 std::uint16_t(int(y2)), kLine, gfx.lockedBits, gfx.lockedPitch);
    }
    gfx.UnLock(gfx.backSurface);
    char str[100];
    std::snprintf(str, sizeof str, "Threshold = %f", double(threshold));
    gfx.TxtOutGDI(5, 5, str, 0xFFFFFF, gfx.backSurface);
}

// The frame's drawing: the clear, then the rest.
void DrawPicture(TavGFX& gfx, const Vector2* points, std::int32_t count) {
    gfx.ClearSurf(0, gfx.backSurface);
    DrawOnCleared(gfx, points, count);
}

// The drawing of the frame at t = 1.3 s, threshold 0.6, into the headless surface.
void BM_FrameDrawing(benchmark::State& state) {
    TavGFX gfx(800, 600, 32, 2, TavGFX::kModeHeadless);
    if (gfx.Error() != nullptr) {
        state.SkipWithError(gfx.Error());
        return;
    }
    BuildCaseTable();
    field::PlaceCharges(bench::kPictureTime, charges);
    field::SampleField(charges, kDemoGrid, 1.0f, fieldGrid);
    field::SampleGradient(fieldGrid, kDemoGrid, 1.0f, gradientGrid);
    threshold = bench::kPictureThreshold;
    Vector2* points = nullptr;
    Vector2* normals = nullptr;
    const std::int32_t count = ExtractContour(&points, &normals);
    for (auto _ : state) {
        DrawPicture(gfx, points, count);
        benchmark::ClobberMemory();
    }
    delete[] points;
    delete[] normals;
    state.counters["segments"] = double(count / 2);
}
BENCHMARK(BM_FrameDrawing)->Unit(benchmark::kMicrosecond);

// The whole frame at t = 1.3 s without presenting: charges, field, gradient, contour, drawing.
void BM_WholeFrame(benchmark::State& state) {
    TavGFX gfx(800, 600, 32, 2, TavGFX::kModeHeadless);
    if (gfx.Error() != nullptr) {
        state.SkipWithError(gfx.Error());
        return;
    }
    BuildCaseTable();
    threshold = bench::kPictureThreshold;
    for (auto _ : state) {
        field::PlaceCharges(bench::kPictureTime, charges);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                fieldGrid[x * 80 + y] = FieldValue(float(x), float(y));
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                gradientGrid[x * 80 + y] = FieldGradient(x, y, 1.0f);
        Vector2* points = nullptr;
        Vector2* normals = nullptr;
        const std::int32_t count = ExtractContour(&points, &normals);
        DrawPicture(gfx, points, count);
        delete[] points;
        delete[] normals;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMicrosecond);

// The same frame with the two levers proposed for it, to show what they are worth: the field
// sampled a node row at a time (SampleField, the same bits as FieldValue per node) and the
// black clear done as one byte fill of the surface memory (black is 0 in every byte).
void BM_WholeFrameWithLevers(benchmark::State& state) {
    TavGFX gfx(800, 600, 32, 2, TavGFX::kModeHeadless);
    if (gfx.Error() != nullptr) {
        state.SkipWithError(gfx.Error());
        return;
    }
    BuildCaseTable();
    threshold = bench::kPictureThreshold;
    const Surface& surface = *gfx.backSurface;
    for (auto _ : state) {
        field::PlaceCharges(bench::kPictureTime, charges);
        field::SampleField(charges, kDemoGrid, 1.0f, fieldGrid);
        field::SampleGradient(fieldGrid, kDemoGrid, 1.0f, gradientGrid);
        std::memset(surface.pixels, 0, std::size_t(surface.pitch) * std::size_t(surface.height));
        Vector2* points = nullptr;
        Vector2* normals = nullptr;
        const std::int32_t count = ExtractContour(&points, &normals);
        DrawOnCleared(gfx, points, count);
        delete[] points;
        delete[] normals;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WholeFrameWithLevers)->Unit(benchmark::kMicrosecond);

} // namespace
