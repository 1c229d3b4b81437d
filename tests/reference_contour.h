// The contour walk written once more, straight from its description, for the unit tests and the
// fuzz target to compare the library with: every cell, y outer and x inner; the case index from
// four strict comparisons; the table's segments in order; each crossing by the edge formulas.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "field/cases.h"
#include "field/grid.h"
#include "math/vector2.h"

namespace reference {

struct Crossing {
    int x, y; // the cell
    int edge; // the edge as walked: a number outside 0..3 is walked as edge 3
    Vector2 point, normal;
};

// The crossing on edge e of cell (x, y): s = (t - cA) / (cB - cA); the point moves from corner A
// toward corner B along the edge; the normal is minus the unit interpolated gradient.
inline Crossing CrossingOn(std::span<const float> f, std::span<const Vector2> g,
                           field::GridSize size, int x, int y, int e, float t) {
    const int a = (e == 0 || e == 1 || e == 2) ? e : 3, b = (a + 1) % 4;
    const int cx[4] = {x, x + 1, x + 1, x}, cy[4] = {y, y, y + 1, y + 1};
    const float cA = f[size.Index(cx[a], cy[a])], cB = f[size.Index(cx[b], cy[b])];
    const float s = (t - cA) / (cB - cA);
    Vector2 p;
    switch (a) {
    case 0:
        p = Vector2(float(x) + s, float(y));
        break;
    case 1:
        p = Vector2(float(x + 1), float(y) + s);
        break;
    case 2:
        p = Vector2(float(x + 1) - s, float(y + 1));
        break;
    default:
        p = Vector2(float(x), float(y + 1) - s);
        break;
    }
    // The gradient with Vector2's operators, as the description writes it: the unit tests compare
    // NaN bits too, and the same expression keeps the sign a NaN gets at any optimisation level.
    const Vector2 gA = g[size.Index(cx[a], cy[a])], gB = g[size.Index(cx[b], cy[b])];
    const Vector2 grad = gA + (gB - gA) * s;
    return {x, y, a, p, -grad.Normalized()};
}

// Strictly above: equal, or NaN, is not.
inline int CaseOf(float c0, float c1, float c2, float c3, float t) {
    return (c0 > t) * 8 + (c1 > t) * 4 + (c2 > t) * 2 + (c3 > t) * 1;
}

// Calls visit(crossing) for every crossing of the contour, in walk order.
template <class Visit>
void Walk(std::span<const float> f, std::span<const Vector2> g, field::GridSize size, float t,
          const field::CaseSegments& table, Visit&& visit) {
    for (int y = 0; y + 1 < size.ny; ++y) {
        for (int x = 0; x + 1 < size.nx; ++x) {
            const int k = CaseOf(f[size.Index(x, y)], f[size.Index(x + 1, y)],
                                 f[size.Index(x + 1, y + 1)], f[size.Index(x, y + 1)], t);
            for (int s = 0; s < table.count[k]; ++s) {
                visit(CrossingOn(f, g, size, x, y, table.segment[k][s].firstEdge, t));
                visit(CrossingOn(f, g, size, x, y, table.segment[k][s].secondEdge, t));
            }
        }
    }
}

// The contour's end points and normals, replacing what pts and nrm held.
inline void Contour(std::span<const float> f, std::span<const Vector2> g, field::GridSize size,
                    float t, const field::CaseSegments& table, std::vector<Vector2>& pts,
                    std::vector<Vector2>& nrm) {
    pts.clear();
    nrm.clear();
    Walk(f, g, size, t, table, [&](const Crossing& c) {
        pts.push_back(c.point);
        nrm.push_back(c.normal);
    });
}

} // namespace reference
