// Grid geometry of the contour walk: nx * ny nodes, node (a, b) at the point (a, b) in grid
// units, stored at flat index a * ny + b (nodes sharing a are adjacent).
#pragma once

#include <cstddef>

namespace field {

struct GridSize {
    int nx = 0; // nodes along x, the first index
    int ny = 0; // nodes along y, the second index

    constexpr std::size_t Index(int a, int b) const {
        return std::size_t(a) * std::size_t(ny) + std::size_t(b);
    }
    constexpr std::size_t NodeCount() const {
        return nx > 0 && ny > 0 ? std::size_t(nx) * std::size_t(ny) : 0;
    }
    constexpr std::size_t CellCount() const {
        return nx > 1 && ny > 1 ? std::size_t(nx - 1) * std::size_t(ny - 1) : 0;
    }
};

} // namespace field
