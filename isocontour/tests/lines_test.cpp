// The library's joined lines: properties that hold on any field (threads, repeated points,
// closure, orientation, normals), exact small cases (saddle rules, nodes at the level, infinite
// values, masks), layouts and coordinates, several levels at once, and the refusals.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "chunks.h"
#include "classify.h"
#include "classify_rows.h"
#include "isocontour/isocontour.h"
#include "level_ranges.h"
#include "pages.h"

namespace {

using isocontour::Lines;
using isocontour::Options;
using isocontour::Point;
using isocontour::Saddle;
using isocontour::View;

template <class T> constexpr T kInf = std::numeric_limits<T>::infinity();
template <class T> constexpr T kNaN = std::numeric_limits<T>::quiet_NaN();

// A smooth random field in row-major order (value (i, j) at j * nx + i): a sum of a few random
// waves, with many closed loops and lines ending on every side.
template <class T> std::vector<T> Waves(std::ptrdiff_t nx, std::ptrdiff_t ny, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<T> z(std::size_t(nx * ny));
    double k[6][4];
    for (auto& w : k)
        for (double& c : w)
            c = u(rng);
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            double s = 0;
            for (auto& w : k)
                s += w[0] * std::sin(0.35 * (w[1] * double(i) + w[2] * double(j)) + 3 * w[3]);
            z[std::size_t(j * nx + i)] = T(s);
        }
    return z;
}

template <class T> void ExpectSame(const Lines<T>& a, const Lines<T>& b) {
    ASSERT_EQ(a.points.size(), b.points.size());
    for (std::size_t i = 0; i < a.points.size(); ++i)
        ASSERT_EQ(a.points[i], b.points[i]) << "point " << i;
    EXPECT_EQ(a.normals.size(), b.normals.size());
    for (std::size_t i = 0; i < a.normals.size() && i < b.normals.size(); ++i)
        ASSERT_EQ(a.normals[i], b.normals[i]) << "normal " << i;
    EXPECT_EQ(a.offsets, b.offsets);
    EXPECT_EQ(a.closed, b.closed);
    EXPECT_EQ(a.levelOffsets, b.levelOffsets);
}

// Checks every property of lines in grid units of a field without unusable nodes: no two equal
// consecutive points, closed lines closed, open lines ending on the border, and every piece
// keeping the corners above the level on its left and the others on its right.
template <class T> void ExpectWellFormed(const Lines<T>& lines, View<T> v, T level) {
    ASSERT_EQ(lines.offsets.size(), lines.LineCount() + 1);
    const auto onBorder = [&](Point<T> p) {
        return p.x == T(0) || p.y == T(0) || p.x == T(v.nx - 1) || p.y == T(v.ny - 1);
    };
    for (std::size_t k = 0; k < lines.LineCount(); ++k) {
        const auto line = lines.Line(k);
        ASSERT_GE(line.size(), 2u);
        if (lines.closed[k])
            EXPECT_EQ(line.front(), line.back()) << "line " << k;
        else
            EXPECT_TRUE(onBorder(line.front()) && onBorder(line.back())) << "line " << k;
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            const Point<T> p = line[i], q = line[i + 1];
            ASSERT_FALSE(p == q) << "line " << k << " point " << i;
            // Each end lies on an edge of the piece's cell whose node above the level is on the
            // piece's left and whose other node is on its right.
            const double mx = (double(p.x) + double(q.x)) / 2, my = (double(p.y) + double(q.y)) / 2;
            const std::ptrdiff_t cx = std::min<std::ptrdiff_t>(std::ptrdiff_t(mx), v.nx - 2);
            const std::ptrdiff_t cy = std::min<std::ptrdiff_t>(std::ptrdiff_t(my), v.ny - 2);
            for (const Point<T> e : {p, q}) {
                if (e.x == std::floor(e.x) && e.y == std::floor(e.y)) continue; // on a node
                std::ptrdiff_t i0, j0, i1, j1;
                if (e.x == T(cx) || e.x == T(cx + 1)) {
                    i0 = i1 = std::ptrdiff_t(e.x), j0 = cy, j1 = cy + 1;
                } else {
                    ASSERT_TRUE(e.y == T(cy) || e.y == T(cy + 1)) << "off the cell's edges";
                    j0 = j1 = std::ptrdiff_t(e.y), i0 = cx, i1 = cx + 1;
                }
                ASSERT_NE(v(i0, j0) > level, v(i1, j1) > level) << "not a crossed edge";
                for (const auto& [i, j] : {std::pair{i0, j0}, std::pair{i1, j1}}) {
                    const double cross = (double(q.x) - double(p.x)) * (double(j) - double(p.y)) -
                                         (double(q.y) - double(p.y)) * (double(i) - double(p.x));
                    if (v(i, j) > level)
                        ASSERT_GE(cross, 0.0) << "line " << k << " piece " << i;
                    else
                        ASSERT_LE(cross, 0.0) << "line " << k << " piece " << i;
                }
            }
        }
    }
}

template <class T> class LinesTyped : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(LinesTyped, Types);

TYPED_TEST(LinesTyped, PropertiesHoldOnRandomFieldsForEveryThreadCount) {
    using T = TypeParam;
    for (const auto& [nx, ny, seed] :
         {std::tuple{97, 1203, 1u}, {700, 401, 2u}, {2, 2000, 3u}, {1500, 3, 4u}, {33, 33, 5u}}) {
        const std::vector<T> z = Waves<T>(nx, ny, seed);
        const View<T> v = isocontour::RowMajor(z.data(), ny, nx);
        for (const T level : {T(0), T(0.7), T(-1.3)}) {
            Options<T> o;
            o.normals = true;
            const Lines<T> one = isocontour::ContourLines(v, level, o);
            ExpectWellFormed(one, v, level);
            EXPECT_EQ(one.levelOffsets,
                      (std::vector<std::int64_t>{0, std::int64_t(one.LineCount())}));
            for (const int threads : {2, 3, 7, 0}) {
                o.threads = threads;
                ExpectSame(isocontour::ContourLines(v, level, o), one);
            }
        }
    }
}

TYPED_TEST(LinesTyped, NormalsAreUnitAndPointDownhill) {
    using T = TypeParam;
    const std::vector<T> z = Waves<T>(300, 200, 7);
    const View<T> v = isocontour::RowMajor(z.data(), 200, 300);
    Options<T> o;
    o.normals = true;
    const Lines<T> lines = isocontour::ContourLines(v, T(0.2), o);
    ASSERT_EQ(lines.normals.size(), lines.points.size());
    ASSERT_GT(lines.LineCount(), 10u);
    // The gradient at the nodes can turn against the line where it is flat (beside saddles):
    // nearly every normal, not all, has lower values on its side of the line.
    std::size_t downhill = 0;
    for (std::size_t k = 0; k < lines.LineCount(); ++k) {
        const auto line = lines.Line(k);
        for (std::size_t i = 0; i < line.size(); ++i) {
            const Point<T> n = lines.normals[std::size_t(lines.offsets[k]) + i];
            EXPECT_NEAR(double(n.x) * n.x + double(n.y) * n.y, 1.0, 1e-6);
            // Lower values lie on the right of the direction of travel.
            const Point<T> a = line[i + 1 < line.size() ? i : i - 1];
            const Point<T> b = line[i + 1 < line.size() ? i + 1 : i];
            const double rx = double(b.y) - a.y, ry = -(double(b.x) - a.x);
            downhill += rx * n.x + ry * n.y > 0.0;
        }
    }
    EXPECT_GT(double(downhill), 0.995 * double(lines.points.size()));
}

