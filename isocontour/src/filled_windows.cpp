// Filled bands window by window: each window scans its cells as a whole grid's call would,
// numbering its pieces in the grid's order, makes whole rings of the boundary that closes inside
// it, and hands on the pieces that go on into other windows with their open ends (regular
// crossings on its sides, vertices it shares). Joins link those ends; the finish makes polygons
// of all the rings as a whole call does (holes by their rings' own walks or by a ray).
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>
#include <string>
#include <tuple>

#include "checks.h"
#include "filled_pieces.h"
#include "filled_rings.h"
#include "line_pieces.h"
#include "strips.h"
#include "value_types.h"
#include "workspace.h"

namespace isocontour {
namespace detail {
namespace {

constexpr std::uint64_t kKeysPerNode = 8; // as filled_scan.cpp numbers keyed vertices

// One band's pieces while they are resolved: linked pieces in the grid's order, their vertex
// marks, and their ends still open.
template <class T> struct OpenBand {
    BandPieces<T> p;
    Buffer<std::uint64_t> marks; // per piece: the vertex it begins at, or kNoVertex
    std::vector<typename BandPieces<T>::Seam> seams;
    Buffer<typename BandPieces<T>::KeyedEnd> vertices;
};

// Makes whole rings of b's pieces that close (linked all round), appends them to out as band
// `band`, and appends the other pieces, with the open ends, as pieces.
template <class T>
void Resolve(OpenBand<T>& b, std::uint32_t band, RingScratch<T>& s, Bands<T>& written,
             PolygonPieces<T>& out) {
    BandPieces<T>& p = b.p;
    const std::size_t n = p.next.size();
    // Pieces that lead to an open end, or come from one, are no ring's yet.
    Buffer<std::int64_t> prev(n, -1);
    for (std::size_t k = 0; k < n; ++k)
        if (p.next[k] >= 0) prev[std::size_t(p.next[k])] = std::int64_t(k);
    Buffer<std::uint8_t> open(n, 0);
    for (std::size_t k = 0; k < n; ++k) {
        if (p.next[k] >= 0) continue;
        for (std::int64_t q = std::int64_t(k); q >= 0 && !open[std::size_t(q)];
             q = prev[std::size_t(q)])
            open[std::size_t(q)] = 1;
    }
    s.multi = b.marks;
    const Rings rings = Walk(p, s, open.data());
    const std::int64_t base = std::int64_t(out.RingCount());
    // Ring r of this walk is out's ring base + kept[r]; rings of no area are never drawn.
    std::vector<std::int64_t> kept(rings.Count(), -1);
    std::vector<double> area(rings.Count());
    for (std::size_t r = 0; r < rings.Count(); ++r)
        area[r] = rings.Ring(r).size() < 3 ? 0.0 : GridArea(p, rings.Ring(r));
    std::int64_t count = 0;
    std::uint32_t split = 0;
    for (std::size_t r = 0; r < rings.Count(); ++r) {
        split = r > 0 && s.walkOf[r] == s.walkOf[r - 1] ? split + 1 : 0;
        if (area[r] == 0) continue;
        kept[r] = base + count++;
        written.points.clear();
        written.ringOffsets.assign(1, 0);
        if (WriteRing(p, rings.Ring(r), area[r] > 0, s.keep, written))
            out.points.insert(out.points.end(), written.points.begin(), written.points.end());
        out.ringOffsets.push_back(std::int64_t(out.points.size()));
        for (const std::int64_t piece : rings.Ring(r))
            out.ringGrid.push_back(p.Grid(std::size_t(piece)));
        out.gridOffsets.push_back(std::int64_t(out.ringGrid.size()));
        out.ringArea.push_back(area[r]);
        out.ringBand.push_back(band);
        out.ringOrder.push_back(p.keys[std::size_t(s.walkOf[r])]);
        out.ringSplit.push_back(split);
        out.ringOwner.push_back(-1);
    }
    // A loop split from a ring at a vertex they share, inside it, is its hole (AssembleBand).
    if (!rings.splits.empty()) {
        Buffer<std::int64_t> ringOf(n, -1);
        for (std::size_t r = 0; r < rings.Count(); ++r)
            for (const std::int64_t piece : rings.Ring(r))
                ringOf[std::size_t(piece)] = std::int64_t(r);
        for (const auto& [loop, piece] : rings.splits) {
            const std::int64_t from = ringOf[std::size_t(piece)];
            if (from < 0) continue;
            const std::size_t f = std::size_t(from);
            if (area[loop] < 0 && area[f] > 0 && Encloses(p, rings.Ring(f), rings.Ring(loop)))
                out.ringOwner[std::size_t(kept[loop])] = kept[f];
            else if (area[loop] > 0 && area[f] < 0 && Encloses(p, rings.Ring(loop), rings.Ring(f)))
                out.ringOwner[std::size_t(kept[f])] = kept[loop];
        }
    }
    // The open pieces, renumbered in order, and their open ends.
    Buffer<std::int64_t> at(n, -1);
    const std::int64_t first = std::int64_t(out.PieceCount());
    for (std::size_t k = 0, c = 0; k < n; ++k)
        if (open[k]) at[k] = first + std::int64_t(c++);
    for (std::size_t k = 0; k < n; ++k) {
        if (!open[k]) continue;
        out.pieceFrom.push_back(p.from[k]);
        out.pieceGrid.push_back(p.Grid(k));
        out.pieceKey.push_back(p.keys[k]);
        out.pieceVertex.push_back(b.marks.empty() ? kNoVertex : b.marks[k]);
        out.pieceNext.push_back(p.next[k] >= 0 ? at[std::size_t(p.next[k])] : -1);
        out.pieceBand.push_back(band);
    }
    for (const auto& e : b.seams) {
        ISOCONTOUR_CHECK(open[std::size_t(e.piece)], "a piece at an open seam is open");
        out.seamEdge.push_back(e.edge);
        out.seamPiece.push_back(at[std::size_t(e.piece)]);
        out.seamLevel.push_back(e.m);
        out.seamOut.push_back(e.out ? 1 : 0);
    }
    for (const auto& e : b.vertices) {
        ISOCONTOUR_CHECK(open[std::size_t(e.piece)], "a piece at a shared vertex is open");
        out.vertexKey.push_back(e.key);
        out.vertexPiece.push_back(at[std::size_t(e.piece)]);
        out.vertexAt.push_back(e.at);
        out.vertexFar.push_back(e.far);
        out.vertexOut.push_back(e.out ? 1 : 0);
    }
}

// Room in out, before anything is written to it (large buffers on large pages), for rings of
// `points` points and `grid` pieces already made, and for what `pieces` more pieces can make:
// rings of a point per piece at most and one more to close each (a sixteenth of the pieces, and
// some, is room for rings of 17 pieces on average; smaller ones grow the vector once), or open
// pieces, one each.
template <class T>
void ReserveOutput(std::size_t points, std::size_t grid, std::size_t pieces,
                   PolygonPieces<T>& out) {
    ReserveLarge(out.ringGrid, grid + pieces);
    ReserveLarge(out.points, points + pieces + pieces / 16 + 64);
    ReserveLarge(out.pieceFrom, pieces);
    ReserveLarge(out.pieceGrid, pieces);
    ReserveLarge(out.pieceKey, pieces);
    ReserveLarge(out.pieceVertex, pieces);
    ReserveLarge(out.pieceNext, pieces);
    ReserveLarge(out.pieceBand, pieces);
}

// Appends p's whole rings to out, their offsets and owners renumbered.
template <class T> void AppendRings(const PolygonPieces<T>& p, PolygonPieces<T>& out) {
    const std::int64_t rings = std::int64_t(out.RingCount());
    const std::int64_t points = std::int64_t(out.points.size());
    const std::int64_t grid = std::int64_t(out.ringGrid.size());
    out.points.insert(out.points.end(), p.points.begin(), p.points.end());
    out.ringGrid.insert(out.ringGrid.end(), p.ringGrid.begin(), p.ringGrid.end());
    for (std::size_t r = 0; r < p.RingCount(); ++r) {
        out.ringOffsets.push_back(p.ringOffsets[r + 1] + points);
        out.gridOffsets.push_back(p.gridOffsets[r + 1] + grid);
        out.ringOwner.push_back(p.ringOwner[r] < 0 ? -1 : p.ringOwner[r] + rings);
    }
    out.ringArea.insert(out.ringArea.end(), p.ringArea.begin(), p.ringArea.end());
    out.ringBand.insert(out.ringBand.end(), p.ringBand.begin(), p.ringBand.end());
    out.ringOrder.insert(out.ringOrder.end(), p.ringOrder.begin(), p.ringOrder.end());
    out.ringSplit.insert(out.ringSplit.end(), p.ringSplit.begin(), p.ringSplit.end());
}

// Links the pieces at the vertices in `ready` (all their pieces present) and merges the marks
// LinkKeyed leaves with those the pieces had.
template <class T>
void LinkVertices(OpenBand<T>& b, Buffer<typename BandPieces<T>::KeyedEnd>& ready,
                  RingScratch<T>& s) {
    if (ready.empty()) return;
    b.p.keyed.swap(ready);
    LinkKeyed(b.p, s);
    b.p.keyed.swap(ready);
    if (s.multi.empty()) return;
    if (b.marks.empty()) b.marks.assign(b.p.next.size(), kNoVertex);
    for (std::size_t k = 0; k < s.multi.size(); ++k)
        if (s.multi[k] != kNoVertex) b.marks[k] = s.multi[k];
}

// Whether every cell of the grid around node (i, j) lies in one of the covered windows.
bool Covered(const std::vector<std::ptrdiff_t>& cover, std::ptrdiff_t gridNx, std::ptrdiff_t gridNy,
             std::ptrdiff_t i, std::ptrdiff_t j) {
    for (std::ptrdiff_t y = j - 1; y <= j; ++y)
        for (std::ptrdiff_t x = i - 1; x <= i; ++x) {
            if (x < 0 || y < 0 || x >= gridNx - 1 || y >= gridNy - 1) continue;
            bool in = false;
            for (std::size_t w = 0; w + 3 < cover.size() && !in; w += 4)
                in = x >= cover[w] && y >= cover[w + 1] && x < cover[w + 2] && y < cover[w + 3];
            if (!in) return false;
        }
    return true;
}

} // namespace
} // namespace detail

template <class T>
PolygonPieces<T> FilledContours(View<T> values, const Window& window, std::span<const T> levels,
                                const Options<T>& options) {
    using namespace detail;
    if (levels.size() < 2) throw Error("filled bands need at least two levels");
    Workspace work;
    FilledScratch<T>& m = work.Own().Of<T>().filled;
    m.levels.assign(levels.begin(), levels.end());
    BandInput<T> in = PrepareBands(values, options, m);
    in.frame = FrameOf(window, values.nx, values.ny);
    in.window = true;
    const Frame& f = in.frame;
    const int n = int(levels.size());
    const int kFirst = options.openBands ? 0 : 1, kLast = options.openBands ? n : n - 1;
    const std::size_t nb = std::size_t(kLast - kFirst + 1);
    PolygonPieces<T> out;
    out.gridNx = window.gridNx;
    out.gridNy = window.gridNy;
    const T inf = std::numeric_limits<T>::infinity();
    for (int k = kFirst; k <= kLast; ++k) {
        out.lower.push_back(k == 0 ? -inf : levels[std::size_t(k - 1)]);
        out.upper.push_back(k == n ? inf : levels[std::size_t(k)]);
    }
    out.cover = {window.cellX0, window.cellY0, window.cellX1, window.cellY1};
    if (f.cx1 <= f.cx0 || f.cy1 <= f.cy0) return out;
    SplitRows(f.cy1 - f.cy0, f.cx1 - f.cx0 + 1, options.threads, m.strips);
    for (Strip& s : m.strips)
        s.y0 += f.cy0, s.y1 += f.cy0;
    const std::size_t ns = m.strips.size();
    m.pieces.resize(ns);
    m.slots.resize(ns);
    m.rows.resize(ns);
    RunEach(ns, [&](std::size_t s) {
        ScanBands(in, kFirst, kLast, m.strips[s].y0, m.strips[s].y1, m.pieces[s], m.rows[s],
                  m.slots[s]);
    });
    m.rings.resize(1);
    RingScratch<T>& s = m.rings[0];
    std::size_t pieces = 0;
    for (std::size_t k = 0; k < ns; ++k)
        for (std::size_t band = 0; band < nb; ++band)
            pieces += m.pieces[k][band].next.size();
    ReserveOutput(0, 0, pieces, out);
    Bands<T> written;
    for (std::size_t band = 0; band < nb; ++band) {
        OpenBand<T> b;
        if (ns == 1) {
            b.p = std::move(m.pieces[0][band]);
        } else {
            m.parts.clear();
            for (std::size_t k = 0; k < ns; ++k)
                m.parts.push_back(&m.pieces[k][band]);
            JoinStrips(m, b.p);
        }
        b.seams = std::move(b.p.seams);
        // Vertices on a side the grid goes on past are shared with other windows.
        Buffer<typename BandPieces<T>::KeyedEnd> ready;
        const std::uint64_t gridNx = std::uint64_t(window.gridNx);
        for (const auto& e : b.p.keyed) {
            const std::uint64_t node = e.key / kKeysPerNode;
            const std::ptrdiff_t i = std::ptrdiff_t(node % gridNx) - f.gx;
            const std::ptrdiff_t j = std::ptrdiff_t(node / gridNx) - f.gy;
            (f.Shared(i, j) ? b.vertices : ready).push_back(e);
        }
        b.p.keyed.clear();
        LinkVertices(b, ready, s);
        Resolve(b, std::uint32_t(band), s, written, out);
    }
    return out;
}

namespace detail {

// Items 0 .. n - 1 by band, in their order within each band (a counting sort).
struct ByBand {
    Buffer<std::size_t> start, items;
    template <class BandOf> void Of(std::size_t n, std::size_t bands, BandOf&& bandOf) {
        start.assign(bands + 1, 0);
        for (std::size_t i = 0; i < n; ++i)
            ++start[bandOf(i) + 1];
        for (std::size_t b = 0; b < bands; ++b)
            start[b + 1] += start[b];
        items.resize(n);
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        for (std::size_t i = 0; i < n; ++i)
            items[next[bandOf(i)]++] = i;
    }
    std::span<const std::size_t> In(std::size_t band) const {
        return std::span(items).subspan(start[band], start[band + 1] - start[band]);
    }
};

} // namespace detail

template <class T> PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>* const> parts) {
    using namespace detail;
    PolygonPieces<T> out;
    if (parts.empty()) return out;
    out.gridNx = parts[0]->gridNx;
    out.gridNy = parts[0]->gridNy;
    out.lower = parts[0]->lower;
    out.upper = parts[0]->upper;
    std::size_t points = 0, grid = 0, open = 0;
    for (const PolygonPieces<T>* q : parts)
        points += q->points.size(), grid += q->ringGrid.size(), open += q->PieceCount();
    ReserveOutput(points, grid, open, out);
    for (const PolygonPieces<T>* q : parts) {
        const PolygonPieces<T>& p = *q;
        if (p.gridNx != out.gridNx || p.gridNy != out.gridNy || p.lower.size() != out.lower.size())
            throw Error("bands of different grids or levels cannot be joined");
        out.cover.insert(out.cover.end(), p.cover.begin(), p.cover.end());
        AppendRings(p, out);
    }
    // Each part's pieces, seams and vertices by band, so that each band visits only its own (in
    // the parts' order, as they were made); at[part][piece]: the piece's place in its band.
    const std::size_t nb = out.lower.size();
    std::vector<ByBand> pieces(parts.size()), seamsOf(parts.size()), verticesOf(parts.size());
    std::vector<Buffer<std::int64_t>> at(parts.size());
    for (std::size_t q = 0; q < parts.size(); ++q) {
        const PolygonPieces<T>& p = *parts[q];
        for (const std::uint32_t b : p.pieceBand)
            if (b >= nb) throw Error("a piece of a band these levels do not have");
        pieces[q].Of(p.PieceCount(), nb, [&](std::size_t k) { return p.pieceBand[k]; });
        seamsOf[q].Of(p.seamEdge.size(), nb,
                      [&](std::size_t e) { return p.pieceBand[std::size_t(p.seamPiece[e])]; });
        verticesOf[q].Of(p.vertexKey.size(), nb,
                         [&](std::size_t e) { return p.pieceBand[std::size_t(p.vertexPiece[e])]; });
        at[q].assign(p.PieceCount(), -1);
    }
    RingScratch<T> s;
    Bands<T> written;
    for (std::uint32_t band = 0; band < nb; ++band) {
        // The band's pieces of every part, in the grid's order.
        struct Ref {
            std::size_t part, piece;
        };
        Buffer<Ref> refs;
        const auto before = [&](const Ref& a, const Ref& b) {
            return parts[a.part]->pieceKey[a.piece] < parts[b.part]->pieceKey[b.piece];
        };
        // Each part keeps its pieces in the grid's order, as it made them: the parts' runs are
        // merged one by one (sorted, should a run not be in order).
        bool merged = true;
        for (std::size_t q = 0; q < parts.size(); ++q) {
            const std::size_t from = refs.size();
            for (const std::size_t k : pieces[q].In(band))
                refs.push_back({q, k});
            const auto mid = refs.begin() + std::ptrdiff_t(from);
            if (merged && std::is_sorted(mid, refs.end(), before))
                std::inplace_merge(refs.begin(), mid, refs.end(), before);
            else
                merged = false;
        }
        if (refs.empty()) continue;
        if (!merged) std::sort(refs.begin(), refs.end(), before);
        for (std::size_t k = 0; k < refs.size(); ++k)
            at[refs[k].part][refs[k].piece] = std::int64_t(k);
        OpenBand<T> b;
        b.p.from.reserve(refs.size());
        b.p.gridFrom.reserve(refs.size());
        b.p.keys.reserve(refs.size());
        b.p.next.reserve(refs.size());
        b.marks.reserve(refs.size());
        bool marked = false;
        for (const Ref& r : refs) {
            const PolygonPieces<T>& p = *parts[r.part];
            b.p.from.push_back(p.pieceFrom[r.piece]);
            b.p.gridFrom.push_back(p.pieceGrid[r.piece]);
            b.p.keys.push_back(p.pieceKey[r.piece]);
            const std::int64_t next = p.pieceNext[r.piece];
            b.p.next.push_back(next < 0 ? -1 : at[r.part][std::size_t(next)]);
            b.marks.push_back(p.pieceVertex[r.piece]);
            marked = marked || b.marks.back() != kNoVertex;
        }
        if (!marked) b.marks.clear();
        // Regular crossings on sides the parts share: the piece that ends there goes on with the
        // one that begins there.
        using Seam = typename BandPieces<T>::Seam;
        std::vector<Seam> seams;
        for (std::size_t q = 0; q < parts.size(); ++q) {
            const PolygonPieces<T>& p = *parts[q];
            for (const std::size_t e : seamsOf[q].In(band))
                seams.push_back({p.seamEdge[e], at[q][std::size_t(p.seamPiece[e])], p.seamLevel[e],
                                 p.seamOut[e] != 0});
        }
        std::sort(seams.begin(), seams.end(), [](const Seam& a, const Seam& c) {
            return std::tie(a.edge, a.m, a.out) < std::tie(c.edge, c.m, c.out);
        });
        for (std::size_t e = 0; e < seams.size();) {
            if (e + 1 < seams.size() && seams[e].edge == seams[e + 1].edge &&
                seams[e].m == seams[e + 1].m && !seams[e].out && seams[e + 1].out) {
                std::int64_t& next = b.p.next[std::size_t(seams[e].piece)];
                ISOCONTOUR_CHECK(next < 0, "a piece at a seam is linked once");
                next = seams[e + 1].piece;
                e += 2;
            } else {
                b.seams.push_back(seams[e++]);
            }
        }
        // Vertices whose every cell is now here are linked; the others stay open.
        using KeyedEnd = typename BandPieces<T>::KeyedEnd;
        Buffer<KeyedEnd> ready;
        const std::uint64_t gridNx = std::uint64_t(out.gridNx);
        for (std::size_t q = 0; q < parts.size(); ++q)
            for (const std::size_t e : verticesOf[q].In(band)) {
                const PolygonPieces<T>& p = *parts[q];
                const KeyedEnd end{p.vertexKey[e], at[q][std::size_t(p.vertexPiece[e])],
                                   p.vertexAt[e], p.vertexFar[e], p.vertexOut[e] != 0};
                const std::uint64_t node = end.key / kKeysPerNode;
                const bool all =
                    Covered(out.cover, out.gridNx, out.gridNy, std::ptrdiff_t(node % gridNx),
                            std::ptrdiff_t(node / gridNx));
                (all ? ready : b.vertices).push_back(end);
            }
        LinkVertices(b, ready, s);
        Resolve(b, band, s, written, out);
    }
    return out;
}

