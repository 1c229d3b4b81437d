// Google Benchmark suite: the demo's 80 x 80 frame stage by stage, the size-generic contour core
// on the benchmark picture at growing sizes, and the cost of reading the same field once.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

#include "app/state.h"
#include "bench/picture.h"
#include "bench/stream_sum.h"
#include "field/case_table.h"
#include "field/charge_field.h"
#include "field/crossings.h"

namespace {

using demo::kGrid;

void FillDemoGrids(float t) {
    field::PlaceCharges(t, charges);
    field::SampleField(charges, kGrid, 1.0f, fieldGrid);
    field::SampleGradient(fieldGrid, kGrid, 1.0f, gradientGrid);
}

// Charge placement and the 6,400 field values, a node row at a time (SampleField).
void BM_FieldSampling(benchmark::State& state) {
    for (auto _ : state) {
        field::PlaceCharges(bench::kPictureTime, charges);
        field::SampleField(charges, kGrid, 1.0f, fieldGrid);
        benchmark::ClobberMemory();
    }
    state.counters["nodes_per_s"] = benchmark::Counter(
        double(state.iterations()) * double(demo::kNodes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FieldSampling);

// The same 6,400 values the way the frame takes them: one FieldValue call per node, y outer.
void BM_FieldValuePerNode(benchmark::State& state) {
    for (auto _ : state) {
        field::PlaceCharges(bench::kPictureTime, charges);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 80; ++x)
                fieldGrid[x * 80 + y] = FieldValue(float(x), float(y));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FieldValuePerNode);

// The 6,400 gradients from a filled field grid.
void BM_GradientGrid(benchmark::State& state) {
    FillDemoGrids(bench::kPictureTime);
    for (auto _ : state) {
        field::SampleGradient(fieldGrid, kGrid, 1.0f, gradientGrid);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GradientGrid);

// The demo's extraction at t = 1.3 s and threshold 0.6, releasing its two arrays as the frame
// does.
void BM_ExtractContour(benchmark::State& state) {
    BuildCaseTable();
    FillDemoGrids(bench::kPictureTime);
    threshold = bench::kPictureThreshold;
    std::int32_t n = 0;
    for (auto _ : state) {
        Vector2* points = nullptr;
        Vector2* normals = nullptr;
        n = ExtractContour(&points, &normals);
        benchmark::DoNotOptimize(points);
        benchmark::DoNotOptimize(normals);
        delete[] points;
        delete[] normals;
    }
    state.counters["end_points"] = double(n);
}
BENCHMARK(BM_ExtractContour);

// The size-generic core on the n x n picture, output vectors reused between runs as a caller
// that extracts repeatedly would.
void BM_ContourCore(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::vector<float> f = bench::PictureField(n);
    const std::vector<Vector2> g = bench::DemoGradient(f, n);
    const field::GridSize size{n, n};
    std::vector<Vector2> points, normals;
    field::WalkWorkspace work;
    int count = 0;
    for (auto _ : state) {
        count = field::ExtractContourLines(f, g, size, bench::kPictureThreshold,
                                           field::kCaseSegments, points, normals, work);
        benchmark::DoNotOptimize(points.data());
        benchmark::DoNotOptimize(normals.data());
    }
    state.counters["cells_per_s"] = benchmark::Counter(
        double(state.iterations()) * double(size.CellCount()), benchmark::Counter::kIsRate);
    state.counters["end_points"] = double(count);
}

// The bound the core is measured against: every float of the same n x n field read once.
void BM_StreamField(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::vector<float> f = bench::PictureField(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::StreamSum(std::span<const float>(f)));
    state.counters["bytes_per_s"] = benchmark::Counter(
        double(state.iterations()) * double(f.size() * sizeof(float)), benchmark::Counter::kIsRate);
}

void PictureSizes(benchmark::internal::Benchmark* b) {
    for (int n : bench::kPictureSizes)
        b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_ContourCore)->Apply(PictureSizes);
BENCHMARK(BM_StreamField)->Apply(PictureSizes);

} // namespace

BENCHMARK_MAIN();
