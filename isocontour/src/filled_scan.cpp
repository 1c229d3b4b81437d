// Filled bands: each level's nodes as a bit plane (the lines' classification), then for each
// band the cells with corners on more than one side of it, or inside it on the border or
// beside an unusable cell, found a word (32 cells) at a time; each such cell leaves the band's
// boundary pieces, linked wherever a crossing is regular.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

#include "cells.h"
#include "checks.h"
#include "classify.h"
#include "filled_pieces.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

// A vertex of a piece: keyed (node or pinch) or a regular crossing of level m on cell edge e.
// (No default member values: a cell's table of them is filled only where crossed.)
template <class T> struct Vertex {
    Point<T> at, grid;
    std::uint64_t key;
    bool keyed;
    int edge, level;
};

// One band's output and its link slots while a strip is scanned.
template <class T> struct BandState {
    BandPieces<T>* out;
    std::vector<std::int64_t>&below, &above, &across; // the strip's BandSlots
    std::array<std::int64_t, 8>& local;               // a domain edge's crossings, [2 * e + m]
};

template <class T, class Coords> class Scanner {
    // Pieces keep their grid points apart only when the output's coordinates are not grid units.
    static constexpr bool kOwnGrid = !std::is_same_v<Coords, GridCoords<T>>;

  public:
    Scanner(const BandInput<T>& in, const Coords& coords, const BandPlanes& planes, int kFirst,
            int kLast, std::vector<BandPieces<T>>& out, std::vector<BandSlots>& slots,
            std::vector<std::size_t>& mixed)
        : in_(in), coords_(coords), planes_(planes), g_(planes.g), nx_(in.values.nx),
          ny_(in.values.ny), kFirst_(kFirst), kLast_(kLast), out_(out), slots_(slots),
          mixed_(mixed) {
        unusable_ = planes.anyUnusable ? planes.unusable.get() : nullptr;
        const std::size_t nb = std::size_t(kLast - kFirst + 1);
        if (out.size() < nb) out.resize(nb);
        if (slots.size() < nb) slots.resize(nb);
        for (std::size_t b = 0; b < nb; ++b) {
            out[b].Clear();
            slots[b].below.assign(2 * std::size_t(nx_), -1);
            slots[b].above.assign(2 * std::size_t(nx_), -1);
            slots[b].across.assign(2 * std::size_t(nx_), -1);
        }
    }

    void Rows(std::ptrdiff_t j0, std::ptrdiff_t j1) {
        Reserve(j0, j1);
        for (std::ptrdiff_t j = j0; j < j1; ++j) {
            for (int k = kFirst_; k <= kLast_; ++k) {
                BandState<T> b = State(std::size_t(k - kFirst_));
                Row(b, k, j);
            }
            for (int k = kFirst_; k <= kLast_; ++k) {
                BandState<T> b = State(std::size_t(k - kFirst_));
                // Every crossing on the row of edges below was claimed by this row's cells,
                // except on a strip's first row, whose are left for the strip below.
                if (j == j0) {
                    b.out->ends.bottom = b.below;
                    std::fill(b.below.begin(), b.below.end(), -1);
                }
                std::swap(b.below, b.above);
            }
        }
        for (int k = kFirst_; k <= kLast_; ++k) {
            BandState<T> b = State(std::size_t(k - kFirst_));
            b.out->ends.top = b.below;
        }
    }

  private:
    BandState<T> State(std::size_t b) {
        BandSlots& s = slots_[b];
        return {&out_[b], s.below, s.above, s.across, local_};
    }

    // Room for about as many pieces as the strip has cells with corners on both sides of a
    // level, so that the arrays grow once.
    void Reserve(std::ptrdiff_t j0, std::ptrdiff_t j1) {
        const int nl = int(in_.levels.size());
        const std::ptrdiff_t lastWord = (nx_ - 2) / kWordBits;
        std::vector<std::size_t>& mixed = mixed_;
        mixed.assign(in_.levels.size(), 0);
        for (std::ptrdiff_t y = j0; y < j1; ++y)
            for (std::ptrdiff_t w = 0; w <= lastWord; ++w)
                for (int l = std::max(kFirst_ - 1, 0); l < std::min(kLast_ + 1, nl); ++l)
                    mixed[std::size_t(l)] += std::size_t(
                        std::popcount(CornersOf(planes_.Plane(std::size_t(l)), g_, w, y).Mixed()));
        for (int k = kFirst_; k <= kLast_; ++k) {
            std::size_t n = std::size_t(2 * (nx_ + j1 - j0)) + 16; // the border
            if (k >= 1) n += mixed[std::size_t(k - 1)];
            if (k < nl) n += mixed[std::size_t(k)];
            BandPieces<T>& o = out_[std::size_t(k - kFirst_)];
            o.from.reserve(n + n / 8);
            o.next.reserve(n + n / 8);
            if constexpr (kOwnGrid) o.gridFrom.reserve(n + n / 8);
        }
    }

    // Cell (x, y) exists and has no unusable corner.
    bool Usable(std::ptrdiff_t x, std::ptrdiff_t y) const {
        if (x < 0 || y < 0 || x > nx_ - 2 || y > ny_ - 2) return false;
        return !unusable_ || (Pair(unusable_, g_, x, y) | Pair(unusable_, g_, x, y + 1)) == 0;
    }

    // The cells of word w in row y that have a neighbour missing or unusable (a candidate
    // superset: Cell decides edge by edge).
    std::uint32_t NearDomain(std::ptrdiff_t w, std::ptrdiff_t y) const {
        if (y == 0 || y == ny_ - 2) return ~0u;
        std::uint32_t m = 0;
        if (w == 0) m |= 1u;
        if (w == (nx_ - 2) / kWordBits) m |= 1u << ((nx_ - 2) % kWordBits);
        if (unusable_) {
            const std::ptrdiff_t lastWord = (nx_ - 2) / kWordBits;
            const auto bad = [&](std::ptrdiff_t ww, std::ptrdiff_t yy) -> std::uint32_t {
                if (ww < 0 || ww > lastWord) return 0;
                return CornersOf(unusable_, g_, ww, yy).Any();
            };
            const std::uint32_t here = bad(w, y);
            m |= bad(w, y - 1) | bad(w, y + 1) | here << 1 | bad(w - 1, y) >> 31 | here >> 1 |
                 bad(w + 1, y) << 31;
        }
        return m;
    }

    void Row(BandState<T>& b, int k, std::ptrdiff_t y) {
        const int nl = int(in_.levels.size());
        const std::uint32_t* lower = k >= 1 ? planes_.Plane(std::size_t(k - 1)) : nullptr;
        const std::uint32_t* upper = k < nl ? planes_.Plane(std::size_t(k)) : nullptr;
        const std::ptrdiff_t lastWord = (nx_ - 2) / kWordBits;
        for (std::ptrdiff_t w = 0; w <= lastWord; ++w) {
            const CellCorners L =
                lower ? CornersOf(lower, g_, w, y) : CellCorners{~0u, ~0u, ~0u, ~0u};
            const CellCorners U = upper ? CornersOf(upper, g_, w, y) : CellCorners{0, 0, 0, 0};
            const std::uint32_t inside = (L.c0 & L.c1 & L.c2 & L.c3) & ~U.Any();
            std::uint32_t m = L.Mixed() | U.Mixed();
            if (inside) m |= inside & NearDomain(w, y);
            m &= ExistingCells(g_, w);
            if (m == 0) continue;
            if (unusable_) m &= ~CornersOf(unusable_, g_, w, y).Any();
            for (; m != 0; m &= m - 1) {
                const int bit = __builtin_ctz(m);
                const std::ptrdiff_t x = w * kWordBits + bit;
                std::array<int, 4> st;
                st[0] = int((L.c0 >> bit) & 1u) + int((U.c0 >> bit) & 1u);
                st[1] = int((L.c1 >> bit) & 1u) + int((U.c1 >> bit) & 1u);
                st[2] = int((L.c2 >> bit) & 1u) + int((U.c2 >> bit) & 1u);
                st[3] = int((L.c3 >> bit) & 1u) + int((U.c3 >> bit) & 1u);
                const std::array<bool, 4> domain{!Usable(x, y - 1), !Usable(x + 1, y),
                                                 !Usable(x, y + 1), !Usable(x - 1, y)};
                Cell(b, k, x, y, st, domain);
            }
        }
    }

    // The crossing of level levels[li] on edge e of cell (i, j), as the lines place it; a
    // crossing that lands on a node is that node.
    Vertex<T> Cross(std::ptrdiff_t i, std::ptrdiff_t j, int e, int m, std::size_t li) const {
        const EdgeCrossing<T> x = CrossEdge(in_.values, coords_, i, j, e, in_.levels[li]);
        const std::ptrdiff_t iB = x.i + (x.horizontal ? 1 : 0), jB = x.j + (x.horizontal ? 0 : 1);
        const GridCoords<T> grid;
        Vertex<T> v{};
        v.grid = x.horizontal ? grid.OnH(x.i, x.j, x.s) : grid.OnV(x.i, x.j, x.s);
        v.at = x.at;
        v.edge = e;
        v.level = m;
        const T resolution = Resolution(x.i, x.j);
        if (x.s <= resolution || v.grid == grid.Node(x.i, x.j) || v.at == coords_.Node(x.i, x.j))
            v = Node(x.i, x.j);
        else if (x.s >= T(1) - resolution || v.grid == grid.Node(iB, jB) ||
                 v.at == coords_.Node(iB, jB))
            v = Node(iB, jB);
        return v;
    }

    // Four units in the last place of the coordinates at node (i, j), in grid units: crossings
    // closer than that to the node are not told apart from it once rounded to points.
    static T Resolution(std::ptrdiff_t i, std::ptrdiff_t j) {
        const auto magnitude = std::bit_ceil(std::uint64_t(std::max(i, j)) + 1);
        return T(4) * std::numeric_limits<T>::epsilon() * T(magnitude);
    }

    Vertex<T> Node(std::ptrdiff_t i, std::ptrdiff_t j) const {
        Vertex<T> v{};
        v.grid = {T(i), T(j)};
        v.at = coords_.Node(i, j);
        v.key = std::uint64_t(i + j * nx_) * 4;
        v.keyed = true;
        return v;
    }

    // States st: 0 not above the lower level, 1 in the band, 2 above the upper level.
    void Cell(BandState<T>& b, int k, std::ptrdiff_t i, std::ptrdiff_t j,
              const std::array<int, 4>& st, const std::array<bool, 4>& domain) {
        std::array<std::array<Vertex<T>, 2>, 4> cross;
        std::array<std::array<bool, 2>, 4> has{};
        for (int e = 0; e < 4; ++e) {
            const int sa = st[e], sb = st[(e + 1) & 3];
            has[e][0] = (sa >= 1) != (sb >= 1);
            has[e][1] = (sa == 2) != (sb == 2);
            for (int m = 0; m < 2; ++m)
                if (has[e][m]) cross[e][m] = Cross(i, j, e, m, std::size_t(k - 1 + m));
            if (has[e][0] && has[e][1] && !cross[e][0].keyed && !cross[e][1].keyed &&
                (cross[e][0].at == cross[e][1].at || cross[e][0].grid == cross[e][1].grid)) {
                // Both levels cross at one point: the band is pinched to it there.
                Vertex<T> p = cross[e][0];
                p.key = std::uint64_t((i + EdgeDx(e)) + (j + EdgeDy(e)) * nx_) * 4 +
                        (Horizontal(e) ? 1 : 2);
                p.keyed = true;
                cross[e][0] = cross[e][1] = p;
            }
        }
        b.local.fill(-1);
        std::array<std::pair<Vertex<T>, Vertex<T>>, 4> line; // the cell's pieces of both lines
        int lines = 0;
        for (int m = 0; m < 2; ++m) {
            std::array<bool, 4> above;
            for (int q = 0; q < 4; ++q)
                above[q] = m == 0 ? st[q] >= 1 : st[q] == 2;
            const unsigned kase = CaseOf(above[0], above[1], above[2], above[3]);
            const unsigned in = kCases.entries[kase];
            if (in == 0) continue;
            const T level = in_.levels[std::size_t(k - 1 + m)];
            const int join = JoinOf(in_.saddle, kase, in_.values, i, j, level);
            // A level's line enters across an edge whose first corner is above it; the band
            // lies on the line's right for the lower level (the piece runs backwards) and on its
            // left for the upper one.
            for (unsigned bits = in; bits != 0; bits &= bits - 1) {
                const int e = __builtin_ctz(bits);
                const Vertex<T>& ex = cross[e][m];
                const Vertex<T>& en = cross[kCases.exit[join][kase][e]][m];
                if (m == 0)
                    line[lines++] = {ex, en};
                else
                    line[lines++] = {en, ex};
            }
        }
        FoldBack(line, lines);
        for (int q = 0; q < lines; ++q)
            Emit(b, i, domain, line[q].first, line[q].second);
        for (int e = 0; e < 4; ++e) {
            if (!domain[e]) continue;
            const int sa = st[e], sb = st[(e + 1) & 3];
            if (sa == sb && sa != 1) continue;
            const int f = (e + 1) & 3;
            const Vertex<T> a =
                sa == 1 ? Node(i + kCornerX[e], j + kCornerY[e]) : cross[e][sa == 0 ? 0 : 1];
            const Vertex<T> z =
                sb == 1 ? Node(i + kCornerX[f], j + kCornerY[f]) : cross[e][sb == 0 ? 0 : 1];
            Emit(b, i, domain, a, z);
        }
    }

    static bool Same(const Vertex<T>& a, const Vertex<T>& z) {
        return a.keyed ? z.keyed && a.key == z.key
                       : !z.keyed && a.edge == z.edge && a.level == z.level;
    }

    // Where a crossing of each level landed on the same corner (an infinite value beside it, or
    // a level within rounding of a value), the two lines may run out along one edge and back,
    // X -> N -> Y with X, N, Y on one edge, or across the cell from one node to another and back,
    // X -> N -> X. What lies between them has no width, so the two pieces become X -> Y; nothing
    // is left when X is Y.
    static void FoldBack(std::array<std::pair<Vertex<T>, Vertex<T>>, 4>& line, int& lines) {
        for (bool again = true; again;) {
            again = false;
            for (int p = 0; p < lines && !again; ++p) {
                for (int q = 0; q < lines && !again; ++q) {
                    const Vertex<T>& x = line[p].first;
                    const Vertex<T>& n = line[p].second;
                    const Vertex<T>& y = line[q].second;
                    if (p == q || !n.keyed || !Same(n, line[q].first)) continue;
                    const bool vertical = x.grid.x == n.grid.x && y.grid.x == n.grid.x &&
                                          (x.grid.y > n.grid.y) == (y.grid.y > n.grid.y);
                    const bool horizontal = x.grid.y == n.grid.y && y.grid.y == n.grid.y &&
                                            (x.grid.x > n.grid.x) == (y.grid.x > n.grid.x);
                    // Out to N and straight back to X across the cell: a sliver of no width
                    // between two pieces, band or not, which the two pieces leave out.
                    const bool back = Same(y, x);
                    if (!vertical && !horizontal && !back) continue;
                    line[p].second = y;
                    line[q] = line[--lines];
                    if (q < lines && p == lines) p = q; // the merged piece moved
                    if (Same(line[p].first, line[p].second)) line[p] = line[--lines];
                    again = true;
                }
            }
        }
    }

    void Emit(BandState<T>& b, std::ptrdiff_t i, const std::array<bool, 4>& domain,
              const Vertex<T>& a, const Vertex<T>& z) {
        if (a.keyed && z.keyed && a.key == z.key) return; // nothing left of a piece between them
        BandPieces<T>& o = *b.out;
        const std::int64_t piece = std::int64_t(o.next.size());
        o.from.push_back(a.at);
        if constexpr (kOwnGrid) o.gridFrom.push_back(a.grid);
        o.next.push_back(-1);
        End(b, i, domain, a, z, piece, true);
        End(b, i, domain, z, a, piece, false);
    }

    void End(BandState<T>& b, std::ptrdiff_t i, const std::array<bool, 4>& domain,
             const Vertex<T>& v, const Vertex<T>& other, std::int64_t piece, bool out) {
        if (v.keyed) {
            b.out->keyed.push_back({v.key, piece, v.grid, other.grid, out});
            return;
        }
        const std::size_t m = std::size_t(v.level);
        std::int64_t* slot;
        if (domain[std::size_t(v.edge)])
            slot = &b.local[std::size_t(2 * v.edge) + m];
        else if (v.edge == 0)
            slot = &b.below[2 * std::size_t(i) + m];
        else if (v.edge == 2)
            slot = &b.above[2 * std::size_t(i) + m];
        else
            slot = &b.across[2 * std::size_t(i + (v.edge == 1 ? 1 : 0)) + m];
        if (*slot < 0) {
            *slot = 2 * piece + (out ? 1 : 0);
            return;
        }
        const std::int64_t other_piece = *slot >> 1;
        *slot = -1;
        if (out)
            b.out->next[std::size_t(other_piece)] = piece;
        else
            b.out->next[std::size_t(piece)] = other_piece;
    }

    const BandInput<T>& in_;
    Coords coords_;
    const BandPlanes& planes_;
    BitGrid g_;
    const std::uint32_t* unusable_;
    std::ptrdiff_t nx_, ny_;
    int kFirst_, kLast_;
    std::vector<BandPieces<T>>& out_;
    std::vector<BandSlots>& slots_;
    std::vector<std::size_t>& mixed_;
    std::array<std::int64_t, 8> local_;
};

} // namespace

