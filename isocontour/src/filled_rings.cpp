// Filled bands: a band's linked boundary pieces become polygons. Pieces meeting at a keyed
// vertex are paired by angle, so that each ring turns into its own corner of the band there;
// a ring that still passes one vertex twice (two parts of the band touching at a point) is
// split there into simple rings; counter-clockwise rings (in grid units) are outer rings, and
// each clockwise one is a hole of the innermost outer ring around it, found by casting a ray
// along the cell row it lies in.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>

#include "checks.h"
#include "filled_pieces.h"
#include "filled_rings.h"
#include "pages.h"
#include "ray_probe.h"
#include "twofold.h"
#include "value_types.h"

namespace isocontour::detail {

constexpr std::uint64_t kNone = kNoVertex;

// Links the pieces at keyed vertices; leaves in r.multi, per piece, the key of the vertex it
// starts at when several band corners meet there (kNone elsewhere), or nothing if none do.
template <class T> void LinkKeyed(BandPieces<T>& p, RingScratch<T>& r) {
    auto& ends = p.keyed;
    std::sort(ends.begin(), ends.end(), [](const auto& a, const auto& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.piece != b.piece) return a.piece < b.piece;
        return a.out < b.out;
    });
    auto& multi = r.multi;
    auto& around = r.around;
    auto& used = r.used;
    multi.clear();
    for (std::size_t g = 0; g < ends.size();) {
        std::size_t h = g;
        while (h < ends.size() && ends[h].key == ends[g].key)
            ++h;
        if (h - g == 2 && ends[g].out != ends[g + 1].out) {
            const auto& in = ends[g].out ? ends[g + 1] : ends[g];
            const auto& out = ends[g].out ? ends[g] : ends[g + 1];
            p.next[std::size_t(in.piece)] = out.piece;
        } else {
            // Clockwise around the vertex, each arriving piece leaves by the first departing
            // one: the band's corner lies between them.
            around.clear();
            for (std::size_t e = g; e < h; ++e)
                around.push_back({std::atan2(double(ends[e].far.y) - double(ends[e].at.y),
                                             double(ends[e].far.x) - double(ends[e].at.x)),
                                  e});
            // Along one direction an arriving piece comes first: a piece that goes back the
            // way another came (a band of no width, between nodes exactly at a level) then
            // closes a ring of no area with it, which is dropped.
            std::sort(around.begin(), around.end(), [&](const auto& a, const auto& b) {
                if (a.first != b.first) return a.first > b.first;
                const bool ao = ends[a.second].out, bo = ends[b.second].out;
                if (ao != bo) return bo;
                return a.second < b.second;
            });
            used.assign(around.size(), 0);
            // A piece that goes straight back along one that arrived (the same far end) leaves
            // by it first: the band lies on both sides of that segment (a crack of no width,
            // as where two triangles of a corner mask meet along a cell edge exactly at a level),
            // and the two close a ring of no area, so that the band's parts on either side join.
            for (std::size_t a = 0; a < around.size(); ++a) {
                const auto& in = ends[around[a].second];
                if (in.out) continue;
                for (std::size_t b = a + 1; b < around.size() && around[b].first == around[a].first;
                     ++b) {
                    const auto& out = ends[around[b].second];
                    if (!out.out || used[b] || !(out.far == in.far)) continue;
                    used[a] = used[b] = 1;
                    p.next[std::size_t(in.piece)] = out.piece;
                    break;
                }
            }
            for (std::size_t a = 0; a < around.size(); ++a) {
                const auto& in = ends[around[a].second];
                if (in.out || used[a]) continue;
                for (std::size_t step = 1; step < around.size(); ++step) {
                    const std::size_t b = (a + step) % around.size();
                    const auto& out = ends[around[b].second];
                    if (!out.out || used[b]) continue;
                    used[b] = 1;
                    p.next[std::size_t(in.piece)] = out.piece;
                    break;
                }
            }
            if (multi.empty()) multi.assign(p.next.size(), kNone);
            for (std::size_t e = g; e < h; ++e)
                if (ends[e].out) multi[std::size_t(ends[e].piece)] = ends[e].key;
        }
        g = h;
    }
}

