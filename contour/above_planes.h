// The single-level walk's first passes over float values in node-major layout: every node of a
// grid classified against the threshold at once, as bit planes that put the nodes of one cell row
// (equal second index) side by side, and an index of where in each cell row the mixed cells lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "contour/grid.h"

namespace contour {

// Nodes per plane word.
inline constexpr int kPlaneBits = 32;

// Words the planes of grid g take: one word per node row b for every 32 values of a.
constexpr std::size_t AbovePlaneWords(GridSize g) {
    return g.nx > 0 && g.ny > 0
               ? std::size_t((g.nx + kPlaneBits - 1) / kPlaneBits) * std::size_t(g.ny)
               : 0;
}

// planes[w * ny + b] gets bit k set exactly when node (32 w + k, b) is strictly above t, the
// comparison of the case index: a value equal to t, or NaN, is not above. Bits for a >= nx are
// clear. values is read once, front to back. planes must hold AbovePlaneWords(g) words.
void ClassifyAbove(std::span<const float> values, GridSize g, float t,
                   std::span<std::uint32_t> planes);

constexpr int PlaneCount(GridSize g) { return (g.nx + kPlaneBits - 1) / kPlaneBits; }

// Words of the mixed-cell index of grid g: one bit per plane for every cell row.
constexpr std::size_t MixedIndexWords(GridSize g) {
    return g.nx > 1 && g.ny > 1
               ? std::size_t((PlaneCount(g) + kPlaneBits - 1) / kPlaneBits) * std::size_t(g.ny - 1)
               : 0;
}

// The 32 cells x = 32 w + i (bit i) of plane w in cell row y: the side of each corner (corner 0
// at (x, y), 1 at (x + 1, y), 2 at (x + 1, y + 1), 3 at (x, y + 1)) and which cells are mixed,
// their corners not all on one side. Bits of cells beyond x = nx - 2 are clear in mixed.
struct CellWord {
    std::uint32_t c0, c1, c2, c3, mixed;
};

// The bits of plane w's cells that exist (x <= nx - 2).
constexpr std::uint32_t ExistingCells(GridSize g, int w) {
    const int cells = g.nx - 1 - kPlaneBits * w;
    return cells >= kPlaneBits ? ~std::uint32_t(0)
           : cells <= 0        ? 0u
                               : (std::uint32_t(1) << cells) - 1;
}

inline CellWord CellsOf(std::span<const std::uint32_t> planes, GridSize g, int w, int y) {
    const std::size_t ny = std::size_t(g.ny), at = std::size_t(w) * ny + std::size_t(y);
    const std::uint32_t lo = planes[at], up = planes[at + 1];
    // Node x + 1 of the plane's last cell is the next plane's first node.
    const bool next = w + 1 < PlaneCount(g);
    const std::uint32_t loNext = next ? planes[at + ny] : 0u,
                        upNext = next ? planes[at + ny + 1] : 0u;
    CellWord c;
    c.c0 = lo;
    c.c1 = (lo >> 1) | (loNext << 31);
    c.c2 = (up >> 1) | (upNext << 31);
    c.c3 = up;
    c.mixed = ((c.c0 ^ c.c1) | (c.c0 ^ c.c2) | (c.c0 ^ c.c3)) & ExistingCells(g, w);
    return c;
}

// index[(w / 32) * (ny - 1) + y] gets bit w mod 32 set exactly when CellsOf(planes, g, w, y)
// has a mixed cell. Reads the planes once, plane by plane; index must hold MixedIndexWords(g).
void IndexMixedCells(std::span<const std::uint32_t> planes, GridSize g,
                     std::span<std::uint32_t> index);

} // namespace contour
