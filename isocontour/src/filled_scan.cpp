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
#include "level_ranges.h"
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

// Which sides of a cell lie on the domain's border: cell edges 0 .. 3, then a triangle's diagonal.
using Sides = std::array<bool, 5>;

// A keyed vertex's key: kKeys * node index + 0 for the node, or the kind of pinch beside it (see
// BandPieces::KeyedEnd).
constexpr std::uint64_t kKeys = 8;

// One band's output and its link slots while a strip is scanned.
template <class T> struct BandState {
    BandPieces<T>* out;
    std::vector<std::int64_t>&below, &above, &across; // the strip's BandSlots
    std::array<std::int64_t, 10>&
        local; // a domain edge's crossings, [2 * e + m], e = 4 the diagonal
};

template <class T, class Coords> class Scanner {
    // Pieces keep their grid points apart only when the output's coordinates are not grid units.
    static constexpr bool kOwnGrid = !std::is_same_v<Coords, GridCoords<T>>;

  public:
    Scanner(const BandInput<T>& in, const Coords& coords, int kFirst, int kLast,
            std::vector<BandPieces<T>>& out, BandRows& rows, std::vector<BandSlots>& slots)
        : in_(in), coords_(coords), g_(BitGrid::Of(in.values.nx, in.values.ny)), nx_(in.values.nx),
          ny_(in.values.ny), kFirst_(kFirst), kLast_(kLast), out_(out), rows_(rows), slots_(slots),
          frame_(in.frame), grid_{in.frame.gx, in.frame.gy} {
        const std::size_t nb = std::size_t(kLast - kFirst + 1);
        if (out.size() < nb) out.resize(nb);
        if (slots.size() < nb) slots.resize(nb);
        for (std::size_t b = 0; b < nb; ++b) {
            out[b].Clear();
            slots[b].below.assign(2 * std::size_t(nx_), -1);
            slots[b].above.assign(2 * std::size_t(nx_), -1);
            slots[b].across.assign(2 * std::size_t(nx_), -1);
        }
        // Rows read in place are classified one at a time, just before their cells need them;
        // values contiguous along y in stripes of up to kTallStripe rows (NextStripe), each
        // column read in one sweep, the first one short. The ring holds the rows a cell row
        // reads (one below it to two above) and one batch beyond.
        columns_ = in.values.strideY == 1 && in.values.strideX != 1;
        ring_ = (columns_ ? kTallStripe : 1) + 3;
        batch_ = columns_ ? kShortStripe : 1;
        const std::size_t words = std::size_t(ring_ * g_.words);
        rows.above.resize(in.levels.size() * words);
        rows.unusable.resize(words);
        rows.any.resize(std::size_t(ring_));
    }

    void Rows(std::ptrdiff_t j0, std::ptrdiff_t j1) {
        next_ = std::max<std::ptrdiff_t>(j0 - 1, 0);
        scanned_ = j0;
        rows_.ranges.Reset(ring_, g_); // the ring's bits will be this call's levels'
        sparse_ = in_.levels.size() >= 4;
        for (std::ptrdiff_t j = j0; j < j1; ++j) {
            Classify(std::min(j + 3, ny_), j);
            bad_ = false;
            for (std::ptrdiff_t r = std::max<std::ptrdiff_t>(j - 1, 0); r < std::min(j + 3, ny_);
                 ++r)
                bad_ = bad_ || rows_.any[std::size_t(r % ring_)];
            row_ = j;
            // Away from the grid's border and from unusable nodes, a band's cells to visit are
            // those its two levels may cross, and the row's first and last (LevelRanges).
            const bool listed = sparse_ && !bad_ && j != 0 && j != ny_ - 2;
            LevelRanges& ranges = rows_.ranges;
            if (listed) {
                const std::ptrdiff_t nl = std::ptrdiff_t(in_.levels.size());
                const auto rangesOf = [&](std::ptrdiff_t y) {
                    return ranges.Of(y % ring_, y, g_, nl,
                                     [&](std::ptrdiff_t m) { return Above(std::size_t(m), y); });
                };
                const std::ptrdiff_t lastWord = (nx_ - 2) / kWordBits;
                ranges.ByLevel(
                    cells_.first, cells_.last, rangesOf(j), rangesOf(j + 1), kFirst_,
                    std::size_t(kLast_ - kFirst_ + 1), 1,
                    [&](std::ptrdiff_t w) { return cells_.Cells(w); },
                    [&](std::ptrdiff_t w) { return w == 0 || w == lastWord; });
            }
            for (int k = kFirst_; k <= kLast_; ++k) {
                BandState<T> b = State(std::size_t(k - kFirst_));
                const std::size_t at = listed ? ranges.start[std::size_t(k - kFirst_)] : 0;
                Row(b, k, j, listed, ranges.words.data() + at,
                    listed ? ranges.start[std::size_t(k - kFirst_) + 1] - at : 0);
                if (in_.window) { // the crossings on the window's left and right sides
                    SeamsAcross(b, frame_.cx0, j);
                    SeamsAcross(b, frame_.cx1, j);
                }
            }
            for (int k = kFirst_; k <= kLast_; ++k) {
                BandState<T> b = State(std::size_t(k - kFirst_));
                // Every crossing on the row of edges below was claimed by this row's cells,
                // except on a strip's first row, whose are left for the strip below (or, on a
                // window's first row, for the window below).
                if (j == j0) {
                    if (in_.window && j0 == frame_.cy0)
                        SeamsAlong(b, b.below, j);
                    else
                        b.out->ends.bottom = b.below;
                    std::fill(b.below.begin(), b.below.end(), -1);
                }
                std::swap(b.below, b.above);
            }
        }
        for (int k = kFirst_; k <= kLast_; ++k) {
            BandState<T> b = State(std::size_t(k - kFirst_));
            if (in_.window && j1 == frame_.cy1)
                SeamsAlong(b, b.below, j1);
            else
                b.out->ends.top = b.below;
        }
    }

  private:
    // The piece ends left in slots on a window's side: the crossings of horizontal edges of node
    // row j, or of vertical edge x of the current cell row; each slot emptied.
    void SeamsAlong(BandState<T>& b, std::vector<std::int64_t>& slots, std::ptrdiff_t j) {
        for (std::size_t s = 0; s < slots.size(); ++s)
            if (slots[s] >= 0) {
                Seam(b, frame_.Edge(std::ptrdiff_t(s / 2), j, false), slots[s], s % 2);
                slots[s] = -1;
            }
    }
    void SeamsAcross(BandState<T>& b, std::ptrdiff_t x, std::ptrdiff_t y) {
        for (std::size_t m = 0; m < 2; ++m) {
            std::int64_t& slot = b.across[2 * std::size_t(x) + m];
            if (slot < 0) continue;
            Seam(b, frame_.Edge(x, y, true), slot, m);
            slot = -1;
        }
    }
    void Seam(BandState<T>& b, std::uint64_t edge, std::int64_t slot, std::size_t m) {
        b.out->seams.push_back({edge, slot >> 1, std::uint8_t(m), (slot & 1) != 0});
    }

    BandState<T> State(std::size_t b) {
        BandSlots& s = slots_[b];
        return {&out_[b], s.below, s.above, s.across, local_};
    }

    // Classifies node rows up to end (exclusive) into the ring, a batch at a time, before cell
    // row j is scanned.
    void Classify(std::ptrdiff_t end, std::ptrdiff_t j) {
        while (next_ < end) {
            if (columns_ && j > scanned_) { // the pieces of the cell rows since the last batch
                std::size_t pieces = 0;
                for (int k = kFirst_; k <= kLast_; ++k)
                    pieces += out_[std::size_t(k - kFirst_)].next.size();
                batch_ = NextStripe(pieces - pieces_, (j - scanned_) * (nx_ - 1));
                pieces_ = pieces, scanned_ = j;
            }
            const std::ptrdiff_t r = next_ % ring_;
            const std::ptrdiff_t n = std::min({batch_, ny_ - next_, ring_ - r});
            const std::size_t at = std::size_t(r * g_.words);
            ClassifyStripe(in_.values, in_.mask, in_.levels, in_.rules.atLevel, g_, next_, n, ring_,
                           rows_.above.data() + at, rows_.unusable.data() + at);
            for (std::ptrdiff_t q = 0; q < n; ++q) {
                const std::uint32_t* u = rows_.unusable.data() + at + std::size_t(q * g_.words);
                rows_.any[std::size_t(r + q)] =
                    std::any_of(u, u + g_.words, [](std::uint32_t w) { return w != 0; });
            }
            next_ += n;
        }
    }

    // Node row y of level m's bits, and of the unusable nodes.
    const std::uint32_t* Above(std::size_t m, std::ptrdiff_t y) const {
        return rows_.above.data() + (std::ptrdiff_t(m) * ring_ + y % ring_) * g_.words;
    }
    const std::uint32_t* Unusable(std::ptrdiff_t y) const {
        return rows_.unusable.data() + (y % ring_) * g_.words;
    }
    CellCorners UnusableCorners(std::ptrdiff_t w, std::ptrdiff_t y) const {
        return CornersOf(Unusable(y), Unusable(y + 1), w);
    }

    // Cell (x, y) exists and is contoured: no corner of it is unusable, or with a corner mask
    // one at most (a triangle).
    bool Usable(std::ptrdiff_t x, std::ptrdiff_t y) const {
        if (x < 0 || y < 0 || x > nx_ - 2 || y > ny_ - 2) return false;
        if (!bad_) return true;
        const unsigned missing = unsigned(
            std::popcount(Pair(Unusable(y), g_, x, 0) | Pair(Unusable(y + 1), g_, x, 0) << 2));
        return missing == 0 || (in_.cornerMask && missing == 1);
    }

    // The cells of word w in row y that have a neighbour missing or unusable (a candidate
    // superset: Cell decides edge by edge).
    std::uint32_t NearDomain(std::ptrdiff_t w, std::ptrdiff_t y) const {
        if (y == 0 || y == ny_ - 2) return ~0u;
        std::uint32_t m = 0;
        if (w == 0) m |= 1u;
        if (w == (nx_ - 2) / kWordBits) m |= 1u << ((nx_ - 2) % kWordBits);
        if (bad_) {
            const std::ptrdiff_t lastWord = (nx_ - 2) / kWordBits;
            const auto bad = [&](std::ptrdiff_t ww, std::ptrdiff_t yy) -> std::uint32_t {
                if (ww < 0 || ww > lastWord) return 0;
                return UnusableCorners(ww, yy).Any();
            };
            const std::uint32_t here = bad(w, y);
            m |= bad(w, y - 1) | bad(w, y + 1) | here << 1 | bad(w - 1, y) >> 31 | here >> 1 |
                 bad(w + 1, y) << 31;
        }
        return m;
    }

    // The four corners' states in cell bit of the corner words: 0 not above the lower level,
    // 1 in the band, 2 above the upper level.
    static std::array<int, 4> States(const CellCorners& L, const CellCorners& U, int bit) {
        return {int((L.c0 >> bit) & 1u) + int((U.c0 >> bit) & 1u),
                int((L.c1 >> bit) & 1u) + int((U.c1 >> bit) & 1u),
                int((L.c2 >> bit) & 1u) + int((U.c2 >> bit) & 1u),
                int((L.c3 >> bit) & 1u) + int((U.c3 >> bit) & 1u)};
    }

    // Band k's cells of cell row y: in every word, or when listed only in words[0 .. count).
    void Row(BandState<T>& b, int k, std::ptrdiff_t y, bool listed, const std::uint32_t* words,
             std::size_t count) {
        const int nl = int(in_.levels.size());
        const std::uint32_t* lower = k >= 1 ? Above(std::size_t(k - 1), y) : nullptr;
        const std::uint32_t* upper = k < nl ? Above(std::size_t(k), y) : nullptr;
        const std::uint32_t* lowerUp = k >= 1 ? Above(std::size_t(k - 1), y + 1) : nullptr;
        const std::uint32_t* upperUp = k < nl ? Above(std::size_t(k), y + 1) : nullptr;
        if (listed)
            for (std::size_t q = 0; q < count; ++q)
                Word(b, k, y, std::ptrdiff_t(words[q]), lower, upper, lowerUp, upperUp);
        else
            for (std::ptrdiff_t w = cells_.first; w <= cells_.last; ++w)
                Word(b, k, y, w, lower, upper, lowerUp, upperUp);
    }

    // The cells of word w of that row (the levels' bits of its node rows lower and upper, and
    // of the rows above them, null for a level the band does not have).
    [[gnu::always_inline]] void Word(BandState<T>& b, int k, std::ptrdiff_t y, std::ptrdiff_t w,
                                     const std::uint32_t* lower, const std::uint32_t* upper,
                                     const std::uint32_t* lowerUp, const std::uint32_t* upperUp) {
        const CellCorners L =
            lower ? CornersOf(lower, lowerUp, w) : CellCorners{~0u, ~0u, ~0u, ~0u};
        const CellCorners U = upper ? CornersOf(upper, upperUp, w) : CellCorners{0, 0, 0, 0};
        const std::uint32_t inside = (L.c0 & L.c1 & L.c2 & L.c3) & ~U.Any();
        const std::uint32_t lowerMixed = L.Mixed(), upperMixed = U.Mixed();
        // With a corner mask, the cells missing one corner, each a triangle whose diagonal
        // borders the band wherever the band reaches it.
        CellCorners missing{0, 0, 0, 0};
        std::uint32_t triangles = 0;
        if (bad_) {
            missing = UnusableCorners(w, y);
            if (in_.cornerMask)
                triangles = missing.Any() & ~missing.TwoOrMore() & ExistingCells(g_, w);
        }
        std::uint32_t m = lowerMixed | upperMixed;
        if (m == 0 && inside == 0 && triangles == 0) return;
        const std::uint32_t near = NearDomain(w, y);
        m |= inside & near;
        m &= ~missing.Any();
        m |= triangles;
        m &= cells_.Cells(w);
        if (m == 0) return;
        // Cells crossed by one level only, away from the border and unusable cells: the
        // common case, whose pieces are that level's line alone.
        const std::uint32_t lean = (lowerMixed ^ upperMixed) & ~near;
        for (; m != 0; m &= m - 1) {
            const int bit = __builtin_ctz(m);
            const std::ptrdiff_t x = w * kWordBits + bit;
            emitted_ = 0;
            if ((triangles >> bit) & 1u) {
                const int q = (missing.c0 >> bit) & 1u   ? 0
                              : (missing.c1 >> bit) & 1u ? 1
                              : (missing.c2 >> bit) & 1u ? 2
                                                         : 3;
                Triangle(b, k, x, y, q, States(L, U, bit));
                continue;
            }
            if ((lean >> bit) & 1u) {
                const bool lowerLevel = (lowerMixed >> bit) & 1u;
                const CellCorners& c = lowerLevel ? L : U;
                const unsigned kase = CaseOf((c.c0 >> bit) & 1u, (c.c1 >> bit) & 1u,
                                             (c.c2 >> bit) & 1u, (c.c3 >> bit) & 1u);
                if (OneLevel(b, k, x, y, lowerLevel ? 0 : 1, kase)) continue;
            }
            const std::array<int, 4> st = States(L, U, bit);
            const Sides domain{!Usable(x, y - 1), !Usable(x + 1, y), !Usable(x, y + 1),
                               !Usable(x - 1, y)};
            Cell(b, k, x, y, st, domain);
        }
    }

    // The pieces of cell (i, j) of case kase of level m (0 lower, 1 upper), when that level
    // alone crosses the cell and no edge of it is on the domain's border: what Cell makes of it,
    // made directly. False, with nothing made, when a crossing lands on a node: then Cell decides.
    bool OneLevel(BandState<T>& b, int k, std::ptrdiff_t i, std::ptrdiff_t j, int m,
                  unsigned kase) {
        const std::size_t li = std::size_t(k - 1 + m);
        std::array<Vertex<T>, 4> cross;
        for (unsigned bits = kCases.crossed[kase]; bits != 0; bits &= bits - 1) {
            const int e = __builtin_ctz(bits);
            cross[std::size_t(e)] = Cross(i, j, e, m, li);
            if (cross[std::size_t(e)].keyed) return false;
        }
        const int join = JoinOf(in_.rules, kase, in_.values, i, j, in_.LevelAt(li));
        static constexpr Sides kInside{};
        for (unsigned bits = kCases.entries[kase]; bits != 0; bits &= bits - 1) {
            const int e = __builtin_ctz(bits);
            const Vertex<T>& ex = cross[std::size_t(e)];
            const Vertex<T>& en = cross[std::size_t(kCases.exit[join][kase][e])];
            if (m == 0)
                Emit(b, i, kInside, ex, en);
            else
                Emit(b, i, kInside, en, ex);
        }
        return true;
    }

    // The crossing of level levels[li] on edge e of cell (i, j), as the lines place it; a
    // crossing that lands on a node is that node.
    Vertex<T> Cross(std::ptrdiff_t i, std::ptrdiff_t j, int e, int m, std::size_t li) const {
        const EdgeCrossing<T> x =
            CrossEdge(in_.values, coords_, i, j, e, in_.LevelAt(li), in_.rules.log);
        return Place(x, x.horizontal ? grid_.OnH(x.i, x.j, x.s) : grid_.OnV(x.i, x.j, x.s), e, m);
    }

    // The same on the diagonal of triangle (i, j) missing corner q.
    Vertex<T> CrossDiagonal(std::ptrdiff_t i, std::ptrdiff_t j, int q, int m,
                            std::size_t li) const {
        const EdgeCrossing<T> x =
            detail::CrossDiagonal(in_.values, coords_, i, j, q, in_.LevelAt(li), in_.rules.log);
        return Place(x, grid_.OnD(x.i, x.j, x.di, x.s), kDiagonal, m);
    }

    Vertex<T> Place(const EdgeCrossing<T>& x, Point<T> grid, int e, int m) const {
        const std::ptrdiff_t iB = x.i + x.di, jB = x.j + x.dj;
        const T resolution = Resolution(frame_.gx + x.i, frame_.gy + x.j);
        // In grid units a point that equals a node has s within the resolution of 0 or 1; other
        // coordinates may still fold a crossing onto a node.
        const bool nearA =
            x.s <= resolution ||
            (kOwnGrid && (grid == grid_.Node(x.i, x.j) || x.at == coords_.Node(x.i, x.j)));
        if (nearA) return Node(x.i, x.j);
        const bool nearB =
            x.s >= T(1) - resolution ||
            (kOwnGrid && (grid == grid_.Node(iB, jB) || x.at == coords_.Node(iB, jB)));
        if (nearB) return Node(iB, jB);
        Vertex<T> v;
        v.grid = grid;
        v.at = x.at;
        v.key = 0;
        v.keyed = false;
        v.edge = e;
        v.level = m;
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
        v.grid = grid_.Node(i, j);
        v.at = coords_.Node(i, j);
        v.key = frame_.Node(i, j) * kKeys;
        v.keyed = true;
        return v;
    }

    // States st: 0 not above the lower level, 1 in the band, 2 above the upper level.
    void Cell(BandState<T>& b, int k, std::ptrdiff_t i, std::ptrdiff_t j,
              const std::array<int, 4>& st, const Sides& domain) {
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
                p.key = frame_.Node(i + EdgeDx(e), j + EdgeDy(e)) * kKeys + (Horizontal(e) ? 1 : 2);
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
            const int join =
                JoinOf(in_.rules, kase, in_.values, i, j, in_.LevelAt(std::size_t(k - 1 + m)));
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

    // Triangle (i, j) of a corner mask, missing corner q (cells.h): Cell on its three sides,
    // cell edges t[0] and t[1] and the diagonal, which always borders the domain.
    void Triangle(BandState<T>& b, int k, std::ptrdiff_t i, std::ptrdiff_t j, int q,
                  const std::array<int, 4>& st) {
        static constexpr int kAcrossX[4] = {0, 1, 0, -1}, kAcrossY[4] = {-1, 0, 1, 0};
        const int t[3] = {(q + 1) & 3, (q + 2) & 3, (q + 3) & 3}; // corners, counter-clockwise
        const int side[3] = {t[0], t[1], kDiagonal};              // side s from t[s] to t[s + 1]
        Sides domain{};
        for (int s = 0; s < 2; ++s)
            domain[std::size_t(side[s])] = !Usable(i + kAcrossX[side[s]], j + kAcrossY[side[s]]);
        domain[kDiagonal] = true;
        const std::ptrdiff_t ai = i + DiagonalDx(q), bi = ai + DiagonalStep(q);
        const Diagonal diagonal{frame_.Node(ai, j) * kKeys, frame_.Node(bi, j + 1) * kKeys,
                                frame_.Node(ai, j) * kKeys + ((q & 1) ? 3 : 4)};
        std::array<std::array<Vertex<T>, 2>, 3> cross;
        for (int s = 0; s < 3; ++s) {
            const int sa = st[std::size_t(t[s])], sb = st[std::size_t(t[(s + 1) % 3])];
            const bool has[2] = {(sa >= 1) != (sb >= 1), (sa == 2) != (sb == 2)};
            for (int m = 0; m < 2; ++m)
                if (has[m])
                    cross[s][m] = s < 2 ? Cross(i, j, side[s], m, std::size_t(k - 1 + m))
                                        : CrossDiagonal(i, j, q, m, std::size_t(k - 1 + m));
            // A pinch, as in Cell; on the diagonal also where the two crossings share a
            // coordinate: in grid units both lie on the diagonal itself (GridCoords::OnD), but
            // other coordinates round each in x and y apart, and the piece between them would no
            // longer run along the diagonal.
            const auto close = [&](const Point<T>& a, const Point<T>& c) {
                return s < 2 ? a == c : a.x == c.x || a.y == c.y;
            };
            if (has[0] && has[1] && !cross[s][0].keyed && !cross[s][1].keyed &&
                (close(cross[s][0].at, cross[s][1].at) ||
                 close(cross[s][0].grid, cross[s][1].grid))) {
                Vertex<T> p = cross[s][0];
                const int e = side[s];
                p.key = s < 2 ? frame_.Node(i + EdgeDx(e), j + EdgeDy(e)) * kKeys +
                                    (Horizontal(e) ? 1 : 2)
                              : diagonal.pinch;
                p.keyed = true;
                cross[s][0] = cross[s][1] = p;
            }
        }
        b.local.fill(-1);
        std::array<std::pair<Vertex<T>, Vertex<T>>, 4> line;
        int lines = 0;
        for (int m = 0; m < 2; ++m) {
            bool above[3];
            for (int s = 0; s < 3; ++s)
                above[s] = m == 0 ? st[std::size_t(t[s])] >= 1 : st[std::size_t(t[s])] == 2;
            int in = -1, out = -1;
            for (int s = 0; s < 3; ++s) {
                if (above[s] && !above[(s + 1) % 3]) in = s;
                if (!above[s] && above[(s + 1) % 3]) out = s;
            }
            if (in < 0) continue;
            if (m == 0)
                line[lines++] = {cross[in][m], cross[out][m]};
            else
                line[lines++] = {cross[out][m], cross[in][m]};
        }
        FoldBack(line, lines, &diagonal);
        for (int n = 0; n < lines; ++n)
            Emit(b, i, domain, line[n].first, line[n].second);
        for (int s = 0; s < 3; ++s) {
            if (!domain[std::size_t(side[s])]) continue;
            const int ca = t[s], cb = t[(s + 1) % 3];
            const int sa = st[std::size_t(ca)], sb = st[std::size_t(cb)];
            if (sa == sb && sa != 1) continue;
            const Vertex<T> a =
                sa == 1 ? Node(i + kCornerX[ca], j + kCornerY[ca]) : cross[s][sa == 0 ? 0 : 1];
            const Vertex<T> z =
                sb == 1 ? Node(i + kCornerX[cb], j + kCornerY[cb]) : cross[s][sb == 0 ? 0 : 1];
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
    // In a triangle, the same along its diagonal: the keys of its two nodes and of a pinch on it.
    struct Diagonal {
        std::uint64_t a, b, pinch;
        bool Holds(const Vertex<T>& v) const {
            return v.keyed ? v.key == a || v.key == b || v.key == pinch : v.edge == kDiagonal;
        }
    };
    static void FoldBack(std::array<std::pair<Vertex<T>, Vertex<T>>, 4>& line, int& lines,
                         const Diagonal* diagonal = nullptr) {
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
                    const bool along = diagonal && diagonal->Holds(x) && diagonal->Holds(n) &&
                                       diagonal->Holds(y) &&
                                       (x.grid.y > n.grid.y) == (y.grid.y > n.grid.y);
                    // Out to N and straight back to X across the cell: a sliver of no width
                    // between two pieces, band or not, which the two pieces leave out.
                    const bool back = Same(y, x);
                    if (!vertical && !horizontal && !along && !back) continue;
                    line[p].second = y;
                    line[q] = line[--lines];
                    if (q < lines && p == lines) p = q; // the merged piece moved
                    if (Same(line[p].first, line[p].second)) line[p] = line[--lines];
                    again = true;
                }
            }
        }
    }

    void Emit(BandState<T>& b, std::ptrdiff_t i, const Sides& domain, const Vertex<T>& a,
              const Vertex<T>& z) {
        if (a.keyed && z.keyed && a.key == z.key) return; // nothing left of a piece between them
        BandPieces<T>& o = *b.out;
        const std::int64_t piece = std::int64_t(o.next.size());
        o.from.push_back(a.at);
        if constexpr (kOwnGrid) o.gridFrom.push_back(a.grid);
        o.next.push_back(-1);
        if (in_.window) o.keys.push_back(frame_.Cell(i, row_) * kPieceKeys + emitted_++);
        End(b, i, domain, a, z, piece, true);
        End(b, i, domain, z, a, piece, false);
    }

    void End(BandState<T>& b, std::ptrdiff_t i, const Sides& domain, const Vertex<T>& v,
             const Vertex<T>& other, std::int64_t piece, bool out) {
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
    BitGrid g_;
    std::ptrdiff_t nx_, ny_;
    int kFirst_, kLast_;
    std::vector<BandPieces<T>>& out_;
    BandRows& rows_;
    std::vector<BandSlots>& slots_;
    std::ptrdiff_t batch_ = 1, ring_ = 4; // rows classified at once; rows the ring holds
    bool columns_ = false;                // values contiguous along y, classified in stripes
    std::size_t pieces_ = 0;              // the pieces made when the last batch was sized,
    std::ptrdiff_t scanned_ = 0;          // and the cell row then to be scanned
    bool sparse_ = false; // levels enough for a band's scan to visit only the words it may cross
    std::ptrdiff_t next_ = 0; // the first node row not yet classified
    bool bad_ = false;        // an unusable node in the rows the current cell row reads
    std::array<std::int64_t, 10> local_;
    const Frame& frame_;
    Frame::Words cells_ = frame_.CellWords(); // the words of a cell row the frame holds
    GridCoords<T> grid_;                      // nodes in the grid's units
    std::ptrdiff_t row_ = 0;                  // the cell row being scanned
    std::uint64_t emitted_ = 0;               // pieces the current cell has made
};

} // namespace

template <class T>
void ScanBands(const BandInput<T>& in, int kFirst, int kLast, std::ptrdiff_t j0, std::ptrdiff_t j1,
               std::vector<BandPieces<T>>& out, BandRows& rows, std::vector<BandSlots>& slots) {
    WithCoords(
        in.kind, in.x, in.y, GridCoords<T>{in.frame.gx, in.frame.gy}, [&](const auto& coords) {
            Scanner<T, std::decay_t<decltype(coords)>>(in, coords, kFirst, kLast, out, rows, slots)
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
        all.keys.insert(all.keys.end(), b->keys.begin(), b->keys.end());
        for (auto seam : b->seams) {
            seam.piece += o;
            all.seams.push_back(seam);
        }
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
    template void ScanBands(const BandInput<T>&, int, int, std::ptrdiff_t, std::ptrdiff_t,         \
                            std::vector<BandPieces<T>>&, BandRows&, std::vector<BandSlots>&);      \
    template void JoinStrips(FilledScratch<T>&, BandPieces<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_SCAN)
#undef ISOCONTOUR_SCAN

} // namespace isocontour::detail