namespace {

// Twice the signed area of a ring of points given by at(k), k = 0 .. n - 1, from their
// differences to the first point in long double: a ring a few units in the last place across
// (beside a node whose value is far from its neighbours') keeps the sign of its area, which the
// points' own coordinates, a hundred thousand times larger, would round away. Where long double
// is emulated, the same in twice a double's precision (more than x87's long double has).
template <class At> long double TwiceArea(std::size_t n, At at) {
    if constexpr (!kNativeLongDouble) {
        Twofold twice;
        const double ox = at(0).x, oy = at(0).y;
        for (std::size_t k = 1; k + 1 < n; ++k) {
            const Twofold ax = TwoSum(at(k).x, -ox), ay = TwoSum(at(k).y, -oy);
            const Twofold bx = TwoSum(at(k + 1).x, -ox), by = TwoSum(at(k + 1).y, -oy);
            twice = twice + (ax * by - bx * ay);
        }
        // Coordinates near the double's range overflow the exact products: long double then.
        if (std::isfinite(twice.hi)) return (long double)twice.hi + (long double)twice.lo;
    }
    long double twice = 0;
    const long double ox = at(0).x, oy = at(0).y;
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const long double ax = at(k).x - ox, ay = at(k).y - oy;
        const long double bx = at(k + 1).x - ox, by = at(k + 1).y - oy;
        twice += ax * by - bx * ay;
    }
    return twice;
}

} // namespace

template <class T> double GridArea(const BandPieces<T>& p, std::span<const std::int64_t> ring) {
    const long double twice =
        TwiceArea(ring.size(), [&](std::size_t k) { return p.Grid(std::size_t(ring[k])); });
    // A value of no area keeps its sign where the double's range would lose it.
    return twice == 0  ? 0.0
           : twice > 0 ? std::max(double(twice / 2), 1e-300)
                       : std::min(double(twice / 2), -1e-300);
}

namespace {

// The walk proper, over a copy of the links in Link (32 bits where the pieces are few enough).
// Each step waits on the load of the last step's link, so the walk runs at the memory's latency
// and what it costs is the cache lines it touches: the copy has half the links' bytes, and a
// piece is marked walked by overwriting its own link (with -1), on the line the step has just
// loaded, instead of in an array of flags.
template <class Link, class T>
Rings WalkLinks(const BandPieces<T>& p, RingScratch<T>& r, const std::uint8_t* skip,
                Buffer<Link>& links) {
    Rings rings{r.pieces, r.start, r.splits};
    rings.pieces.clear();
    rings.start.assign(1, 0);
    rings.splits.clear();
    const auto& multi = r.multi;
    const std::size_t n = p.next.size();
    links.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const bool skipped = skip && skip[k];
        ISOCONTOUR_CHECK(skipped || p.next[k] >= 0,
                         "every boundary piece has one successor and one predecessor");
        links[k] = skipped ? Link(-1) : Link(p.next[k]);
    }
    auto& walk = r.walk;
    auto& stack = r.stack;
    auto& open = r.open; // vertex key, position
    r.walkOf.clear();
    for (std::size_t s = 0; s < n; ++s) {
        if (links[s] < 0) continue;
        walk.clear();
        bool pinched = false;
        Link q = Link(s);
        do {
            const Link following = links[std::size_t(q)];
            // Already walked (or skipped): a second piece leads here.
            ISOCONTOUR_CHECK(following >= 0,
                             "every boundary piece has one successor and one predecessor");
            links[std::size_t(q)] = Link(-1);
            walk.push_back(std::int64_t(q));
            pinched = pinched || (!multi.empty() && multi[std::size_t(q)] != kNone);
            q = following;
        } while (q != Link(s));
        if (!pinched) {
            rings.pieces.insert(rings.pieces.end(), walk.begin(), walk.end());
            rings.Close();
            r.walkOf.push_back(std::int64_t(s));
            continue;
        }
        stack.clear();
        open.clear();
        for (const std::int64_t piece : walk) {
            const std::uint64_t key = multi[std::size_t(piece)];
            if (key != kNone) {
                auto it = std::find_if(open.begin(), open.end(),
                                       [key](const auto& o) { return o.first == key; });
                if (it != open.end()) {
                    // Back at this vertex: what the walk did since is a ring of its own.
                    rings.pieces.insert(rings.pieces.end(),
                                        stack.begin() + std::ptrdiff_t(it->second), stack.end());
                    rings.Close();
                    // This piece carries on the ring the loop was split from.
                    rings.splits.push_back({rings.Count() - 1, piece});
                    stack.resize(it->second);
                    open.erase(it, open.end());
                }
                open.push_back({key, stack.size()});
            }
            stack.push_back(piece);
        }
        rings.pieces.insert(rings.pieces.end(), stack.begin(), stack.end());
        rings.Close();
        r.walkOf.resize(rings.Count(), std::int64_t(s)); // the walk's rings, split ones too
    }
    return rings;
}

} // namespace

