// Filled bands: the public entry points. Arguments are checked, the cell rows are scanned in
// blocks (one per thread), and each band's pieces become polygons (bands on threads too).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "checks.h"
#include "filled_pieces.h"
#include "strips.h"

namespace isocontour {
namespace {

template <class T>
detail::BandInput<T> Prepare(View<T> values, std::vector<T> levels, const Options<T>& o) {
    const detail::CoordKind kind = detail::CheckArguments(values, o);
    detail::CheckLevels(std::span<const T>(levels));
    for (std::size_t k = 1; k < levels.size(); ++k)
        if (!(levels[k - 1] < levels[k]))
            throw Error("filled levels must increase strictly; level " + std::to_string(k) + " (" +
                        std::to_string(levels[k]) + ") is not above level " +
                        std::to_string(k - 1) + " (" + std::to_string(levels[k - 1]) + ")");
    if (levels.size() > 0xFFFE) throw Error("filled bands take at most 65534 levels");
    detail::BandInput<T> in;
    in.values = values;
    in.levels = std::move(levels);
    in.saddle = o.saddle;
    in.mask = o.mask;
    in.x = o.x;
    in.y = o.y;
    in.coords = kind == detail::CoordKind::Grid          ? 0
                : kind == detail::CoordKind::Rectilinear ? 1
                                                         : 2;
    return in;
}

template <class T>
Bands<T> Fill(const detail::BandInput<T>& in, int kFirst, int kLast, const Options<T>& o) {
    Bands<T> result;
    const std::ptrdiff_t nx = in.values.nx, ny = in.values.ny;
    const int nb = kLast - kFirst + 1;
    const T inf = std::numeric_limits<T>::infinity();
    const auto lowerOf = [&](int k) { return k == 0 ? -inf : in.levels[std::size_t(k - 1)]; };
    const auto upperOf = [&](int k) {
        return std::size_t(k) == in.levels.size() ? inf : in.levels[std::size_t(k)];
    };
    if (nx < 2 || ny < 2 || nb <= 0) {
        for (int k = kFirst; k <= kLast; ++k) {
            result.bandOffsets.push_back(0);
            result.lower.push_back(lowerOf(k));
            result.upper.push_back(upperOf(k));
        }
        return result;
    }
    const unsigned threads =
        o.threads == 0 ? std::max(1u, std::thread::hardware_concurrency()) : unsigned(o.threads);
    const std::vector<detail::RowBand> blocks = detail::SplitRows(ny - 1, nx, o.threads);
    detail::BandPlanes planes;
    planes.g = detail::BitGrid::Of(nx, ny);
    planes.above.reset(new std::uint32_t[in.levels.size() * planes.g.Size()]);
    planes.unusable.reset(new std::uint32_t[planes.g.Size()]);
    std::vector<char> unusable(blocks.size(), 0);
    detail::RunEach(blocks.size(), [&](std::size_t b) {
        // Block b classifies its cells' lower rows of nodes, the last block the top row too.
        bool any = false;
        const std::ptrdiff_t end = b + 1 == blocks.size() ? ny : blocks[b].y1;
        detail::ClassifyBands(in, planes, blocks[b].y0, end, any);
        unusable[b] = any;
    });
    for (const char u : unusable)
        planes.anyUnusable = planes.anyUnusable || u;
    std::vector<std::vector<detail::BandPieces<T>>> perBlock(blocks.size());
    detail::RunEach(blocks.size(), [&](std::size_t b) {
        detail::ScanBands(in, planes, kFirst, kLast, blocks[b].y0, blocks[b].y1, perBlock[b]);
    });
    std::vector<Bands<T>> bands(static_cast<std::size_t>(nb));
    const auto assemble = [&](int band) {
        std::vector<detail::BandPieces<T>> parts;
        for (auto& b : perBlock)
            parts.push_back(std::move(b[std::size_t(band)]));
        detail::BandPieces<T> pieces = detail::JoinBlocks(parts);
        detail::AssembleBand(pieces, ny, lowerOf(kFirst + band), upperOf(kFirst + band),
                             bands[std::size_t(band)]);
    };
    const unsigned workers = std::min<unsigned>(threads, unsigned(nb));
    detail::RunEach(workers, [&](std::size_t w) {
        for (std::size_t b = w; b < std::size_t(nb); b += workers)
            assemble(int(b));
    });
    if (nb == 1) return std::move(bands[0]);
    std::size_t points = 0, rings = 0, polygons = 0;
    for (const auto& b : bands) {
        points += b.points.size();
        rings += b.ringOffsets.size() - 1;
        polygons += b.polygonOffsets.size() - 1;
    }
    result.points.reserve(points);
    result.ringOffsets.reserve(rings + 1);
    result.polygonOffsets.reserve(polygons + 1);
    for (const auto& b : bands) {
        const std::int64_t p0 = std::int64_t(result.points.size());
        const std::int64_t r0 = std::int64_t(result.ringOffsets.size() - 1);
        const std::int64_t g0 = std::int64_t(result.polygonOffsets.size() - 1);
        result.points.insert(result.points.end(), b.points.begin(), b.points.end());
        for (std::size_t k = 1; k < b.ringOffsets.size(); ++k)
            result.ringOffsets.push_back(b.ringOffsets[k] + p0);
        for (std::size_t k = 1; k < b.polygonOffsets.size(); ++k)
            result.polygonOffsets.push_back(b.polygonOffsets[k] + r0);
        result.bandOffsets.push_back(b.bandOffsets[1] + g0);
        result.lower.push_back(b.lower[0]);
        result.upper.push_back(b.upper[0]);
    }
    return result;
}

} // namespace

template <class T>
Bands<T> FilledContours(View<T> values, T lower, T upper, const Options<T>& options) {
    if (std::isnan(lower) || std::isnan(upper)) throw Error("a filled band's level is NaN");
    if (!(lower < upper))
        throw Error("the lower level must be below the upper one (" + std::to_string(lower) +
                    " >= " + std::to_string(upper) + ")");
    const auto in = Prepare(values, std::vector<T>{lower, upper}, options);
    return Fill(in, 1, 1, options);
}

template <class T>
Bands<T> FilledContours(View<T> values, std::span<const T> levels, const Options<T>& options) {
    if (levels.size() < 2) throw Error("filled bands need at least two levels");
    const auto in = Prepare(values, std::vector<T>(levels.begin(), levels.end()), options);
    const int n = int(levels.size());
    return options.openBands ? Fill(in, 0, n, options) : Fill(in, 1, n - 1, options);
}

template <class T>
std::vector<std::vector<std::vector<Point<T>>>> SplitPolygons(const Bands<T>& bands) {
    std::vector<std::vector<std::vector<Point<T>>>> polygons(bands.PolygonCount());
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        for (auto r = bands.polygonOffsets[p]; r < bands.polygonOffsets[p + 1]; ++r) {
            const auto a = bands.ringOffsets[std::size_t(r)];
            const auto b = bands.ringOffsets[std::size_t(r) + 1];
            polygons[p].emplace_back(bands.points.begin() + a, bands.points.begin() + b);
        }
    }
    return polygons;
}

#define CONTOUR_FILLED(T)                                                                          \
    template Bands<T> FilledContours(View<T>, T, T, const Options<T>&);                            \
    template Bands<T> FilledContours(View<T>, std::span<const T>, const Options<T>&);              \
    template std::vector<std::vector<std::vector<Point<T>>>> SplitPolygons(const Bands<T>&);
CONTOUR_FILLED(float)
CONTOUR_FILLED(double)
#undef CONTOUR_FILLED

} // namespace isocontour
