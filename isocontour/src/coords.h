// The three kinds of coordinates a node can have, and where on an edge a crossing lands in
// each: grid units, one coordinate per column and row, or one pair per node.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "isocontour/isocontour.h"

namespace isocontour::detail {

// a + (b - a) * s, and for coordinates so far apart that the difference overflows, the same
// point from the weights.
template <class T> T Lerp(T a, T b, T s) {
    const T p = a + (b - a) * s;
    if (std::isfinite(p)) [[likely]]
        return p;
    return a * (T(1) - s) + b * s;
}

// Node (i, j) at (x0 + i, y0 + j): a view's nodes in grid units of the grid it is part of (the
// whole of it unless it is a window's view).
template <class T> struct GridCoords {
    std::ptrdiff_t x0 = 0, y0 = 0;
    Point<T> Node(std::ptrdiff_t i, std::ptrdiff_t j) const { return {T(x0 + i), T(y0 + j)}; }
    Point<T> OnH(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {T(x0 + i) + s, T(y0 + j)};
    }
    Point<T> OnV(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {T(x0 + i), T(y0 + j) + s};
    }
    // On the diagonal of a cell from node (i, j) to (i + di, j + 1), di = 1 or -1. The fraction
    // is rounded to the unit in the last place of the diagonal's larger coordinate first, so that
    // x and y are both exact and the point lies on the diagonal itself: rounded apart, two
    // levels' crossings a sliver apart could swap sides of each other's pieces, and the pieces
    // cross (cell edges need no such care, one coordinate being exact there).
    Point<T> OnD(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t di, T s) const {
        const std::ptrdiff_t xa = x0 + i, ya = y0 + j;
        const auto top = std::bit_ceil(std::uint64_t(std::max({xa, xa + di, ya + 1})));
        const T unit = T(top) * (std::numeric_limits<T>::epsilon() / 2);
        const T exact = std::nearbyint(s / unit) * unit;
        return {T(xa) + T(di) * exact, T(ya) + exact};
    }
};

// Node (i, j) at (x[i], y[j]).
template <class T> struct RectilinearCoords {
    View<T> x, y;
    Point<T> Node(std::ptrdiff_t i, std::ptrdiff_t j) const { return {x(i, 0), y(j, 0)}; }
    Point<T> OnH(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {Lerp(x(i, 0), x(i + 1, 0), s), y(j, 0)};
    }
    Point<T> OnV(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {x(i, 0), Lerp(y(j, 0), y(j + 1, 0), s)};
    }
    Point<T> OnD(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t di, T s) const {
        return {Lerp(x(i, 0), x(i + di, 0), s), Lerp(y(j, 0), y(j + 1, 0), s)};
    }
};

// Node (i, j) at (x(i, j), y(i, j)).
template <class T> struct CurvilinearCoords {
    View<T> x, y;
    Point<T> Node(std::ptrdiff_t i, std::ptrdiff_t j) const { return {x(i, j), y(i, j)}; }
    Point<T> OnH(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {Lerp(x(i, j), x(i + 1, j), s), Lerp(y(i, j), y(i + 1, j), s)};
    }
    Point<T> OnV(std::ptrdiff_t i, std::ptrdiff_t j, T s) const {
        return {Lerp(x(i, j), x(i, j + 1), s), Lerp(y(i, j), y(i, j + 1), s)};
    }
    Point<T> OnD(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t di, T s) const {
        return {Lerp(x(i, j), x(i + di, j + 1), s), Lerp(y(i, j), y(i + di, j + 1), s)};
    }
};

// What the coordinate views of the options describe.
enum class CoordKind { Grid, Rectilinear, Curvilinear };

// Calls f with the coordinates of the given kind (grid: those given), so that every pass is
// compiled once per kind.
template <class T, class F>
decltype(auto) WithCoords(CoordKind kind, View<T> x, View<T> y, GridCoords<T> grid, F&& f) {
    switch (kind) {
    case CoordKind::Rectilinear:
        return f(RectilinearCoords<T>{x, y});
    case CoordKind::Curvilinear:
        return f(CurvilinearCoords<T>{x, y});
    case CoordKind::Grid:
        break;
    }
    return f(grid);
}

} // namespace isocontour::detail
