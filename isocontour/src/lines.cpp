// Joined contour lines in one pass over the values: each row of nodes is classified against every
// level as bit words while it is in cache, the cells with corners on both sides are found a word
// at a time, and every crossing is computed once, by the first cell (in row order) that has its
// edge, and linked to the crossing after it along its line. The links are then followed to write
// the lines out. Strips of cell rows run on their own threads; their links across the seams
// are stitched afterwards, so that any thread count gives the same crossings, numbered the same
// way, and so the same output.
//
// Order of the output: crossings are numbered in the order the cells make them (cell rows from
// y = 0 up, each from x = 0; within a cell its bottom, left, right, then top edge). Open lines
// come first, each from its start (on the border or beside an unusable cell) to its end, in the
// order of their starts' numbers; then closed lines, each from its lowest-numbered crossing, in
// the order of those numbers.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "cells.h"
#include "checks.h"
#include "chunks.h"
#include "classify.h"
#include "isocontour/isocontour.h"
#include "level_groups.h"
#include "level_ranges.h"
#include "line_pieces.h"
#include "lines.h"
#include "normals.h"
#include "pages.h"
#include "strips.h"
#include "value_types.h"
#include "workspace.h"

namespace isocontour {
namespace detail {
namespace {

// A crossing on a strip's bottom seam, made by the strip below: -(x + 2) until the strip's seam
// ends are recorded.
constexpr Id Pending(std::ptrdiff_t x) { return Id(-(x + 2)); }
constexpr bool IsPending(Id id) { return id <= -2; }
constexpr std::ptrdiff_t PendingX(Id id) { return -std::ptrdiff_t(id) - 2; }

// kTile: the frame is a window of a larger grid, and every crossing keeps its number in the
// grid's order (Frame::Key), marked where its line goes on past the window.
template <class T, class Coords, bool kNormals, bool kTile> class StripScan {
  public:
    StripScan(View<T> v, View<std::uint8_t> mask, const Coords& coords, const Rules<T>& rules,
              bool cornerMask, const Frame& frame, std::span<const T> levels,
              std::span<Crossings<T>> out, StripRows& rows)
        : v_(v), mask_(mask), coords_(coords), rules_(rules), cornerMask_(cornerMask),
          frame_(frame), levels_(levels), out_(out), rows_(rows),
          g_(BitGrid::Of(v.nx, v.ny)), normals_{v, coords, mask},
          sparse_(levels.size() >= kSparseLevels && std::is_sorted(levels.begin(), levels.end())) {}

    // Cell rows y0 .. y1 - 1, in stripes of 32: the stripe's node rows are classified together
    // (reading values contiguous along y a column at a time), then its cells are scanned.
    void Run(std::ptrdiff_t y0, std::ptrdiff_t y1) {
        // Rows read in place go one at a time, so that the crossings find their values in cache;
        // values contiguous along y go in stripes of up to kTallStripe rows (NextStripe), each
        // column read in one sweep. The first stripe is short: a tall one is worth it only
        // where crossings are few.
        const std::ptrdiff_t kStripe = v_.strideY == 1 && v_.strideX != 1 ? kTallStripe : 1;
        const std::ptrdiff_t kRows = kStripe + 1;
        std::ptrdiff_t stripe = std::min(kStripe, kShortStripe);
        // With one cell row a stripe, its two node rows take turns as the lower one (lower_), so
        // that the upper row's bits stay where they are rather than being copied down.
        lower_ = 0;
        LevelRanges& ranges = rows_.ranges;
        ranges.Reset(kRows, g_); // the rows' bits will be this call's levels'
        const auto row = [&](std::ptrdiff_t r) { return kStripe == 1 ? (r + lower_) & 1 : r; };
        const std::ptrdiff_t words = g_.words, nl = std::ptrdiff_t(levels_.size());
        std::vector<std::uint32_t>& above = rows_.above;
        std::vector<std::uint32_t>& unusable = rows_.unusable;
        std::vector<std::uint32_t>& bad = rows_.bad;
        above.resize(std::size_t(nl * kRows * words));
        unusable.resize(std::size_t(kRows * words));
        bad.resize(std::size_t(3 * words));
        rows_.top.assign(std::size_t(words), 0u);
        skipTop_ = rows_.top.data();
        if (kTile && y1 == frame_.cy1 && frame_.above) { // the cells past the window's top
            ClassifyStripe(v_, mask_, levels_, rules_.atLevel, g_, y1, 2, kRows, above.data(),
                           unusable.data());
            BadCells(unusable.data(), unusable.data() + words, rows_.top.data(),
                     bad.data() + 2 * words);
        }
        for (Crossings<T>& c : out_) {
            c.rowBelow.assign(std::size_t(g_.nx), kNone);
            c.rowAbove.assign(std::size_t(g_.nx), kNone);
            c.ends.bottom.assign(std::size_t(g_.nx), -1);
        }
        y0_ = y0;
        // Per cell row: the cells left out (skip), and with a corner mask the triangles (cells
        // missing exactly one corner), whose cell row is the current one.
        std::uint32_t* skipBelow = bad.data();
        std::uint32_t* skipHere = bad.data() + words;
        std::uint32_t* triangles = bad.data() + 2 * words;
        bool zeroBelow = false, zeroHere = false; // each skip buffer known to be all clear
        if (y0 > 0) { // the cells below the strip: whether the strip makes its bottom crossings
            ClassifyStripe(v_, mask_, levels_, rules_.atLevel, g_, y0 - 1, 2, kRows, above.data(),
                           unusable.data());
            BadCells(unusable.data(), unusable.data() + words, skipBelow, triangles);
        } else {
            std::fill(skipBelow, skipBelow + words, 0u);
        }
        const Frame::Words cells = frame_.CellWords();
        for (std::ptrdiff_t s = y0, cellRows = 0; s < y1; s += cellRows) {
            const std::ptrdiff_t last = cellRows; // the previous stripe's
            const std::size_t made = kStripe > 1 ? Made() : 0;
            cellRows = std::min(stripe, y1 - s);
            if (s == y0) {
                ClassifyStripe(v_, mask_, levels_, rules_.atLevel, g_, s, cellRows + 1, kRows,
                               above.data(), unusable.data());
            } else if (kStripe == 1) { // the previous cell row's top node row is this one's bottom
                lower_ ^= 1;
                ClassifyStripe(v_, mask_, levels_, rules_.atLevel, g_, s + 1, 1, kRows,
                               above.data() + row(1) * words, unusable.data() + row(1) * words);
            } else { // the last stripe's top row is this one's bottom
                for (std::ptrdiff_t m = 0; m < nl; ++m)
                    std::copy_n(&above[std::size_t((m * kRows + last) * words)], words,
                                &above[std::size_t(m * kRows * words)]);
                std::copy_n(&unusable[std::size_t(last * words)], words, unusable.data());
                ClassifyStripe(v_, mask_, levels_, rules_.atLevel, g_, s + 1, cellRows, kRows,
                               above.data() + words, unusable.data() + words);
            }
            // Node rows of the stripe with an unusable node: the others' cells skip nothing.
            rows_.dirty.resize(std::size_t(kRows));
            for (std::ptrdiff_t r = 0; r <= cellRows; ++r) {
                const std::uint32_t* u = &unusable[std::size_t(row(r) * words)];
                rows_.dirty[std::size_t(r)] =
                    std::any_of(u, u + words, [](std::uint32_t x) { return x != 0; });
            }
            for (std::ptrdiff_t r = 0; r < cellRows; ++r) {
                const std::ptrdiff_t y = s + r;
                const std::uint32_t* lo = &unusable[std::size_t(row(r) * words)];
                const std::uint32_t* up = &unusable[std::size_t(row(r + 1) * words)];
                const bool clean = !rows_.dirty[std::size_t(r)] && !rows_.dirty[std::size_t(r + 1)];
                if (!clean || !zeroHere) {
                    BadCells(lo, up, skipHere, triangles);
                    zeroHere = clean;
                }
                skipBelow_ = skipBelow;
                skipHere_ = skipHere;
                const auto bits = [&](std::ptrdiff_t m, std::ptrdiff_t r) {
                    return &above[std::size_t((m * kRows + row(r)) * words)];
                };
                const bool sparse = clean && sparse_;
                if (sparse) {
                    // Each node row's ranges are found once, for the first cell row that needs
                    // them, and kept with its bits.
                    const auto rangesOf = [&](std::ptrdiff_t r) {
                        return ranges.Of(row(r), s + r, g_, nl,
                                         [&](std::ptrdiff_t m) { return bits(m, r); });
                    };
                    ranges.ByLevel(
                        cells.first, cells.last, rangesOf(r), rangesOf(r + 1), 0, std::size_t(nl),
                        0, [&](std::ptrdiff_t w) { return cells.Cells(w); },
                        [](std::ptrdiff_t) { return false; });
                }
                for (std::ptrdiff_t m = 0; m < nl; ++m) {
                    Crossings<T>& c = out_[std::size_t(m)];
                    std::swap(c.rowBelow, c.rowAbove);
                    level_ = Level<T>::Of(levels_[std::size_t(m)], rules_);
                    c_ = &c;
                    const std::uint32_t* rlo = bits(m, r);
                    const std::uint32_t* rup = bits(m, r + 1);
                    if (sparse) {
                        for (std::uint32_t k = ranges.start[std::size_t(m)],
                                           end = ranges.start[std::size_t(m) + 1];
                             k < end; ++k)
                            ScanWord<true>(std::ptrdiff_t(ranges.words[k]), rlo, rup, lo, up, cells,
                                           y, skipHere, triangles);
                    } else if (clean) {
                        ScanRow<true>(rlo, rup, lo, up, cells, y, skipHere, triangles);
                    } else {
                        ScanRow<false>(rlo, rup, lo, up, cells, y, skipHere, triangles);
                    }
                }
                std::swap(skipBelow, skipHere);
                std::swap(zeroBelow, zeroHere);
            }
            if (kStripe > 1) stripe = NextStripe(Made() - made, cellRows * (g_.nx - 1));
        }
        // The top row's crossings are the strip above's to link to.
        for (Crossings<T>& c : out_) {
            c.ends.top.resize(c.rowAbove.size());
            for (std::size_t x = 0; x < c.rowAbove.size(); ++x)
                c.ends.top[x] = c.rowAbove[x] >= 0 ? 2 * std::int64_t(c.rowAbove[x]) : -1;
        }
    }

  private:
    // The crossings this strip has made so far, of every level.
    std::size_t Made() const {
        std::size_t made = 0;
        for (const Crossings<T>& c : out_)
            made += c.count;
        return made;
    }

    // The cells of cell row y (node rows' bits rlo and rup for the level, unusable nodes lo and
    // up) that have corners on both sides, a word at a time; kClean: no unusable node in them.
    template <bool kClean>
    [[gnu::always_inline]] void ScanRow(const std::uint32_t* rlo, const std::uint32_t* rup,
                                        const std::uint32_t* lo, const std::uint32_t* up,
                                        const Frame::Words& cells, std::ptrdiff_t y,
                                        const std::uint32_t* skip, const std::uint32_t* triangles) {
        for (std::ptrdiff_t w = cells.first; w <= cells.last; ++w)
            ScanWord<kClean>(w, rlo, rup, lo, up, cells, y, skip, triangles);
    }

    // Word w of that row.
    template <bool kClean>
    [[gnu::always_inline]] void
    ScanWord(std::ptrdiff_t w, const std::uint32_t* rlo, const std::uint32_t* rup,
             const std::uint32_t* lo, const std::uint32_t* up, const Frame::Words& cells,
             std::ptrdiff_t y, const std::uint32_t* skip, const std::uint32_t* triangles) {
        const CellCorners cc = CornersOf(rlo, rup, w);
        const std::uint32_t tri = kClean ? 0u : triangles[w];
        std::uint32_t mixed = kClean ? cc.Mixed() & cells.Cells(w)
                                     : ((cc.Mixed() & ~(skip[w] | tri)) | tri) & cells.Cells(w);
        for (; mixed != 0; mixed &= mixed - 1) {
            const int b = __builtin_ctz(mixed);
            const unsigned k = ((cc.c0 >> b) & 1u) | ((cc.c1 >> b) & 1u) << 1 |
                               ((cc.c3 >> b) & 1u) << 2 | ((cc.c2 >> b) & 1u) << 3;
            if (!kClean && ((tri >> b) & 1u))
                Triangle(w * kWordBits + b, y, k, CornersOf(lo, up, w), b);
            else
                Cell(w * kWordBits + b, y, k);
        }
    }

    // Of a cell row, from the unusable nodes of its two node rows: the cells left out, and the
    // triangles (with a corner mask, the cells missing exactly one corner; else none).
    void BadCells(const std::uint32_t* lo, const std::uint32_t* up, std::uint32_t* skip,
                  std::uint32_t* triangles) const {
        for (std::ptrdiff_t w = 0; w + 1 < g_.words; ++w) {
            const CellCorners u = CornersOf(lo, up, w);
            const std::uint32_t any = u.Any();
            triangles[w] = cornerMask_ ? any & ~u.TwoOrMore() : 0u;
            skip[w] = any & ~triangles[w];
        }
        skip[g_.words - 1] = triangles[g_.words - 1] = 0;
    }

    static bool BitOf(const std::uint32_t* bits, std::ptrdiff_t x) {
        return (bits[x >> 5] >> (x & 31)) & 1u;
    }

    // The number in the grid's order of the crossing on edge e of cell (x, y): the cell that
    // makes it in a whole grid's call is the one below or to the left where the frame's edge
    // has a contoured cell past it; marked where the line goes on past the frame.
    std::uint64_t KeyOf(int e, std::ptrdiff_t x, std::ptrdiff_t y) const {
        const Frame& f = frame_;
        switch (e) {
        case 0:
            if (y == f.cy0 && f.below && !BitOf(skipBelow_, x))
                return f.Key(x, y - 1, 3) | Frame::kGoesOn;
            return f.Key(x, y, 0);
        case 3:
            if (x == f.cx0 && f.left && !BitOf(skipHere_, x - 1))
                return f.Key(x - 1, y, 2) | Frame::kGoesOn;
            return f.Key(x, y, 1);
        case 1:
            return f.Key(x, y, 2) |
                   (x == f.cx1 - 1 && f.right && !BitOf(skipHere_, x + 1) ? Frame::kGoesOn : 0);
        default:
            return f.Key(x, y, 3) |
                   (y == f.cy1 - 1 && f.above && !BitOf(skipTop_, x) ? Frame::kGoesOn : 0);
        }
    }

    // The crossing on edge e of cell (x, y), appended to the current level's crossings.
    Id Make(int e, std::ptrdiff_t cx, std::ptrdiff_t cy) {
        std::uint64_t key = 0;
        if constexpr (kTile) key = KeyOf(e, cx, cy);
        return Add(CrossEdge(v_, coords_, cx, cy, e, level_, rules_.log), key);
    }

    Id Add(const EdgeCrossing<T>& x, std::uint64_t key) {
        Crossings<T>& c = *c_;
        const std::ptrdiff_t i = x.i, j = x.j;
        const Point<T> p = x.at;
        const Id id = c.Add(kNormals, kTile);
        auto& chunk = *c.chunks.back();
        const std::size_t at = std::size_t(id) & (CrossingChunk<T>::kSize - 1);
        chunk.points[at] = p;
        chunk.next[at] = kNone;
        bool repeat = true;
        if constexpr (std::is_same_v<Coords, GridCoords<T>>)
            repeat = p == coords_.Node(i, j) || p == coords_.Node(i + x.di, j + x.dj);
        const std::uint32_t bit = std::uint32_t(1) << (at & 31);
        chunk.mayRepeat[at >> 5] = (chunk.mayRepeat[at >> 5] & ~bit) | (repeat ? bit : 0u);
        if constexpr (kNormals)
            c.normals.back()[at] =
                normals_.At(i, j, x.di, x.dj, x.s, rules_.Above(x.a, level_.value));
        if constexpr (kTile) c.keys.back()[at] = key | (repeat ? Frame::kMayRepeat : 0);
        return id;
    }

    // Links crossing from to crossing to along a line, either of them perhaps on the strip's
    // bottom seam, made by the strip below.
    void Link(Id from, Id to) {
        Crossings<T>& c = *c_;
        if (IsPending(from)) {
            c.ends.bottom[std::size_t(PendingX(from))] = 2 * std::int64_t(to) + 1;
        } else if (IsPending(to)) {
            c.NextAt(std::size_t(from)) = kNone;
            c.ends.bottom[std::size_t(PendingX(to))] = 2 * std::int64_t(from);
        } else {
            c.NextAt(std::size_t(from)) = to;
        }
    }

    // The crossings of cell (x, y)'s crossed edges in the numbering's order (bottom, left, right,
    // top), each made here or taken from the cell that made it; edges not crossed stay kNone.
    void Edges(std::ptrdiff_t x, std::ptrdiff_t y, unsigned crossed, Id (&id)[4]) {
        Crossings<T>& c = *c_;
        if (crossed & 1u) {
            if (y == frame_.cy0 || BitOf(skipBelow_, x))
                id[0] = Make(0, x, y);
            else if (y == y0_)
                id[0] = Pending(x);
            else
                id[0] = c.rowBelow[std::size_t(x)];
        }
        if (crossed & 8u)
            id[3] = (x == frame_.cx0 || BitOf(skipHere_, x - 1)) ? Make(3, x, y) : c.left;
        if (crossed & 2u) c.left = id[1] = Make(1, x, y);
        if (crossed & 4u) c.rowAbove[std::size_t(x)] = id[2] = Make(2, x, y);
    }

    // Cell (x, y) of case k missing corner q, as the triangle of its other corners (cells.h):
    // one line crosses it at most, entering where a corner above is followed (counter-clockwise)
    // by one that is not; its crossing on the diagonal, made here, is the line's end or start.
    void Triangle(std::ptrdiff_t x, std::ptrdiff_t y, unsigned k, const CellCorners& bad, int b) {
        int q = 0;
        while (!((std::array{bad.c0, bad.c1, bad.c2, bad.c3}[std::size_t(q)] >> b) & 1u))
            ++q;
        const int t[3] = {(q + 1) & 3, (q + 2) & 3, (q + 3) & 3}; // corners, counter-clockwise
        const bool up[3] = {CornerAbove(k, t[0]), CornerAbove(k, t[1]), CornerAbove(k, t[2])};
        if (up[0] == up[1] && up[1] == up[2]) return;
        // Side s of the triangle runs from corner t[s] to t[s + 1]: cell edges t[0] and t[1],
        // then the diagonal.
        unsigned crossed = 0;
        if (up[0] != up[1]) crossed |= 1u << t[0];
        if (up[1] != up[2]) crossed |= 1u << t[1];
        Id id[4] = {kNone, kNone, kNone, kNone};
        Edges(x, y, crossed, id);
        const Id side[3] = {id[t[0]], id[t[1]],
                            up[2] != up[0]
                                ? Add(CrossDiagonal(v_, coords_, x, y, q, level_, rules_.log),
                                      kTile ? frame_.Key(x, y, 4) : 0)
                                : kNone};
        int in = -1, out = -1;
        for (int s = 0; s < 3; ++s) {
            if (up[s] && !up[(s + 1) % 3]) in = s;
            if (!up[s] && up[(s + 1) % 3]) out = s;
        }
        Link(side[in], side[out]);
    }

    void Cell(std::ptrdiff_t x, std::ptrdiff_t y, unsigned k) {
        Id id[4] = {kNone, kNone, kNone, kNone};
        Edges(x, y, kCases.crossed[k], id);
        const int join = JoinOf(rules_, k, v_, x, y, level_);
        for (unsigned in = kCases.entries[k]; in != 0; in &= in - 1) {
            const int e = __builtin_ctz(in);
            Link(id[e], id[kCases.exit[join][k][e]]);
        }
    }

    View<T> v_;
    View<std::uint8_t> mask_;
    Coords coords_;
    Rules<T> rules_;
    bool cornerMask_;
    Frame frame_;
    std::span<const T> levels_;
    std::span<Crossings<T>> out_;
    StripRows& rows_;
    BitGrid g_;
    Normals<T, Coords> normals_;
    // From this many levels in ascending order on, each level scans only the words that may
    // cross it (LevelRanges) rather than the whole row; with fewer, on a rough field, finding
    // and listing the words cost about what they save.
    static constexpr std::size_t kSparseLevels = 16;
    bool sparse_;
    std::ptrdiff_t lower_ = 0;
    std::ptrdiff_t y0_ = 0;
    Level<T> level_{};
    Crossings<T>* c_ = nullptr;
    const std::uint32_t* skipBelow_ = nullptr; // cells left out, of the row below
    const std::uint32_t* skipHere_ = nullptr;  // and of the current row
    const std::uint32_t* skipTop_ = nullptr;   // of the row past a window's top
};

// One level's crossings of every strip as one numbering, in the first strip's: strip s's chunks
// follow strip s - 1's, its ids shift by the ids before it, and the seams are stitched.
template <class T> void JoinStrips(LinesScratch<T>& m) {
    using Chunk = CrossingChunk<T>;
    std::vector<Crossings<T>*>& strips = m.level;
    Crossings<T>& all = *strips[0];
    m.base.assign(1, 0);
    m.ends.assign(1, &all.ends);
    for (std::size_t s = 1; s < strips.size(); ++s) {
        Crossings<T>& strip = *strips[s];
        const std::size_t base = all.chunks.size() << Chunk::kShift;
        if (all.chunks.size() + strip.chunks.size() >= (std::size_t(1) << (31 - Chunk::kShift)) - 1)
            throw Error("more crossings than this library numbers (2^31)");
        for (std::size_t k = 0; k < strip.chunks.size(); ++k) {
            Id* next = strip.chunks[k]->next;
            for (std::size_t i = 0; i < strip.used[k]; ++i) {
                ISOCONTOUR_CHECK(next[i] >= kNone, "a strip's links are resolved within it");
                if (next[i] >= 0) next[i] = Id(std::size_t(next[i]) + base);
            }
            all.chunks.push_back(std::move(strip.chunks[k]));
            if (!strip.normals.empty()) all.normals.push_back(std::move(strip.normals[k]));
            if (!strip.keys.empty()) all.keys.push_back(std::move(strip.keys[k]));
            all.used.push_back(strip.used[k]);
        }
        strip.chunks.clear();
        strip.normals.clear();
        strip.keys.clear();
        m.base.push_back(std::int64_t(base));
        m.ends.push_back(&strip.ends);
    }
    StitchSeams(std::span<SeamEnds* const>(m.ends), std::span<const std::int64_t>(m.base),
                [&](std::int64_t before, std::int64_t after) {
                    Id& next = all.NextAt(std::size_t(before));
                    ISOCONTOUR_CHECK(next == kNone, "a seam crossing is linked once");
                    next = Id(after);
                });
}

// Follows the links of one level's crossings and appends its lines to out in the documented
// order, dropping repeated consecutive points and lines that shrink to one point. The links are
// followed first without touching the points (each link is replaced by the crossing's place in
// the output, or -1 for a dropped repeat), then the points are copied in creation order to their
// places: a walk through 4 bytes per crossing, then one pass through the points in order.
template <class T>
void WriteLines(Crossings<T>& c, bool normals, LinesScratch<T>& m, Lines<T>& out) {
    using Chunk = CrossingChunk<T>;
    const std::size_t n = c.chunks.size() << Chunk::kShift;
    if (n == 0) return;
    std::vector<std::uint64_t>& hasPrev = m.hasPrev;
    std::vector<std::uint64_t>& done = m.done;
    hasPrev.assign(n / 64, 0);
    done.assign(n / 64, 0);
    const auto set = [](std::vector<std::uint64_t>& bits, std::size_t i) {
        bits[i >> 6] |= std::uint64_t(1) << (i & 63);
    };
    const auto test = [](const std::vector<std::uint64_t>& bits, std::size_t i) {
        return ((bits[i >> 6] >> (i & 63)) & 1u) != 0;
    };
    std::size_t made = 0;
    for (std::size_t k = 0; k < c.chunks.size(); ++k) {
        made += c.used[k];
        const Id* next = c.chunks[k]->next;
        for (std::size_t i = 0; i < c.used[k]; ++i)
            if (next[i] >= 0) set(hasPrev, std::size_t(next[i]));
    }
    const auto chunk = [&](std::size_t i) -> Chunk& { return *c.chunks[i >> Chunk::kShift]; };
    const auto at = [](std::size_t i) { return i & (Chunk::kSize - 1); };
    const auto same = [&](std::size_t i, std::size_t j) {
        return chunk(i).MayRepeat(at(i)) && chunk(j).MayRepeat(at(j)) &&
               chunk(i).points[at(i)] == chunk(j).points[at(j)];
    };
    const std::int64_t base = std::int64_t(out.points.size());
    Id placed = 0;
    std::vector<std::pair<Id, std::size_t>>& closing = m.closing;
    closing.clear();
    const auto place = [&](std::size_t start, bool closed) {
        const Id first = placed;
        std::size_t last = start, steps = 0;
        Id j = chunk(start).next[at(start)];
        chunk(start).next[at(start)] = placed++;
        set(done, start);
        while (j >= 0 && std::size_t(j) != start) {
            // Every crossing has one successor at most: a walk longer than there are crossings
            // has met a cycle that does not pass its start.
            ISOCONTOUR_CHECK(++steps <= made, "a line's links form a cycle that misses its start");
            const std::size_t i = std::size_t(j);
            set(done, i);
            j = chunk(i).next[at(i)];
            if (same(i, last)) {
                chunk(i).next[at(i)] = -1;
                continue;
            }
            chunk(i).next[at(i)] = placed++;
            last = i;
        }
        if (closed && !same(last, start)) closing.push_back({placed++, start});
        if (placed - first < 2) { // everything fell on one point
            chunk(start).next[at(start)] = -1;
            placed = first;
            return;
        }
        out.offsets.push_back(base + placed);
        out.closed.push_back(closed ? 1 : 0);
    };
    // Open lines first, by their starts (crossings nothing leads to), then closed lines, each
    // from its lowest crossing; both in the numbering's order.
    for (std::size_t k = 0; k < c.chunks.size(); ++k)
        for (std::size_t i = k << Chunk::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(hasPrev, i)) place(i, false);
    for (std::size_t k = 0; k < c.chunks.size(); ++k)
        for (std::size_t i = k << Chunk::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(done, i)) place(i, true);
    ResizeLarge(out.points, std::size_t(base + placed));
    if (normals) ResizeLarge(out.normals, out.points.size());
    Point<T>* pts = out.points.data() + base;
    Point<T>* nrm = normals ? out.normals.data() + base : nullptr;
    for (std::size_t k = 0; k < c.chunks.size(); ++k) {
        const Chunk& b = *c.chunks[k];
        for (std::size_t i = 0; i < c.used[k]; ++i) {
            const Id to = b.next[i];
            if (to < 0) continue;
            pts[to] = b.points[i];
            if (nrm) nrm[to] = c.normals[k][i];
        }
    }
    for (const auto& [to, from] : closing) {
        const Id first = chunk(from).next[at(from)];
        pts[to] = pts[first];
        if (nrm) nrm[to] = nrm[first];
    }
}

// A window's level: follows the links as WriteLines does, and hands each line, crossing by
// crossing (point, normal, key), to the pieces: whole, or a piece where it goes on past the
// window.
template <class T>
void WritePieces(Crossings<T>& c, bool normals, std::uint32_t level, LinesScratch<T>& m,
                 LinePieces<T>& out) {
    using Chunk = CrossingChunk<T>;
    const std::size_t n = c.chunks.size() << Chunk::kShift;
    if (n == 0) return;
    std::vector<std::uint64_t>& hasPrev = m.hasPrev;
    std::vector<std::uint64_t>& done = m.done;
    hasPrev.assign(n / 64, 0);
    done.assign(n / 64, 0);
    const auto set = [](std::vector<std::uint64_t>& bits, std::size_t i) {
        bits[i >> 6] |= std::uint64_t(1) << (i & 63);
    };
    const auto test = [](const std::vector<std::uint64_t>& bits, std::size_t i) {
        return ((bits[i >> 6] >> (i & 63)) & 1u) != 0;
    };
    for (std::size_t k = 0; k < c.chunks.size(); ++k) {
        const Id* next = c.chunks[k]->next;
        for (std::size_t i = 0; i < c.used[k]; ++i)
            if (next[i] >= 0) set(hasPrev, std::size_t(next[i]));
    }
    const auto at = [](std::size_t i) { return i & (Chunk::kSize - 1); };
    LineCrossings<T>& line = m.line;
    const auto walk = [&](std::size_t start, bool closed) {
        line.Clear();
        std::size_t steps = 0;
        for (Id j = Id(start); j >= 0;) {
            const std::size_t i = std::size_t(j);
            set(done, i);
            const std::size_t k = i >> Chunk::kShift;
            line.points.push_back(c.chunks[k]->points[at(i)]);
            if (normals) line.normals.push_back(c.normals[k][at(i)]);
            line.keys.push_back(c.keys[k][at(i)]);
            j = c.chunks[k]->next[at(i)];
            if (std::size_t(j) == start) break;
            ISOCONTOUR_CHECK(++steps <= n, "a line's links form a cycle that misses its start");
        }
        AddLine(line, closed, level, out);
    };
    for (std::size_t k = 0; k < c.chunks.size(); ++k)
        for (std::size_t i = k << Chunk::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(hasPrev, i)) walk(i, false);
    for (std::size_t k = 0; k < c.chunks.size(); ++k)
        for (std::size_t i = k << Chunk::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(done, i)) walk(i, true);
}

template <class T> void Clear(Lines<T>& out) {
    out.points.clear();
    out.normals.clear();
    out.offsets.assign(1, 0);
    out.closed.clear();
    out.levelOffsets.assign(1, 0);
}

// The levels' groups, as their ends into m.groups: all in one unless they may outgrow the budget
// of crossings at `bytes` each, and then by weight (m.weights): a level's estimated crossings
// (m.estimate, left empty when the levels cannot have that many), but at least a chunk per
// strip, which even a level without crossings takes.
template <class T>
void GroupLevels(View<T> values, std::span<const T> levels, std::size_t bytes, std::size_t strips,
                 LinesScratch<T>& m) {
    const std::size_t nodes = std::size_t(values.nx) * std::size_t(values.ny);
    const std::size_t budget = CrossingBudget(nodes * sizeof(T), bytes);
    const std::size_t chunks = strips * CrossingChunk<T>::kSize;
    const bool many = 2 * nodes * levels.size() > budget; // more crossings than the budget?
    m.estimate.clear();
    m.groups.assign(1, levels.size());
    if (levels.size() < 2 || (!many && chunks * levels.size() <= budget)) return;
    if (many) EstimateCrossings(values, levels, m.estimate);
    m.weights.clear();
    for (std::size_t l = 0; l < levels.size(); ++l)
        m.weights.push_back(std::max(many ? m.estimate[l] : 0.0, double(chunks)));
    GroupByWeight(m.weights, double(budget), 1, m.groups);
}

// Scans the frame's cells on the strips' threads, a group of levels at a time: tells
// reserve(crossings) how many crossings the group has and the later groups are estimated to
// have, then joins each level's strips and hands the level's crossings to write(crossings,
// level index).
template <bool kTile, class T, class Coords, class Reserve, class Write>
void RunLevels(View<T> values, std::span<const T> levels, const Options<T>& options,
               const Coords& coords, const Frame& frame, Scratch<T>& work, Reserve&& reserve,
               Write&& write) {
    LinesScratch<T>& m = work.lines;
    SplitRows(frame.cy1 - frame.cy0, frame.cx1 - frame.cx0 + 1, options.threads, m.strips);
    for (Strip& s : m.strips)
        s.y0 += frame.cy0, s.y1 += frame.cy0;
    const std::size_t ns = m.strips.size();
    if (m.crossings.size() < ns) m.crossings.resize(ns);
    if (m.rows.size() < ns) m.rows.resize(ns);
    for (std::size_t s = 0; s < ns; ++s) {
        if (m.crossings[s].size() < levels.size()) m.crossings[s].resize(levels.size());
        for (Crossings<T>& l : m.crossings[s])
            l.pool = &work.pool;
    }
    std::span<const T> group;
    auto scan = [&](std::size_t s) {
        const std::span<Crossings<T>> out(m.crossings[s].data(), group.size());
        const Rules<T> rules = Rules<T>::Of(options);
        if (options.normals)
            StripScan<T, Coords, true, kTile>(values, options.mask, coords, rules,
                                              options.cornerMask, frame, group, out, m.rows[s])
                .Run(m.strips[s].y0, m.strips[s].y1);
        else
            StripScan<T, Coords, false, kTile>(values, options.mask, coords, rules,
                                               options.cornerMask, frame, group, out, m.rows[s])
                .Run(m.strips[s].y0, m.strips[s].y1);
    };
    // However a call ends, its chunks go back to the pool.
    struct Release {
        LinesScratch<T>& m;
        ~Release() {
            for (auto& strip : m.crossings)
                for (Crossings<T>& c : strip)
                    if (c.pool) c.Reset();
        }
    } release{m};
    const std::size_t bytes = sizeof(CrossingChunk<T>) / CrossingChunk<T>::kSize +
                              (options.normals ? sizeof(Point<T>) : 0) +
                              (kTile ? sizeof(std::uint64_t) : 0);
    GroupLevels(values, levels, bytes, ns, m);
    std::size_t first = 0;
    for (const std::size_t end : m.groups) {
        group = levels.subspan(first, end - first);
        RunEach(ns, scan);
        double made = 0;
        for (std::size_t s = 0; s < ns; ++s)
            for (std::size_t l = 0; l < group.size(); ++l)
                for (const std::uint32_t used : m.crossings[s][l].used)
                    made += used;
        for (std::size_t l = end; l < m.estimate.size(); ++l)
            made += m.estimate[l] * 1.125; // with an eighth more, as the estimate may fall short
        reserve(std::size_t(made));
        for (std::size_t l = 0; l < group.size(); ++l) {
            m.level.clear();
            for (std::size_t s = 0; s < ns; ++s)
                m.level.push_back(&m.crossings[s][l]);
            JoinStrips<T>(m);
            write(*m.level[0], first + l);
            // Every strip's, not only the first's: the others lent it their chunks but still
            // count them, and the next group scans into them again.
            for (Crossings<T>* c : m.level)
                c->Reset();
        }
        first = end;
    }
}

} // namespace
} // namespace detail

Workspace::Workspace() : memory_(std::make_unique<Memory>()) {}
Workspace::~Workspace() = default;
Workspace::Workspace(Workspace&&) noexcept = default;
Workspace& Workspace::operator=(Workspace&&) noexcept = default;

template <class T>
void ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options,
                  Lines<T>& out) {
    Workspace work;
    ContourLines(values, levels, options, out, work);
}