template <class T> void MoveRings(PolygonPieces<T>& pieces, PolygonPieces<T>& rings) {
    if (rings.RingCount() == 0 && rings.lower.empty()) {
        rings.gridNx = pieces.gridNx;
        rings.gridNy = pieces.gridNy;
        rings.lower = pieces.lower;
        rings.upper = pieces.upper;
    } else if (rings.gridNx != pieces.gridNx || rings.gridNy != pieces.gridNy ||
               rings.lower != pieces.lower || rings.upper != pieces.upper) {
        throw Error("bands of different grids or levels cannot be joined");
    }
    detail::AppendRings(pieces, rings);
    // pieces keeps its open pieces and no rings, and gives their memory back.
    PolygonPieces<T> none;
    pieces.points.swap(none.points);
    pieces.ringGrid.swap(none.ringGrid);
    pieces.ringOffsets.swap(none.ringOffsets);
    pieces.gridOffsets.swap(none.gridOffsets);
    pieces.ringArea.swap(none.ringArea);
    pieces.ringBand.swap(none.ringBand);
    pieces.ringOrder.swap(none.ringOrder);
    pieces.ringSplit.swap(none.ringSplit);
    pieces.ringOwner.swap(none.ringOwner);
}

template <class T> PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>> parts) {
    std::vector<const PolygonPieces<T>*> at;
    for (const PolygonPieces<T>& p : parts)
        at.push_back(&p);
    return JoinPolygons(std::span<const PolygonPieces<T>* const>(at));
}

