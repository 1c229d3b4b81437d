// Benchmarks of the demo's frame through its own functions on a headless graphics object, at
// t = 1.3 s and threshold 0.6: the drawing alone (clear, contour, 6,400 dots, lines, text), the
// whole frame without presenting, and the whole frame with the headless Flip.
#include <benchmark/benchmark.h>

#include "app/frame.h"
#include "app/state.h"
#include "bench/picture.h"

namespace {

// Runs body with the demo's graphics object live, as InitDemo leaves it.
template <class Body> void WithDemo(benchmark::State& state, Body body) {
    if (!InitDemo()) {
        state.SkipWithError("the graphics object could not be made");
        return;
    }
    threshold = bench::kPictureThreshold;
    body();
    ShutdownDemo();
}

void BM_FrameDrawing(benchmark::State& state) {
    WithDemo(state, [&] {
        SampleFrame(bench::kPictureTime);
        for (auto _ : state) {
            DrawFrame();
            benchmark::ClobberMemory();
        }
    });
}
BENCHMARK(BM_FrameDrawing)->Unit(benchmark::kMicrosecond);

void BM_WholeFrame(benchmark::State& state) {
    WithDemo(state, [&] {
        for (auto _ : state) {
            SampleFrame(bench::kPictureTime);
            DrawFrame();
            benchmark::ClobberMemory();
        }
    });
}
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMicrosecond);

void BM_RenderFrameAt(benchmark::State& state) {
    WithDemo(state, [&] {
        for (auto _ : state)
            RenderFrameAt(bench::kPictureTime);
    });
}
BENCHMARK(BM_RenderFrameAt)->Unit(benchmark::kMicrosecond);

} // namespace