template <class T> Rings Walk(const BandPieces<T>& p, RingScratch<T>& r, const std::uint8_t* skip) {
    if (p.next.size() <= std::size_t(std::numeric_limits<std::int32_t>::max()))
        return WalkLinks(p, r, skip, r.links32);
    return WalkLinks(p, r, skip, r.links64);
}

namespace {

// The middle of a ring's steepest piece, which lies strictly inside the piece's cell row (and is
// never a vertex the ring shares with another), and that piece's rise (0 for a flat ring).
struct Probe {
    Wide x, y;
    double rise;
    std::size_t row;
};
template <class T>
Probe SteepestMiddle(const BandPieces<T>& p, std::span<const std::int64_t> ring) {
    // The rise only picks the piece, and is 0 only for equal ends: a double's is as good.
    std::size_t best = 0;
    double rise = -1;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const Point<T>& a = p.Grid(std::size_t(ring[k]));
        const Point<T>& b = p.Grid(std::size_t(ring[(k + 1) % ring.size()]));
        if (const double d = std::fabs(double(b.y) - double(a.y)); d > rise) rise = d, best = k;
    }
    const Point<T>& a = p.Grid(std::size_t(ring[best]));
    const Point<T>& b = p.Grid(std::size_t(ring[(best + 1) % ring.size()]));
    return {Mid<Wide>::Of(a.x, b.x), Mid<Wide>::Of(a.y, b.y), rise,
            std::size_t(std::floor(std::min(double(a.y), double(b.y))))};
}

} // namespace

// For each hole, the innermost outer ring around it (or -1): a ray from the middle of one of
// the hole's non-horizontal pieces runs towards -x along that piece's cell row, and an outer
// ring crossed an odd number of times surrounds the hole. Pieces stay inside their cell, so
// only the outer rings' pieces in that row are looked at, and of the row's probes only those
// within the ring's span in x: the ray from a point outside it crosses the ring an even number
// of times. (Without that, a row of many small outer rings with holes, islands with a pit each,
// cost the product of its pieces and its holes.)
template <class T>
void HoleOwners(const BandPieces<T>& p, const Rings& rings, std::ptrdiff_t ny, RingScratch<T>& s) {
    const auto& area = s.area;
    auto& owner = s.owner;
    using Query = typename RingScratch<T>::Query;
    auto& queries = s.queries;
    queries.clear();
    for (std::size_t r = 0; r < rings.Count(); ++r) {
        if (!(area[r] < 0) || owner[r] >= 0) continue;
        const Probe h = SteepestMiddle(p, rings.Ring(r));
        if (!(h.rise > 0)) continue;
        queries.push_back({h.x, h.y, h.row, r});
    }
    // By row, and along each by x to the nearest double, which keeps the order of a probe and a
    // point's coordinate (both doubles' bounds of a span included).
    const auto near = [](const Query& q) { return Mid<Wide>::Nearest(q.x); };
    std::sort(queries.begin(), queries.end(), [&](const Query& a, const Query& b) {
        return a.row != b.row ? a.row < b.row : near(a) < near(b);
    });
    auto& rowStart = s.rowStart;
    rowStart.assign(std::size_t(std::max<std::ptrdiff_t>(ny, 1)) + 1, 0);
    for (const Query& q : queries)
        ++rowStart[q.row + 1];
    std::partial_sum(rowStart.begin(), rowStart.end(), rowStart.begin());
    auto& hits = s.hits; // query, outer ring
    hits.clear();
    for (std::size_t r = 0; r < rings.Count(); ++r) {
        if (!(area[r] > 0)) continue;
        const auto ring = rings.Ring(r);
        double left = HUGE_VAL, right = -HUGE_VAL;
        for (const std::int64_t piece : ring) {
            const double x = p.Grid(std::size_t(piece)).x;
            left = std::min(left, x), right = std::max(right, x);
        }
        for (std::size_t k = 0; k < ring.size(); ++k) {
            const Point<T>& a = p.Grid(std::size_t(ring[k]));
            const Point<T>& b = p.Grid(std::size_t(ring[(k + 1) % ring.size()]));
            if (a.y == b.y) continue;
            const std::size_t row = std::size_t(std::floor(std::min(double(a.y), double(b.y))));
            const auto first = queries.begin() + rowStart[row];
            const auto last = queries.begin() + rowStart[row + 1];
            auto q = std::lower_bound(first, last, left,
                                      [&](const Query& h, double x) { return near(h) < x; });
            for (; q != last && near(*q) <= right; ++q)
                if (CrossesRay<Wide>(a.x, a.y, b.x, b.y, q->x, q->y))
                    hits.push_back({std::size_t(q - queries.begin()), r});
        }
    }
    std::sort(hits.begin(), hits.end());
    for (std::size_t g = 0; g < hits.size();) {
        std::size_t h = g;
        while (h < hits.size() && hits[h] == hits[g])
            ++h;
        if ((h - g) % 2 == 1) {
            const std::size_t hole = queries[hits[g].first].hole, outer = hits[g].second;
            std::int64_t& o = owner[hole];
            if (o < 0 || area[outer] < area[std::size_t(o)]) o = std::int64_t(outer);
        }
        g = h;
    }
}

