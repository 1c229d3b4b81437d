// Fuzz target for the library's filled bands: arbitrary grids up to 40 per side (0 and 1
// included, widths on both sides of the 32-node words), values from every corner of the float
// range (NaN, infinities, denormals, quarters that land exactly on the levels), a mask, levels
// that may be unsorted, repeated or NaN, each saddle rule, the open bands, one or three threads,
// float or double, both entry points, the corner mask, either side of a level for a value exactly
// at it, linear or log interpolation.
//
// Input layout: nx, ny, flags, the level count, the levels, then the node values (a tile of up
// to 64 repeated over the grid), then a byte of rules (bit 0 the above side, bit 1 log
// interpolation), then the mask bytes; decoded by fuzz::ConsumeValue, a short input reads as
// zeros.
//
// What must hold whatever the input:
// - no crash, no out-of-bounds access (the views state their sizes), no leak;
// - refusal (isocontour::Error) exactly when the levels are not strictly rising numbers, or
//   under log interpolation a level or a usable value is not above 0;
// - the flat arrays are consistent: offsets start at 0, never fall and end at their arrays' ends;
// - every ring is closed, has at least four points, no two equal consecutive points, only
//   finite points; an outer ring's area (in grid units) is positive and a hole's negative;
// - every polygon is valid as GEOS (the geometry engine under shapely and GDAL) judges it: no
//   ring touches or crosses itself, holes lie inside their outer ring and meet it at points; and
//   so is each band as one MultiPolygon: its polygons meet at points at most;
// - with the open bands, the bands' areas sum to the cells without a NaN or masked corner (with
//   the corner mask, and half of each cell missing exactly one);
// - three threads give the same arrays as one, and so do up to four windows of the grid (cut
//   where the input says) joined and finished.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include <geos_c.h>

#include "fuzz_values.h"
#include "isocontour/isocontour.h"
#include "windows.h"

namespace {

constexpr int kMaxSide = 40;
constexpr int kMaxTile = 64;

enum Flags : std::uint8_t {
    kSaddleBits = 3,   // 0 above, 1 below, 2 centre, 3 centre too
    kOpenBands = 4,    // the two open bands as well
    kDouble = 8,       // values, levels and points in double
    kMasked = 16,      // a mask from the input
    kOneBand = 32,     // the two-level entry point with the first two levels
    kColumnMajor = 64, // the values read with y contiguous
    kCornerMask = 128, // a cell missing one corner is a triangle
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "filled_fuzz: %s\n", what);
        std::abort();
    }
}

// From the differences to the first point, in long double, so that a ring a few units in the
// last place across keeps the sign of its area.
template <class T> double Area(std::span<const isocontour::Point<T>> ring) {
    long double twice = 0;
    const long double ox = ring[0].x, oy = ring[0].y;
    for (std::size_t k = 1; k + 1 < ring.size(); ++k)
        twice += (ring[k].x - ox) * (ring[k + 1].y - oy) - (ring[k + 1].x - ox) * (ring[k].y - oy);
    return double(twice / 2);
}

// GEOS's verdict on geometry g (which it takes over); aborts with its reason when it is not valid.
void CheckValid(GEOSContextHandle_t geos, GEOSGeometry* g, const char* what, std::size_t k) {
    if (GEOSisValid_r(geos, g) != 1) {
        char* why = GEOSisValidReason_r(geos, g);
        std::fprintf(stderr, "filled_fuzz: %s %zu is not valid: %s\n", what, k, why);
        std::abort();
    }
    GEOSGeom_destroy_r(geos, g);
}

// Polygon p of the bands as a GEOS polygon.
template <class T>
GEOSGeometry* Polygon(GEOSContextHandle_t geos, const isocontour::Bands<T>& b, std::size_t p) {
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
    return GEOSGeom_createPolygon_r(geos, rings[0], rings.data() + 1, unsigned(rings.size() - 1));
}