template <class T>
void ClassifyBands(const BandInput<T>& in, BandPlanes& planes, std::ptrdiff_t j0, std::ptrdiff_t j1,
                   bool& anyUnusable) {
    const BitGrid& g = planes.g;
    const std::size_t first = std::size_t(j0 * g.words), last = std::size_t(j1 * g.words);
    for (std::size_t l = 0; l < in.levels.size(); ++l)
        std::fill(planes.above.get() + l * g.Size() + first,
                  planes.above.get() + l * g.Size() + last, 0u);
    std::fill(planes.unusable.get() + first, planes.unusable.get() + last, 0u);
    for (std::ptrdiff_t j = j0; j < j1; j += kWordBits) {
        const std::ptrdiff_t count = std::min<std::ptrdiff_t>(kWordBits, j1 - j);
        ClassifyStripe(in.values, in.mask, std::span<const T>(in.levels), g, j, count, g.ny,
                       planes.above.get() + std::size_t(j * g.words),
                       planes.unusable.get() + std::size_t(j * g.words));
    }
    anyUnusable = std::any_of(planes.unusable.get() + first, planes.unusable.get() + last,
                              [](std::uint32_t w) { return w != 0; });
}

template <class T>
void ScanBands(const BandInput<T>& in, const BandPlanes& planes, int kFirst, int kLast,
               std::ptrdiff_t j0, std::ptrdiff_t j1, std::vector<BandPieces<T>>& out,
               std::vector<BandSlots>& slots, std::vector<std::size_t>& mixed) {
    WithCoords(in.kind, in.x, in.y, [&](const auto& coords) {
        Scanner<T, std::decay_t<decltype(coords)>>(in, coords, planes, kFirst, kLast, out, slots,
                                                   mixed)
            .Rows(j0, j1);
    });
}