// Whether ring outer encloses ring hole, which touches it at a vertex at most: the middle of the
// hole's steepest piece (never the shared vertex) lies inside outer, by the parity of the
// crossings of a ray towards -x, in grid units.
template <class T>
bool Encloses(const BandPieces<T>& p, std::span<const std::int64_t> outer,
              std::span<const std::int64_t> hole) {
    const Probe h = SteepestMiddle(p, hole);
    bool inside = false;
    for (std::size_t k = 0; k < outer.size(); ++k) {
        const Point<T>& a = p.Grid(std::size_t(outer[k]));
        const Point<T>& b = p.Grid(std::size_t(outer[(k + 1) % outer.size()]));
        inside ^= CrossesRay<Wide>(a.x, a.y, b.x, b.y, h.x, h.y);
    }
    return inside;
}

namespace {

// Whether the path turns straight back at b along one grid line (a and c on the same side of b):
// a spike of no width, left where pieces of both levels ran along one edge out and back.
template <class T> bool Folds(const Point<T>& a, const Point<T>& b, const Point<T>& c) {
    if (a.x == b.x && c.x == b.x) return a.y != b.y && c.y != b.y && (a.y > b.y) == (c.y > b.y);
    if (a.y == b.y && c.y == b.y) return a.x != b.x && c.x != b.x && (a.x > b.x) == (c.x > b.x);
    return false;
}

} // namespace

template <class T>
bool WriteRing(const BandPieces<T>& p, std::span<const std::int64_t> ring, bool ccw,
               Buffer<std::int64_t>& keep, Bands<T>& out) {
    const auto at = [&](std::int64_t k) -> const Point<T>& { return p.from[std::size_t(k)]; };
    const auto grid = [&](std::int64_t k) -> const Point<T>& { return p.Grid(std::size_t(k)); };
    keep.clear();
    for (const std::int64_t piece : ring) {
        if (!keep.empty() && at(keep.back()) == at(piece)) continue;
        while (keep.size() >= 2 &&
               Folds(grid(keep[keep.size() - 2]), grid(keep.back()), grid(piece)))
            keep.pop_back();
        if (!keep.empty() && at(keep.back()) == at(piece)) continue;
        keep.push_back(piece);
    }
    for (bool again = true; again && keep.size() >= 3;) { // across the ring's start
        const std::size_t n = keep.size();
        again = true;
        if (at(keep[n - 1]) == at(keep[0]) ||
            Folds(grid(keep[n - 2]), grid(keep[n - 1]), grid(keep[0])))
            keep.pop_back();
        else if (Folds(grid(keep[n - 1]), grid(keep[0]), grid(keep[1])))
            keep.erase(keep.begin());
        else
            again = false;
    }
    if (keep.size() < 3) return false;
    const std::size_t first = out.points.size();
    for (const std::int64_t piece : keep)
        out.points.push_back(at(piece));
    const long double twice =
        TwiceArea(out.points.size() - first, [&](std::size_t k) { return out.points[first + k]; });
    // Coordinates that run against the grid (a decreasing x, say) mirror every ring.
    if ((twice > 0) != ccw && twice != 0)
        std::reverse(out.points.begin() + std::ptrdiff_t(first) + 1, out.points.end());
    out.points.push_back(out.points[first]);
    out.ringOffsets.push_back(std::int64_t(out.points.size()));
    return true;
}