// A plane has one exact gradient: central and one-sided differences (border included) give the
// same unit normal everywhere. Where the gradient interpolated to a crossing vanishes (its two
// nodes' gradients opposite), the normal runs along the edge from its higher node to its lower.
TYPED_TEST(LinesTyped, NormalsOnARampAndWhereTheGradientVanishes) {
    using T = TypeParam;
    std::vector<T> ramp(5 * 4);
    for (std::ptrdiff_t j = 0; j < 4; ++j)
        for (std::ptrdiff_t i = 0; i < 5; ++i)
            ramp[std::size_t(j * 5 + i)] = T(2 * i + 3 * j);
    Options<T> o;
    o.normals = true;
    const Lines<T> lines =
        isocontour::ContourLines(isocontour::RowMajor(ramp.data(), 4, 5),
                                 std::span<const T>(std::vector<T>{T(1), T(6.5), T(13)}), o);
    ASSERT_EQ(lines.LineCount(), 3u);
    const double len = std::sqrt(13.0);
    for (const Point<T> n : lines.normals) {
        EXPECT_NEAR(n.x, -2 / len, 1e-6);
        EXPECT_NEAR(n.y, -3 / len, 1e-6);
    }
    // Along x: 0, 1, 2, -1 in both rows. At x = 1.5 the nodes' gradients are +1 and -1.
    const T ridge[8] = {0, 1, 2, -1, 0, 1, 2, -1};
    const Lines<T> r = isocontour::ContourLines(isocontour::RowMajor(ridge, 2, 4), T(1.5), o);
    std::size_t flat = 0;
    for (std::size_t k = 0; k < r.points.size(); ++k)
        if (r.points[k].x == T(1.5)) {
            EXPECT_EQ(r.normals[k], (Point<T>{T(-1), T(0)})) << k;
            ++flat;
        }
    EXPECT_EQ(flat, 2u);
}

// A value exactly at the level is not above it: no line around a node at the level, or through
// a plateau at it, but one as soon as the node is a step above.
TYPED_TEST(LinesTyped, AValueAtTheLevelIsNotAboveIt) {
    using T = TypeParam;
    T z[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(1)).LineCount(), 0u);
    // The same among several levels, which are classified together, in either layout.
    const T levels[3] = {T(0.5), T(1), T(0)};
    for (const View<T> v : {isocontour::RowMajor(z, 3, 3), isocontour::ColumnMajor(z, 3, 3)})
        EXPECT_EQ(isocontour::ContourLines(v, std::span<const T>(levels)).levelOffsets,
                  (std::vector<std::int64_t>{0, 1, 1, 2}));
    const T flat[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(flat, 3, 3), T(1)).LineCount(), 0u);
    z[4] = std::nextafter(T(1), T(2));
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(1)).LineCount(), 1u);
    // Every node at the level but one below it: the region above is empty.
    T pit[9] = {1, 1, 1, 1, 0, 1, 1, 1, 1};
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(pit, 3, 3), T(1)).LineCount(), 0u);
    pit[4] = 2;
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(pit, 3, 3), T(1)).LineCount(), 1u);
}

// A line as a set-comparable key: its points, the direction reversed when asked.
template <class T> std::vector<std::pair<T, T>> Key(std::span<const Point<T>> line, bool reverse) {
    std::vector<std::pair<T, T>> k;
    for (const Point<T>& p : line)
        k.push_back({p.x, p.y});
    if (reverse) std::reverse(k.begin(), k.end());
    return k;
}

TYPED_TEST(LinesTyped, AtLevelAboveCountsAValueAtTheLevelAsAbove) {
    using T = TypeParam;
    T z[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    Options<T> above;
    above.atLevel = isocontour::AtLevel::Above;
    // Every node is at or above 0; only the peak is at or above 1 (a loop that shrinks to it).
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(0), above).LineCount(), 0u);
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(0)).LineCount(), 1u);
    // Values on a lattice put many nodes exactly at the levels. z >= L is the complement of
    // -z > -L, and a crossing's fraction is the same either way, so the lines at L with the
    // above side and the above saddle rule are those of -z at -L with the default side and the
    // below saddle rule, each run backwards: in every layout and classifier path.
    const std::ptrdiff_t nx = 70, ny = 45;
    std::vector<T> f = Waves<T>(nx, ny, 5), neg(f.size()), colMajor(f.size());
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            T& v = f[std::size_t(j * nx + i)];
            v = std::round(v * T(4)) / T(4);
            neg[std::size_t(j * nx + i)] = -v;
            colMajor[std::size_t(i * ny + j)] = v;
        }
    const std::vector<T> levels = {T(0.5), T(-0.25), T(0)}, negLevels = {T(-0.5), T(0.25), T(0)};
    Options<T> below;
    below.saddle = Saddle::Below;
    const Lines<T> b = isocontour::ContourLines(isocontour::RowMajor(neg.data(), ny, nx),
                                                std::span<const T>(negLevels), below);
    for (const View<T> v : {isocontour::RowMajor(f.data(), ny, nx),
                            isocontour::ColumnMajor(colMajor.data(), ny, nx)}) {
        for (const bool one : {true, false}) {
            const std::span<const T> ls = one ? std::span<const T>(levels).first(1) : levels;
            const Lines<T> a = isocontour::ContourLines(v, ls, above);
            ASSERT_EQ(a.levelOffsets.size(), ls.size() + 1);
            for (std::size_t m = 0; m < ls.size(); ++m) {
                std::vector<std::vector<std::pair<T, T>>> ka, kb;
                for (auto k = a.levelOffsets[m]; k < a.levelOffsets[m + 1]; ++k)
                    ka.push_back(Key(a.Line(std::size_t(k)), false));
                for (auto k = b.levelOffsets[m]; k < b.levelOffsets[m + 1]; ++k)
                    kb.push_back(Key(b.Line(std::size_t(k)), true));
                // Closed lines may start elsewhere: compare their points from the lowest one.
                for (auto* ks : {&ka, &kb})
                    for (auto& k : *ks)
                        if (k.front() == k.back()) {
                            k.pop_back();
                            std::rotate(k.begin(), std::min_element(k.begin(), k.end()), k.end());
                        }
                std::sort(ka.begin(), ka.end());
                std::sort(kb.begin(), kb.end());
                EXPECT_FALSE(ka.empty());
                EXPECT_EQ(ka, kb) << "level " << ls[m];
            }
        }
    }
}