template <class T> void JoinStrips(FilledScratch<T>& m, BandPieces<T>& all) {
    all.Clear();
    std::size_t total = 0;
    for (const BandPieces<T>* b : m.parts)
        total += b->next.size();
    all.from.reserve(total);
    all.next.reserve(total);
    m.base.clear();
    m.ends.clear();
    for (BandPieces<T>* b : m.parts) {
        const std::int64_t o = std::int64_t(all.next.size());
        m.base.push_back(o);
        m.ends.push_back(&b->ends);
        all.from.insert(all.from.end(), b->from.begin(), b->from.end());
        all.gridFrom.insert(all.gridFrom.end(), b->gridFrom.begin(), b->gridFrom.end());
        for (const std::int64_t n : b->next)
            all.next.push_back(n < 0 ? n : n + o);
        for (auto e : b->keyed) {
            e.piece += o;
            all.keyed.push_back(e);
        }
    }
    // A crossing on the row of edges between two strips: one side's piece ends there, the
    // other's begins.
    StitchSeams(std::span<SeamEnds* const>(m.ends), std::span<const std::int64_t>(m.base),
                [&](std::int64_t before, std::int64_t after) {
                    std::int64_t& next = all.next[std::size_t(before)];
                    ISOCONTOUR_CHECK(next < 0, "a piece on a seam is linked once");
                    next = after;
                });
}

#define ISOCONTOUR_SCAN(T)                                                                         \
    template void ClassifyBands(const BandInput<T>&, BandPlanes&, std::ptrdiff_t, std::ptrdiff_t,  \
                                bool&);                                                            \
    template void ScanBands(const BandInput<T>&, const BandPlanes&, int, int, std::ptrdiff_t,      \
                            std::ptrdiff_t, std::vector<BandPieces<T>>&, std::vector<BandSlots>&,  \
                            std::vector<std::size_t>&);                                            \
    template void JoinStrips(FilledScratch<T>&, BandPieces<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_SCAN)
#undef ISOCONTOUR_SCAN

} // namespace isocontour::detail
