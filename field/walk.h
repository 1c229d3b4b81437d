// The marching-squares walk: which cells a contour visits, in which order, and where it crosses
// their edges. The one place that chooses between visiting every cell and visiting only the
// cells with corners on both sides of the threshold.
//
// Cells are walked row by row: y outer, x inner, cell (x, y) having (x, y) as its lowest node.
// A crossing on edge e runs from corner A = e to corner B = (e + 1) mod 4:
//   s      = (t - cA) / (cB - cA)                       rounded to float
//   point  = PA + (PB - PA) * s                         only the coordinate along the edge moves
// An infinite corner A makes s NaN; an edge number outside 0..3 is walked as edge 3.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "field/cases.h"
#include "field/grid.h"
#include "isocontour/isocontour.h"

namespace field {

// Nodes per classification word.
inline constexpr int kWordBits = 32;

// Calls cell(x, y, k) for every cell in walk order, with k its case index.
template <class Cell>
void ForEachCell(std::span<const float> values, GridSize g, float t, Cell&& cell) {
    for (int y = 0; y + 1 < g.ny; ++y) {
        for (int x = 0; x + 1 < g.nx; ++x) {
            cell(x, y,
                 CaseIndex(values[g.Index(x, y)], values[g.Index(x + 1, y)],
                           values[g.Index(x + 1, y + 1)], values[g.Index(x, y + 1)], t));
        }
    }
}

// Words the walk's classification of grid g takes: isocontour's layout, one row of words per
// cell-row index b, bit k of word w being node (32 w + k, b).
constexpr std::size_t AboveWords(GridSize g) {
    return g.nx > 0 && g.ny > 0
               ? std::size_t(isocontour::ClassifiedRowWords(g.nx)) * std::size_t(g.ny)
               : 0;
}

// The walk's values as the library reads them: node (a, b) at flat index a * ny + b.
inline isocontour::View<float> NodeView(std::span<const float> values, GridSize g) {
    return {values.data(), g.nx, g.ny, g.ny, 1, g.NodeCount()};
}

// Calls cell(x, y, k) for every cell whose four corners are not all on the same side of the
// threshold, in walk order, with k its case index. above is isocontour::ClassifyAbove's
// classification of the grid; each word of a row holds 32 cells' corners.
template <class Cell>
void ForEachMixedCell(std::span<const std::uint32_t> above, GridSize g, Cell&& cell) {
    const std::size_t words = std::size_t(isocontour::ClassifiedRowWords(g.nx));
    const int lastWord = (g.nx - 2) / kWordBits;
    // The cells of the last word that exist (x <= nx - 2).
    const int rest = g.nx - 1 - kWordBits * lastWord;
    const std::uint32_t lastCells =
        rest >= kWordBits ? ~std::uint32_t(0) : (std::uint32_t(1) << rest) - 1;
    for (int y = 0; y + 1 < g.ny; ++y) {
        const std::uint32_t* lo = above.data() + std::size_t(y) * words;
        const std::uint32_t* up = lo + words;
        for (int w = 0; w <= lastWord; ++w) {
            // The zero word after each row's last supplies node x + 1 of the row's last cell.
            const std::uint32_t c0 = lo[w], c1 = (lo[w] >> 1) | (lo[w + 1] << 31),
                                c2 = (up[w] >> 1) | (up[w + 1] << 31), c3 = up[w];
            const std::uint32_t exists = w < lastWord ? ~std::uint32_t(0) : lastCells;
            for (std::uint32_t m = ((c0 ^ c1) | (c0 ^ c2) | (c0 ^ c3)) & exists; m != 0;
                 m &= m - 1) {
                const int i = std::countr_zero(m);
                const int k = int(((c0 >> i) & 1) << 3 | ((c1 >> i) & 1) << 2 |
                                  ((c2 >> i) & 1) << 1 | ((c3 >> i) & 1));
                cell(kWordBits * w + i, y, k);
            }
        }
    }
}

// Scratch memory for repeated walks: sized on first use, kept between calls.
struct WalkWorkspace {
    std::vector<std::uint32_t> above; // every node's side of the threshold, as bits
};

// The cells a contour of values at t visits under table. Tables that leave cases 0 and 15 empty
// classify every node once, here, into above (at least AboveWords(g) words) and then visit only
// the mixed cells; other tables visit every cell. values and the scratch must outlive the walk;
// ForEach may run any number of times.
class CellWalk {
  public:
    CellWalk(std::span<const float> values, GridSize g, float t, const CaseSegments& table,
             std::span<std::uint32_t> above)
        : values_(values), g_(g), t_(t), table_(table), above_(above),
          mixedOnly_(SkipsUniformCells(table)) {
        if (mixedOnly_ && g.CellCount() > 0)
            isocontour::ClassifyAbove(NodeView(values, g), t, above);
    }
    // With work's memory, sized for g.
    CellWalk(std::span<const float> values, GridSize g, float t, const CaseSegments& table,
             WalkWorkspace& work)
        : CellWalk(values, g, t, table, Sized(work.above, AboveWords(g))) {}

    // Calls cell(x, y, k) for the visited cells in walk order, k being the case index.
    template <class Cell> void ForEach(Cell&& cell) const {
        if (g_.CellCount() == 0) return;
        if (mixedOnly_) {
            ForEachMixedCell(above_, g_, cell);
        } else {
            ForEachCell(values_, g_, t_, cell);
        }
    }

    // The number of end points the walk's crossings make: two per segment of each cell's case.
    std::size_t EndPoints() const {
        std::size_t n = 0;
        ForEach([&](int, int, int k) { n += 2 * std::size_t(table_.count[k]); });
        return n;
    }

    std::span<const float> Values() const { return values_; }
    GridSize Grid() const { return g_; }
    float Threshold() const { return t_; }
    const CaseSegments& Table() const { return table_; }

  private:
    static std::span<std::uint32_t> Sized(std::vector<std::uint32_t>& v, std::size_t n) {
        v.resize(n);
        return v;
    }

    std::span<const float> values_;
    GridSize g_;
    float t_;
    const CaseSegments& table_;
    std::span<std::uint32_t> above_;
    bool mixedOnly_;
};

// Where a contour crosses edge e of the cell at (x, y): the parameter s from corner a to corner
// b and the point, in grid units.
struct EdgeCrossing {
    int a, b;
    float s;
    float x, y;
};

// c holds the cell's four corner values, corner 0 first.
inline EdgeCrossing CrossEdge(int e, int x, int y, const float (&c)[4], float t) {
    const int a = (e == 0 || e == 1 || e == 2) ? e : 3; // anything else walks edge 3
    const int b = (a + 1) & 3;
    const float s = (t - c[a]) / (c[b] - c[a]);
    const float fx = float(x), fy = float(y), fx1 = float(x + 1), fy1 = float(y + 1);
    switch (a) {
    case 0:
        return {a, b, s, fx + s, fy};
    case 1:
        return {a, b, s, fx1, fy + s};
    case 2:
        return {a, b, s, fx1 - s, fy1};
    default:
        return {a, b, s, fx, fy1 - s};
    }
}

} // namespace field
