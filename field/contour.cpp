#include "field/contour.h"

#include <algorithm>
#include <bit>
#include <cassert>

#include "field/above_planes.h"
#include "field/charge_field.h"

float threshold = 0.6f;

namespace field {
namespace {

// Bits of one cell row's node row, as 64-bit words (node a at bit a mod 64 of word a / 64).
constexpr int kRowBits = 64;

constexpr int RowWords(GridSize g) { return (g.nx + kRowBits - 1) / kRowBits; }

// Words of row scratch the walk over grid g uses: two node rows and a clear word after each.
constexpr std::size_t RowScratchWords(GridSize g) {
    return g.nx > 0 ? 2 * std::size_t(RowWords(g) + 1) : 0;
}
constexpr std::size_t kDemoRowWords = RowScratchWords(kDemoGrid);

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

// Gathers node row b of the planes into 64-bit words, with one clear word after the last so
// that the walk can shift the next node in without a bounds test.
inline void GatherRow(std::span<const std::uint32_t> planes, GridSize g, int b,
                      std::uint64_t* row) {
    const int words = RowWords(g);
    const int planeCount = (g.nx + kPlaneBits - 1) / kPlaneBits;
    const std::size_t ny = std::size_t(g.ny);
    for (int j = 0; j < words; ++j) {
        const int w = 2 * j;
        std::uint64_t v = planes[std::size_t(w) * ny + std::size_t(b)];
        if (w + 1 < planeCount)
            v |= std::uint64_t(planes[std::size_t(w + 1) * ny + std::size_t(b)]) << 32;
        row[j] = v;
    }
    row[words] = 0;
}

// Calls cell(x, y, k) for every cell whose four corners are not all on the same side of the
// threshold, in walk order (y outer, x inner), with k its case index. A cell row is classified
// 64 cells at a time: corner bits of two node rows, shifted by one node, compared as words.
// rows must hold RowScratchWords(g) words.
template <class Cell>
void ForEachMixedCell(std::span<const std::uint32_t> planes, GridSize g,
                      std::span<std::uint64_t> rows, Cell&& cell) {
    const int words = RowWords(g);
    assert(rows.size() >= 2 * std::size_t(words + 1) && "row scratch too small");
    std::uint64_t* lower = rows.data();
    std::uint64_t* upper = rows.data() + words + 1;
    // Cells exist for x <= nx - 2; the last word holds the rest of them.
    const int lastCells = g.nx - 1 - kRowBits * (words - 1);
    const std::uint64_t lastMask =
        lastCells >= kRowBits ? ~std::uint64_t(0) : (std::uint64_t(1) << lastCells) - 1;
    GatherRow(planes, g, 0, lower);
    for (int y = 0; y + 1 < g.ny; ++y) {
        GatherRow(planes, g, y + 1, upper);
        for (int j = 0; j < words; ++j) {
            // Corner bits for the cells x = 64 j + i: corner 0 (x, y), 1 (x+1, y),
            // 2 (x+1, y+1), 3 (x, y+1).
            const std::uint64_t c0 = lower[j];
            const std::uint64_t c1 = (lower[j] >> 1) | (lower[j + 1] << 63);
            const std::uint64_t c2 = (upper[j] >> 1) | (upper[j + 1] << 63);
            const std::uint64_t c3 = upper[j];
            std::uint64_t mixed = (c0 ^ c1) | (c0 ^ c2) | (c0 ^ c3);
            if (j + 1 == words) mixed &= lastMask;
            while (mixed != 0) {
                const int i = std::countr_zero(mixed);
                const int k = int(((c0 >> i) & 1) << 3 | ((c1 >> i) & 1) << 2 |
                                  ((c2 >> i) & 1) << 1 | ((c3 >> i) & 1));
                cell(kRowBits * j + i, y, k);
                mixed &= mixed - 1;
            }
        }
        std::swap(lower, upper);
    }
}

// Cells whose corners all lie on one side give nothing in tables that leave cases 0 and 15
// empty, which lets the walk skip them unseen.
bool SkipsUniformCells(const CaseSegments& table) {
    return table.count[0] == 0 && table.count[15] == 0;
}

} // namespace

std::size_t ContourRowWords(GridSize g) { return g.nx > 0 ? 2 * std::size_t(RowWords(g) + 1) : 0; }

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
        work.rows.resize(RowScratchWords(g));
        ClassifyAbove(field, g, t, work.above);
        ForEachMixedCell(work.above, g, work.rows, [&](int x, int y, int k) {
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
    std::uint64_t rows[field::kDemoRowWords];
    field::ClassifyAbove(fieldGrid, kDemoGrid, t, planes);
    std::size_t n = 0;
    field::ForEachMixedCell(planes, kDemoGrid, rows,
                            [&](int, int, int k) { n += 2 * std::size_t(table.count[k]); });
    Vector2* points = new Vector2[n];
    Vector2* norms = new Vector2[n];
    std::size_t written = 0;
    field::ForEachMixedCell(planes, kDemoGrid, rows, [&](int x, int y, int k) {
        field::CellCrossings(fieldGrid, gradientGrid, kDemoGrid, t, table, x, y, k,
                             [&](const field::Crossing& c) {
                                 points[written] = c.point;
                                 norms[written] = c.normal;
                                 ++written;
                             });
    });
    assert(written == n && "one normal per end point, as counted");
    *endPoints = points;
    *normals = norms;
    return std::int32_t(n);
}