TYPED_TEST(LinesTyped, LogInterpolationAndItsRefusals) {
    using T = TypeParam;
    Options<T> log;
    log.interpolation = isocontour::Interpolation::Log;
    // 1 and 100 on either side: 10 lies halfway in the logarithms, 9.1 % of the way linearly.
    const T z[4] = {1, 100, 1, 100};
    const Lines<T> l = isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(10), log);
    ASSERT_EQ(l.points.size(), 2u);
    for (const Point<T>& p : l.points)
        EXPECT_NEAR(double(p.x), 0.5, 1e-6);
    EXPECT_NEAR(double(isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(10)).points[0].x),
                9.0 / 99.0, 1e-6);
    // A saddle whose arithmetic mean (50.5) is above 10 but whose geometric mean is not.
    const T saddle[4] = {1, 100, 100, 1};
    log.saddle = Saddle::Centre;
    Options<T> linear;
    linear.saddle = Saddle::Centre;
    const auto first = [](const Lines<T>& lines) { return lines.points.at(0); };
    EXPECT_NE(first(isocontour::ContourLines(isocontour::RowMajor(saddle, 2, 2), T(20), log)),
              first(isocontour::ContourLines(isocontour::RowMajor(saddle, 2, 2), T(20), linear)));
    // Values and levels must be above 0, but for masked and NaN nodes.
    const T bad[4] = {1, 100, 0, 100};
    EXPECT_THROW(isocontour::ContourLines(isocontour::RowMajor(bad, 2, 2), T(10), log),
                 isocontour::Error);
    EXPECT_THROW(isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(0), log),
                 isocontour::Error);
    const std::uint8_t mask[4] = {0, 0, 1, 0};
    log.mask = isocontour::RowMajor(mask, 2, 2);
    EXPECT_NO_THROW(isocontour::ContourLines(isocontour::RowMajor(bad, 2, 2), T(10), log));
    const T levels[2] = {T(5), T(50)};
    log.mask = {};
    EXPECT_THROW(isocontour::FilledContours(isocontour::RowMajor(bad, 2, 2),
                                            std::span<const T>(levels), log),
                 isocontour::Error);
}

TYPED_TEST(LinesTyped, CornerMaskContoursACellMissingOneCornerAsATriangle) {
    using T = TypeParam;
    Options<T> corner;
    corner.cornerMask = true;
    // Node (1, 1) is NaN: the triangle (0, 0), (1, 0), (0, 1) is cut by the level between the 1
    // and the two 0s, from its diagonal to its bottom edge, the 1 on the line's left.
    const T z[4] = {0, 1, 0, kNaN<T>};
    const Lines<T> l = isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(0.25), corner);
    EXPECT_EQ(l.points, (std::vector<Point<T>>{{T(0.25), T(0.75)}, {T(0.25), T(0)}}));
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(0.5)).LineCount(), 0u);
    // Two unusable corners: nothing, with or without the corner mask.
    const T two[4] = {0, 1, kNaN<T>, kNaN<T>};
    EXPECT_EQ(isocontour::ContourLines(isocontour::RowMajor(two, 2, 2), T(0.5), corner).LineCount(),
              0u);
    // On a field with many cells missing one corner (masked or NaN, some at 32-node word
    // boundaries): the same lines for any thread count and layout, well formed where no
    // corner is missing.
    const std::ptrdiff_t nx = 75, ny = 60;
    std::vector<T> f = Waves<T>(nx, ny, 3), colMajor(f.size());
    std::vector<std::uint8_t> mask(f.size(), 0), maskCol(f.size(), 0);
    std::mt19937 rng(4);
    for (int k = 0; k < 300; ++k) {
        const std::size_t at = rng() % f.size();
        if (k % 3)
            mask[at] = 1;
        else
            f[at] = kNaN<T>;
    }
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            colMajor[std::size_t(i * ny + j)] = f[std::size_t(j * nx + i)];
            maskCol[std::size_t(i * ny + j)] = mask[std::size_t(j * nx + i)];
        }
    const std::vector<T> levels = {T(0), T(0.4)};
    corner.mask = isocontour::RowMajor(mask.data(), ny, nx);
    corner.normals = true;
    const Lines<T> one =
        isocontour::ContourLines(isocontour::RowMajor(f.data(), ny, nx), std::span(levels), corner);
    Options<T> plain = corner;
    plain.cornerMask = false;
    EXPECT_GT(one.points.size(), isocontour::ContourLines(isocontour::RowMajor(f.data(), ny, nx),
                                                          std::span(levels), plain)
                                     .points.size());
    for (const int threads : {2, 7}) {
        corner.threads = threads;
        ExpectSame(one, isocontour::ContourLines(isocontour::RowMajor(f.data(), ny, nx),
                                                 std::span(levels), corner));
    }
    corner.mask = isocontour::ColumnMajor(maskCol.data(), ny, nx);
    ExpectSame(one, isocontour::ContourLines(isocontour::ColumnMajor(colMajor.data(), ny, nx),
                                             std::span(levels), corner));
}

// The lines of a grid contoured window by window, each window's view cut from the grid with a
// halo, joined in a tree (pairs, then pairs of pairs), then finished.
template <class T>
Lines<T> ByWindows(View<T> v, const Options<T>& o, std::span<const T> levels,
                   const std::vector<std::ptrdiff_t>& xs, const std::vector<std::ptrdiff_t>& ys) {
    std::vector<isocontour::LinePieces<T>> parts;
    for (std::size_t b = 0; b + 1 < ys.size(); ++b)
        for (std::size_t a = 0; a + 1 < xs.size(); ++a) {
            isocontour::Window w{0, 0, v.nx, v.ny, xs[a], ys[b], xs[a + 1], ys[b + 1]};
            w.x0 = std::max<std::ptrdiff_t>(w.cellX0 - 1, 0);
            w.y0 = std::max<std::ptrdiff_t>(w.cellY0 - 1, 0);
            const std::ptrdiff_t x1 = std::min(w.cellX1 + 1, v.nx - 1);
            const std::ptrdiff_t y1 = std::min(w.cellY1 + 1, v.ny - 1);
            const auto cut = [&](auto view, std::ptrdiff_t nx, std::ptrdiff_t ny, bool rows) {
                auto c = view;
                c.data = &view(rows ? w.x0 : 0, rows ? w.y0 : 0);
                c.nx = nx, c.ny = ny, c.size = 0;
                return c;
            };
            Options<T> wo = o;
            if (o.mask.Present()) wo.mask = cut(o.mask, x1 - w.x0 + 1, y1 - w.y0 + 1, true);
            if (o.x.Present() && o.x.ny == v.ny) { // curvilinear
                wo.x = cut(o.x, x1 - w.x0 + 1, y1 - w.y0 + 1, true);
                wo.y = cut(o.y, x1 - w.x0 + 1, y1 - w.y0 + 1, true);
            } else if (o.x.Present()) { // rectilinear
                wo.x = {&o.x(w.x0, 0), x1 - w.x0 + 1, 1, o.x.strideX, 1, 0};
                wo.y = {&o.y(w.y0, 0), y1 - w.y0 + 1, 1, o.y.strideX, 1, 0};
            }
            parts.push_back(isocontour::ContourLines(cut(v, x1 - w.x0 + 1, y1 - w.y0 + 1, true), w,
                                                     levels, wo));
        }
    while (parts.size() > 1) {
        std::vector<isocontour::LinePieces<T>> joined;
        for (std::size_t k = 0; k < parts.size(); k += 2)
            joined.push_back(
                k + 1 < parts.size()
                    ? isocontour::JoinLines(
                          std::span<const isocontour::LinePieces<T>>(parts).subspan(k, 2))
                    : parts[k]);
        parts = std::move(joined);
    }
    return isocontour::FinishLines(parts[0]);
}

