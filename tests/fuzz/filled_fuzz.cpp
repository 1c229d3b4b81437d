// Fuzz target for the library's filled bands: arbitrary grids up to 40 per side (0 and 1
// included, widths on both sides of the 32-node words), values from every corner of the float
// range (NaN, infinities, denormals, quarters that land exactly on the levels), a mask, levels
// that may be unsorted, repeated or NaN, each saddle rule, the open bands, one or three threads,
// float or double, both entry points.
//
// Input layout: nx, ny, flags, the level count, the levels, then the node values (a tile of up
// to 64 repeated over the grid), then the mask bytes; decoded by fuzz::ConsumeValue, a short
// input reads as zeros.
//
// What must hold whatever the input:
// - no crash, no out-of-bounds access (the views state their sizes), no leak;
// - refusal (isocontour::Error) exactly when the levels are not strictly rising numbers;
// - the flat arrays are consistent: offsets start at 0, never fall and end at their arrays' ends;
// - every ring is closed, has at least four points, no two equal consecutive points, only
//   finite points; an outer ring's area (in grid units) is positive and a hole's negative;
// - every polygon is valid as GEOS (the geometry engine under shapely and GDAL) judges it: no
//   ring touches or crosses itself, holes lie inside their outer ring and meet it at points;
// - with the open bands, the bands' areas sum to the cells without a NaN or masked corner;
// - three threads give the same arrays as one.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include <geos_c.h>

#include "fuzz_values.h"
#include "isocontour/isocontour.h"

namespace {

constexpr int kMaxSide = 40;
constexpr int kMaxTile = 64;

enum Flags : std::uint8_t {
    kSaddleBits = 3,  // 0 above, 1 below, 2 centre, 3 centre too
    kOpenBands = 4,   // the two open bands as well
    kDouble = 8,      // values, levels and points in double
    kMasked = 16,     // a mask from the input
    kOneBand = 32,    // the two-level entry point with the first two levels
    kColumnMajor = 64 // the values read with y contiguous
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "filled_fuzz: %s\n", what);
        std::abort();
    }
}

template <class T> double Area(std::span<const isocontour::Point<T>> ring) {
    double twice = 0;
    for (std::size_t k = 0; k + 1 < ring.size(); ++k)
        twice +=
            double(ring[k].x) * double(ring[k + 1].y) - double(ring[k + 1].x) * double(ring[k].y);
    return twice / 2;
}

// GEOS's verdict on polygon p of the bands; aborts with its reason when it is not valid.
template <class T> void CheckValid(const isocontour::Bands<T>& b, std::size_t p) {
    static const GEOSContextHandle_t geos = GEOS_init_r();
    std::vector<GEOSGeometry*> rings;
    for (auto r = b.polygonOffsets[p]; r < b.polygonOffsets[p + 1]; ++r) {
        const auto a = std::size_t(b.ringOffsets[std::size_t(r)]);
        const auto e = std::size_t(b.ringOffsets[std::size_t(r) + 1]);
        GEOSCoordSequence* seq = GEOSCoordSeq_create_r(geos, unsigned(e - a), 2);
        for (std::size_t k = a; k < e; ++k)
            GEOSCoordSeq_setXY_r(geos, seq, unsigned(k - a), double(b.points[k].x),
                                 double(b.points[k].y));
        rings.push_back(GEOSGeom_createLinearRing_r(geos, seq));
    }
    GEOSGeometry* polygon =
        GEOSGeom_createPolygon_r(geos, rings[0], rings.data() + 1, unsigned(rings.size() - 1));
    if (GEOSisValid_r(geos, polygon) != 1) {
        char* why = GEOSisValidReason_r(geos, polygon);
        std::fprintf(stderr, "filled_fuzz: polygon %zu is not valid: %s\n", p, why);
        std::abort();
    }
    GEOSGeom_destroy_r(geos, polygon);
}

// The structural rules; returns the total area.
template <class T> double CheckBands(const isocontour::Bands<T>& b, std::size_t bands) {
    Check(b.bandOffsets.size() == bands + 1 && b.lower.size() == bands && b.upper.size() == bands,
          "one entry per band");
    const auto rising = [](const std::vector<std::int64_t>& v, std::int64_t end) {
        if (v.empty() || v.front() != 0 || v.back() != end) return false;
        for (std::size_t k = 1; k < v.size(); ++k)
            if (v[k] < v[k - 1]) return false;
        return true;
    };
    Check(rising(b.bandOffsets, std::int64_t(b.PolygonCount())), "band offsets");
    Check(rising(b.polygonOffsets, std::int64_t(b.ringOffsets.size() - 1)), "polygon offsets");
    Check(rising(b.ringOffsets, std::int64_t(b.points.size())), "ring offsets");
    double total = 0;
    for (std::size_t p = 0; p < b.PolygonCount(); ++p) {
        Check(b.polygonOffsets[p + 1] > b.polygonOffsets[p], "a polygon without rings");
        for (auto r = b.polygonOffsets[p]; r < b.polygonOffsets[p + 1]; ++r) {
            const auto a = std::size_t(b.ringOffsets[std::size_t(r)]);
            const auto e = std::size_t(b.ringOffsets[std::size_t(r) + 1]);
            Check(e - a >= 4, "a ring of fewer than four points");
            const std::span<const isocontour::Point<T>> ring(b.points.data() + a, e - a);
            Check(ring.front() == ring.back(), "a ring not closed");
            for (std::size_t k = 0; k < ring.size(); ++k) {
                Check(std::isfinite(ring[k].x) && std::isfinite(ring[k].y), "a point not finite");
                if (k > 0) Check(!(ring[k] == ring[k - 1]), "two equal consecutive points");
            }
            const double area = Area(ring);
            Check(r == b.polygonOffsets[p] ? area > 0 : area < 0, "a ring the wrong way round");
            total += area;
        }
        CheckValid(b, p);
    }
    return total;
}

