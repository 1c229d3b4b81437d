// Joined contour lines in one pass over the values: each row of nodes is classified against every
// level as bit words while it is in cache, the cells with corners on both sides are found a word
// at a time, and every crossing is computed once, by the first cell (in row order) that has its
// edge, and linked to the crossing after it along its line. The links are then followed to write
// the lines out. Bands of cell rows run on their own threads; their links across the band
// boundaries are joined afterwards, so that any thread count gives the same crossings, numbered
// the same way, and so the same output.
//
// Order of the output: crossings are numbered in the order the cells make them (cell rows from
// y = 0 up, each from x = 0; within a cell its bottom, left, right, then top edge). Open lines
// come first, each from its start (on the border or beside an unusable cell) to its end, in the
// order of their starts' numbers; then closed lines, each from its lowest-numbered crossing, in
// the order of those numbers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "cells.h"
#include "checks.h"
#include "isocontour/isocontour.h"
#include "coords.h"
#include "chunks.h"
#include "classify.h"
#include "strips.h"

namespace isocontour {
namespace detail {
namespace {

constexpr Id kNone = -1;
// A crossing on a band's bottom row, made by the band below: -(x + 2) until the bands are joined.
constexpr Id Pending(std::ptrdiff_t x) { return Id(-(x + 2)); }
constexpr bool IsPending(Id id) { return id <= -2; }
constexpr std::ptrdiff_t PendingX(Id id) { return -std::ptrdiff_t(id) - 2; }

// One level's crossings made by one band, and what joining it to its neighbours needs.
template <class T> struct Crossings {
    using Block = CrossingBlock<T>;
    std::vector<std::unique_ptr<Block>> blocks;
    std::vector<std::unique_ptr<Point<T>[]>> normals; // per block, with Options::normals
    std::vector<std::uint32_t> used;
    std::size_t count = 0;                         // ids handed out, block gaps included
    std::vector<std::pair<std::ptrdiff_t, Id>> up; // (x, id): the crossing below the band at x
                                                   // leads to id
    std::vector<Id> bottom, top;                   // ids on the current cell row's bottom and
                                                   // top edges by x; top ends as the band's top
    Id left = kNone;                               // id on the current cell's left edge
    BlockPool<T>* pool = nullptr;

    Point<T>& PointAt(std::size_t i) {
        return blocks[i >> Block::kShift]->points[i & (Block::kSize - 1)];
    }
    const Point<T>& PointAt(std::size_t i) const {
        return blocks[i >> Block::kShift]->points[i & (Block::kSize - 1)];
    }
    Id& NextAt(std::size_t i) { return blocks[i >> Block::kShift]->next[i & (Block::kSize - 1)]; }
    Id NextAt(std::size_t i) const {
        return blocks[i >> Block::kShift]->next[i & (Block::kSize - 1)];
    }
    const Point<T>& NormalAt(std::size_t i) const {
        return normals[i >> Block::kShift][i & (Block::kSize - 1)];
    }

    // A new crossing's slot.
    Id Add(bool withNormals) {
        if ((count & (Block::kSize - 1)) == 0) {
            if (blocks.size() >= (std::size_t(1) << (31 - Block::kShift)) - 1) [[unlikely]]
                throw Error("more crossings than this library numbers (2^31)");
            blocks.push_back(pool->Take());
            if (withNormals) normals.push_back(pool->TakeNormals());
            used.push_back(0);
            count = (blocks.size() - 1) << Block::kShift;
        }
        ++used.back();
        return Id(count++);
    }
};

template <class T, class Coords, bool kNormals> class BandScan {
  public:
    BandScan(View<T> v, View<std::uint8_t> mask, const Coords& coords, Saddle saddle,
             std::span<const T> levels, std::span<Crossings<T>> out)
        : v_(v), mask_(mask), coords_(coords), saddle_(saddle), levels_(levels), out_(out),
          g_(BitGrid::Of(v.nx, v.ny)), normals_{v, coords, mask} {}

    // Cell rows y0 .. y1 - 1, in stripes of 32: the stripe's node rows are classified together
    // (reading values contiguous along y a column at a time), then its cells are scanned.
    void Run(std::ptrdiff_t y0, std::ptrdiff_t y1) {
        // Rows read in place go one at a time, so that the crossings find their values in cache;
        // values contiguous along y go 1024 rows at a time, each column read in one sweep.
        const std::ptrdiff_t kStripe = v_.strideY == 1 && v_.strideX != 1 ? 32 * kWordBits : 1;
        const std::ptrdiff_t kRows = kStripe + 1;
        const std::ptrdiff_t words = g_.words, nl = std::ptrdiff_t(levels_.size());
        std::vector<std::uint32_t> above(std::size_t(nl * kRows * words));
        std::vector<std::uint32_t> unusable(std::size_t(kRows * words));
        std::vector<std::uint32_t> bad(std::size_t(2 * words));
        for (Crossings<T>& c : out_) {
            c.bottom.assign(std::size_t(g_.nx), kNone);
            c.top.assign(std::size_t(g_.nx), kNone);
        }
        y0_ = y0;
        std::uint32_t* badBelow = bad.data();
        std::uint32_t* badHere = bad.data() + words;
        if (y0 > 0) { // the cells below the band: whether the band makes its bottom crossings
            ClassifyStripe(v_, mask_, levels_, g_, y0 - 1, 2, kRows, above.data(), unusable.data());
            BadCells(unusable.data(), unusable.data() + words, badBelow);
        } else {
            std::fill(badBelow, badBelow + words, 0u);
        }
        const std::ptrdiff_t lastWord = (g_.nx - 2) / kWordBits;
        for (std::ptrdiff_t s = y0; s < y1; s += kStripe) {
            const std::ptrdiff_t cellRows = std::min(kStripe, y1 - s);
            if (s == y0) {
                ClassifyStripe(v_, mask_, levels_, g_, s, cellRows + 1, kRows, above.data(),
                               unusable.data());
            } else { // the last stripe's top row is this one's bottom
                for (std::ptrdiff_t m = 0; m < nl; ++m)
                    std::copy_n(&above[std::size_t((m * kRows + kStripe) * words)], words,
                                &above[std::size_t(m * kRows * words)]);
                std::copy_n(&unusable[std::size_t(kStripe * words)], words, unusable.data());
                ClassifyStripe(v_, mask_, levels_, g_, s + 1, cellRows, kRows, above.data() + words,
                               unusable.data() + words);
            }
            for (std::ptrdiff_t r = 0; r < cellRows; ++r) {
                const std::ptrdiff_t y = s + r;
                BadCells(&unusable[std::size_t(r * words)], &unusable[std::size_t((r + 1) * words)],
                         badHere);
                badBelow_ = badBelow;
                badHere_ = badHere;
                for (std::ptrdiff_t m = 0; m < nl; ++m) {
                    Crossings<T>& c = out_[std::size_t(m)];
                    std::swap(c.bottom, c.top);
                    level_ = levels_[std::size_t(m)];
                    c_ = &c;
                    const std::uint32_t* rlo = &above[std::size_t((m * kRows + r) * words)];
                    const std::uint32_t* rup = rlo + words;
                    for (std::ptrdiff_t w = 0; w <= lastWord; ++w) {
                        const std::uint32_t l0 = rlo[w], l1 = rlo[w + 1], u0 = rup[w],
                                            u1 = rup[w + 1];
                        const CellCorners cc{l0, (l0 >> 1) | (l1 << 31), (u0 >> 1) | (u1 << 31),
                                             u0};
                        std::uint32_t mixed = cc.Mixed() & ExistingCells(g_, w) & ~badHere[w];
                        for (; mixed != 0; mixed &= mixed - 1) {
                            const int b = __builtin_ctz(mixed);
                            const unsigned k = ((cc.c0 >> b) & 1u) | ((cc.c1 >> b) & 1u) << 1 |
                                               ((cc.c3 >> b) & 1u) << 2 | ((cc.c2 >> b) & 1u) << 3;
                            Cell(w * kWordBits + b, y, k);
                        }
                    }
                }
                std::swap(badBelow, badHere);
            }
        }
        for (Crossings<T>& c : out_)
            std::vector<Id>().swap(c.bottom);
    }

  private:
    // Cells of a row with an unusable corner, from the unusable nodes of its two node rows.
    void BadCells(const std::uint32_t* lo, const std::uint32_t* up, std::uint32_t* bad) const {
        for (std::ptrdiff_t w = 0; w + 1 < g_.words; ++w)
            bad[w] =
                lo[w] | (lo[w] >> 1) | (lo[w + 1] << 31) | up[w] | (up[w] >> 1) | (up[w + 1] << 31);
        bad[g_.words - 1] = 0;
    }

    static bool BitOf(const std::uint32_t* bits, std::ptrdiff_t x) {
        return (bits[x >> 5] >> (x & 31)) & 1u;
    }

    int JoinOf(unsigned k, std::ptrdiff_t x, std::ptrdiff_t y) const {
        if (!IsSaddle(k) || saddle_ == Saddle::Above) return kJoinAbove;
        if (saddle_ == Saddle::Below) return kJoinBelow;
        const T mean = (v_(x, y) + v_(x + 1, y) + v_(x + 1, y + 1) + v_(x, y + 1)) / T(4);
        return mean > level_ ? kJoinAbove : kJoinBelow;
    }

    // The crossing on edge e of cell (x, y), appended to the current level's crossings.
    Id Make(int e, std::ptrdiff_t x, std::ptrdiff_t y) {
        Crossings<T>& c = *c_;
        const std::ptrdiff_t i = x + EdgeDx(e), j = y + EdgeDy(e);
        const bool h = Horizontal(e);
        const T a = v_(i, j), b = h ? v_(i + 1, j) : v_(i, j + 1);
        const T s = CrossingFraction(a, b, level_);
        const Id id = c.Add(kNormals);
        auto& block = *c.blocks.back();
        const std::size_t at = std::size_t(id) & (CrossingBlock<T>::kSize - 1);
        const Point<T> p = h ? coords_.OnH(i, j, s) : coords_.OnV(i, j, s);
        block.points[at] = p;
        block.next[at] = kNone;
        bool repeat = true;
        if constexpr (std::is_same_v<Coords, GridCoords<T>>)
            repeat = p == coords_.Node(i, j) || p == coords_.Node(i + h, j + !h);
        const std::uint32_t bit = std::uint32_t(1) << (at & 31);
        block.mayRepeat[at >> 5] = (block.mayRepeat[at >> 5] & ~bit) | (repeat ? bit : 0u);
        if constexpr (kNormals)
            c.normals.back()[at] = normals_.At(i, j, h ? 1 : 0, h ? 0 : 1, s, a > level_);
        return id;
    }

    void Cell(std::ptrdiff_t x, std::ptrdiff_t y, unsigned k) {
        Crossings<T>& c = *c_;
        const unsigned crossed = kCases.crossed[k];
        Id id[4] = {kNone, kNone, kNone, kNone};
        // In the order the numbering fixes: bottom, left, right, top.
        if (crossed & 1u) {
            if (y == 0 || BitOf(badBelow_, x))
                id[0] = Make(0, x, y);
            else if (y == y0_)
                id[0] = Pending(x);
            else
                id[0] = c.bottom[std::size_t(x)];
        }
        if (crossed & 8u) id[3] = (x == 0 || BitOf(badHere_, x - 1)) ? Make(3, x, y) : c.left;
        if (crossed & 2u) c.left = id[1] = Make(1, x, y);
        if (crossed & 4u) c.top[std::size_t(x)] = id[2] = Make(2, x, y);
        const int join = JoinOf(k, x, y);
        for (unsigned in = kCases.entries[k]; in != 0; in &= in - 1) {
            const int e = __builtin_ctz(in);
            const Id from = id[e], to = id[kCases.exit[join][k][e]];
            if (IsPending(from))
                c.up.push_back({PendingX(from), to});
            else
                c.NextAt(std::size_t(from)) = to;
        }
    }

    View<T> v_;
    View<std::uint8_t> mask_;
    Coords coords_;
    Saddle saddle_;
    std::span<const T> levels_;
    std::span<Crossings<T>> out_;
    BitGrid g_;
    Normals<T, Coords> normals_;
    std::ptrdiff_t y0_ = 0;
    T level_{};
    Crossings<T>* c_ = nullptr;
    const std::uint32_t* badBelow_ = nullptr;
    const std::uint32_t* badHere_ = nullptr;
};

// The bands' crossings of one level as one numbering, in bands[0]: band b's blocks follow band
// b - 1's, its ids shift by the ids before it, and its links to the row below it resolve through
// the band below's top ids.
template <class T> void JoinBands(std::span<Crossings<T>> bands) {
    using Block = CrossingBlock<T>;
    Crossings<T>& all = bands[0];
    std::size_t base = 0, belowBase = 0;
    for (std::size_t b = 1; b < bands.size(); ++b) {
        Crossings<T>& band = bands[b];
        belowBase = base;
        base = all.blocks.size() << Block::kShift;
        if (all.blocks.size() + band.blocks.size() >= (std::size_t(1) << (31 - Block::kShift)) - 1)
            throw Error("more crossings than this library numbers (2^31)");
        const std::vector<Id>& below = bands[b - 1].top;
        for (std::size_t k = 0; k < band.blocks.size(); ++k) {
            Id* next = band.blocks[k]->next;
            for (std::size_t i = 0; i < band.used[k]; ++i) {
                const Id n = next[i];
                next[i] = n >= 0 ? Id(std::size_t(n) + base)
                          : IsPending(n)
                              ? Id(std::size_t(below[std::size_t(PendingX(n))]) + belowBase)
                              : kNone;
            }
            all.blocks.push_back(std::move(band.blocks[k]));
            if (!band.normals.empty()) all.normals.push_back(std::move(band.normals[k]));
            all.used.push_back(band.used[k]);
        }
        for (const auto& [x, to] : band.up)
            all.NextAt(std::size_t(below[std::size_t(x)]) + belowBase) = Id(std::size_t(to) + base);
        // Later bands' pending ids refer to this band's top, in this band's own numbering.
        band.blocks.clear();
    }
}

// Follows the links of one level's crossings and appends its lines to out in the documented
// order, dropping repeated consecutive points and lines that shrink to one point. The links are
// followed first without touching the points (each link is replaced by the crossing's place in
// the output, or -1 for a dropped repeat), then the points are copied in creation order to their
// places: a walk through 4 bytes per crossing, then one pass through the points in order.
template <class T> void WriteLines(Crossings<T>& c, bool normals, Lines<T>& out) {
    using Block = CrossingBlock<T>;
    const std::size_t n = c.blocks.size() << Block::kShift;
    if (n == 0) return;
    std::vector<std::uint64_t> hasPrev(n / 64, 0), done(n / 64, 0);
    const auto set = [](std::vector<std::uint64_t>& bits, std::size_t i) {
        bits[i >> 6] |= std::uint64_t(1) << (i & 63);
    };
    const auto test = [](const std::vector<std::uint64_t>& bits, std::size_t i) {
        return ((bits[i >> 6] >> (i & 63)) & 1u) != 0;
    };
    std::size_t made = 0;
    for (std::size_t k = 0; k < c.blocks.size(); ++k) {
        made += c.used[k];
        const Id* next = c.blocks[k]->next;
        for (std::size_t i = 0; i < c.used[k]; ++i)
            if (next[i] >= 0) set(hasPrev, std::size_t(next[i]));
    }
    const auto block = [&](std::size_t i) -> Block& { return *c.blocks[i >> Block::kShift]; };
    const auto at = [](std::size_t i) { return i & (Block::kSize - 1); };
    const auto same = [&](std::size_t i, std::size_t j) {
        return block(i).MayRepeat(at(i)) && block(j).MayRepeat(at(j)) &&
               block(i).points[at(i)] == block(j).points[at(j)];
    };
    const std::int64_t base = std::int64_t(out.points.size());
    Id placed = 0;
    std::vector<std::pair<Id, std::size_t>> closing; // (place, crossing) of each closing point
    const auto place = [&](std::size_t start, bool closed) {
        const Id first = placed;
        std::size_t last = start, steps = 0;
        Id j = block(start).next[at(start)];
        block(start).next[at(start)] = placed++;
        set(done, start);
        while (j >= 0 && std::size_t(j) != start && steps++ < made) {
            const std::size_t i = std::size_t(j);
            set(done, i);
            j = block(i).next[at(i)];
            if (same(i, last)) {
                block(i).next[at(i)] = -1;
                continue;
            }
            block(i).next[at(i)] = placed++;
            last = i;
        }
        if (closed && !same(last, start)) closing.push_back({placed++, start});
        if (placed - first < 2) { // everything fell on one point
            block(start).next[at(start)] = -1;
            placed = first;
            return;
        }
        out.offsets.push_back(base + placed);
        out.closed.push_back(closed ? 1 : 0);
    };
    // Open lines first, by their starts (crossings nothing leads to), then closed lines, each
    // from its lowest crossing; both in the numbering's order.
    for (std::size_t k = 0; k < c.blocks.size(); ++k)
        for (std::size_t i = k << Block::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(hasPrev, i)) place(i, false);
    for (std::size_t k = 0; k < c.blocks.size(); ++k)
        for (std::size_t i = k << Block::kShift, end = i + c.used[k]; i < end; ++i)
            if (!test(done, i)) place(i, true);
    out.points.resize(std::size_t(base + placed));
    if (normals) out.normals.resize(out.points.size());
    Point<T>* pts = out.points.data() + base;
    Point<T>* nrm = normals ? out.normals.data() + base : nullptr;
    for (std::size_t k = 0; k < c.blocks.size(); ++k) {
        const Block& b = *c.blocks[k];
        for (std::size_t i = 0; i < c.used[k]; ++i) {
            const Id to = b.next[i];
            if (to < 0) continue;
            pts[to] = b.points[i];
            if (nrm) nrm[to] = c.normals[k][i];
        }
    }
    for (const auto& [to, from] : closing) {
        const Id first = block(from).next[at(from)];
        pts[to] = pts[first];
        if (nrm) nrm[to] = nrm[first];
    }
}

template <class T> void Clear(Lines<T>& out) {
    out.points.clear();
    out.normals.clear();
    out.offsets.assign(1, 0);
    out.closed.clear();
    out.levelOffsets.assign(1, 0);
}

template <class T, class Coords>
void RunLevels(View<T> values, std::span<const T> levels, const Options<T>& options,
               const Coords& coords, Lines<T>& out, BlockPool<T>& pool) {
    const std::vector<RowBand> bands = SplitRows(values.ny - 1, values.nx, options.threads);
    std::vector<std::vector<Crossings<T>>> crossings(bands.size());
    for (auto& c : crossings) {
        c.resize(levels.size());
        for (Crossings<T>& l : c)
            l.pool = &pool;
    }
    auto scan = [&](std::size_t b) {
        if (options.normals)
            BandScan<T, Coords, true>(values, options.mask, coords, options.saddle, levels,
                                      crossings[b])
                .Run(bands[b].y0, bands[b].y1);
        else
            BandScan<T, Coords, false>(values, options.mask, coords, options.saddle, levels,
                                       crossings[b])
                .Run(bands[b].y0, bands[b].y1);
    };
    RunEach(bands.size(), scan);
    std::vector<Crossings<T>> level(bands.size());
    for (std::size_t m = 0; m < levels.size(); ++m) {
        for (std::size_t b = 0; b < bands.size(); ++b)
            level[b] = std::move(crossings[b][m]);
        JoinBands<T>(level);
        WriteLines(level[0], options.normals, out);
        pool.Give(level[0].blocks, level[0].normals);
        out.levelOffsets.push_back(std::int64_t(out.closed.size()));
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
    BlockPool<T>& pool = work.Own().Pool<T>();
    CheckLevels(levels);
    const CoordKind kind = CheckArguments(values, options);
    Clear(out);
    if (!HasCells(values)) {
        out.levelOffsets.assign(levels.size() + 1, 0);
        return;
    }
    switch (kind) {
    case CoordKind::Grid:
        RunLevels(values, levels, options, GridCoords<T>{}, out, pool);
        break;
    case CoordKind::Rectilinear:
        RunLevels(values, levels, options, RectilinearCoords<T>{options.x, options.y}, out, pool);
        break;
    case CoordKind::Curvilinear:
        RunLevels(values, levels, options, CurvilinearCoords<T>{options.x, options.y}, out, pool);
        break;
    }
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

#define CONTOUR_LINES_FOR(T)                                                                       \
    template Lines<T> ContourLines(View<T>, T, const Options<T>&);                                 \
    template Lines<T> ContourLines(View<T>, std::span<const T>, const Options<T>&);                \
    template void ContourLines(View<T>, T, const Options<T>&, Lines<T>&);                          \
    template void ContourLines(View<T>, std::span<const T>, const Options<T>&, Lines<T>&);         \
    template void ContourLines(View<T>, std::span<const T>, const Options<T>&, Lines<T>&,          \
                               Workspace&);                                                        \
    template void ContourLines(View<T>, T, const Options<T>&, Lines<T>&, Workspace&);              \
    template std::vector<std::vector<Point<T>>> SplitLines(const Lines<T>&);
CONTOUR_LINES_FOR(float)
CONTOUR_LINES_FOR(double)
#undef CONTOUR_LINES_FOR

} // namespace isocontour
