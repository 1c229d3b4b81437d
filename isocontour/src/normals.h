// Unit normals of the lines: the gradient at an edge's two nodes, interpolated to the crossing.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "coords.h"

namespace isocontour::detail {

// Unit normals towards lower values from the gradient at the edge's nodes, interpolated along
// it. A node's gradient takes differences in index space (central where both neighbours are
// usable, one-sided at the border or beside a masked or NaN node), turned into the coordinates'
// gradient through the differences of the coordinates on the same stencil. Where that gives no
// direction (a flat or infinite gradient, degenerate coordinates) the normal runs along the edge,
// from its higher node to its lower.
template <class T, class Coords> struct Normals {
    View<T> v;
    Coords coords;
    View<std::uint8_t> mask;

    bool Usable(std::ptrdiff_t i, std::ptrdiff_t j) const {
        if (i < 0 || j < 0 || i >= v.nx || j >= v.ny || std::isnan(v(i, j))) return false;
        return !mask.Present() || mask(i, j) == 0;
    }

    // Differences of the values and coordinates along one index direction at node (i, j).
    struct Diff {
        T dv, dx, dy;
    };
    Diff Along(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t di, std::ptrdiff_t dj) const {
        std::ptrdiff_t ip = i + di, jp = j + dj, im = i - di, jm = j - dj;
        const bool p = Usable(ip, jp), m = Usable(im, jm);
        if (!p) ip = i, jp = j;
        if (!m) im = i, jm = j;
        const T span = T(int(p) + int(m));
        if (span == T(0)) return {T(0), T(0), T(0)};
        const Point<T> a = coords.Node(im, jm), b = coords.Node(ip, jp);
        return {(v(ip, jp) - v(im, jm)) / span, (b.x - a.x) / span, (b.y - a.y) / span};
    }

    // The gradient at node (i, j), up to a positive factor.
    Point<T> Gradient(std::ptrdiff_t i, std::ptrdiff_t j) const {
        const Diff di = Along(i, j, 1, 0), dj = Along(i, j, 0, 1);
        // v_i = v_x x_i + v_y y_i and v_j = v_x x_j + v_y y_j, solved by Cramer's rule; the
        // determinant's sign keeps the direction.
        const T det = di.dx * dj.dy - dj.dx * di.dy;
        const T gx = di.dv * dj.dy - dj.dv * di.dy, gy = di.dx * dj.dv - dj.dx * di.dv;
        return det < T(0) ? Point<T>{-gx, -gy} : Point<T>{gx, gy};
    }

    // (x, y) scaled to unit length, first by its larger component so that nothing overflows or
    // sinks into the denormals; false for a zero or non-finite vector.
    static bool Unit(T x, T y, Point<T>& out) {
        if (!std::isfinite(x) || !std::isfinite(y)) return false;
        const T m = std::fmax(std::fabs(x), std::fabs(y));
        if (!(m > T(0))) return false;
        x /= m, y /= m;
        const T len = std::sqrt(x * x + y * y);
        out = {x / len, y / len};
        return true;
    }

    // The normal at fraction s along the edge from node a = (i, j) to b = (i + di, j + dj).
    Point<T> At(std::ptrdiff_t i, std::ptrdiff_t j, std::ptrdiff_t di, std::ptrdiff_t dj, T s,
                bool aAbove) const {
        const Point<T> ga = Gradient(i, j), gb = Gradient(i + di, j + dj);
        Point<T> n;
        if (Unit(-(ga.x + (gb.x - ga.x) * s), -(ga.y + (gb.y - ga.y) * s), n)) return n;
        const Point<T> a = coords.Node(i, j), b = coords.Node(i + di, j + dj);
        const T sign = aAbove ? T(1) : T(-1);
        if (Unit(sign * (b.x - a.x), sign * (b.y - a.y), n)) return n;
        return {sign * T(di), sign * T(dj)};
    }
};

} // namespace isocontour::detail