template <class T>
void ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options,
                  Lines<T>& out, Workspace& work) {
    using namespace detail;
    Scratch<T>& scratch = work.Own().Of<T>();
    CheckLevels(levels);
    const CoordKind kind = CheckArguments(values, options);
    CheckInterpolation(values, levels, options);
    Clear(out);
    if (!HasCells(values)) {
        out.levelOffsets.assign(levels.size() + 1, 0);
        return;
    }
    WithCoords(kind, options.x, options.y, GridCoords<T>{}, [&](const auto& coords) {
        // Each crossing makes a point at most, and each closed line one more: the lines' points
        // are sized once, unless closed lines are very many and short (or the estimate of later
        // groups of levels falls short).
        const auto reserve = [&](std::size_t crossings) {
            const std::size_t points = out.points.size() + crossings + crossings / 32 + 64;
            ReserveLarge(out.points, points);
            if (options.normals) ReserveLarge(out.normals, points);
        };
        RunLevels<false>(values, levels, options, coords, WholeView(values.nx, values.ny), scratch,
                         reserve, [&](Crossings<T>& c, std::size_t) {
                             WriteLines(c, options.normals, scratch.lines, out);
                             out.levelOffsets.push_back(std::int64_t(out.closed.size()));
                         });
    });
}

template <class T>
LinePieces<T> ContourLines(View<T> values, const Window& window, std::span<const T> levels,
                           const Options<T>& options) {
    using namespace detail;
    Workspace work;
    Scratch<T>& scratch = work.Own().Of<T>();
    CheckLevels(levels);
    const CoordKind kind = CheckArguments(values, options);
    CheckInterpolation(values, levels, options);
    const Frame frame = FrameOf(window, values.nx, values.ny);
    LinePieces<T> out;
    out.levels = levels.size();
    if (frame.cx1 <= frame.cx0 || frame.cy1 <= frame.cy0) return out;
    WithCoords(kind, options.x, options.y, GridCoords<T>{window.x0, window.y0},
               [&](const auto& coords) {
                   // A crossing goes to a whole line or to a piece: room for each in both,
                   // on large pages before anything is written (only what is written is held).
                   const auto reserve = [&](std::size_t crossings) {
                       ReserveLarge(out.points, out.points.size() + crossings);
                       ReserveLarge(out.piecePoints, out.piecePoints.size() + crossings);
                       ReserveLarge(out.pieceKeys, out.pieceKeys.size() + crossings);
                       if (!options.normals) return;
                       ReserveLarge(out.normals, out.normals.size() + crossings);
                       ReserveLarge(out.pieceNormals, out.pieceNormals.size() + crossings);
                   };
                   RunLevels<true>(values, levels, options, coords, frame, scratch, reserve,
                                   [&](Crossings<T>& c, std::size_t l) {
                                       WritePieces(c, options.normals, std::uint32_t(l),
                                                   scratch.lines, out);
                                   });
               });
    return out;
}