TYPED_TEST(LinesTyped, WindowsJoinedGiveTheWholeGridsLines) {
    using T = TypeParam;
    const std::ptrdiff_t nx = 83, ny = 70;
    std::vector<T> f = Waves<T>(nx, ny, 21);
    std::vector<std::uint8_t> mask(f.size(), 0);
    std::mt19937 rng(8);
    for (int k = 0; k < 120; ++k) {
        if (k % 2)
            f[rng() % f.size()] = kNaN<T>;
        else
            mask[rng() % f.size()] = 1;
    }
    for (std::size_t k = 0; k < f.size(); k += 29) // values exactly at a level
        f[k] = T(0);
    std::vector<T> x(static_cast<std::size_t>(nx)), y(static_cast<std::size_t>(ny)), xx(f.size()),
        yy(f.size());
    for (std::ptrdiff_t i = 0; i < nx; ++i)
        x[std::size_t(i)] = T(0.5) * T(i) + T(0.001) * T(i * i);
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        y[std::size_t(j)] = T(3) - T(0.25) * T(j);
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            xx[std::size_t(j * nx + i)] = T(i) + T(0.3) * T(j);
            yy[std::size_t(j * nx + i)] = T(j) - T(0.1) * T(i);
        }
    const View<T> v = isocontour::RowMajor(f.data(), ny, nx);
    const std::vector<T> levels = {T(0), T(0.45), T(-0.7)};
    for (int variant = 0; variant < 4; ++variant) {
        Options<T> o;
        o.normals = true;
        o.mask = isocontour::RowMajor(mask.data(), ny, nx);
        o.cornerMask = variant % 2;
        o.saddle = Saddle(variant % 3);
        o.atLevel = variant == 3 ? isocontour::AtLevel::Above : isocontour::AtLevel::Below;
        if (variant == 1) o.x = {x.data(), nx, 1, 1, 1, 0}, o.y = {y.data(), ny, 1, 1, 1, 0};
        if (variant == 2)
            o.x = isocontour::RowMajor(xx.data(), ny, nx),
            o.y = isocontour::RowMajor(yy.data(), ny, nx);
        const Lines<T> whole = isocontour::ContourLines(v, std::span(levels), o);
        // Even and uneven windows, single cell rows and columns, one window of all.
        for (const auto& [xs, ys] :
             {std::pair<std::vector<std::ptrdiff_t>, std::vector<std::ptrdiff_t>>{{0, 41, 82},
                                                                                  {0, 35, 69}},
              {{0, 1, 30, 31, 82}, {0, 17, 18, 50, 69}},
              {{0, 82}, {0, 1, 2, 3, 69}},
              {{0, 82}, {0, 69}}}) {
            o.threads = 1 + variant;
            ExpectSame(whole, ByWindows(v, o, std::span(levels), xs, ys));
        }
    }
    // Pieces left unjoined, windows joined twice and windows without their halo are refused.
    const isocontour::Window half{0, 0, nx, ny, 0, 0, 40, 69};
    const isocontour::LinePieces<T> left =
        isocontour::ContourLines(View<T>{f.data(), 42, ny, 1, nx}, half, std::span(levels));
    EXPECT_GT(left.PieceCount(), 0u);
    EXPECT_THROW(isocontour::FinishLines(left), isocontour::Error);
    const isocontour::LinePieces<T> twice[2] = {left, left};
    EXPECT_THROW(isocontour::JoinLines(std::span<const isocontour::LinePieces<T>>(twice)),
                 isocontour::Error);
    EXPECT_THROW(
        isocontour::ContourLines(View<T>{f.data(), 41, ny, 1, nx}, half, std::span(levels)),
        isocontour::Error);
}

TYPED_TEST(LinesTyped, LayoutsAndStridesReadTheSameField) {
    using T = TypeParam;
    // Fields that vary along both axes; rows past the last full word of cells (150 = 4 * 32 + 22),
    // and columns longer than one classified stripe of column-major values (4300 > 4128), with
    // a flat stretch between wavy ones, where those stripes turn from short to tall and back.
    for (const auto& [nx, ny] : {std::pair<std::ptrdiff_t, std::ptrdiff_t>{150, 91}, {37, 4300}}) {
        std::vector<T> z = Waves<T>(nx, ny, unsigned(11 + nx));
        if (ny > 1000) std::fill(z.begin() + 600 * nx, z.begin() + 3000 * nx, T(2));
        std::vector<T> colMajor(z.size()), spaced(z.size() * 3);
        for (std::ptrdiff_t j = 0; j < ny; ++j)
            for (std::ptrdiff_t i = 0; i < nx; ++i) {
                colMajor[std::size_t(i * ny + j)] = z[std::size_t(j * nx + i)];
                spaced[std::size_t(3 * (j * nx + i))] = z[std::size_t(j * nx + i)];
            }
        const View<T> rows = isocontour::RowMajor(z.data(), ny, nx);
        const View<T> layouts[3] = {isocontour::ColumnMajor(colMajor.data(), ny, nx),
                                    View<T>{spaced.data(), nx, ny, 3, 3 * nx},
                                    View<T>{colMajor.data(), nx, ny, ny, 1}};
        const std::vector<T> levels = {T(0.1), T(-0.6), T(1.1)};
        for (const int threads : {1, 3}) {
            Options<T> o;
            o.threads = threads;
            o.normals = true;
            const Lines<T> one = isocontour::ContourLines(rows, T(0.1), o);
            const Lines<T> many = isocontour::ContourLines(rows, std::span<const T>(levels), o);
            for (const View<T>& v : layouts) {
                SCOPED_TRACE(testing::Message() << nx << " x " << ny << " strides " << v.strideX
                                                << ", " << v.strideY << " threads " << threads);
                ExpectSame(isocontour::ContourLines(v, T(0.1), o), one);
                ExpectSame(isocontour::ContourLines(v, std::span<const T>(levels), o), many);
            }
        }
    }
    const std::ptrdiff_t nx = 150, ny = 91;
    const std::vector<T> z = Waves<T>(nx, ny, 11);
    const Lines<T> want = isocontour::ContourLines(isocontour::RowMajor(z.data(), ny, nx), T(0.1));
    // Rows read from the last one back: the field upside down, y flipped in the output.
    const View<T> flipped{z.data() + (ny - 1) * nx, nx, ny, 1, -nx};
    const Lines<T> upside = isocontour::ContourLines(flipped, T(0.1));
    std::vector<Point<T>> a = upside.points, b = want.points;
    for (Point<T>& p : a)
        p.y = T(ny - 1) - p.y;
    std::sort(a.begin(), a.end(),
              [](auto p, auto q) { return std::tie(p.x, p.y) < std::tie(q.x, q.y); });
    std::sort(b.begin(), b.end(),
              [](auto p, auto q) { return std::tie(p.x, p.y) < std::tie(q.x, q.y); });
    EXPECT_EQ(upside.LineCount(), want.LineCount());
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i].y, b[i].y, 1e-4) << i;
}

// A single peak: one closed line, counter-clockwise, through the four edge midpoints.
TYPED_TEST(LinesTyped, PeakGivesOneCounterClockwiseLoop) {
    using T = TypeParam;
    const T z[9] = {0, 0, 0, 0, 2, 0, 0, 0, 0};
    const Lines<T> lines = isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(1));
    ASSERT_EQ(lines.LineCount(), 1u);
    EXPECT_EQ(lines.closed[0], 1);
    // Crossings numbered by the cells that make them: cell (0, 0) makes its right and top edges'.
    const std::vector<Point<T>> want = {
        {1, T(0.5)}, {T(1.5), 1}, {1, T(1.5)}, {T(0.5), 1}, {1, T(0.5)}};
    EXPECT_EQ(std::vector<Point<T>>(lines.points.begin(), lines.points.end()), want);
}

