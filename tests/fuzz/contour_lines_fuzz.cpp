// Fuzz target for the library's joined lines: grid sizes up to 40 per side (0, 1 and 2 included,
// widths across the 32-node words), float or double values from every corner of the range,
// row-major, column-major, spaced and reversed layouts, masks, rectilinear and curvilinear
// coordinates, each saddle rule, either side of a level for a value at it, the corner mask,
// normals, one to four levels (NaN ones included), and views that claim more than their arrays
// hold.
//
// Input layout: nx, ny, a flags byte, a second flags byte, the levels, then the node values (a
// short input reads as zeros), the mask bytes and the coordinates.
//
// What must hold whatever the input:
// - no crash, no read outside the arrays (each is exactly as large as its view needs), no leak;
// - a NaN level, or a view claiming more than its array, is refused with isocontour::Error, and
//   nothing else is;
// - offsets rise from 0 to the point count, one closed flag per line, level offsets rise from 0
//   to the line count with one entry per level;
// - no line has fewer than two points or two equal consecutive points; closed lines end on their
//   first point; every point is finite and inside the coordinates' range;
// - normals, when asked for, are one per point, finite and of unit length;
// - three threads give exactly the one-thread output, and so do up to four windows of the grid
//   (cut where the input says) joined and finished.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_values.h"
#include "isocontour/isocontour.h"
#include "windows.h"

namespace {

constexpr int kMaxSide = 40;

enum Flags : std::uint8_t {
    kDouble = 1,
    kColumnMajor = 2,
    kSpaced = 4,   // every other element, x and y swapped in memory
    kReversed = 8, // rows read from the last one back (a negative stride)
    kMask = 16,
    kRectilinear = 32,
    kCurvilinear = 64,
    kNormals = 128,
};
enum Flags2 : std::uint8_t {
    kSaddleBits = 3, // 0 above, 1 below, 2 centre
    kLevelBits = 12, // one to four levels
    kShortView = 16, // the values' view claims one element more than its array holds
    kTiled = 32,     // node values repeat a short tile
    kCornerMask = 64,
    kAtLevelAbove = 128,
};

[[noreturn]] void Fail(const char* what, long i) {
    std::fprintf(stderr, "contour_lines_fuzz: %s (index %ld)\n", what, i);
    std::abort();
}
void Check(bool ok, const char* what, long i = -1) {
    if (!ok) Fail(what, i);
}

template <class T> bool Same(const isocontour::Lines<T>& a, const isocontour::Lines<T>& b) {
    return a.points == b.points && a.normals == b.normals && a.offsets == b.offsets &&
           a.closed == b.closed && a.levelOffsets == b.levelOffsets;
}

template <class T>
void Run(FuzzedDataProvider& in, int nx, int ny, std::uint8_t f, std::uint8_t g) {
    const int levelCount = 1 + ((g & kLevelBits) >> 2);
    std::vector<T> levels;
    bool nanLevel = false;
    for (int m = 0; m < levelCount; ++m) {
        levels.push_back(T(fuzz::ConsumeValue(in)));
        nanLevel |= std::isnan(levels.back());
    }
    const std::size_t n = std::size_t(nx) * std::size_t(ny);
    // The values, laid out as the flags say, in an array exactly as large as the layout needs.
    std::vector<T> node(n);
    if (g & kTiled) {
        T tile[16];
        const int t = 1 + in.ConsumeIntegral<std::uint8_t>() % 16;
        for (int k = 0; k < t; ++k)
            tile[k] = T(fuzz::ConsumeValue(in));
        for (std::size_t k = 0; k < n; ++k)
            node[k] = tile[k % std::size_t(t)];
    } else {
        for (T& v : node)
            v = T(fuzz::ConsumeValue(in));
    }
    std::vector<T> store;
    isocontour::View<T> v;
    if (f & kSpaced) {
        store.assign(n > 0 ? 2 * n - 1 : 0, T(0));
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                store[std::size_t(2 * (i * ny + j))] = node[std::size_t(j * nx + i)];
        v = {store.data(), nx, ny, 2 * ny, 2, store.size()};
    } else if (f & kColumnMajor) {
        store.resize(n);
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                store[std::size_t(i * ny + j)] = node[std::size_t(j * nx + i)];
        v = isocontour::ColumnMajor(store.data(), ny, nx);
    } else {
        store = node;
        v = isocontour::RowMajor(store.data(), ny, nx);
    }
    if ((f & kReversed) && ny > 0 && !store.empty()) {
        v.data += (ny - 1) * v.strideY; // the same array, rows from the last one back
        v.strideY = -v.strideY;
        v.size = 0; // a pointer inside the array: only the overflow checks apply
    }
    // One element short; a size of 0 means "not stated", so a one-node view is not short.
    if ((g & kShortView) && v.size > 0) --v.size;
    const bool badView = (g & kShortView) && v.size > 0 && !(f & kReversed);

    isocontour::Options<T> o;
    o.saddle = isocontour::Saddle((g & kSaddleBits) % 3);
    o.normals = f & kNormals;
    o.cornerMask = g & kCornerMask;
    o.atLevel = (g & kAtLevelAbove) ? isocontour::AtLevel::Above : isocontour::AtLevel::Below;
    std::vector<std::uint8_t> mask;
    if (f & kMask) {
        mask.resize(n);
        for (std::uint8_t& b : mask)
            b = in.ConsumeIntegral<std::uint8_t>() < 32;
        o.mask = isocontour::RowMajor(mask.data(), ny, nx);
    }
    // Coordinates: finite and increasing, so every point lies within their range.
    std::vector<T> x, y;
    const T lo = 0;
    T hiX = T(std::max(nx - 1, 0)), loY = 0, hiY = T(std::max(ny - 1, 0));
    if ((f & (kRectilinear | kCurvilinear)) && n > 0) {
        const T step = T(1) + T(in.ConsumeIntegral<std::uint8_t>()) / T(8);
        const bool curv = f & kCurvilinear;
        x.resize(curv ? n : std::size_t(nx));
        y.resize(curv ? n : std::size_t(ny));
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                if (curv) {
                    x[std::size_t(j * nx + i)] = T(i) * step + T(j) / T(4);
                    y[std::size_t(j * nx + i)] = T(j) * step - T(i) / T(8);
                } else {
                    x[std::size_t(i)] = T(i) * step;
                    y[std::size_t(j)] = T(j) * step;
                }
            }
        if (curv) {
            o.x = isocontour::RowMajor(x.data(), ny, nx);
            o.y = isocontour::RowMajor(y.data(), ny, nx);
            hiX = T(nx) * step + T(ny) / T(4);
            loY = -T(nx) / T(8), hiY = T(ny) * step;
        } else {
            o.x = {x.data(), nx, 1, 1, 0, x.size()};
            o.y = {y.data(), ny, 1, 1, 0, y.size()};
            hiX = T(std::max(nx - 1, 0)) * step, hiY = T(std::max(ny - 1, 0)) * step;
        }
    }