template <class T> void Run(FuzzedDataProvider& in, int nx, int ny, std::uint8_t flags) {
    std::vector<T> levels(in.ConsumeIntegralInRange<std::size_t>(0, 5));
    for (T& l : levels)
        l = T(fuzz::ConsumeValue(in));
    std::vector<T> tile(in.ConsumeIntegralInRange<std::size_t>(1, kMaxTile));
    for (T& v : tile)
        v = T(fuzz::ConsumeValue(in));
    const std::size_t n = std::size_t(nx) * std::size_t(ny);
    std::vector<T> z(n);
    for (std::size_t k = 0; k < n; ++k)
        z[k] = tile[k % tile.size()];
    std::vector<std::uint8_t> mask(n, 0);
    if (flags & kMasked)
        for (auto& m : mask)
            m = in.ConsumeIntegral<std::uint8_t>() < 40;
    const bool columns = flags & kColumnMajor;
    const isocontour::View<T> view = columns ? isocontour::ColumnMajor(z.data(), ny, nx)
                                             : isocontour::RowMajor(z.data(), ny, nx);
    isocontour::Options<T> o;
    o.saddle = (flags & kSaddleBits) == 0   ? isocontour::Saddle::Above
               : (flags & kSaddleBits) == 1 ? isocontour::Saddle::Below
                                            : isocontour::Saddle::Centre;
    o.openBands = flags & kOpenBands;
    if (flags & kMasked)
        o.mask = columns ? isocontour::ColumnMajor(mask.data(), ny, nx)
                         : isocontour::RowMajor(mask.data(), ny, nx);
    bool good = levels.size() >= 2;
    for (std::size_t k = 0; k < levels.size(); ++k)
        good = good && !std::isnan(levels[k]) && (k == 0 || levels[k - 1] < levels[k]);
    const bool one = (flags & kOneBand) && levels.size() >= 2;
    if (one) good = !std::isnan(levels[0]) && !std::isnan(levels[1]) && levels[0] < levels[1];
    const auto call = [&](int threads) {
        o.threads = threads;
        return one ? isocontour::FilledContours(view, levels[0], levels[1], o)
                   : isocontour::FilledContours(view, std::span<const T>(levels), o);
    };
    isocontour::Bands<T> bands;
    try {
        bands = call(1);
    } catch (const isocontour::Error&) {
        Check(!good, "refused good levels");
        return;
    }
    Check(good, "accepted bad levels");
    const std::size_t count = one ? 1 : levels.size() - 1 + (o.openBands ? 2 : 0);
    const double area = CheckBands(bands, count);
    if (!one && o.openBands && nx >= 2 && ny >= 2) {
        double cells = 0;
        for (int j = 0; j + 1 < ny; ++j)
            for (int i = 0; i + 1 < nx; ++i) {
                bool ok = true;
                for (int c = 0; c < 4; ++c) {
                    const int a = i + (c & 1), b = j + (c >> 1);
                    ok = ok && !std::isnan(view(a, b)) && !(o.mask.Present() && o.mask(a, b));
                }
                cells += ok;
            }
        Check(std::fabs(area - cells) <= 1e-6 * (1 + cells), "the bands do not tile the grid");
    }
    const isocontour::Bands<T> three = call(3);
    Check(three.points == bands.points && three.ringOffsets == bands.ringOffsets &&
              three.polygonOffsets == bands.polygonOffsets &&
              three.bandOffsets == bands.bandOffsets,
          "threads changed the output");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int nx = in.ConsumeIntegralInRange<int>(0, kMaxSide);
    const int ny = in.ConsumeIntegralInRange<int>(0, kMaxSide);
    const std::uint8_t flags = in.ConsumeIntegral<std::uint8_t>();
    if (flags & kDouble)
        Run<double>(in, nx, ny, flags);
    else
        Run<float>(in, nx, ny, flags);
    return 0;
}