// A 2 x 2 saddle: corners (0, 0) and (1, 1) above. Each rule pairs the crossings its own way.
TYPED_TEST(LinesTyped, SaddleRules) {
    using T = TypeParam;
    const T hi[4] = {1, -1, -1, 1}, lo[4] = {3, -1, -1, 3}; // centre above, centre below
    const T low2[4] = {1, -3, -3, 1};
    const Point<T> bottom{T(0.5), 0}, right{1, T(0.5)}, top{T(0.5), 1}, left{0, T(0.5)};
    const auto lines = [](const T* z, Saddle rule) {
        Options<T> o;
        o.saddle = rule;
        return isocontour::SplitLines(
            isocontour::ContourLines(isocontour::RowMajor(z, 2, 2), T(0), o));
    };
    using L = std::vector<std::vector<Point<T>>>;
    // Above joined: lines cut off the corners below, (1, 0) and (0, 1).
    const L above = {{bottom, right}, {top, left}};
    // Below joined: lines cut off the corners above, (0, 0) and (1, 1).
    const L below = {{bottom, left}, {top, right}};
    EXPECT_EQ(lines(hi, Saddle::Above), above);
    EXPECT_EQ(lines(hi, Saddle::Below), below);
    EXPECT_EQ(lines(hi, Saddle::Centre), below); // mean 0 is not above 0
    const Point<T> b2{T(0.75), 0}, r2{1, T(0.25)}, t2{T(0.25), 1}, l2{0, T(0.75)};
    EXPECT_EQ(lines(lo, Saddle::Centre), (L{{b2, r2}, {t2, l2}})); // mean 1 above 0
    const Point<T> b3{T(0.25), 0}, l3{0, T(0.25)}, t3{T(0.75), 1}, r3{1, T(0.75)};
    EXPECT_EQ(lines(low2, Saddle::Centre), (L{{b3, l3}, {t3, r3}})); // mean -1
    // The diagonal rule joins corners (0, 0) and (1, 1) whichever side they are on: the above
    // rule's lines here, the below rule's when the other two corners are the above ones.
    const T other[4] = {-1, 1, 1, -1};
    EXPECT_EQ(lines(hi, Saddle::Diagonal), above);
    EXPECT_EQ(lines(other, Saddle::Diagonal), lines(other, Saddle::Below));
    EXPECT_NE(lines(other, Saddle::Diagonal), lines(other, Saddle::Above));
}

// Nodes exactly at the level are not above it: crossings land on them, without repeats.
TYPED_TEST(LinesTyped, NodesAtTheLevelGiveNoRepeatedPoints) {
    using T = TypeParam;
    std::vector<T> z(40 * 30);
    for (std::size_t i = 0; i < z.size(); ++i)
        z[i] = T(int(i * 7919 % 5) - 2); // -2 .. 2, many nodes exactly at 0 and 1
    for (const T level : {T(0), T(1)}) {
        const View<T> v = isocontour::RowMajor(z.data(), 30, 40);
        const Lines<T> lines = isocontour::ContourLines(v, level);
        ExpectWellFormed(lines, v, level);
        Options<T> o;
        o.threads = 4;
        ExpectSame(isocontour::ContourLines(v, level, o), lines);
    }
}

// An infinite node is a very high or low value: crossings next to it land on the finite node.
TYPED_TEST(LinesTyped, InfiniteValuesPutCrossingsOnTheFiniteNode) {
    using T = TypeParam;
    const T z[9] = {0, 0, 0, 0, kInf<T>, 0, 0, 0, -kInf<T>};
    const Lines<T> lines = isocontour::ContourLines(isocontour::RowMajor(z, 3, 3), T(-1));
    for (const Point<T> p : lines.points) {
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        EXPECT_TRUE(p.x == std::round(p.x) && p.y == std::round(p.y)) << p.x << " " << p.y;
    }
    // The centre is the first node of the edges to its right and above it, the second of the
    // others: each crossing lands on the finite node, whichever end the infinity is at.
    const T peak[9] = {0, 0, 0, 0, kInf<T>, 0, 0, 0, 0},
            pit[9] = {0, 0, 0, 0, -kInf<T>, 0, 0, 0, 0};
    const std::vector<std::vector<Point<T>>> diamond = {{{1, 0}, {2, 1}, {1, 2}, {0, 1}, {1, 0}}};
    EXPECT_EQ(
        isocontour::SplitLines(isocontour::ContourLines(isocontour::RowMajor(peak, 3, 3), T(1))),
        diamond);
    const std::vector<std::vector<Point<T>>> around = {{{1, 0}, {0, 1}, {1, 2}, {2, 1}, {1, 0}}};
    EXPECT_EQ(
        isocontour::SplitLines(isocontour::ContourLines(isocontour::RowMajor(pit, 3, 3), T(-1))),
        around);
    const T both[4] = {-kInf<T>, kInf<T>, -kInf<T>, kInf<T>};
    EXPECT_EQ(
        isocontour::SplitLines(isocontour::ContourLines(isocontour::RowMajor(both, 2, 2), T(0))),
        (std::vector<std::vector<Point<T>>>{{{T(0.5), 1}, {T(0.5), 0}}}));
}

// A NaN or masked node removes the four cells around it; lines end where they meet them.
TYPED_TEST(LinesTyped, NaNAndMaskedNodesCutLines) {
    using T = TypeParam;
    const std::ptrdiff_t nx = 70, ny = 50;
    std::vector<T> z = Waves<T>(nx, ny, 21), holes = z;
    std::vector<std::uint8_t> mask(z.size(), 0);
    // Some on either side of a 32-node word's boundary (x = 31, 32, 63, 64).
    for (const std::ptrdiff_t at :
         {5 * nx + 7, 20 * nx + 30, 21 * nx + 30, 44 * nx + 69, std::ptrdiff_t(0), 10 * nx + 31,
          30 * nx + 32, 37 * nx + 63, 38 * nx + 64, 47 * nx + 31, 47 * nx + 32}) {
        holes[std::size_t(at)] = kNaN<T>;
        mask[std::size_t(at)] = 1;
    }
    const View<T> v = isocontour::RowMajor(holes.data(), ny, nx);
    const Lines<T> cut = isocontour::ContourLines(v, T(0));
    Options<T> o;
    o.mask = isocontour::RowMajor(mask.data(), ny, nx);
    ExpectSame(isocontour::ContourLines(isocontour::RowMajor(z.data(), ny, nx), T(0), o), cut);
    o.threads = 5;
    ExpectSame(isocontour::ContourLines(v, T(0), o), cut);
    // Read with y contiguous (the last word's six columns one at a time), the same cut.
    std::vector<T> columns(holes.size());
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i)
            columns[std::size_t(i * ny + j)] = holes[std::size_t(j * nx + i)];
    ExpectSame(isocontour::ContourLines(isocontour::ColumnMajor(columns.data(), ny, nx), T(0)),
               cut);
    // Among several levels (classified together), the first level's lines are cut the same way.
    const T two[2] = {T(0), T(0.3)};
    const Lines<T> both = isocontour::ContourLines(v, std::span<const T>(two));
    const auto end = std::ptrdiff_t(both.offsets[std::size_t(both.levelOffsets[1])]);
    EXPECT_EQ(std::vector<Point<T>>(both.points.begin(), both.points.begin() + end), cut.points);
    // No point in a removed cell's interior, and open ends on the border or a removed cell's edge.
    const auto removed = [&](std::ptrdiff_t i, std::ptrdiff_t j) {
        return i >= 0 && j >= 0 && i < nx && j < ny && std::isnan(v(i, j));
    };
    std::size_t cutEnds = 0;
    for (std::size_t k = 0; k < cut.LineCount(); ++k) {
        const auto line = cut.Line(k);
        if (cut.closed[k]) continue;
        for (const Point<T> p : {line.front(), line.back()}) {
            const std::ptrdiff_t i = std::ptrdiff_t(std::floor(p.x)),
                                 j = std::ptrdiff_t(std::floor(p.y));
            const bool border = p.x == 0 || p.y == 0 || p.x == T(nx - 1) || p.y == T(ny - 1);
            bool nearHole = false;
            for (std::ptrdiff_t dj = -1; dj <= 2; ++dj)
                for (std::ptrdiff_t di = -1; di <= 2; ++di)
                    nearHole |= removed(i + di, j + dj);
            EXPECT_TRUE(border || nearHole) << p.x << " " << p.y;
            cutEnds += !border;
        }
    }
    EXPECT_GT(cutEnds, 0u);
    for (const Point<T> p : cut.points)
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    // No piece crosses a removed cell (one with a removed corner), and the lines of the field
    // without holes do where they are cut.
    const auto inRemovedCell = [&](Point<T> p, Point<T> q) {
        const double mx = (double(p.x) + double(q.x)) / 2, my = (double(p.y) + double(q.y)) / 2;
        const std::ptrdiff_t i = std::ptrdiff_t(mx), j = std::ptrdiff_t(my);
        return removed(i, j) || removed(i + 1, j) || removed(i, j + 1) || removed(i + 1, j + 1);
    };
    const auto piecesInRemoved = [&](const Lines<T>& lines) {
        std::size_t n = 0;
        for (std::size_t k = 0; k < lines.LineCount(); ++k) {
            const auto line = lines.Line(k);
            for (std::size_t i = 0; i + 1 < line.size(); ++i)
                n += inRemovedCell(line[i], line[i + 1]);
        }
        return n;
    };
    EXPECT_EQ(piecesInRemoved(cut), 0u);
    EXPECT_GT(
        piecesInRemoved(isocontour::ContourLines(isocontour::RowMajor(z.data(), ny, nx), T(0))),
        3u);
}