    isocontour::Lines<T> one;
    try {
        isocontour::ContourLines(v, std::span<const T>(levels), o, one);
    } catch (const isocontour::Error& e) {
        if (!nanLevel && !badView) std::fprintf(stderr, "refused: %s\n", e.what());
        Check(nanLevel || badView, "refused good arguments");
        return;
    }
    Check(!nanLevel, "a NaN level was taken");
    Check(!badView, "a view larger than its array was taken");

    Check(one.offsets.size() == one.closed.size() + 1 && one.offsets[0] == 0,
          "offsets and closed flags disagree");
    Check(one.offsets.back() == std::int64_t(one.points.size()), "offsets do not end at the count");
    Check(one.levelOffsets.size() == levels.size() + 1 && one.levelOffsets[0] == 0 &&
              one.levelOffsets.back() == std::int64_t(one.LineCount()),
          "level offsets");
    for (std::size_t m = 0; m + 1 < one.levelOffsets.size(); ++m)
        Check(one.levelOffsets[m] <= one.levelOffsets[m + 1], "level offsets fall", long(m));
    Check(one.normals.size() == (o.normals ? one.points.size() : 0), "normal count");
    for (std::size_t k = 0; k < one.LineCount(); ++k) {
        Check(one.offsets[k + 1] - one.offsets[k] >= 2, "line of fewer than two points", long(k));
        const auto line = one.Line(k);
        if (one.closed[k]) Check(line.front() == line.back(), "closed line not closed", long(k));
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            Check(!(line[i] == line[i + 1]), "two equal consecutive points", long(k));
    }
    for (std::size_t i = 0; i < one.points.size(); ++i) {
        const isocontour::Point<T> p = one.points[i];
        Check(std::isfinite(p.x) && std::isfinite(p.y), "point not finite", long(i));
        Check(p.x >= lo - T(1e-3) && p.x <= hiX + T(1e-3) && p.y >= loY - T(1e-3) &&
                  p.y <= hiY + T(1e-3),
              "point outside the coordinates", long(i));
    }
    for (std::size_t i = 0; i < one.normals.size(); ++i) {
        const isocontour::Point<T> q = one.normals[i];
        const double len = double(q.x) * double(q.x) + double(q.y) * double(q.y);
        if (!(std::isfinite(len) && std::fabs(len - 1.0) < 1e-4))
            std::fprintf(stderr, "normal %g %g\n", double(q.x), double(q.y));
        Check(std::isfinite(len) && std::fabs(len - 1.0) < 1e-4, "normal not of unit length",
              long(i));
    }
    o.threads = 3;
    isocontour::Lines<T> three;
    isocontour::Workspace work;
    isocontour::ContourLines(v, std::span<const T>(levels), o, three, work);
    Check(Same(one, three), "three threads differ from one");

    // The same grid window by window (cut where the input says) joins into the same lines.
    if (nx >= 2 && ny >= 2) {
        const std::ptrdiff_t cx = in.ConsumeIntegral<std::uint8_t>() % nx;
        const std::ptrdiff_t cy = in.ConsumeIntegral<std::uint8_t>() % ny;
        const bool tree = in.ConsumeBool();
        o.threads = 1;
        auto parts = fuzz::ByWindows(v, o, cx, cy, [&](auto view, auto w, const auto& wo) {
            return isocontour::ContourLines(view, w, std::span<const T>(levels), wo);
        });
        const auto joined =
            fuzz::JoinAll(std::move(parts), tree, [](auto p) { return isocontour::JoinLines(p); });
        Check(Same(one, isocontour::FinishLines(joined)), "windows differ from the whole grid");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int nx = in.ConsumeIntegral<std::uint8_t>() % (kMaxSide + 1);
    const int ny = in.ConsumeIntegral<std::uint8_t>() % (kMaxSide + 1);
    const std::uint8_t f = in.ConsumeIntegral<std::uint8_t>();
    const std::uint8_t g = in.ConsumeIntegral<std::uint8_t>();
    if (f & kDouble)
        Run<double>(in, nx, ny, f, g);
    else
        Run<float>(in, nx, ny, f, g);
    return 0;
}
