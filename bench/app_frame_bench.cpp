// The demo's own frame function, timed with the graphics object headless: everything after
// reading the clock, Flip included (headless, it copies the back surface into the front frame).
#include <benchmark/benchmark.h>

#include "app/demo.h"
#include "bench/picture.h"
#include "field/case_table.h"
#include "field/contour.h"

namespace {

void BM_RenderFrameAt(benchmark::State& state) {
    gfx = new TavGFX(800, 600, 32, 2, TavGFX::kModeHeadless);
    if (gfx->Error() != nullptr) {
        state.SkipWithError(gfx->Error());
    } else {
        BuildCaseTable();
        threshold = bench::kPictureThreshold;
        for (auto _ : state)
            RenderFrameAt(bench::kPictureTime);
    }
    delete gfx;
    gfx = nullptr;
}
BENCHMARK(BM_RenderFrameAt)->Unit(benchmark::kMicrosecond);

} // namespace