TYPED_TEST(LinesTyped, CoordinatesMoveCrossingsAlongTheirEdges) {
    using T = TypeParam;
    const std::ptrdiff_t nx = 80, ny = 64;
    const std::vector<T> z = Waves<T>(nx, ny, 31);
    std::vector<T> x(nx), y(ny), cx(z.size()), cy(z.size());
    for (std::ptrdiff_t i = 0; i < nx; ++i)
        x[std::size_t(i)] = T(0.5) * T(i * i) + T(3);
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        y[std::size_t(j)] = T(-2) * T(j);
    for (std::ptrdiff_t j = 0; j < ny; ++j)
        for (std::ptrdiff_t i = 0; i < nx; ++i) {
            cx[std::size_t(j * nx + i)] = x[std::size_t(i)];
            cy[std::size_t(j * nx + i)] = y[std::size_t(j)];
        }
    const View<T> v = isocontour::RowMajor(z.data(), ny, nx);
    const Lines<T> grid = isocontour::ContourLines(v, T(0.3));
    Options<T> rect;
    rect.x = {x.data(), nx, 1, 1, 0, x.size()};
    rect.y = {y.data(), ny, 1, 1, 0, y.size()};
    rect.normals = true;
    const Lines<T> r = isocontour::ContourLines(v, T(0.3), rect);
    ASSERT_EQ(r.points.size(), grid.points.size());
    EXPECT_EQ(r.offsets, grid.offsets);
    // Each grid point (i + s, j) maps to x[i] + (x[i+1] - x[i]) s, and (i, j + s) likewise.
    for (std::size_t k = 0; k < grid.points.size(); ++k) {
        const Point<T> g = grid.points[k];
        const std::ptrdiff_t i = std::min<std::ptrdiff_t>(std::ptrdiff_t(g.x), nx - 2);
        const std::ptrdiff_t j = std::min<std::ptrdiff_t>(std::ptrdiff_t(g.y), ny - 2);
        const T sx = g.x - T(i), sy = g.y - T(j);
        const double wx = double(x[std::size_t(i)]) +
                          double(x[std::size_t(i + 1)] - x[std::size_t(i)]) * double(sx);
        const double wy = double(y[std::size_t(j)]) +
                          double(y[std::size_t(j + 1)] - y[std::size_t(j)]) * double(sy);
        EXPECT_NEAR(r.points[k].x, wx, 1e-5 * std::fabs(wx) + 1e-5);
        EXPECT_NEAR(r.points[k].y, wy, 1e-5 * std::fabs(wy) + 1e-5);
    }
    // The same nodes as 2-D arrays give the same lines; flipping y (a mirrored frame) keeps the
    // normals pointing to lower values.
    Options<T> curv;
    curv.x = isocontour::RowMajor(cx.data(), ny, nx);
    curv.y = isocontour::RowMajor(cy.data(), ny, nx);
    curv.normals = true;
    const Lines<T> c = isocontour::ContourLines(v, T(0.3), curv);
    ExpectSame(c, r);
}

TYPED_TEST(LinesTyped, SeveralLevelsAreEachLevelsLinesInTurn) {
    using T = TypeParam;
    std::vector<T> z = Waves<T>(210, 170, 41);
    // Ascending levels (a repeat among them) scan only the words that may cross each, in rows
    // with no NaN; other rows, and levels in any other order, scan every word.
    const std::vector<T> unsorted = {T(0.5), T(-1), T(0.5), T(2), T(0), T(-0.25)};
    std::vector<T> sorted = {T(0), T(0)};
    for (int k = 0; k < 18; ++k)
        sorted.push_back(T(-1.7) + T(0.2) * T(k));
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t k = 3000; k < z.size(); k += 7919)
        z[k] = kNaN<T>;
    for (int variant = 0; variant < 4; ++variant) {
        const int threads = 1 + 2 * (variant % 2);
        const std::vector<T>& levels = variant < 2 ? unsorted : sorted;
        const View<T> v = variant == 3 ? isocontour::RowMajor(z.data(), 170, 210)
                                       : isocontour::ColumnMajor(z.data(), 210, 170);
        Options<T> o;
        o.threads = threads;
        o.saddle = Saddle::Centre;
        o.normals = threads == 3;
        o.cornerMask = variant == 2;
        const Lines<T> all = isocontour::ContourLines(v, std::span<const T>(levels), o);
        ASSERT_EQ(all.levelOffsets.size(), levels.size() + 1);
        Lines<T> joined;
        isocontour::Workspace work;
        for (std::size_t m = 0; m < levels.size(); ++m) {
            Lines<T> one;
            isocontour::ContourLines(v, std::span<const T>(&levels[m], 1), o, one, work);
            const std::int64_t base = std::int64_t(joined.points.size());
            joined.points.insert(joined.points.end(), one.points.begin(), one.points.end());
            joined.normals.insert(joined.normals.end(), one.normals.begin(), one.normals.end());
            for (std::size_t k = 1; k < one.offsets.size(); ++k)
                joined.offsets.push_back(base + one.offsets[k]);
            joined.closed.insert(joined.closed.end(), one.closed.begin(), one.closed.end());
            joined.levelOffsets.push_back(std::int64_t(joined.closed.size()));
        }
        ExpectSame(all, joined);
    }
}

