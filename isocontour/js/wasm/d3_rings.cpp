// d3-contour's polygons from the library's filled bands. The values are thresholded into ones and
// zeros inside a frame of zeros, so the band above 0.5 has d3's rings exactly: every crossing at
// the middle of its edge (d3's unsmoothed points), the frame closing rings along the grid's edge,
// and saddles joined around their inside corners (the engine's Saddle::Below). Each point is then
// moved along its edge by d3's own smoothing formula in d3's own arithmetic, so the coordinates
// are d3's to the bit. The engine already knows each hole's exterior; d3's point-in-ring search
// is kept for the rare ring whose smoothed area disagrees with its place (rings collapsed onto
// values exactly at the threshold).
#include "d3_rings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace isocontour::js {
namespace {

// d3's reading of a value while smoothing: anything not a number is -Infinity.
double Valid(double v) { return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v; }

double Sign(double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : v; } // Math.sign: keeps 0, -0, NaN

// d3's smooth1: where the level lies between v0 (at x - 0.5) and v1 (at x + 0.5).
double Smooth1(double x, double v0, double v1, double value) {
    const double a = value - v0;
    const double b = v1 - v0;
    const double d = std::isfinite(a) || std::isfinite(b) ? a / b : Sign(a) / Sign(b);
    return std::isnan(d) ? x : x + d - 0.5;
}

// d3's area: positive for its exteriors (clockwise with y up, as pixels run down the screen).
double Area(std::span<const double> ring) {
    const std::size_t n = ring.size() / 2;
    double area = ring[2 * n - 1] * ring[0] - ring[2 * n - 2] * ring[1];
    for (std::size_t i = 1; i < n; ++i)
        area += ring[2 * i - 1] * ring[2 * i] - ring[2 * i - 2] * ring[2 * i + 1];
    return area;
}

// d3's ringContains and contains, kept as they are (a point on a segment counts as neither).
bool SegmentContains(const double* a, const double* b, const double* c) {
    const bool collinear = (b[0] - a[0]) * (c[1] - a[1]) == (c[0] - a[0]) * (b[1] - a[1]);
    const int i = a[0] == b[0] ? 1 : 0;
    return collinear && ((a[i] <= c[i] && c[i] <= b[i]) || (b[i] <= c[i] && c[i] <= a[i]));
}

// The ring as d3 holds it repeats its start point, and d3's test of the zero-length segment
// there counts any point at that point's y as on the ring: so d3's answer depends on where d3
// started the ring (start, an index into ring's points).
int RingContains(std::span<const double> ring, std::size_t start, const double* p) {
    const double x = p[0], y = p[1];
    if (y == ring[2 * start + 1]) return 0;
    int contains = -1;
    for (std::size_t k = 2; k < ring.size(); k += 2) {
        const double *pi = &ring[k], *pj = &ring[k - 2];
        if (SegmentContains(pi, pj, p)) return 0;
        if (((pi[1] > y) != (pj[1] > y)) &&
            (x < (pj[0] - pi[0]) * (y - pi[1]) / (pj[1] - pi[1]) + pi[0]))
            contains = -contains;
    }
    return contains;
}

int Contains(std::span<const double> ring, std::size_t start, std::span<const double> hole) {
    for (std::size_t k = 0; k < hole.size(); k += 2)
        if (const int c = RingContains(ring, start, &hole[k])) return c;
    return 0;
}

// Where d3's scan meets the segment from a to b (d3's unsmoothed coordinates): its cell, rows
// from y = -1 and cells from x = -1, and in a saddle cell the segment by the left edge first.
std::uint64_t SegmentKey(const double* a, const double* b, std::ptrdiff_t dx) {
    const double cx = std::floor((a[0] + b[0]) / 2 - 0.5), cy = std::floor((a[1] + b[1]) / 2 - 0.5);
    const bool left = a[0] == cx + 0.5 || b[0] == cx + 0.5;
    const auto cell = std::uint64_t((cy + 1) * double(dx + 1) + (cx + 1));
    return cell * 2 + (left ? 0 : 1);
}

// When d3's scan closes a ring: at the last of its segments.
std::uint64_t CloseKey(std::span<const double> ring, std::ptrdiff_t dx) {
    std::uint64_t key = 0;
    for (std::size_t k = 2; k < ring.size(); k += 2)
        key = std::max(key, SegmentKey(&ring[k - 2], &ring[k], dx));
    return key;
}

// The point d3's ring starts at (an index into ring, a closed ring of unsmoothed points in d3's
// winding): d3's stitching replayed on the ring's segments in scan order, keeping only each
// fragment's ends.
std::size_t D3Start(std::span<const double> ring, std::ptrdiff_t dx, D3Scratch& s) {
    const std::size_t n = ring.size() / 2 - 1; // segment k runs from point k to point k + 1
    s.segments.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        s.segments[k] = {SegmentKey(&ring[2 * k], &ring[2 * k + 2], dx), std::uint32_t(k)};
    std::sort(s.segments.begin(), s.segments.end());
    constexpr std::uint32_t none = 0xFFFFFFFF;
    s.byStart.assign(n, none), s.byEnd.assign(n, none); // fragment starting or ending at a point
    s.starts.clear(), s.ends.clear();
    for (const auto& [key, k] : s.segments) {
        const std::uint32_t a = k, b = std::uint32_t((k + 1) % n);
        if (const std::uint32_t f = s.byEnd[a]; f != none) {
            s.byEnd[a] = none;
            if (const std::uint32_t g = s.byStart[b]; g != none) {
                if (f == g) return s.starts[f];
                s.byStart[b] = none;
                s.ends[f] = s.ends[g];
                s.byEnd[s.ends[f]] = f;
            } else {
                s.ends[f] = b;
                s.byEnd[b] = f;
            }
        } else if (const std::uint32_t f2 = s.byStart[b]; f2 != none) {
            s.byStart[b] = none;
            s.starts[f2] = a;
            s.byStart[a] = f2;
        } else {
            s.byStart[a] = s.byEnd[b] = std::uint32_t(s.starts.size());
            s.starts.push_back(a), s.ends.push_back(b);
        }
    }
    return 0; // not reached: the last segment closes the ring
}

} // namespace