// Every polygon alone, then every band as one MultiPolygon.
template <class T> void CheckValid(const isocontour::Bands<T>& b) {
    static const GEOSContextHandle_t geos = GEOS_init_r();
    for (std::size_t p = 0; p < b.PolygonCount(); ++p)
        CheckValid(geos, Polygon(geos, b, p), "polygon", p);
    for (std::size_t k = 0; k + 1 < b.bandOffsets.size(); ++k) {
        std::vector<GEOSGeometry*> parts;
        for (auto p = b.bandOffsets[k]; p < b.bandOffsets[k + 1]; ++p)
            parts.push_back(Polygon(geos, b, std::size_t(p)));
        CheckValid(geos,
                   GEOSGeom_createCollection_r(geos, GEOS_MULTIPOLYGON, parts.data(),
                                               unsigned(parts.size())),
                   "band", k);
    }
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
    }
    CheckValid(b);
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
    const std::uint8_t rules = in.ConsumeIntegral<std::uint8_t>();
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
    o.cornerMask = flags & kCornerMask;
    o.atLevel = (rules & 1) ? isocontour::AtLevel::Above : isocontour::AtLevel::Below;
    const bool log = rules & 2;
    if (log) o.interpolation = isocontour::Interpolation::Log;
    if (flags & kMasked)
        o.mask = columns ? isocontour::ColumnMajor(mask.data(), ny, nx)
                         : isocontour::RowMajor(mask.data(), ny, nx);
    bool good = levels.size() >= 2;
    for (std::size_t k = 0; k < levels.size(); ++k)
        good = good && !std::isnan(levels[k]) && (k == 0 || levels[k - 1] < levels[k]);
    const bool one = (flags & kOneBand) && levels.size() >= 2;
    if (one) good = !std::isnan(levels[0]) && !std::isnan(levels[1]) && levels[0] < levels[1];
    if (log && good) { // levels and usable values above 0
        for (std::size_t k = 0; k < (one ? 2 : levels.size()); ++k)
            good = good && levels[k] > T(0);
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                good = good && (view(i, j) > T(0) || std::isnan(view(i, j)) ||
                                (o.mask.Present() && o.mask(i, j)));
    }
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
                int missing = 0;
                for (int c = 0; c < 4; ++c) {
                    const int a = i + (c & 1), b = j + (c >> 1);
                    missing += std::isnan(view(a, b)) || (o.mask.Present() && o.mask(a, b));
                }
                cells += missing == 0 ? 1.0 : o.cornerMask && missing == 1 ? 0.5 : 0.0;
            }
        Check(std::fabs(area - cells) <= 1e-6 * (1 + cells), "the bands do not tile the grid");
    }
    const isocontour::Bands<T> three = call(3);
    Check(three.points == bands.points && three.ringOffsets == bands.ringOffsets &&
              three.polygonOffsets == bands.polygonOffsets &&
              three.bandOffsets == bands.bandOffsets,
          "threads changed the output");

    // The same grid window by window (cut where the input says) joins into the same bands.
    if (!one && nx >= 2 && ny >= 2) {
        const std::ptrdiff_t cx = in.ConsumeIntegral<std::uint8_t>() % nx;
        const std::ptrdiff_t cy = in.ConsumeIntegral<std::uint8_t>() % ny;
        const bool tree = in.ConsumeBool();
        o.threads = 1;
        auto parts = fuzz::ByWindows(view, o, cx, cy, [&](auto v, auto w, const auto& wo) {
            return isocontour::FilledContours(v, w, std::span<const T>(levels), wo);
        });
        const auto joined = fuzz::JoinAll(std::move(parts), tree,
                                          [](auto p) { return isocontour::JoinPolygons(p); });
        const isocontour::Bands<T> w = isocontour::FinishPolygons(joined);
        Check(w.points == bands.points && w.ringOffsets == bands.ringOffsets &&
                  w.polygonOffsets == bands.polygonOffsets && w.bandOffsets == bands.bandOffsets,
              "windows differ from the whole grid");
    }
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