TYPED_TEST(LinesTyped, SmallGridsGiveNothing) {
    using T = TypeParam;
    const T z[3] = {0, 1, 2};
    const std::vector<T> levels = {T(0.5), T(1.5)};
    for (const View<T> v :
         {View<T>{z, 3, 1, 1, 3}, View<T>{z, 1, 3, 3, 1}, View<T>{nullptr, 0, 0, 0, 0}}) {
        const Lines<T> lines = isocontour::ContourLines(v, std::span<const T>(levels));
        EXPECT_EQ(lines.LineCount(), 0u);
        EXPECT_TRUE(lines.points.empty());
        EXPECT_EQ(lines.offsets, std::vector<std::int64_t>{0});
        EXPECT_EQ(lines.levelOffsets, (std::vector<std::int64_t>{0, 0, 0}));
    }
}

TYPED_TEST(LinesTyped, BadArgumentsAreRefused) {
    using T = TypeParam;
    std::vector<T> z(12, T(0)), x(4), y(3), c(12);
    std::vector<std::uint8_t> m(12);
    const View<T> v = isocontour::RowMajor(z.data(), 3, 4);
    const auto refused = [](auto&& call, const char* words) {
        try {
            call();
        } catch (const isocontour::Error& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
            return;
        }
        ADD_FAILURE() << "not refused: " << words;
    };
    refused([&] { isocontour::ContourLines(v, kNaN<T>); }, "NaN");
    const std::vector<T> levels = {T(0), kNaN<T>};
    refused([&] { isocontour::ContourLines(v, std::span<const T>(levels)); }, "level 1 is NaN");
    refused([&] { isocontour::ContourLines(View<T>{nullptr, 4, 3, 1, 4}, T(0)); }, "no data");
    refused(
        [&] {
            isocontour::ContourLines(View<T>{z.data(), 4, 3, 1, 5, z.size()}, T(0));
        },
        "outside");
    refused(
        [&] {
            isocontour::ContourLines(View<T>{z.data(), 4, 3, -1, 4, z.size()}, T(0));
        },
        "outside");
    refused(
        [&] {
            isocontour::ContourLines(View<T>{z.data(), 4, 3, 1, 4, z.size() - 1}, T(0));
        },
        "outside");
    refused([&] { isocontour::ContourLines(View<T>{z.data(), -4, 3, 1, 4}, T(0)); }, "negative");
    refused(
        [&] {
            isocontour::ContourLines(View<T>{z.data(), 4, 3, std::ptrdiff_t(1) << 62, 1}, T(0));
        },
        "overflow");
    Options<T> o;
    o.mask = isocontour::RowMajor(m.data(), 4, 3);
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "mask is 3 x 4");
    o.mask = isocontour::RowMajor(m.data(), 2, 4); // the right width, one row short
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "mask is 4 x 2");
    o.mask = isocontour::RowMajor(m.data(), 3, 3); // the right height, one column short
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "mask is 3 x 3");
    o = {};
    o.x = {x.data(), 4, 1, 1, 0};
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "together");
    o.y = {y.data(), 2, 1, 1, 0};
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "must be 4 x 1 and 3 x 1");
    o.y = {y.data(), 3, 1, 1, 0};
    y[1] = kInf<T>;
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "finite");
    o = {};
    o.threads = -1;
    refused([&] { isocontour::ContourLines(v, T(0), o); }, "threads");
}