template <class T>
void ContourLines(View<T> values, T level, const Options<T>& options, Lines<T>& out,
                  Workspace& work) {
    ContourLines(values, std::span<const T>(&level, 1), options, out, work);
}

template <class T>
void ContourLines(View<T> values, T level, const Options<T>& options, Lines<T>& out) {
    ContourLines(values, std::span<const T>(&level, 1), options, out);
}

template <class T>
Lines<T> ContourLines(View<T> values, std::span<const T> levels, const Options<T>& options) {
    Lines<T> out;
    ContourLines(values, levels, options, out);
    return out;
}

template <class T> Lines<T> ContourLines(View<T> values, T level, const Options<T>& options) {
    Lines<T> out;
    ContourLines(values, std::span<const T>(&level, 1), options, out);
    return out;
}

template <class T> std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>& lines) {
    std::vector<std::vector<Point<T>>> split(lines.LineCount());
    for (std::size_t k = 0; k < split.size(); ++k) {
        const auto line = lines.Line(k);
        split[k].assign(line.begin(), line.end());
    }
    return split;
}

#define ISOCONTOUR_LINES(T)                                                                        \
    template Lines<T> ContourLines(View<T>, T, const Options<T>&);                                 \
    template Lines<T> ContourLines(View<T>, std::span<const T>, const Options<T>&);                \
    template void ContourLines(View<T>, T, const Options<T>&, Lines<T>&);                          \
    template void ContourLines(View<T>, std::span<const T>, const Options<T>&, Lines<T>&);         \
    template void ContourLines(View<T>, std::span<const T>, const Options<T>&, Lines<T>&,          \
                               Workspace&);                                                        \
    template void ContourLines(View<T>, T, const Options<T>&, Lines<T>&, Workspace&);              \
    template std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>&);                       \
    template LinePieces<T> ContourLines(View<T>, const Window&, std::span<const T>,                \
                                        const Options<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_LINES)
#undef ISOCONTOUR_LINES

} // namespace isocontour
