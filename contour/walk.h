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

#include "contour/cases.h"
#include "contour/grid.h"
#include "contour/above_planes.h"

namespace contour {

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

// Calls cell(x, y, k) for every cell whose four corners are not all on the same side of the
// threshold, in walk order, with k its case index. The index names the planes that hold such
// cells in each cell row, so rows and planes without any are never read.
template <class Cell>
void ForEachMixedCell(std::span<const std::uint32_t> planes, std::span<const std::uint32_t> index,
                      GridSize g, Cell&& cell) {
    const int rows = g.ny - 1;
    const int groups = (PlaneCount(g) + kPlaneBits - 1) / kPlaneBits;
    for (int y = 0; y < rows; ++y) {
        for (int q = 0; q < groups; ++q) {
            std::uint32_t marked = index[std::size_t(q) * std::size_t(rows) + std::size_t(y)];
            while (marked != 0) {
                const int w = kPlaneBits * q + std::countr_zero(marked);
                const CellWord c = CellsOf(planes, g, w, y);
                for (std::uint32_t m = c.mixed; m != 0; m &= m - 1) {
                    const int i = std::countr_zero(m);
                    const int k = int(((c.c0 >> i) & 1) << 3 | ((c.c1 >> i) & 1) << 2 |
                                      ((c.c2 >> i) & 1) << 1 | ((c.c3 >> i) & 1));
                    cell(kPlaneBits * w + i, y, k);
                }
                marked &= marked - 1;
            }
        }
    }
}

// Scratch memory for repeated walks: sized on first use, kept between calls.
struct WalkWorkspace {
    std::vector<std::uint32_t> above; // every node's side of the threshold, as bit planes
    std::vector<std::uint32_t> index; // where in each cell row the mixed cells lie
};

// The cells a contour of values at t visits under table. Tables that leave cases 0 and 15 empty
// classify every node once, here, into above and index (at least AbovePlaneWords(g) and
// MixedIndexWords(g) words) and then visit only the mixed cells; other tables visit every cell.
// values and the scratch must outlive the walk; ForEach may run any number of times.
class CellWalk {
  public:
    CellWalk(std::span<const float> values, GridSize g, float t, const CaseSegments& table,
             std::span<std::uint32_t> above, std::span<std::uint32_t> index)
        : values_(values), g_(g), t_(t), table_(table), above_(above), index_(index),
          mixedOnly_(SkipsUniformCells(table)) {
        if (mixedOnly_ && g.CellCount() > 0) {
            ClassifyAbove(values, g, t, above);
            IndexMixedCells(above, g, index);
        }
    }
    // With work's memory, sized for g.
    CellWalk(std::span<const float> values, GridSize g, float t, const CaseSegments& table,
             WalkWorkspace& work)
        : CellWalk(values, g, t, table, Sized(work.above, AbovePlaneWords(g)),
                   Sized(work.index, MixedIndexWords(g))) {}

    // Calls cell(x, y, k) for the visited cells in walk order, k being the case index.
    template <class Cell> void ForEach(Cell&& cell) const {
        if (g_.CellCount() == 0) return;
        if (mixedOnly_) {
            ForEachMixedCell(above_, index_, g_, cell);
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
    std::span<std::uint32_t> above_, index_;
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

} // namespace contour
