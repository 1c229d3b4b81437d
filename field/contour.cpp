#include "field/contour.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <span>

#include "field/above_planes.h"
#include "field/charge_field.h"

float threshold = 0.6f;

namespace field {
namespace {

struct Crossing {
    Vector2 point;
    Vector2 normal;
};

// The crossing on edge e of the cell at (x, y); c holds the four corner values and g the four
// corner gradients.
inline Crossing CrossingOn(int e, int x, int y, const float (&c)[4], const Vector2* const (&g)[4],
                           float t) {
    const int a = (e == 0 || e == 1 || e == 2) ? e : 3; // anything else walks edge 3
    const int b = (a + 1) & 3;
    const float s = (t - c[a]) / (c[b] - c[a]);
    const float fx = float(x), fy = float(y), fx1 = float(x + 1), fy1 = float(y + 1);
    Vector2 point;
    switch (a) {
    case 0:
        point = Vector2(fx + s, fy);
        break;
    case 1:
        point = Vector2(fx1, fy + s);
        break;
    case 2:
        point = Vector2(fx1 - s, fy1);
        break;
    default:
        point = Vector2(fx, fy1 - s);
        break;
    }
    const Vector2 grad = *g[a] + (*g[b] - *g[a]) * s;
    return {point, -grad.Normalized()};
}

// Calls emit(crossing) for every crossing of the cell at (x, y) whose case index is k, in the
// order of the table: first segment's first and second edge, then the second segment's.
template <class Emit>
inline void CellCrossings(std::span<const float> field, std::span<const Vector2> gradient,
                          GridSize g, float t, const CaseSegments& table, int x, int y, int k,
                          Emit&& emit) {
    const int segments = table.count[k];
    if (segments == 0) return;
    const std::size_t i0 = g.Index(x, y), i1 = g.Index(x + 1, y);
    const std::size_t i2 = g.Index(x + 1, y + 1), i3 = g.Index(x, y + 1);
    const float c[4] = {field[i0], field[i1], field[i2], field[i3]};
    const Vector2* const gc[4] = {&gradient[i0], &gradient[i1], &gradient[i2], &gradient[i3]};
    for (int s = 0; s < segments; ++s) {
        const EdgeSegment seg = table.segment[k][s];
        emit(CrossingOn(seg.firstEdge, x, y, c, gc, t));
        emit(CrossingOn(seg.secondEdge, x, y, c, gc, t));
    }
}

// The walk over every cell, for tables that give cases 0 and 15 segments.
template <class Emit>
void PlainWalk(std::span<const float> field, std::span<const Vector2> gradient, GridSize g, float t,
               const CaseSegments& table, Emit&& emit) {
    for (int y = 0; y + 1 < g.ny; ++y) {
        for (int x = 0; x + 1 < g.nx; ++x) {
            const GridCell cube(field[g.Index(x, y)], field[g.Index(x + 1, y)],
                                field[g.Index(x + 1, y + 1)], field[g.Index(x, y + 1)]);
            CellCrossings(field, gradient, g, t, table, x, y, cube.CaseIndex(t), emit);
        }
    }
}

// Calls cell(x, y, k) for every cell whose four corners are not all on the same side of the
// threshold, in walk order (y outer, x inner), with k its case index. The index names the
// planes that hold such cells in each cell row, so rows and planes without any are never read.
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

// Cells whose corners all lie on one side give nothing in tables that leave cases 0 and 15
// empty, which lets the walk skip them unseen.
bool SkipsUniformCells(const CaseSegments& table) {
    return table.count[0] == 0 && table.count[15] == 0;
}

} // namespace

int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient, GridSize g,
                        float t, const CaseSegments& table, std::vector<Vector2>& points,
                        std::vector<Vector2>& normals, ContourWorkspace& work) {
    points.clear();
    normals.clear();
    if (g.CellCount() == 0) return 0;
    assert(field.size() >= g.NodeCount() && "field smaller than the grid");
    assert(gradient.size() >= g.NodeCount() && "gradient smaller than the grid");

    auto append = [&](const Crossing& c) {
        points.push_back(c.point);
        normals.push_back(c.normal);
    };
    if (!SkipsUniformCells(table)) {
        PlainWalk(field, gradient, g, t, table, append);
    } else {
        work.above.resize(AbovePlaneWords(g));
        work.index.resize(MixedIndexWords(g));
        ClassifyAbove(field, g, t, work.above);
        IndexMixedCells(work.above, g, work.index);
        ForEachMixedCell(work.above, work.index, g, [&](int x, int y, int k) {
            CellCrossings(field, gradient, g, t, table, x, y, k, append);
        });
    }
    assert(points.size() == normals.size() && "one normal per end point");
    return int(points.size());
}

int ExtractContourLines(std::span<const float> field, std::span<const Vector2> gradient, GridSize g,
                        float t, const CaseSegments& table, std::vector<Vector2>& points,
                        std::vector<Vector2>& normals) {
    ContourWorkspace work;
    return ExtractContourLines(field, gradient, g, t, table, points, normals, work);
}

} // namespace field

std::int32_t ExtractContour(Vector2** endPoints, Vector2** normals) {
    using field::kDemoGrid;
    const field::CaseSegments table = field::CompactCaseTable(caseTable);
    const float t = threshold;
    if (!field::SkipsUniformCells(table)) {
        // A table with segments for cases 0 or 15: every cell, through the lists.
        std::vector<Vector2> lnlist, normlist;
        field::ExtractContourLines(fieldGrid, gradientGrid, kDemoGrid, t, table, lnlist, normlist);
        Vector2* points = new Vector2[lnlist.size()];
        std::copy(lnlist.begin(), lnlist.end(), points);
        *endPoints = points;
        Vector2* norms = new Vector2[normlist.size()];
        assert(normlist.size() == lnlist.size());
        std::copy(normlist.begin(), normlist.end(), norms);
        *normals = norms;
        return std::int32_t(lnlist.size());
    }

    // The grid's bits live on the stack; the mixed cells are counted first so that each array
    // is allocated once, at its final length, and written in place.
    std::uint32_t planes[field::AbovePlaneWords(kDemoGrid)];
    std::uint32_t index[field::MixedIndexWords(kDemoGrid)];
    field::ClassifyAbove(fieldGrid, kDemoGrid, t, planes);
    field::IndexMixedCells(planes, kDemoGrid, index);
    std::size_t n = 0;
    field::ForEachMixedCell(planes, index, kDemoGrid,
                            [&](int, int, int k) { n += 2 * std::size_t(table.count[k]); });
    Vector2* points = new Vector2[n];
    Vector2* norms = new Vector2[n];
    // The two arrays fill as the two working lists would: one end point, then its normal.
    std::size_t pointCount = 0, normalCount = 0;
    field::ForEachMixedCell(planes, index, kDemoGrid, [&](int x, int y, int k) {
        field::CellCrossings(fieldGrid, gradientGrid, kDemoGrid, t, table, x, y, k,
                             [&](const field::Crossing& c) {
                                 points[pointCount++] = c.point;
                                 norms[normalCount++] = c.normal;
                             });
    });
    [[maybe_unused]] const std::span<const Vector2> lnlist(points, pointCount),
        normlist(norms, normalCount);
    assert(normlist.size() == lnlist.size());
    assert(lnlist.size() == n && "as many end points as counted");
    *endPoints = points;
    *normals = norms;
    return std::int32_t(n);
}
