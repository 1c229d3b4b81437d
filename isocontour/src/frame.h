// The part of a grid one call contours and how it numbers what it finds: the whole of a view, or
// a window of a larger grid (isocontour::Window), so that windows contoured apart are joined by
// numbers every window computes alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace isocontour::detail {

// The cells a call contours and how it numbers its crossings: every cell of the view (a plain
// call), or a window of a larger grid (see isocontour::Window), in view indices.
struct Frame {
    std::ptrdiff_t cx0 = 0, cx1 = 0, cy0 = 0, cy1 = 0; // the cells contoured
    std::ptrdiff_t gx = 0, gy = 0;                     // the view's node (0, 0) in the grid
    std::ptrdiff_t gridCellsX = 0;                     // cells per row of the grid
    bool below = false, left = false, above = false, right = false; // the grid goes on there

    // A crossing's number in the grid's order: made by cell (x, y) (view indices) as its rank-th
    // edge (0 bottom, 1 left, 2 right, 3 top, 4 a triangle's diagonal), the order in which a
    // whole grid's call makes them.
    std::uint64_t Key(std::ptrdiff_t x, std::ptrdiff_t y, int rank) const {
        return Cell(x, y) * 5 + std::uint64_t(rank);
    }
    // The grid's index of view cell (x, y), in the order a whole grid's call scans them.
    std::uint64_t Cell(std::ptrdiff_t x, std::ptrdiff_t y) const {
        return std::uint64_t(y + gy) * std::uint64_t(gridCellsX) + std::uint64_t(x + gx);
    }
    // The words of a row of cells (x = 32 w .. 32 w + 31) that hold the frame's cells, first to
    // last, and the cells of the first and last of them that it holds.
    struct Words {
        std::ptrdiff_t first, last;
        std::uint32_t firstCells, lastCells;
        std::uint32_t Cells(std::ptrdiff_t w) const {
            return (w == first ? firstCells : ~0u) & (w == last ? lastCells : ~0u);
        }
    };
    Words CellWords() const {
        if (cx1 <= cx0) return {0, -1, 0, 0};
        const auto below = [](std::ptrdiff_t n) { // the bits of cells x < 32 w + n, 0 <= n <= 32
            return n >= 32 ? ~std::uint32_t(0) : (std::uint32_t(1) << n) - 1;
        };
        const std::ptrdiff_t first = cx0 / 32, last = (cx1 - 1) / 32;
        return {first, last, ~below(cx0 - first * 32), below(cx1 - last * 32)};
    }
    // Marks on a stored key: the line goes on past the frame there; the crossing may equal its
    // neighbour along the line (see CrossingChunk::mayRepeat).
    static constexpr std::uint64_t kGoesOn = std::uint64_t(1) << 63;
    static constexpr std::uint64_t kMayRepeat = std::uint64_t(1) << 62;
    static constexpr std::uint64_t kMarks = kGoesOn | kMayRepeat;

    // The grid's index of view node (i, j), and of the edge from it to +x (or +y when vertical).
    std::uint64_t Node(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return std::uint64_t(j + gy) * std::uint64_t(gridCellsX + 1) + std::uint64_t(i + gx);
    }
    std::uint64_t Edge(std::ptrdiff_t i, std::ptrdiff_t j, bool vertical) const {
        return 2 * Node(i, j) + (vertical ? 1 : 0);
    }
    // Whether the grid goes on past the frame's side through node (i, j) of its border, so that
    // cells of other windows share the node.
    bool Shared(std::ptrdiff_t i, std::ptrdiff_t j) const {
        return (below && j == cy0) || (above && j == cy1) || (left && i == cx0) ||
               (right && i == cx1);
    }
};

// A whole view as the frame of a plain call.
inline Frame WholeView(std::ptrdiff_t nx, std::ptrdiff_t ny) {
    Frame f;
    f.cx1 = nx - 1;
    f.cy1 = ny - 1;
    f.gridCellsX = nx - 1;
    return f;
}

} // namespace isocontour::detail
