// The Workspace promise: a call given a grown workspace (and an output reused from a call of the
// same size) allocates nothing, and a reused workspace changes no result. Every allocation of
// the process is counted through a replaced operator new.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "isocontour/isocontour.h"

namespace {
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t n) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using isocontour::Bands;
using isocontour::Lines;
using isocontour::Options;
using isocontour::Point;
using isocontour::View;
using isocontour::Workspace;

// Smoothed noise, big enough that one level's crossings fill several chunks, with NaN nodes.
template <class T> std::vector<T> Noise(std::ptrdiff_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal;
    std::vector<double> raw(std::size_t(n * n));
    for (double& x : raw)
        x = normal(rng);
    std::vector<T> out(raw.size());
    for (std::ptrdiff_t j = 0; j < n; ++j)
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            double s = 0;
            for (std::ptrdiff_t d = -2; d <= 2; ++d)
                s += raw[std::size_t(std::clamp<std::ptrdiff_t>(i + d, 0, n - 1) + j * n)];
            out[std::size_t(i + j * n)] = T(s / 5);
        }
    out[std::size_t((n * n / 2 + 7) % (n * n))] = T(NAN);
    return out;
}

// The call made three times with one workspace and one output: the third allocates nothing,
// and every result equals the one without a workspace.
template <class Call, class Fresh> void ExpectNoAllocationOnceGrown(Call call, Fresh fresh) {
    Workspace work;
    decltype(fresh()) out;
    call(out, work);
    call(out, work);
    const long before = allocations.load();
    call(out, work);
    EXPECT_EQ(allocations.load() - before, 0);
    const auto want = fresh();
    EXPECT_EQ(out.points, want.points);
}

template <class T> class WorkspaceTyped : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(WorkspaceTyped, Types);

TYPED_TEST(WorkspaceTyped, LinesAllocateNothingOnceGrown) {
    using T = TypeParam;
    const std::ptrdiff_t n = 301;
    const std::vector<T> z = Noise<T>(n, 3);
    std::vector<T> xs(static_cast<std::size_t>(n)), ys(static_cast<std::size_t>(n));
    for (std::ptrdiff_t k = 0; k < n; ++k)
        xs[std::size_t(k)] = T(k) * T(0.5), ys[std::size_t(k)] = T(100) - T(k);
    std::vector<T> cx(z.size()), cy(z.size()); // a sheared grid
    for (std::ptrdiff_t k = 0; k < n * n; ++k)
        cx[std::size_t(k)] = T(k % n) + T(k / n) * T(0.25), cy[std::size_t(k)] = T(k / n);
    std::vector<std::uint8_t> mask(z.size(), 0);
    mask[std::size_t(5 * n + 40)] = 1;
    const T levels[3] = {T(-0.1), T(0), T(0.2)};
    for (const bool columns : {false, true}) {
        const View<T> v = columns ? isocontour::ColumnMajor(z.data(), n, n)
                                  : isocontour::RowMajor(z.data(), n, n);
        Options<T> o;
        o.normals = true;
        o.saddle = isocontour::Saddle::Centre;
        o.mask = isocontour::RowMajor(mask.data(), n, n);
        for (int coords = 0; coords < 3; ++coords) {
            o.x = coords == 1 ? View<T>{xs.data(), n, 1, 1, 0} : View<T>{};
            o.y = coords == 1 ? View<T>{ys.data(), n, 1, 1, 0} : View<T>{};
            if (coords == 2) {
                o.x = isocontour::RowMajor(cx.data(), n, n);
                o.y = isocontour::RowMajor(cy.data(), n, n);
            }
            SCOPED_TRACE(testing::Message() << "columns " << columns << " coords " << coords);
            ExpectNoAllocationOnceGrown(
                [&](Lines<T>& out, Workspace& w) {
                    isocontour::ContourLines(v, std::span<const T>(levels), o, out, w);
                },
                [&] { return isocontour::ContourLines(v, std::span<const T>(levels), o); });
            ExpectNoAllocationOnceGrown(
                [&](Lines<T>& out, Workspace& w) { isocontour::ContourLines(v, T(0), o, out, w); },
                [&] { return isocontour::ContourLines(v, T(0), o); });
        }
    }
}

TYPED_TEST(WorkspaceTyped, BandsAllocateNothingOnceGrown) {
    using T = TypeParam;
    const std::ptrdiff_t n = 201;
    const std::vector<T> z = Noise<T>(n, 5);
    std::vector<T> xs(static_cast<std::size_t>(n));
    for (std::ptrdiff_t k = 0; k < n; ++k)
        xs[std::size_t(k)] = T(k) * T(2);
    const T levels[4] = {T(-0.3), T(0), T(0.1), T(0.4)};
    for (const bool columns : {false, true}) {
        const View<T> v = columns ? isocontour::ColumnMajor(z.data(), n, n)
                                  : isocontour::RowMajor(z.data(), n, n);
        for (const bool rectilinear : {false, true}) {
            Options<T> o;
            o.openBands = true;
            if (rectilinear) o.x = o.y = View<T>{xs.data(), n, 1, 1, 0};
            SCOPED_TRACE(testing::Message() << "columns " << columns << " rect " << rectilinear);
            ExpectNoAllocationOnceGrown(
                [&](Bands<T>& out, Workspace& w) {
                    isocontour::FilledContours(v, std::span<const T>(levels), o, out, w);
                },
                [&] { return isocontour::FilledContours(v, std::span<const T>(levels), o); });
            ExpectNoAllocationOnceGrown(
                [&](Bands<T>& out, Workspace& w) {
                    isocontour::FilledContours(v, T(0), T(0.1), o, out, w);
                },
                [&] { return isocontour::FilledContours(v, T(0), T(0.1), o); });
        }
    }
}

// Threads allocate their own state, but a workspace reused across thread counts and across
// fields of other sizes gives what a fresh call gives.
TEST(Workspace, ReusedAcrossSizesAndThreadsChangesNothing) {
    Workspace work;
    Lines<double> lines;
    Bands<double> bands;
    const double levels[3] = {-0.2, 0.0, 0.3};
    for (const std::ptrdiff_t n : {150, 40, 260, 3}) {
        const std::vector<double> z = Noise<double>(n, unsigned(n));
        const View<double> v = isocontour::RowMajor(z.data(), n, n);
        for (const int threads : {1, 3, 2}) {
            Options<double> o;
            o.threads = threads;
            isocontour::ContourLines(v, std::span<const double>(levels), o, lines, work);
            const Lines<double> want = isocontour::ContourLines(v, std::span<const double>(levels));
            EXPECT_EQ(lines.points, want.points) << n << " " << threads;
            EXPECT_EQ(lines.offsets, want.offsets);
            EXPECT_EQ(lines.levelOffsets, want.levelOffsets);
            isocontour::FilledContours(v, std::span<const double>(levels), o, bands, work);
            const Bands<double> fill =
                isocontour::FilledContours(v, std::span<const double>(levels));
            EXPECT_EQ(bands.points, fill.points) << n << " " << threads;
            EXPECT_EQ(bands.ringOffsets, fill.ringOffsets);
            EXPECT_EQ(bands.bandOffsets, fill.bandOffsets);
        }
    }
}

} // namespace