template <class T> Bands<T> FinishPolygons(const PolygonPieces<T>& joined) {
    using namespace detail;
    if (joined.PieceCount() > 0)
        throw Error(std::to_string(joined.PieceCount()) +
                    " pieces of bands are not joined: join the bands of every window of the grid "
                    "before finishing");
    Bands<T> out;
    ReserveLarge(out.points, joined.points.size());
    ReserveLarge(out.ringOffsets, joined.RingCount() + 1);
    RingScratch<T> s;
    for (std::uint32_t band = 0; band < joined.lower.size(); ++band) {
        // The band's rings in the order a whole call finds them, their pieces one after another
        // in grid units as the hole search reads them.
        std::vector<std::size_t> order;
        for (std::size_t r = 0; r < joined.RingCount(); ++r)
            if (joined.ringBand[r] == band) order.push_back(r);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::tie(joined.ringOrder[a], joined.ringSplit[a]) <
                   std::tie(joined.ringOrder[b], joined.ringSplit[b]);
        });
        std::vector<std::int64_t> local(joined.RingCount(), -1);
        for (std::size_t k = 0; k < order.size(); ++k)
            local[order[k]] = std::int64_t(k);
        BandPieces<T> p;
        s.pieces.clear();
        s.start.assign(1, 0);
        s.splits.clear();
        Rings rings{s.pieces, s.start, s.splits};
        s.area.clear();
        bool holes = false;
        for (const std::size_t r : order) {
            for (auto g = joined.gridOffsets[r]; g < joined.gridOffsets[r + 1]; ++g) {
                rings.pieces.push_back(std::int64_t(p.from.size()));
                p.from.push_back(joined.ringGrid[std::size_t(g)]);
            }
            rings.Close();
            s.area.push_back(joined.ringArea[r]);
            holes = holes || joined.ringArea[r] < 0;
        }
        s.owner.clear();
        if (holes) {
            s.owner.assign(order.size(), -1);
            for (std::size_t k = 0; k < order.size(); ++k)
                if (const std::int64_t o = joined.ringOwner[order[k]]; o >= 0)
                    s.owner[k] = local[std::size_t(o)];
            HoleOwners(p, rings, joined.gridNy, s);
        }
        std::vector<std::vector<std::size_t>> holesOf(order.size());
        for (std::size_t k = 0; k < s.owner.size(); ++k)
            if (s.owner[k] >= 0) holesOf[std::size_t(s.owner[k])].push_back(k);
        const auto copy = [&](std::size_t r) {
            const auto a = joined.ringOffsets[r], e = joined.ringOffsets[r + 1];
            if (a == e) return false; // it came to fewer than three points
            out.points.insert(out.points.end(), joined.points.begin() + a,
                              joined.points.begin() + e);
            out.ringOffsets.push_back(std::int64_t(out.points.size()));
            return true;
        };
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (!(s.area[k] > 0) || !copy(order[k])) continue;
            for (const std::size_t h : holesOf[k])
                copy(order[h]);
            out.polygonOffsets.push_back(std::int64_t(out.ringOffsets.size() - 1));
        }
        out.bandOffsets.push_back(std::int64_t(out.polygonOffsets.size() - 1));
        out.lower.push_back(joined.lower[band]);
        out.upper.push_back(joined.upper[band]);
    }
    return out;
}

#define ISOCONTOUR_WINDOWS(T)                                                                      \
    template PolygonPieces<T> FilledContours(View<T>, const Window&, std::span<const T>,           \
                                             const Options<T>&);                                   \
    template PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>>);                     \
    template PolygonPieces<T> JoinPolygons(std::span<const PolygonPieces<T>* const>);              \
    template void MoveRings(PolygonPieces<T>&, PolygonPieces<T>&);                                 \
    template Bands<T> FinishPolygons(const PolygonPieces<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_WINDOWS)
#undef ISOCONTOUR_WINDOWS

} // namespace isocontour
