// Filled bands: the public entry points. Arguments are checked, the cell rows are scanned in
// strips (one per thread), each classifying its rows as it goes, and each band's pieces become
// polygons (bands on threads too).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "checks.h"
#include "filled_pieces.h"
#include "level_groups.h"
#include "pages.h"
#include "strips.h"
#include "value_types.h"
#include "workspace.h"

namespace isocontour {
namespace detail {

template <class T>
BandInput<T> PrepareBands(View<T> values, const Options<T>& o, FilledScratch<T>& m) {
    const std::vector<T>& levels = m.levels;
    CheckLevels(std::span<const T>(levels));
    const CoordKind kind = CheckArguments(values, o);
    CheckInterpolation(values, std::span<const T>(levels), o);
    for (std::size_t k = 1; k < levels.size(); ++k)
        if (!(levels[k - 1] < levels[k]))
            throw Error("filled levels must increase strictly; level " + std::to_string(k) + " (" +
                        std::to_string(levels[k]) + ") is not above level " +
                        std::to_string(k - 1) + " (" + std::to_string(levels[k - 1]) + ")");
    if (levels.size() > 0xFFFE) throw Error("filled bands take at most 65534 levels");
    BandInput<T> in;
    in.values = values;
    in.levels = std::span<const T>(levels);
    in.rules = Rules<T>::Of(o);
    in.cornerMask = o.cornerMask;
    m.logs.clear();
    if (in.rules.log)
        for (const T l : levels)
            m.logs.push_back(std::log(l));
    in.logs = std::span<const T>(m.logs);
    in.mask = o.mask;
    in.x = o.x;
    in.y = o.y;
    in.kind = kind;
    in.frame = WholeView(values.nx, values.ny);
    return in;
}
#define ISOCONTOUR_PREPARE(T)                                                                      \
    template BandInput<T> PrepareBands(View<T>, const Options<T>&, FilledScratch<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_PREPARE)
#undef ISOCONTOUR_PREPARE

} // namespace detail

namespace {

using namespace detail;

template <class T> void Clear(Bands<T>& out) {
    out.points.clear();
    out.ringOffsets.assign(1, 0);
    out.polygonOffsets.assign(1, 0);
    out.bandOffsets.assign(1, 0);
    out.lower.clear();
    out.upper.clear();
}

// Appends band b's polygons to out, whose numbering they continue.
template <class T> void Append(const Bands<T>& b, Bands<T>& out) {
    const std::int64_t p0 = std::int64_t(out.points.size());
    const std::int64_t r0 = std::int64_t(out.ringOffsets.size() - 1);
    const std::int64_t g0 = std::int64_t(out.polygonOffsets.size() - 1);
    out.points.insert(out.points.end(), b.points.begin(), b.points.end());
    for (std::size_t k = 1; k < b.ringOffsets.size(); ++k)
        out.ringOffsets.push_back(b.ringOffsets[k] + p0);
    for (std::size_t k = 1; k < b.polygonOffsets.size(); ++k)
        out.polygonOffsets.push_back(b.polygonOffsets[k] + r0);
    out.bandOffsets.push_back(b.bandOffsets[1] + g0);
    out.lower.push_back(b.lower[0]);
    out.upper.push_back(b.upper[0]);
}

// Appends bands kFirst .. kLast to out; later: the points the bands after them are estimated to
// add, so that out's points are sized once.
template <class T>
void Fill(const BandInput<T>& in, int kFirst, int kLast, const Options<T>& o, double later,
          Bands<T>& out, FilledScratch<T>& m) {
    const std::ptrdiff_t nx = in.values.nx, ny = in.values.ny;
    const int nb = kLast - kFirst + 1;
    const T inf = std::numeric_limits<T>::infinity();
    const auto lowerOf = [&](int k) { return k == 0 ? -inf : in.levels[std::size_t(k - 1)]; };
    const auto upperOf = [&](int k) {
        return std::size_t(k) == in.levels.size() ? inf : in.levels[std::size_t(k)];
    };
    if (nx < 2 || ny < 2 || nb <= 0) {
        for (int k = kFirst; k <= kLast; ++k) {
            out.bandOffsets.push_back(0);
            out.lower.push_back(lowerOf(k));
            out.upper.push_back(upperOf(k));
        }
        return;
    }
    SplitRows(ny - 1, nx, o.threads, m.strips);
    const std::size_t ns = m.strips.size();
    if (m.pieces.size() < ns) m.pieces.resize(ns);
    if (m.slots.size() < ns) m.slots.resize(ns);
    if (m.rows.size() < ns) m.rows.resize(ns);
    RunEach(ns, [&](std::size_t s) {
        ScanBands(in, kFirst, kLast, m.strips[s].y0, m.strips[s].y1, m.pieces[s], m.rows[s],
                  m.slots[s]);
    });
    // One strip's pieces are the band's own; several are joined first.
    if (ns > 1 && m.joined.size() < std::size_t(nb)) m.joined.resize(std::size_t(nb));
    const auto pieces = [&](std::size_t band) -> BandPieces<T>& {
        if (ns == 1) return m.pieces[0][band];
        m.parts.clear();
        for (std::size_t s = 0; s < ns; ++s)
            m.parts.push_back(&m.pieces[s][band]);
        JoinStrips(m, m.joined[band]);
        return m.joined[band];
    };
    if (nb == 1) {
        if (m.rings.empty()) m.rings.resize(1);
        BandPieces<T>& band = pieces(0);
        // A ring's points are its pieces' starts and its closing point.
        const std::size_t points = band.next.size() + band.next.size() / 32 + 64;
        ReserveLarge(out.points, out.points.size() + points + std::size_t(later));
        AssembleBand(band, ny, lowerOf(kFirst), upperOf(kFirst), out, m.rings[0]);
        return;
    }
    // Several bands: each into a Bands of its own, on as many threads as were asked for, then
    // one after another into out. The joins share scratch, so they run first, on this thread.
    const unsigned workers = std::min<unsigned>(ThreadsAsked(o.threads), unsigned(nb));
    if (m.rings.size() < workers) m.rings.resize(workers);
    if (m.bands.size() < std::size_t(nb)) m.bands.resize(std::size_t(nb));
    if (ns > 1)
        for (std::size_t b = 0; b < std::size_t(nb); ++b)
            pieces(b);
    RunEach(workers, [&](std::size_t w) {
        for (std::size_t b = w; b < std::size_t(nb); b += workers) {
            Bands<T>& band = m.bands[b];
            Clear(band);
            BandPieces<T>& p = ns == 1 ? m.pieces[0][b] : m.joined[b];
            AssembleBand(p, ny, lowerOf(kFirst + int(b)), upperOf(kFirst + int(b)), band,
                         m.rings[w]);
        }
    });
    std::size_t points = 0, rings = 0, polygons = 0;
    for (std::size_t b = 0; b < std::size_t(nb); ++b) {
        points += m.bands[b].points.size();
        rings += m.bands[b].ringOffsets.size() - 1;
        polygons += m.bands[b].polygonOffsets.size() - 1;
    }
    ReserveLarge(out.points, out.points.size() + points + std::size_t(later));
    ReserveLarge(out.ringOffsets, out.ringOffsets.size() + rings);
    ReserveLarge(out.polygonOffsets, out.polygonOffsets.size() + polygons);
    for (std::size_t b = 0; b < std::size_t(nb); ++b)
        Append(m.bands[b], out);
}

// The checked levels into the workspace, then the bands, a group at a time: all in one unless
// their pieces may outgrow the budget, and then by the estimate of their levels' crossings (a
// band's pieces begin at the crossings of its two levels). A group reads only its own levels.
template <class T>
void Run(View<T> values, std::span<const T> levels, bool open, const Options<T>& options,
         Bands<T>& out, Workspace& work) {
    FilledScratch<T>& m = work.Own().Of<T>().filled;
    m.levels.assign(levels.begin(), levels.end());
    const BandInput<T> in = PrepareBands(values, options, m);
    Clear(out);
    const int n = int(levels.size()), kFirst = open ? 0 : 1, kLast = open ? n : n - 1;
    const std::size_t nodes = std::size_t(values.nx) * std::size_t(values.ny);
    // A piece's start, its grid point where that is not the output's, its link; and while its
    // band is assembled, a copy of its start and five numbers.
    const std::size_t bytes =
        sizeof(Point<T>) * (in.kind == CoordKind::Grid ? 2 : 3) + 6 * sizeof(std::int64_t);
    const std::size_t budget = CrossingBudget(nodes * sizeof(T), bytes);
    m.weights.clear();
    m.groups.assign(1, std::size_t(kLast - kFirst + 1));
    if (kLast > kFirst && 4 * nodes * std::size_t(kLast - kFirst + 1) > budget) {
        EstimateCrossings(values, in.levels, m.estimate);
        for (int k = kFirst; k <= kLast; ++k)
            m.weights.push_back((k > 0 ? m.estimate[std::size_t(k - 1)] : 0.0) +
                                (k < n ? m.estimate[std::size_t(k)] : 0.0));
        // Each thread assembles a band of the group at a time: at least one band per thread.
        GroupByWeight(m.weights, double(budget), ThreadsAsked(options.threads), m.groups);
    }
    std::size_t first = 0;
    for (const std::size_t end : m.groups) {
        // Bands a .. b need levels a - 1 .. b, as far as there are such.
        const int a = kFirst + int(first), b = kFirst + int(end) - 1;
        const std::size_t lo = std::size_t(std::max(a - 1, 0)),
                          hi = std::size_t(std::min(b, n - 1)) + 1;
        BandInput<T> group = in;
        group.levels = in.levels.subspan(lo, hi - lo);
        if (!in.logs.empty()) group.logs = in.logs.subspan(lo, hi - lo);
        double later = 0; // with an eighth more, as the estimate may fall short
        for (std::size_t k = end; k < m.weights.size(); ++k)
            later += m.weights[k] * 1.125;
        Fill(group, a - int(lo), b - int(lo), options, later, out, m);
        first = end;
    }
}

} // namespace

template <class T>
void FilledContours(View<T> values, T lower, T upper, const Options<T>& options, Bands<T>& out,
                    Workspace& work) {
    if (std::isnan(lower) || std::isnan(upper)) throw Error("a filled band's level is NaN");
    if (!(lower < upper))
        throw Error("the lower level must be below the upper one (" + std::to_string(lower) +
                    " >= " + std::to_string(upper) + ")");
    const T levels[2] = {lower, upper};
    Run(values, std::span<const T>(levels), false, options, out, work);
}

template <class T>
void FilledContours(View<T> values, std::span<const T> levels, const Options<T>& options,
                    Bands<T>& out, Workspace& work) {
    if (levels.size() < 2) throw Error("filled bands need at least two levels");
    Run(values, levels, options.openBands, options, out, work);
}

template <class T>
Bands<T> FilledContours(View<T> values, T lower, T upper, const Options<T>& options) {
    Bands<T> out;
    Workspace work;
    FilledContours(values, lower, upper, options, out, work);
    return out;
}

template <class T>
Bands<T> FilledContours(View<T> values, std::span<const T> levels, const Options<T>& options) {
    Bands<T> out;
    Workspace work;
    FilledContours(values, levels, options, out, work);
    return out;
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

#define ISOCONTOUR_FILLED(T)                                                                       \
    template Bands<T> FilledContours(View<T>, T, T, const Options<T>&);                            \
    template Bands<T> FilledContours(View<T>, std::span<const T>, const Options<T>&);              \
    template void FilledContours(View<T>, T, T, const Options<T>&, Bands<T>&, Workspace&);         \
    template void FilledContours(View<T>, std::span<const T>, const Options<T>&, Bands<T>&,        \
                                 Workspace&);                                                      \
    template std::vector<std::vector<std::vector<Point<T>>>> SplitPolygons(const Bands<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_FILLED)
#undef ISOCONTOUR_FILLED

} // namespace isocontour