template <class T>
void AssembleBand(BandPieces<T>& p, std::ptrdiff_t ny, T lower, T upper, Bands<T>& out,
                  RingScratch<T>& s) {
    LinkKeyed(p, s);
    Rings rings = Walk(p, s, nullptr);
    if (!rings.splits.empty()) { // the split rings' pieces as rings, before pieces are renumbered
        auto& ringOf = s.ringOf;
        ringOf.assign(p.next.size(), -1);
        for (std::size_t r = 0; r < rings.Count(); ++r)
            for (const std::int64_t piece : rings.Ring(r))
                ringOf[std::size_t(piece)] = std::int64_t(r);
        for (auto& split : rings.splits)
            split.second = ringOf[std::size_t(split.second)];
    }
    // The pieces' points in ring order: every pass from here on reads them one after another.
    {
        auto& from = s.from;
        auto& grid = s.grid;
        from.resize(rings.pieces.size());
        grid.clear();
        for (std::size_t k = 0; k < from.size(); ++k)
            from[k] = p.from[std::size_t(rings.pieces[k])];
        if (!p.gridFrom.empty()) {
            grid.resize(from.size());
            for (std::size_t k = 0; k < grid.size(); ++k)
                grid[k] = p.gridFrom[std::size_t(rings.pieces[k])];
        }
        p.from.swap(from);
        p.gridFrom.swap(grid);
        for (std::size_t k = 0; k < rings.pieces.size(); ++k)
            rings.pieces[k] = std::int64_t(k);
    }
    auto& area = s.area;
    area.resize(rings.Count());
    bool holes = false;
    for (std::size_t r = 0; r < rings.Count(); ++r) {
        area[r] = rings.Ring(r).size() < 3 ? 0.0 : GridArea(p, rings.Ring(r));
        holes = holes || area[r] < 0;
    }
    auto& owner = s.owner;
    owner.clear();
    if (holes) {
        // A hole split from its outer ring at a vertex they share belongs to that ring: no ray
        // is needed (nor reliable, beside a touching point).
        // Split apart where two parts of a band touch, a clockwise loop can also lie outside the
        // other (a figure of eight): then the ray decides.
        owner.assign(rings.Count(), -1);
        for (const auto& [loop, from] : rings.splits) {
            if (from < 0) continue;
            const std::size_t f = std::size_t(from);
            if (area[loop] < 0 && area[f] > 0 && Encloses(p, rings.Ring(f), rings.Ring(loop)))
                owner[loop] = from;
            else if (area[loop] > 0 && area[f] < 0 && Encloses(p, rings.Ring(loop), rings.Ring(f)))
                owner[f] = std::int64_t(loop);
        }
        HoleOwners(p, rings, ny, s);
    }
    // Holes follow their outer ring, each group in the order the rings were found.
    s.firstHole.assign(rings.Count(), -1);
    s.nextHole.assign(rings.Count(), -1);
    s.lastHole.assign(rings.Count(), -1);
    for (std::size_t r = 0; r < owner.size(); ++r) {
        if (owner[r] < 0) continue;
        const std::size_t o = std::size_t(owner[r]);
        if (s.lastHole[o] < 0)
            s.firstHole[o] = std::int64_t(r);
        else
            s.nextHole[std::size_t(s.lastHole[o])] = std::int64_t(r);
        s.lastHole[o] = std::int64_t(r);
    }
    ReserveLarge(out.points, out.points.size() + rings.pieces.size() + rings.Count());
    ReserveLarge(out.ringOffsets, out.ringOffsets.size() + rings.Count());
    for (std::size_t r = 0; r < rings.Count(); ++r) {
        if (!(area[r] > 0)) continue;
        if (!WriteRing(p, rings.Ring(r), true, s.keep, out)) continue;
        for (std::int64_t h = s.firstHole[r]; h >= 0; h = s.nextHole[std::size_t(h)])
            WriteRing(p, rings.Ring(std::size_t(h)), false, s.keep, out);
        out.polygonOffsets.push_back(std::int64_t(out.ringOffsets.size() - 1));
    }
    out.bandOffsets.push_back(std::int64_t(out.polygonOffsets.size() - 1));
    out.lower.push_back(lower);
    out.upper.push_back(upper);
    // Each buffer back to its owner, so that a workspace's buffers keep the sizes they grew to.
    p.from.swap(s.from);
    p.gridFrom.swap(s.grid);
}

#define ISOCONTOUR_ASSEMBLE(T)                                                                     \
    template void AssembleBand(BandPieces<T>&, std::ptrdiff_t, T, T, Bands<T>&, RingScratch<T>&);  \
    template void LinkKeyed(BandPieces<T>&, RingScratch<T>&);                                      \
    template Rings Walk(const BandPieces<T>&, RingScratch<T>&, const std::uint8_t*);               \
    template double GridArea(const BandPieces<T>&, std::span<const std::int64_t>);                 \
    template void HoleOwners(const BandPieces<T>&, const Rings&, std::ptrdiff_t, RingScratch<T>&); \
    template bool Encloses(const BandPieces<T>&, std::span<const std::int64_t>,                    \
                           std::span<const std::int64_t>);                                         \
    template bool WriteRing(const BandPieces<T>&, std::span<const std::int64_t>, bool,             \
                            Buffer<std::int64_t>&, Bands<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ASSEMBLE)
#undef ISOCONTOUR_ASSEMBLE

} // namespace isocontour::detail