void D3Polygons::Clear() {
    points.clear();
    ringOffsets.assign(1, 0);
    polygonOffsets.assign(1, 0);
    thresholdOffsets.assign(1, 0);
}

template <class T>
void D3Contour(const T* values, std::ptrdiff_t dx, std::ptrdiff_t dy, double threshold, bool smooth,
               D3Scratch& s, D3Polygons& out) {
    if (std::isnan(threshold)) throw Error("invalid value: NaN");
    const auto emptyThreshold = [&] {
        out.thresholdOffsets.push_back(out.thresholdOffsets.back());
    };
    if (dx <= 0 || dy <= 0) return emptyThreshold();

    // Inside (1) or not (0), framed by zeros: d3's "outside the grid is below".
    const std::ptrdiff_t w = dx + 2, h = dy + 2;
    s.inside.resize(std::size_t(w * h));
    float* in = s.inside.data();
    std::fill(in, in + w, 0.0f);
    std::fill(in + (h - 1) * w, in + h * w, 0.0f);
    // value >= threshold in T: for float values, against the least float not below the
    // threshold, which decides every float alike and lets the loop run four lanes at a time.
    T at;
    if constexpr (sizeof(T) == sizeof(double)) {
        at = T(threshold);
    } else {
        constexpr double top = std::numeric_limits<float>::max();
        // A finite threshold past the floats' range is above (or below) every finite float.
        at = threshold > top                             ? std::numeric_limits<float>::infinity()
             : threshold < -top && threshold > -HUGE_VAL ? -std::numeric_limits<float>::max()
                                                         : float(threshold);
        if (double(at) < threshold) at = std::nextafter(at, std::numeric_limits<float>::infinity());
    }
    for (std::ptrdiff_t j = 0; j < dy; ++j) {
        float* row = in + (j + 1) * w;
        const T* v = values + j * dx;
        row[0] = row[dx + 1] = 0.0f;
        for (std::ptrdiff_t i = 0; i < dx; ++i)
            row[i + 1] = v[i] >= at ? 1.0f : 0.0f;
    }
    Options<float> options;
    options.saddle = Saddle::Below;
    FilledContours(RowMajor(in, h, w), 0.5f, 1.5f, options, s.bands, s.work);

    // Every ring in d3's coordinates, reversed to d3's winding, smoothed, with its closing key.
    const Bands<float>& b = s.bands;
    std::vector<double>& pts = out.points;
    const std::size_t base = pts.size();
    constexpr std::uint32_t none = 0xFFFFFFFF;
    s.rings.clear();
    for (std::size_t p = 0; p + 1 < b.polygonOffsets.size(); ++p) {
        const auto outer = std::int32_t(s.rings.size());
        for (auto r = b.polygonOffsets[p]; r < b.polygonOffsets[p + 1]; ++r) {
            const auto first = std::uint32_t(pts.size() / 2);
            for (auto k = b.ringOffsets[std::size_t(r) + 1]; k-- > b.ringOffsets[std::size_t(r)];) {
                pts.push_back(double(b.points[std::size_t(k)].x) - 0.5);
                pts.push_back(double(b.points[std::size_t(k)].y) - 0.5);
            }
            const auto end = std::uint32_t(pts.size() / 2);
            const std::span<double> ring(pts.data() + 2 * std::size_t(first), 2 * (end - first));
            const std::uint64_t key = CloseKey(ring, dx);
            if (smooth)
                for (std::size_t k = 0; k < ring.size(); k += 2) {
                    const double x = ring[k], y = ring[k + 1];
                    const auto xt = std::ptrdiff_t(x), yt = std::ptrdiff_t(y);
                    if (x > 0 && x < double(dx) && double(xt) == x)
                        ring[k] = Smooth1(x, Valid(double(values[yt * dx + xt - 1])),
                                          Valid(double(values[yt * dx + xt])), threshold);
                    if (y > 0 && y < double(dy) && double(yt) == y)
                        ring[k + 1] = Smooth1(y, Valid(double(values[(yt - 1) * dx + xt])),
                                              Valid(double(values[yt * dx + xt])), threshold);
                }
            s.rings.push_back({first, end, key, r == b.polygonOffsets[p] ? -1 : outer,
                               std::uint32_t(r), none, Area(ring) > 0});
        }
    }

    // d3's order: rings as its scan closes them; exteriors become polygons in that order, and
    // each hole joins the first of them that contains it (the engine's exterior, unless that ring
    // is no exterior to d3).
    s.order.resize(s.rings.size());
    for (std::size_t k = 0; k < s.order.size(); ++k)
        s.order[k] = std::uint32_t(k);
    std::sort(s.order.begin(), s.order.end(),
              [&](std::uint32_t a, std::uint32_t c) { return s.rings[a].key < s.rings[c].key; });
    s.polygons.clear();
    s.owner.assign(s.rings.size(), none); // a ring's polygon: its own for an exterior
    for (const std::uint32_t r : s.order)
        if (s.rings[r].exterior) {
            s.owner[r] = std::uint32_t(s.polygons.size());
            s.polygons.push_back(r);
        }
    const auto span = [&](std::uint32_t r) {
        return std::span<const double>(pts.data() + 2 * std::size_t(s.rings[r].first),
                                       2 * std::size_t(s.rings[r].end - s.rings[r].first));
    };
    // Where d3 started an exterior, needed only where d3's point test decides.
    const auto D3StartOf = [&](std::uint32_t r) {
        D3Scratch::Ring& ring = s.rings[r];
        if (ring.start == none) {
            s.unsmoothed.clear();
            for (auto k = b.ringOffsets[ring.engine + 1]; k-- > b.ringOffsets[ring.engine];) {
                s.unsmoothed.push_back(double(b.points[std::size_t(k)].x) - 0.5);
                s.unsmoothed.push_back(double(b.points[std::size_t(k)].y) - 0.5);
            }
            ring.start = std::uint32_t(D3Start(s.unsmoothed, dx, s));
        }
        return std::size_t(ring.start);
    };
    for (const std::uint32_t r : s.order) {
        const D3Scratch::Ring& ring = s.rings[r];
        if (ring.exterior) continue;
        if (ring.outer >= 0 && s.rings[std::size_t(ring.outer)].exterior) {
            s.owner[r] = s.owner[std::size_t(ring.outer)];
            continue;
        }
        for (std::uint32_t p = 0; p < s.polygons.size(); ++p)
            if (Contains(span(s.polygons[p]), D3StartOf(s.polygons[p]), span(r)) != -1) {
                s.owner[r] = p;
                break;
            }
    }

    // Out in that order: each polygon's exterior, then its holes as d3 met them (a hole no
    // exterior contains is dropped, as d3 drops it).
    s.holeStart.assign(s.polygons.size() + 1, 0);
    for (const std::uint32_t r : s.order)
        if (!s.rings[r].exterior && s.owner[r] != none) ++s.holeStart[s.owner[r] + 1];
    for (std::size_t p = 1; p < s.holeStart.size(); ++p)
        s.holeStart[p] += s.holeStart[p - 1];
    s.holes.resize(s.holeStart.back());
    for (const std::uint32_t r : s.order)
        if (!s.rings[r].exterior && s.owner[r] != none) s.holes[s.holeStart[s.owner[r]]++] = r;
    s.moved.assign(pts.begin() + std::ptrdiff_t(base), pts.end());
    pts.resize(base);
    const auto emit = [&](std::uint32_t r) {
        const D3Scratch::Ring& ring = s.rings[r];
        const auto from = s.moved.begin() + 2 * std::ptrdiff_t(ring.first - base / 2);
        pts.insert(pts.end(), from, from + 2 * std::ptrdiff_t(ring.end - ring.first));
        out.ringOffsets.push_back(std::uint32_t(pts.size() / 2));
    };
    for (std::uint32_t p = 0, h = 0; p < s.polygons.size(); ++p) {
        emit(s.polygons[p]);
        for (; h < s.holeStart[p]; ++h)
            emit(s.holes[h]);
        out.polygonOffsets.push_back(std::uint32_t(out.ringOffsets.size() - 1));
    }
    out.thresholdOffsets.push_back(std::uint32_t(out.polygonOffsets.size() - 1));
}

template void D3Contour(const float*, std::ptrdiff_t, std::ptrdiff_t, double, bool, D3Scratch&,
                        D3Polygons&);
template void D3Contour(const double*, std::ptrdiff_t, std::ptrdiff_t, double, bool, D3Scratch&,
                        D3Polygons&);

} // namespace isocontour::js