TEST(LinesSplit, OneVectorPerLine) {
    Lines<float> lines;
    lines.points = {{0, 0}, {1, 0}, {1, 1}, {2, 2}, {3, 3}};
    lines.offsets = {0, 3, 5};
    lines.closed = {0, 0};
    const auto split = isocontour::SplitLines(lines);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[0], (std::vector<Point<float>>{{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(split[1], (std::vector<Point<float>>{{2, 2}, {3, 3}}));
}

// The public classification, in every layout the classifier reads differently (rows in place,
// columns contiguous along y in stripes, any strides), on shapes around its word and stripe
// sizes: each bit is the strict comparison, and every other bit is clear.
// Each version of the rows' classification (the machine's widest and its narrower one) against
// the plain comparisons, on rows of every corner value, NaN in every lane, one and several levels,
// either side of a level.
template <class T> void ExpectRowsClassified() {
    const T nan = kNaN<T>, inf = kInf<T>;
    const T values[] = {T(0.5),
                        std::nextafter(T(0.5), T(0)),
                        std::nextafter(T(0.5), T(1)),
                        nan,
                        inf,
                        -inf,
                        T(0),
                        T(-0.0),
                        T(1),
                        T(-2)};
    std::mt19937 rng(3);
    // 8229 values: past the 256 words that many levels are stored in chunks of.
    for (const std::ptrdiff_t nx : {1, 31, 32, 33, 64, 100, 8229}) {
        std::vector<T> r(static_cast<std::size_t>(nx));
        for (int trial = 0; trial < 40; ++trial) {
            for (T& v : r)
                v = trial % 4 == 0 ? T(0.75) : values[rng() % 10]; // words without a NaN too
            // In any order, and many ascending (words wholly above or below runs of them).
            const std::vector<T> levels =
                trial % 2 ? std::vector<T>{T(0.5), T(-0.0), inf, T(-1)}
                          : std::vector<T>{-inf,    T(-2),   T(-1.5), T(-1),  T(-0.5), T(-0.0),
                                           T(0),    T(0.25), T(0.4),  T(0.5), T(0.5),  T(0.6),
                                           T(0.75), T(1),    T(1.5),  T(2),   inf};
            const std::ptrdiff_t words = isocontour::ClassifiedRowWords(nx);
            for (const bool narrow : {false, true})
                for (const bool orEqual : {false, true}) {
                    std::vector<std::uint32_t> a(levels.size() * std::size_t(words), 7u),
                        n(words, 7u);
                    const auto run = [&](auto eq) {
                        constexpr bool kEq = decltype(eq)::value;
                        if (narrow)
                            isocontour::detail::ContiguousRowLevelsNarrow<kEq>(
                                r.data(), nx, std::span(levels), a.data(), words, n.data());
                        else
                            isocontour::detail::ContiguousRowLevels<kEq>(
                                r.data(), nx, std::span(levels), a.data(), words, n.data());
                    };
                    if (orEqual)
                        run(std::true_type{});
                    else
                        run(std::false_type{});
                    for (std::size_t m = 0; m < levels.size(); ++m)
                        for (std::ptrdiff_t i = 0; i < 32 * words; ++i) {
                            const bool up = i < nx && (orEqual ? r[std::size_t(i)] >= levels[m]
                                                               : r[std::size_t(i)] > levels[m]);
                            ASSERT_EQ(
                                (a[m * std::size_t(words) + std::size_t(i / 32)] >> (i % 32)) & 1u,
                                unsigned(up))
                                << "narrow " << narrow << " level " << m << " node " << i;
                            if (m == 0) {
                                ASSERT_EQ((n[std::size_t(i / 32)] >> (i % 32)) & 1u,
                                          unsigned(i < nx && std::isnan(r[std::size_t(i)])));
                            }
                        }
                    // One level, NaN bits asked for and not.
                    std::vector<std::uint32_t> one(std::size_t(words), 7u), nan1(words, 7u);
                    if (narrow)
                        isocontour::detail::ContiguousRowNarrow<false>(r.data(), nx, T(0.5),
                                                                       one.data(), nan1.data());
                    else
                        isocontour::detail::ContiguousRow<false>(r.data(), nx, T(0.5), one.data(),
                                                                 nan1.data());
                    const std::ptrdiff_t half =
                        std::find(levels.begin(), levels.end(), T(0.5)) - levels.begin();
                    EXPECT_TRUE(std::equal(one.begin(), one.end(), a.begin() + half * words) ||
                                orEqual);
                    EXPECT_TRUE(std::equal(nan1.begin(), nan1.end(), n.begin()));
                }
        }
    }
}

TEST(LinesPlanes, EveryVersionOfTheRowsClassificationGivesTheSameBits) {
    ExpectRowsClassified<float>();
    ExpectRowsClassified<double>();
}

// The search for where a run of levels ends, from any first guess, and the words each level (or
// band) is to visit: every word whose corners' ranges put it at risk, in the row's order.
TEST(LinesPlanes, LevelRangesListEveryWordALevelMayCross) {
    using isocontour::detail::Boundary;
    for (std::ptrdiff_t n = 0; n <= 40; ++n)
        for (std::ptrdiff_t t = 0; t <= n; ++t)
            for (std::ptrdiff_t guess = 0; guess <= n; ++guess) {
                int probes = 0;
                const auto holds = [&](std::ptrdiff_t m) {
                    ++probes;
                    EXPECT_TRUE(m >= 0 && m < n) << "probed " << m << " of " << n;
                    return m < t;
                };
                ASSERT_EQ(Boundary(n, guess, holds), t) << "n " << n << " guess " << guess;
                const int far = int(std::bit_width(std::size_t(std::abs(t - guess) + 1)));
                EXPECT_LE(probes, 2 * far + 3) << "n " << n << " t " << t << " guess " << guess;
            }
    std::mt19937 rng(5);
    isocontour::detail::LevelRanges r;
    for (int trial = 0; trial < 300; ++trial) {
        const std::ptrdiff_t words = 1 + std::ptrdiff_t(rng() % 9), nl = 1 + int(rng() % 12);
        std::vector<std::uint32_t> node[2]; // each node word's first and end level, two rows
        for (auto& row : node)
            for (std::ptrdiff_t w = 0; w <= words; ++w) {
                const std::uint32_t a = rng() % std::uint32_t(nl + 1),
                                    b = rng() % std::uint32_t(nl + 1);
                row.insert(row.end(), {std::min(a, b), std::max(a, b)});
            }
        const bool bands = trial % 2;
        const std::ptrdiff_t base = bands ? std::ptrdiff_t(rng() % 2) : 0;
        const std::size_t lists = std::size_t(nl + (bands ? 1 : 0) - base);
        const std::uint32_t last = rng() % 2 ? ~0u : 0x7fffffffu; // the last cell in or out
        const auto cells = [&](std::ptrdiff_t w) { return w == words - 1 ? last : ~0u; };
        const auto all = [&](std::ptrdiff_t w) { return bands && w == words - 1; };
        r.ByLevel(0, words - 1, node[0].data(), node[1].data(), base, lists, bands ? 1 : 0, cells,
                  all);
        const auto crosses = [&](std::ptrdiff_t w, std::int64_t level) {
            bool any = false;
            for (const auto& row : node)
                for (std::ptrdiff_t q = w; q <= w + ((cells(w) >> 31) ? 1 : 0); ++q)
                    any = any ||
                          (row[std::size_t(2 * q)] <= level && level < row[std::size_t(2 * q + 1)]);
            return any;
        };
        for (std::size_t k = 0; k < lists; ++k) {
            const std::vector<std::uint32_t> listed(r.words.begin() + r.start[k],
                                                    r.words.begin() + r.start[k + 1]);
            EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
            const std::int64_t level = std::int64_t(k) + base;
            for (std::ptrdiff_t w = 0; w < words; ++w) {
                const bool risk = crosses(w, level) || (bands && crosses(w, level - 1)) || all(w);
                if (risk) {
                    EXPECT_TRUE(std::count(listed.begin(), listed.end(), std::uint32_t(w)) == 1)
                        << "trial " << trial << " list " << k << " word " << w;
                }
            }
        }
    }
}

TEST(LinesPlanes, ClassifyAboveIsTheStrictComparisonInEveryLayout) {
    const float nan = std::numeric_limits<float>::quiet_NaN(),
                inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.5f, 0.49999997f, 0.50000006f, nan, inf, -inf, 0.0f, -0.0f, 1.0f};
    for (const auto& [rows, cols] : {std::pair{1, 1}, {5, 33}, {1100, 70}, {40, 9}, {3, 64}}) {
        std::vector<float> z(std::size_t(2 * rows * cols));
        for (std::size_t k = 0; k < z.size(); ++k)
            z[k] = values[(k * 7 + k / 11) % 9];
        const View<float> layouts[3] = {
            isocontour::RowMajor(z.data(), rows, cols),
            isocontour::ColumnMajor(z.data(), rows, cols),
            {z.data(), cols, rows, 2 * rows, 1, z.size()}}; // every column, every other value
        for (const View<float>& v : layouts) {
            const std::ptrdiff_t words = isocontour::ClassifiedRowWords(v.nx);
            std::vector<std::uint32_t> bits(std::size_t(words * v.ny), 0xDEADBEEFu);
            for (const float level : {0.5f, -0.0f, inf, nan}) {
                isocontour::ClassifyAbove(v, level, std::span(bits));
                for (std::ptrdiff_t j = 0; j < v.ny; ++j)
                    for (std::ptrdiff_t i = 0; i < 32 * words; ++i) {
                        const bool bit = (bits[std::size_t(j * words + i / 32)] >> (i % 32)) & 1u;
                        ASSERT_EQ(bit, i < v.nx && v(i, j) > level)
                            << rows << "x" << cols << " strides " << v.strideX << "," << v.strideY
                            << " node (" << i << ", " << j << ") level " << level;
                    }
            }
            EXPECT_THROW(isocontour::ClassifyAbove(v, 0.5f, std::span(bits).first(bits.size() - 1)),
                         isocontour::Error);
        }
    }
}

// Working memory cut from slabs: every block handed out is its own until given back, across
// slabs of every size, and a block given back is the next one handed out. The caller's vectors,
// reserved and resized past the large-page size, keep what they held.
TEST(LinesMemory, BlocksNeverOverlapAndVectorsKeepTheirElements) {
    isocontour::detail::Blocks<std::uint64_t> blocks(1000);
    std::vector<std::uint64_t*> taken;
    for (std::uint64_t b = 0; b < 40; ++b) { // slabs of 1, 1, 2, 4, 8, 16, 16 blocks
        taken.push_back(blocks.Take());
        std::fill_n(taken.back(), 1000, b);
    }
    for (std::uint64_t b = 0; b < 40; ++b)
        ASSERT_EQ(std::count(taken[b], taken[b] + 1000, b), 1000) << "block " << b;
    blocks.Give(taken[7]);
    EXPECT_EQ(blocks.Take(), taken[7]);

    std::vector<Point<double>> points;
    for (std::size_t n = 1; n < 300; ++n)
        points.push_back({double(n), -double(n)});
    const std::vector<Point<double>> before = points;
    const std::size_t large = isocontour::detail::kLargeBuffer / sizeof(Point<double>);
    isocontour::detail::ReserveLarge(points, large + 5);
    EXPECT_GE(points.capacity(), large + 5);
    EXPECT_EQ(points, before);
    isocontour::detail::ResizeLarge(points, 2 * large);
    ASSERT_EQ(points.size(), 2 * large);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), points.begin()));
}

} // namespace
