#include "field/contour.h"

#include <algorithm>
#include <cassert>

#include "field/charge_field.h"

float threshold = 0.6f;

namespace field {
namespace {

// Appends the crossing on edge e of the cell at (x, y). c holds the four corner values.
inline void AppendCrossing(int e, int x, int y, const float (&c)[4], const Vector2* (&g)[4],
                           float t, std::vector<Vector2>& points, std::vector<Vector2>& normals) {
    const int a = (e == 0 || e == 1 || e == 2) ? e : 3; // anything else walks edge 3
    const int b = (a + 1) & 3;
    const float s = (t - c[a]) / (c[b] - c[a]);
    const float fx = float(x), fy = float(y), fx1 = float(x + 1), fy1 = float(y + 1);
    switch (a) {
    case 0: points.emplace_back(fx + s, fy); break;
    case 1: points.emplace_back(fx1, fy + s); break;
    case 2: points.emplace_back(fx1 - s, fy1); break;
    default: points.emplace_back(fx, fy1 - s); break;
    }
    const Vector2 grad = *g[a] + (*g[b] - *g[a]) * s;
    normals.push_back(-grad.Normalized());
}

} // namespace

int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient,
                        GridSize g, float t, const CaseSegments& table,
                        std::vector<Vector2>& points, std::vector<Vector2>& normals) {
    points.clear();
    normals.clear();
    if (g.CellCount() == 0) return 0;
    assert(field.size() >= g.NodeCount() && "field smaller than the grid");
    assert(gradient.size() >= g.NodeCount() && "gradient smaller than the grid");

    for (int y = 0; y + 1 < g.ny; ++y) {
        for (int x = 0; x + 1 < g.nx; ++x) {
            const std::size_t i0 = g.Index(x, y), i1 = g.Index(x + 1, y);
            const std::size_t i2 = g.Index(x + 1, y + 1), i3 = g.Index(x, y + 1);
            const GridCell cube(field[i0], field[i1], field[i2], field[i3]);
            const int k = cube.CaseIndex(t);
            if (table.count[k] == 0) continue;
            const float c[4] = {cube.corner0, cube.corner1, cube.corner2, cube.corner3};
            const Vector2* gc[4] = {&gradient[i0], &gradient[i1], &gradient[i2], &gradient[i3]};
            for (int s = 0; s < table.count[k]; ++s) {
                const EdgeSegment seg = table.segment[k][s];
                AppendCrossing(seg.firstEdge, x, y, c, gc, t, points, normals);
                AppendCrossing(seg.secondEdge, x, y, c, gc, t, points, normals);
            }
        }
    }
    assert(points.size() == normals.size() && "one normal per end point");
    return int(points.size());
}

} // namespace field

std::int32_t ExtractContour(Vector2** endPoints, Vector2** normals) {
    std::vector<Vector2> lnlist, normlist;
    field::ExtractContourLines(fieldGrid, gradientGrid, field::kDemoGrid, threshold,
                               field::CompactCaseTable(caseTable), lnlist, normlist);

    const std::int32_t n = std::int32_t(lnlist.size());
    Vector2* points = new Vector2[lnlist.size()];
    std::copy(lnlist.begin(), lnlist.end(), points);
    *endPoints = points;

    Vector2* norms = new Vector2[normlist.size()];
    assert(normlist.size() == lnlist.size());
    std::copy(normlist.begin(), normlist.end(), norms);
    *normals = norms;
    return n;
}
